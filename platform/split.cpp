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

// One further argument, starting at a non-blank character.
const char *take_argument(const char *p, std::string &out) {
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
        if (*p == '\0' || (!quoted && is_blank(*p)))
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

} // namespace

extern "C" char **plat_split_command_line(const char *line, int *count) {
    if (line == nullptr)
        line = "";
    std::vector<std::string> items(1);
    const char *p = take_program_name(line, items[0]);
    for (;;) {
        while (is_blank(*p))
            ++p;
        if (*p == '\0')
            break;
        items.emplace_back();
        p = take_argument(p, items.back());
    }
    if (count != nullptr)
        *count = static_cast<int>(items.size());
    return pack_vector(items);
}
