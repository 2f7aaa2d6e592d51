// Fuzz target of the front end's option walk, in-process: the input's lines
// are the argument list. A small model of the option rules, written from
// the option table and not from the walk, says what the driver must get,
// which extensions are asked for and which settings result; the walk must
// agree with it on every point.
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqinstdir.h"
#include "frontend/vq4.h"
#include "fuzz/fuzz_support.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool prefix_nocase(std::string_view item, std::string_view prefix) {
    return item.size() >= prefix.size() && ascii_lower(item.substr(0, prefix.size())) == prefix;
}

bool equal_nocase(std::string_view item, std::string_view word) {
    return item.size() == word.size() && ascii_lower(item) == word;
}

// What the rules say one walk leaves behind.
struct Model {
    std::vector<std::string> driver_args, extensions;
    int32_t verbosity = 1;
    std::string suffix;
    bool two_pass = false, chip_seen = false, append = false;
    std::string base = "lumc";
    std::optional<std::string> command_file, error_file, stdlib;
};

void take_error_option(Model &m, const std::string &item) {
    std::string rest = item.substr(2);
    m.error_file = rest;
    if (rest.empty() || rest == "+") {
        m.error_file.reset();
        m.driver_args.push_back("-E");
    } else if (rest.size() == 1 || rest[0] != '+') {
        m.driver_args.push_back("-E+" + rest);
    } else {
        m.error_file = rest.substr(1);
        m.append = true;
        m.driver_args.push_back(item);
    }
}

// Rules 6 onwards, for an item that no pending summary directory took.
void take_option(Model &m, const std::string &item, bool &pending) {
    if (prefix_nocase(item, "--wubtoxna")) {
        m.two_pass = true;
    } else if (prefix_nocase(item, "--bins=debug")) {
        m.suffix = "d";
    } else if (prefix_nocase(item, "--bins=release")) {
        m.suffix = "";
    } else if (prefix_nocase(item, "--chip=")) {
        m.driver_args.push_back(item);
        m.chip_seen = true;
    } else if (equal_nocase(item, "-v")) {
        ++m.verbosity;
        m.driver_args.push_back(item);
    } else if (equal_nocase(item, "-q") || equal_nocase(item, "--ver")) {
        m.verbosity = 0;
        m.driver_args.push_back(item);
    } else if (equal_nocase(item, "--memorysummary")) {
        m.driver_args.push_back("--summary=+xml");
        pending = true;
    } else if (equal_nocase(item, "--ejm")) {
        m.extensions.push_back("ejm");
    } else if (prefix_nocase(item, "--ext=")) {
        m.extensions.push_back(item.substr(6));
    } else if (prefix_nocase(item, "--std=")) {
        m.stdlib = item.substr(6);
        m.driver_args.push_back(item);
    } else if (!item.empty() && item[0] == '@') {
        m.command_file = item.substr(1);
        m.driver_args.push_back(item);
    } else if (!prefix_nocase(item, "-e")) {
        m.driver_args.push_back(item);
    } else {
        take_error_option(m, item);
    }
}

Model model_walk(const std::vector<std::string> &items) {
    Model m;
    bool pending = false;
    for (const std::string &item : items) {
        if (item.rfind("--vqdebug=", 0) == 0)
            continue;
        if (prefix_nocase(item, "--chip=18")) {
            m.base = "lumc18";
            m.chip_seen = true;
        }
        if (pending && !item.empty() && item[0] == '-')
            pending = false;
        if (pending) {
            m.driver_args.push_back("--summarydir=" + item);
            pending = false;
            continue;
        }
        take_option(m, item, pending);
    }
    return m;
}

void check_strings(vec *actual, const std::vector<std::string> &expected) {
    fuzz::check(vec_size(actual) == expected.size());
    for (uint32_t n = 0; n < vec_size(actual); ++n)
        fuzz::check(expected[n] == static_cast<const char *>(vec_get(actual, n)));
}

void check_optional(const char *actual, const std::optional<std::string> &expected) {
    fuzz::check((actual != nullptr) == expected.has_value());
    fuzz::check(actual == nullptr || *expected == actual);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> items = fuzz::pieces(fuzz::text_of(data, size), '\n');
    vec *args = vec_create(__FILE__, __LINE__);
    for (const std::string &item : items)
        vec_append(args, const_cast<char *>(sc_intern(item.c_str())));
    // Text after a zero byte never reaches the walk: the model sees what it sees.
    for (std::string &item : items)
        item.resize(std::strlen(item.c_str()));
    vec *driver_args = vec_create(__FILE__, __LINE__);
    vec *extensions = vec_create(__FILE__, __LINE__);
    vq4_reset_for_testing();
    reg_set_c_stdlib("c90");
    vq4_walk walk = vq4_walk_options(args, driver_args, extensions);
    Model m = model_walk(items);
    check_strings(driver_args, m.driver_args);
    check_strings(extensions, m.extensions);
    fuzz::check(verbosity == m.verbosity && m.suffix == driver_suffix);
    fuzz::check((two_pass != 0) == m.two_pass && (error_file_append != 0) == m.append);
    check_optional(error_file, m.error_file);
    fuzz::check(m.base == walk.base_name && walk.chip_seen == m.chip_seen);
    check_optional(walk.command_file, m.command_file);
    fuzz::check(m.stdlib.value_or("c90") == reg_get_c_stdlib());
    for (vec *v : {args, driver_args, extensions})
        vec_destroy(v);
    return 0;
}
