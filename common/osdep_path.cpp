// osdep: path arithmetic on Windows-style paths.
//
// Both '\\' and '/' separate components, ':' ends a drive prefix, and joins
// insert one '\\'. Every function works within the bounds of its argument
// for any input, empty strings and separator-only paths included.
#include "common/osdep.h"

#include "common/osdep_internal.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// True when rest begins with the component dots ("." or ".."), followed by a
// separator or by the end.
bool starts_with_component(std::string_view rest, std::string_view dots) {
    return rest.starts_with(dots) &&
           (rest.size() == dots.size() || is_separator(rest[dots.size()]));
}

// Drops the last component of out together with the separator before it.
void drop_last_component(std::string &out) {
    size_t at = out.find_last_of("\\/");
    out.resize(at == std::string::npos ? 0 : at);
}

// The base name up to its last '.', with or without the dot.
char *stem(const char *path, bool keep_dot) {
    if (path == nullptr)
        return nullptr;
    std::string_view base = os_path_tail(path);
    size_t dot = base.rfind('.');
    if (dot != std::string_view::npos)
        base = base.substr(0, keep_dot ? dot + 1 : dot);
    return osdep_heap_copy(base);
}

} // namespace

const char *os_path_tail(const char *path) {
    if (path == nullptr)
        return nullptr;
    size_t at = osdep_last_separator(path);
    return at == std::string_view::npos ? path : path + at + 1;
}

char *os_path_basename(const char *path) {
    return path == nullptr ? nullptr : osdep_heap_copy(os_path_tail(path));
}

char *os_path_dirname(const char *path) {
    if (path == nullptr)
        return nullptr;
    std::string_view text = path;
    size_t at = osdep_last_separator(text);
    return at == std::string_view::npos ? nullptr : osdep_heap_copy(text.substr(0, at));
}

char *os_path_stem_dot(const char *path) {
    return stem(path, true);
}

char *os_path_stem(const char *path) {
    return stem(path, false);
}

const char *os_path_ext(const char *path) {
    if (path == nullptr)
        return "";
    const char *dot = std::strrchr(path, '.');
    return dot != nullptr ? dot : path + std::strlen(path);
}

char *os_path_join(const char *dir, const char *name) {
    if (dir == nullptr || *dir == '\0')
        return nullptr;
    std::string_view head = dir;
    std::string_view tail = name != nullptr ? name : "";
    if (head.back() == '\\')
        head.remove_suffix(1);
    if (!tail.empty() && tail.front() == '\\')
        tail.remove_prefix(1);
    std::string joined;
    joined.reserve(head.size() + 1 + tail.size());
    joined.append(head).append(1, '\\').append(tail);
    return osdep_heap_copy(joined);
}

char *os_path_join3(uint32_t, const char *dir, const char *name) {
    return os_path_join(dir, name);
}

// Copies the path component by component: a separator run becomes its last
// character; "." after a separator vanishes (ending the result when it ends
// the path); ".." after a separator removes the last copied component; a
// trailing separator goes unless it follows ':' or the result is shorter
// than three characters.
char *os_path_normalize(const char *path) {
    if (path == nullptr)
        return nullptr;
    std::string_view in = path;
    std::string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        if (!is_separator(in[i])) {
            size_t end = in.find_first_of("\\/", i);
            end = end == std::string_view::npos ? in.size() : end;
            out.append(in.substr(i, end - i));
            i = end;
            continue;
        }
        while (i + 1 < in.size() && is_separator(in[i + 1]))
            ++i;
        char separator = in[i++];
        std::string_view rest = in.substr(i);
        if (starts_with_component(rest, ".")) {
            i += 1;
        } else if (starts_with_component(rest, "..")) {
            drop_last_component(out);
            i += 2;
        } else {
            out.push_back(separator);
        }
    }
    size_t n = out.size();
    if (n >= 3 && is_separator(out[n - 1]) && out[n - 2] != ':')
        out.pop_back();
    return osdep_heap_copy(out);
}

bool os_path_is_absolute(const char *path) {
    if (path == nullptr || path[0] == '\0' || path[1] == '\0')
        return false;
    return path[1] == ':' || (path[0] == '\\' && path[1] == '\\');
}

char *os_path_absolute(const char *path) {
    if (os_path_is_absolute(path))
        return os_path_normalize(path);
    char *cwd = os_getcwd();
    char *joined = os_path_join(cwd, path);
    std::free(cwd);
    char *absolute = os_path_normalize(joined);
    std::free(joined);
    return absolute;
}

char *os_path_relative(const char *path) {
    char *absolute = os_path_absolute(path);
    char *cwd = os_getcwd();
    if (absolute == nullptr || cwd == nullptr) {
        std::free(cwd);
        return absolute;
    }
    std::string_view text = absolute;
    std::string_view prefix = cwd;
    char *result = absolute;
    if (text.substr(0, prefix.size()) == prefix) {
        std::string_view rest = text.substr(prefix.size());
        if (!rest.empty() && is_separator(rest.front()))
            rest.remove_prefix(1);
        result = osdep_heap_copy(rest.empty() ? std::string_view(".") : rest);
        std::free(absolute);
    }
    std::free(cwd);
    return result;
}
