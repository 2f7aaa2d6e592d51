// fault: pending failures per host call, shared by both backends.
#include "platform/fault.h"

#include <cerrno>

namespace {

struct pending_failure {
    int skip = 0;  // calls still to let pass
    int error = 0; // errno to report; 0 means none pending
};

pending_failure pending[PLAT_CALL_COUNT];

} // namespace

bool plat_fault_take(plat_call call) {
    pending_failure &p = pending[call];
    if (p.error == 0)
        return false;
    if (p.skip > 0) {
        --p.skip;
        return false;
    }
    errno = p.error;
    p.error = 0;
    return true;
}

extern "C" void plat_fail_after(plat_call call, int skip, int err) {
    if (call < 0 || call >= PLAT_CALL_COUNT)
        return;
    pending[call].skip = skip < 0 ? 0 : skip;
    pending[call].error = err;
}

extern "C" void plat_fail_next(plat_call call, int err) {
    plat_fail_after(call, 0, err);
}

extern "C" void plat_fail_reset(void) {
    for (pending_failure &p : pending)
        p = pending_failure{};
}
