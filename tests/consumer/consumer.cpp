// A program of another tool's kind, built against an installed vq4common:
// it interns a string twice, asks for the suite's version and reports a
// numbered message through the catalogue. check.sh runs it and compares
// what it prints.
//
//   consumer STATUS    prints "(908) exit status = STATUS" on standard error
#include "common/alert.h"
#include "common/alert_numbers.h"
#include "common/registry.h"
#include "common/stringcache.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    char copy[] = "lum";
    const char *first = sc_intern("lum");
    const char *second = sc_intern(copy);
    std::printf("interned: %s %s\n", first, first == second ? "shared" : "copied");
    std::printf("version: %s\n", reg_version());
    std::fflush(stdout);
    alert_msg(MSG_EXIT_STATUS, argc > 1 ? std::atoi(argv[1]) : 0);
    return 0;
}
