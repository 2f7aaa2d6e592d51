// cmdline: argument vector construction and the command-file reader.
// Placeholders until the string cache, the vector and the registry land.
#include "common/cmdline.h"

extern "C" {

vec *cmdline_build(int32_t, const char *const *, cmdline_callback) {
    return nullptr;
}

vec *cmdline_parse_with(int32_t count, const char *const *vector, cmdline_callback callback) {
    return cmdline_build(count, vector, callback);
}

vec *cmdline_parse(int32_t count, const char *const *vector) {
    return cmdline_parse_with(count, vector, nullptr);
}

char **cmdline_read_args(const char *, int32_t *count) {
    *count = 0;
    return nullptr;
}

const char *cmdline_progname(void) {
    return nullptr;
}

int32_t cmdline_debug_seen(void) {
    return 0;
}

} // extern "C"
