// Fuzz target of the string cache's formatting and path helpers and the
// path arithmetic of the operating-system layer. The input's first two
// lines are a path (or any text) and a second string. Properties: normal
// forms are fixed points (normalising twice changes nothing), no result is
// longer than its inputs allow (heap formatting never beyond 4095
// characters), and the parts a path is cut into add up to the path.
// The cache is off here: every result is a fresh heap copy that the target
// frees, so that millions of distinct inputs do not fill the memory.
#include "common/osdep.h"
#include "common/stringcache.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr size_t kHeapFormatLimit = 4095;

std::string cut_at_zero(const std::string &text) {
    return text.substr(0, std::strlen(text.c_str()));
}

// A result of the string cache as a string; the heap copy is freed unless
// the operation handed back one of its arguments unchanged.
std::string taken(const char *result, const std::string &a, const std::string &b = {}) {
    std::string text = result ? result : "";
    if (result != nullptr && result != a.c_str() && result != b.c_str())
        std::free(const_cast<char *>(result));
    return text;
}

void check_normal_form(const char *path) {
    char *once = os_path_normalize(path);
    fuzz::check(once != nullptr && std::strlen(once) <= std::strlen(path) + 1);
    char *twice = os_path_normalize(once);
    fuzz::check(std::strcmp(once, twice) == 0);
    std::free(twice);
    std::free(once);
}

// The directory and the base name of a path are its text before and after
// one separator.
void check_cut(const std::string &path) {
    std::string base = taken(sc_basename(path.c_str()), path);
    const char *dir_result = sc_dirname(path.c_str());
    bool has_dir = dir_result != nullptr;
    std::string dir = taken(dir_result, path);
    std::string_view whole(path);
    fuzz::check(whole.ends_with(base));
    if (has_dir) {
        fuzz::check(whole.starts_with(dir) && dir.size() + 1 + base.size() == path.size());
    } else {
        fuzz::check(path == base);
    }
    char *os_dir = os_path_dirname(path.c_str());
    fuzz::check((os_dir == nullptr) == !has_dir && (!has_dir || dir == os_dir));
    std::free(os_dir);
    fuzz::check(base == os_path_tail(path.c_str()));
}

void check_join(const std::string &dir, const std::string &name) {
    std::string joined = taken(sc_path_join(dir.c_str(), name.c_str()), dir, name);
    fuzz::check(joined.size() <= dir.size() + name.size() + 1);
    if (!dir.empty() && !name.empty())
        fuzz::check(std::string_view(joined).starts_with(dir));
    if (char *os_joined = os_path_join(dir.c_str(), name.c_str())) {
        fuzz::check(std::strlen(os_joined) <= dir.size() + name.size() + 1);
        std::free(os_joined);
    }
}

void check_formatting(const std::string &a, const std::string &b) {
    fuzz::check(taken(sc_printf("%s|%s", a.c_str(), b.c_str()), a, b) == a + "|" + b);
    char *heap = heap_printf("%s%s", a.c_str(), b.c_str());
    size_t length = std::strlen(heap);
    fuzz::check(length <= kHeapFormatLimit && (a + b).compare(0, length, heap) == 0);
    std::free(heap);
    size_t escaped = taken(sc_escape(a.c_str(), b.c_str(), 0), a, b).size();
    fuzz::check(escaped >= a.size() && escaped <= 2 * a.size());
    fuzz::check(taken(sc_quote(a.c_str(), '"'), a) == '"' + a + '"');
    fuzz::check(taken(sc_intern_n(a.c_str(), 7), a).size() <= 7);
    std::string trimmed = taken(sc_trim(a.c_str()), a);
    fuzz::check(taken(sc_trim(trimmed.c_str()), trimmed) == trimmed && trimmed.size() <= a.size());
    std::string chomped = taken(sc_chomp(a.c_str()), a);
    fuzz::check(taken(sc_chomp(chomped.c_str()), chomped) == chomped);
    size_t tabs = std::count(a.begin(), a.end(), '\t');
    fuzz::check(taken(sc_expand_tabs(a.c_str()), a).size() == a.size() + 3 * tabs);
    vec *tokens = sc_split(a.c_str(), b.c_str());
    for (uint32_t n = 0; n < vec_size(tokens); ++n) {
        std::string token = taken(static_cast<const char *>(vec_get(tokens, n)), a, b);
        fuzz::check(!token.empty() && (b.empty() || token.find_first_of(b) == std::string::npos));
    }
    vec_destroy(tokens);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool uncached = (sc_set_cache_size(0), true);
    (void)uncached;
    auto lines = fuzz::pieces(fuzz::text_of(data, size), '\n');
    std::string a = cut_at_zero(lines[0]);
    std::string b = lines.size() > 1 ? cut_at_zero(lines[1]) : "";
    check_normal_form(a.c_str());
    char *absolute = os_path_absolute(a.c_str());
    fuzz::check(absolute != nullptr);
    check_normal_form(absolute);
    std::free(absolute);
    check_cut(a);
    check_join(a, b);
    check_formatting(a, b);
    fuzz::check(std::string_view(a).starts_with(taken(sc_strip_ext(a.c_str()), a)));
    fuzz::check(taken(sc_replace_ext(a.c_str(), b.c_str()), a, b).size() <=
                a.size() + b.size() + 1);
    return 0;
}
