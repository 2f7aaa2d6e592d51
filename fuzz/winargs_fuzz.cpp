// Fuzz target of the platform layer's Windows argument splitting: the
// input's zero-separated pieces are an argument vector (the first one the
// program name). Quoted by the Windows runtime's rules and split again, the
// vector must come back unchanged, both as a whole command line
// (plat_split_command_line) and as command-file text without a program
// name (plat_split_arguments).
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A program name cannot hold a double quote: quotes only toggle quoting in
// it. Quoted whole when it is empty or holds a blank or a tab.
std::string quote_program(const std::string &name) {
    if (!name.empty() && name.find_first_of(" \t") == std::string::npos)
        return name;
    return "\"" + name + "\"";
}

// An argument as the runtime's splitter reads it back: left alone unless it
// is empty or holds white space or a quote; otherwise in quotes, with the
// backslashes before a quote (or before the closing quote) doubled and each
// quote escaped.
std::string quote_argument(const std::string &arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            out.append(2 * backslashes + 1, '\\');
        else
            out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

void check_split(char **split, int count, const std::vector<std::string> &expected) {
    fuzz::check(split != nullptr && count == static_cast<int>(expected.size()));
    for (int n = 0; n < count; ++n)
        fuzz::check(expected[n] == split[n]);
    fuzz::check(split[count] == nullptr);
    std::free(split);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> argv = fuzz::pieces(fuzz::text_of(data, size), '\0');
    std::erase(argv[0], '"');
    std::string line = quote_program(argv[0]), text;
    for (size_t n = 1; n < argv.size(); ++n) {
        line += " " + quote_argument(argv[n]);
        text += quote_argument(argv[n]) + (n % 2 ? "\n" : " \t");
    }
    int count = -1;
    check_split(plat_split_command_line(line.c_str(), &count), count, argv);
    argv.erase(argv.begin());
    check_split(plat_split_arguments(text.c_str(), &count), count, argv);
    return 0;
}
