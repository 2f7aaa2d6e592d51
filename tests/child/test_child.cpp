// vq4_test_child: a small program that tests launch to see what a child
// received and to make it behave in a chosen way.
//
// Usage, by the first argument:
//   (none), or anything that is not a command below (for example "args"):
//       prints every argument after argv[0], each on its own line as "[%s]",
//       and exits with 0 (or with the status VQ4_TEST_CHILD_STATUS names). "vq4_test_child args a
//       b" prints [args] [a] [b].
//   otherwise a sequence of commands, run in order, then exit 0:
//       out TEXT     writes TEXT and a newline to standard output
//       err TEXT     writes TEXT and a newline to standard error
//       exit N       exits with status N at once
//       signal N     raises host signal N (with its default action)
//       tmpnam N     prints N names from plat_tmpnam, one per line
//       alert N      reports message N (with the argument 2) through the
//                    templates of the environment, on standard error
//   for example "out a err b out c exit 3".
// Every line is flushed at once, so that output captured from both streams
// into one file keeps the order in which it was written.
#include "common/alert.h"
#include "platform/platform.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void put_line(FILE *stream, const char *text) {
    std::fprintf(stream, "%s\n", text);
    std::fflush(stream);
}

} // namespace

int main(int argc, char **argv) {
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
            put_line(command == "out" ? stdout : stderr, operand);
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
                put_line(stdout, plat_tmpnam(nullptr));
        else {
            std::fprintf(stderr, "vq4_test_child: unknown command \"%s\"\n", argv[i]);
            return 2;
        }
    }
    return 0;
}
