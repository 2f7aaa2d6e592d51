// alert: the suite's numbered diagnostics (interim: the out-of-memory
// report only, until the catalogue and the reporter are in place).
#include "common/alert.h"

#include <cstdio>
#include <cstdlib>

int alert_msg(uint32_t number, ...) {
    if (number == 296) {
        std::fprintf(stderr, "(296) out of memory\n");
        std::exit(1);
    }
    std::fprintf(stderr, "(%u) no description available\n", number);
    return 1;
}
