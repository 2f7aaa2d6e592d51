// Fuzz target of the command-file reader and the argument builder: the
// input is a command file on disk, expanded by cmdline_build as "@file".
// Whatever it holds, no argument may come back longer than the reader's
// token limit (2047 characters), none may be empty, and the builder must
// come back (a file naming itself is read once).
#include "common/alert.h"
#include "common/cmdline.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kTokenLimit = 2047;

int discard(const char *) {
    return 1;
}

// Two command files the input may name, one nested in the other; and the
// debug options taken once, so that "--vqdebug" tokens of the input only
// earn the warning about extra options and open no file.
void set_up() {
    fuzz::scratch_dir("cmdfile");
    fuzz::write_file("n1.cmd", "outer @n2.cmd \"quoted arg\"\n");
    fuzz::write_file("n2.cmd", "inner\\ escaped 'single'\n");
    alert_set_output(discard);
    set_maxerrors(UINT32_MAX);
    db_parse_options("--vqdebug=");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = (set_up(), true);
    (void)ready;
    std::string_view text = fuzz::text_of(data, size);
    // An "@" with a path could read any file of the machine.
    if (text.find('@') != std::string_view::npos && fuzz::names_outside(text))
        return 0;
    fuzz::write_file("in.cmd", text);
    const char *argv[] = {"vq4", "@in.cmd"};
    vec *args = cmdline_build(2, argv, nullptr);
    fuzz::check(args != nullptr);
    for (uint32_t n = 0; n < vec_size(args); ++n) {
        auto *arg = static_cast<const char *>(vec_get(args, n));
        fuzz::check(arg != nullptr);
        size_t length = std::strlen(arg);
        fuzz::check(length > 0 && length <= kTokenLimit);
    }
    vec_destroy(args);
    return 0;
}
