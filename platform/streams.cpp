// streams: the stream calls that are the same on every host (only the
// fault switch stands between them and the C runtime).
#include "platform/fault.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>

extern "C" int plat_fclose(FILE *stream) {
    if (plat_fault_take(PLAT_CALL_FCLOSE)) {
        int error = errno;
        std::fclose(stream);
        errno = error;
        return EOF;
    }
    return std::fclose(stream);
}
