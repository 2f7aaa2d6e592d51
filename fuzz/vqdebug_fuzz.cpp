// Fuzz target of the debug options: the input is one "--vqdebug=" argument.
// It is parsed, its settings regenerated for a driver, and the regenerated
// argument parsed again from the start: the second parse must give the
// same flags, assertion level, debug-out file (when one was named),
// package and debugger names as the first.
#include "common/alert.h"
#include "common/vqdebug.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

int discard(const char *) {
    return 1;
}

// Everything a parse leaves that regeneration hands on. The debugger
// names are compared as a set (the table lists them in hash order).
struct Settings {
    uint32_t flags, assert_level;
    std::string out, zip, regenerated;
    std::vector<std::string> debug_names;
    bool operator==(const Settings &) const = default;
};

std::string lower(std::string text) {
    for (char &c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

Settings settings_of_parse(const std::string &argument) {
    db_reset_for_testing();
    db_parse_options(argument.c_str());
    const char *regenerated = db_gen_options(DBC_DRIVER, "driver");
    Settings s{
        gDebugFlags, gAssertLevel, "", gZipPath ? gZipPath : "", regenerated ? regenerated : "",
        {}};
    for (const std::string &item : fuzz::pieces(s.regenerated, ',')) {
        if (item.rfind("out:", 0) == 0 || item.rfind("--vqdebug=out:", 0) == 0)
            s.out = gFilePath;
        if (item.rfind("debug:", 0) == 0 || item.rfind("--vqdebug=debug:", 0) == 0) {
            auto names = fuzz::pieces(item.substr(item.find(':') + 1), ':');
            for (std::string &name : names)
                s.debug_names.push_back(lower(name));
        }
    }
    std::sort(s.debug_names.begin(), s.debug_names.end());
    return s;
}

// Inputs whose files could lie outside the scratch directory, whose
// debug-out file cannot be opened at all (an empty name after '+', a name
// longer than the host takes), which is fatal by design, or that switch the
// container master lists on: each switch-on starts a new list and abandons
// the earlier one, which a process does once but this target every run.
bool refused(std::string_view text) {
    if (fuzz::names_outside(text))
        return true;
    for (const std::string &item : fuzz::pieces(text, ',')) {
        if (item.size() > 200 || lower(item.substr(0, 3)) == "adt")
            return true;
        size_t colon = item.find(':');
        if (colon != std::string::npos && item.substr(colon + 1) == "+")
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const auto &dir = fuzz::scratch_dir("vqdebug");
    std::string argument = "--vqdebug=" + std::string(fuzz::text_of(data, size).substr(0, 4096));
    argument.resize(std::strlen(argument.c_str()));
    if (refused(std::string_view(argument).substr(10)))
        return 0;
    alert_reset_for_tests();
    alert_set_output(discard);
    Settings first = settings_of_parse(argument);
    if (!first.regenerated.empty()) {
        Settings second = settings_of_parse(first.regenerated);
        fuzz::check(second.flags == first.flags && second.assert_level == first.assert_level);
        fuzz::check(second.zip == first.zip && second.debug_names == first.debug_names);
        fuzz::check(first.out.empty() || second.out == first.out);
    }
    db_reset_for_testing();
    fuzz::empty_scratch_dir(dir);
    return 0;
}
