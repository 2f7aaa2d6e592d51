// vq4assert: the standard assertion diagnostic, then abort.
#include "common/vq4assert.h"

#include <cstdio>
#include <cstdlib>

void vq4_assert_fail(const char *expr, const char *file, int line) {
    std::fflush(stdout);
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expr, file, line);
    std::fflush(stderr);
    std::abort();
}
