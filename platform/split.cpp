// split: the Windows runtime's rules for turning one command line into an
// argument vector. Portable: the POSIX launcher needs it to hand a child the
// vector a Windows child would see, and tests check it as a table.
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

bool is_blank_or_line_end(char c) {
    return is_blank(c) || c == '\n';
}

// The program name: up to the first blank outside quotes; quotes toggle and
// are dropped, backslashes are plain characters.
const char *take_program_name(const char *p, std::string &out) {
    bool quoted = false;
    for (; *p != '\0'; ++p) {
        if (*p == '"')
            quoted = !quoted;
        else if (!quoted && is_blank(*p))
            break;
        else
            out += *p;
    }
    return p;
}

// One further argument, starting at a character that is not a separator.
const char *take_argument(const char *p, std::string &out, bool (*separates)(char)) {
    bool quoted = false;
    for (;;) {
        size_t backslashes = 0;
        while (*p == '\\') {
            ++p;
            ++backslashes;
        }
        bool literal = true;
        if (*p == '"') {
            if (backslashes % 2 == 0) {
                if (quoted && p[1] == '"')
                    ++p; // "" inside quotes: one literal quote
                else {
                    literal = false;
                    quoted = !quoted;
                }
            }
            backslashes /= 2;
        }
        out.append(backslashes, '\\');
        if (*p == '\0' || (!quoted && separates(*p)))
            return p;
        if (literal)
            out += *p;
        ++p;
    }
}

// Packs the strings into one malloc'd block: the pointer array, then the texts.
char **pack_vector(const std::vector<std::string> &items) {
    size_t bytes = (items.size() + 1) * sizeof(char *);
    for (const std::string &s : items)
        bytes += s.size() + 1;
    char **vec = static_cast<char **>(std::malloc(bytes));
    if (vec == nullptr)
        return nullptr;
    char *text = reinterpret_cast<char *>(vec + items.size() + 1);
    for (size_t i = 0; i < items.size(); ++i) {
        vec[i] = text;
        std::memcpy(text, items[i].c_str(), items[i].size() + 1);
        text += items[i].size() + 1;
    }
    vec[items.size()] = nullptr;
    return vec;
}

// The arguments from p on, separated by the characters separates accepts.
void take_arguments(const char *p, std::vector<std::string> &items, bool (*separates)(char)) {
    for (;;) {
        while (separates(*p))
            ++p;
        if (*p == '\0')
            return;
        items.emplace_back();
        p = take_argument(p, items.back(), separates);
    }
}

char **finish(const std::vector<std::string> &items, int *count) {
    if (count != nullptr)
        *count = static_cast<int>(items.size());
    return pack_vector(items);
}

} // namespace

extern "C" char **plat_split_command_line(const char *line, int *count) {
    if (line == nullptr)
        line = "";
    std::vector<std::string> items(1);
    take_arguments(take_program_name(line, items[0]), items, is_blank);
    return finish(items, count);
}

extern "C" char **plat_split_arguments(const char *text, int *count) {
    std::vector<std::string> items;
    take_arguments(text == nullptr ? "" : text, items, is_blank_or_line_end);
    return finish(items, count);
}
