// vq4_test_child: a program that launch tests start to see what a child
// received and to make it behave in a chosen way. When its first argument
// is none of the commands below (for example "args"), it prints each
// argument after argv[0] as a "[%s]" line and exits with 0 (or with the
// status VQ4_TEST_CHILD_STATUS names). Otherwise it runs its arguments as
// commands in order ("out a err b exit 3"), then exits with 0:
//   out TEXT, err TEXT  TEXT and a newline on standard output, standard error
//   exit N              exits with status N at once
//   signal N            raises host signal N (with its default action)
//   tmpnam N            prints N names from plat_tmpnam, one per line
//   alert N             reports message N (argument 2) on standard error
//                       through the templates of the environment
// Standard output is unbuffered, so that output captured from both streams
// into one file keeps the order in which it was written.
#include "common/alert.h"
#include "platform/platform.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

int main(int argc, char **argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string_view commands[] = {"out", "err", "exit", "signal", "tmpnam", "alert"};
    if (argc < 2 ||
        std::find(std::begin(commands), std::end(commands), argv[1]) == std::end(commands)) {
        for (int i = 1; i < argc; ++i)
            std::printf("[%s]\n", argv[i]);
        const char *status = std::getenv("VQ4_TEST_CHILD_STATUS");
        return status != nullptr ? std::atoi(status) : 0;
    }
    for (int i = 1; i < argc; i += 2) {
        const std::string_view command = argv[i];
        const char *operand = i + 1 < argc ? argv[i + 1] : "";
        if (command == "out" || command == "err")
            std::fprintf(command == "out" ? stdout : stderr, "%s\n", operand);
        else if (command == "exit")
            std::exit(std::atoi(operand));
        else if (command == "signal")
            std::raise(std::atoi(operand));
        else if (command == "alert") {
            alert_init();
            alert_use_formats(1);
            alert_msg(static_cast<uint32_t>(std::atoi(operand)), 2);
        } else if (command == "tmpnam")
            for (int n = std::atoi(operand); n > 0; --n)
                std::printf("%s\n", plat_tmpnam(nullptr));
        else {
            std::fprintf(stderr, "vq4_test_child: unknown command \"%s\"\n", argv[i]);
            return 2;
        }
    }
    return 0;
}
