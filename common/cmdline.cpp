// cmdline: argument vector construction and the command-file reader.
#include "common/cmdline.h"

#include "common/alert.h"
#include "common/alert_numbers.h"
#include "common/osdep.h"
#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

// One token holds at most this many characters (the reader's buffer is one
// byte longer for the terminating zero).
constexpr size_t TOKEN_MAX = 2047;
// The token list starts with, and grows by, this many elements.
constexpr int32_t TOKEN_LIST_STEP = 1024;

const char *program_name = nullptr;
int32_t debug_seen = 0;

// The reader's token list: program name, tokens, null. Its strings are heap
// copies owned here and released by the next read.
char **token_list = nullptr;
int32_t token_count = 0;
int32_t token_capacity = 0;

// The identity of a file, as a key of the sets below.
struct FileKey {
    uint64_t volume, index;
    bool operator==(const FileKey &) const = default;
};
struct FileKeyHash {
    size_t operator()(const FileKey &k) const {
        return std::hash<uint64_t>()(k.index * 0x9E3779B97F4A7C15ull ^ k.volume);
    }
};
using FileSet = std::unordered_set<FileKey, FileKeyHash>;

// Command files whose expansion is in progress, and those already reported
// as named again while being expanded (each is reported once).
FileSet files_being_expanded;
FileSet repeats_reported;

void token_list_release_strings() {
    for (int32_t i = 0; i < token_count; ++i) {
        free(token_list[i]);
        token_list[i] = nullptr;
    }
    token_count = 0;
}

// Adds a heap copy of text (length bytes); grows the list by one step when
// only the slot for the ending null is left.
void token_list_add(const char *text, size_t length) {
    if (token_count >= token_capacity - 1) {
        int32_t grown = token_capacity + TOKEN_LIST_STEP;
        auto **fresh = static_cast<char **>(must_alloc(uint32_t(grown) * sizeof(char *)));
        if (token_list != nullptr) {
            memcpy(fresh, token_list, size_t(token_count) * sizeof(char *));
            free(token_list);
        }
        token_list = fresh;
        token_capacity = grown;
    }
    auto *copy = static_cast<char *>(must_alloc(uint32_t(length + 1)));
    memcpy(copy, text, length);
    token_list[token_count++] = copy;
    token_list[token_count] = nullptr;
}

// Splits one line into tokens as the command-file grammar says: blanks
// separate (unless quoted or escaped), tabs and line ends always separate,
// '"' and '\'' quote, '\\' escapes the next backslash, quote or blank.
class LineTokenizer {
  public:
    void split(const char *line) {
        std::string_view text(line);
        for (size_t i = 0; i < text.size(); ++i) {
            if (!take(text[i])) {
                alert_msg(MSG_ARGUMENT_TOO_LONG);
                token_list_add(token_, TOKEN_MAX);
                return;
            }
        }
        if (used_ > 0) {
            token_list_add(token_, used_);
        }
    }

  private:
    // Handles one character; false when the token would overflow.
    bool take(char c) {
        switch (c) {
        case '\\':
            if (pending_backslash_) {
                pending_backslash_ = false;
                return add('\\');
            }
            pending_backslash_ = true;
            return true;
        case '"':
        case '\'':
            if (pending_backslash_) {
                pending_backslash_ = false;
                return add(c);
            }
            if (open_quote_ == 0) {
                open_quote_ = c;
                return true;
            }
            if (open_quote_ == c) {
                open_quote_ = 0;
                return true;
            }
            return add(c);
        case ' ':
            if (open_quote_ != 0 || pending_backslash_) {
                pending_backslash_ = false;
                return add(' ');
            }
            end_token();
            return true;
        case '\t':
        case '\n':
            end_token();
            return true;
        default:
            if (pending_backslash_) {
                pending_backslash_ = false;
                return add('\\') && add(c);
            }
            return add(c);
        }
    }

    bool add(char c) {
        if (used_ == TOKEN_MAX) {
            return false;
        }
        token_[used_++] = c;
        return true;
    }

    // A token ended inside the line is kept even when empty; the quote and
    // backslash states carry on.
    void end_token() {
        token_list_add(token_, used_);
        used_ = 0;
    }

    char token_[TOKEN_MAX + 1] = {};
    size_t used_ = 0;
    char open_quote_ = 0;
    bool pending_backslash_ = false;
};

bool starts_with(const char *text, const char *prefix) {
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

// Copies item, dropping each backslash that precedes a blank, a quote or a
// backslash (the escaped character is copied as it stands).
const char *resolve_escapes(const char *item) {
    std::string out;
    out.reserve(strlen(item));
    for (const char *p = item; *p != '\0'; ++p) {
        if (*p == '\\' && (p[1] == ' ' || p[1] == '"' || p[1] == '\'' || p[1] == '\\')) {
            ++p;
        }
        out += *p;
    }
    return sc_intern(out.c_str());
}

// True when path can be read as a command file: a regular file that opens
// for reading, or a terminal (its lines are typed, with a prompt). A
// directory, a pipe, a socket or any other device is refused before it is
// opened, so that it can neither read as empty nor block nor never end.
bool is_command_source(const char *path) {
    struct plat_stat64 st;
    if (plat_stat64(path, &st) != 0 || (!st.is_regular && !st.is_device)) {
        return false;
    }
    FILE *probe = plat_fopen(path, "r");
    if (probe == nullptr) {
        return false;
    }
    bool readable = st.is_regular || plat_isatty(plat_fileno(probe)) != 0;
    fclose(probe);
    return readable;
}

// Reopens standard input on path. When that fails after all, standard input
// is put on the null device, so that descriptor 0 stays taken and no file
// opened later (the error file, a saved standard error) can land on it.
bool reopen_stdin(const char *path) {
    if (plat_freopen(path, "r", stdin) != nullptr) {
        return true;
    }
    plat_freopen(PLAT_NULL_DEVICE, "r", stdin);
    return false;
}

// A file already being expanded is not read again; the first time a file is
// met so, it is reported (a warning: it neither counts as an error nor stops
// the run).
bool refuse_repeat(const char *path, const FileKey &key) {
    if (files_being_expanded.count(key) == 0) {
        return false;
    }
    if (repeats_reported.insert(key).second) {
        alert_msg(MSG_COMMAND_FILE_RECURSION, path);
    }
    return true;
}

// Expands the command file named by the '@' item into result. False when the
// item must be kept unchanged (no name, no such file, not a readable file or
// terminal, standard input cannot be reopened on it, or the file is already
// being expanded).
bool expand_command_file(const char *item, cmdline_callback callback, vec *result) {
    const char *path = item + 1;
    struct plat_file_id id;
    if (*path == '\0' || !os_file_exists(path) || plat_file_identity(path, &id) != 0) {
        return false;
    }
    FileKey key{id.volume, id.index};
    if (refuse_repeat(path, key) || !is_command_source(path) || !reopen_stdin(path)) {
        return false;
    }
    int32_t count = 0;
    char **tokens = cmdline_read_args(program_name, &count);
    files_being_expanded.insert(key);
    vec *nested = cmdline_build(count, tokens, callback);
    files_being_expanded.erase(key);
    vec_append_all(result, nested);
    vec_destroy(nested);
    return true;
}

// The last path component of argv[0], kept for the life of the process.
void record_program_name(const char *argv0) {
    if (program_name == nullptr) {
        char *base = os_path_basename(argv0);
        program_name = sc_intern(base);
        free(base);
    }
}

} // namespace

extern "C" {

vec *cmdline_build(int32_t count, const char *const *vector, cmdline_callback callback) {
    if (count > 0) {
        record_program_name(vector[0]);
        --count;
        ++vector;
    }
    // The items are interned before any nested read, which overwrites the
    // reader's token list that vector may point into.
    vec *items = vec_create(__FILE__, __LINE__);
    for (int32_t i = 0; i < count; ++i) {
        vec_append(items, const_cast<char *>(sc_intern(vector[i])));
    }
    vec *result = vec_create(__FILE__, __LINE__);
    for (uint32_t i = 0; i < vec_size(items); ++i) {
        const auto *item = static_cast<const char *>(vec_get(items, i));
        if (callback != nullptr) {
            callback(item);
        }
        if (starts_with(item, "--vqdebug")) {
            db_parse_options(item);
            debug_seen = 1;
        }
        if (item[0] == '@') {
            if (!expand_command_file(item, callback, result)) {
                vec_append(result, const_cast<char *>(item));
            }
            continue;
        }
        if (item[0] == '\0') {
            continue;
        }
        vec_append(result, const_cast<char *>(resolve_escapes(item)));
    }
    vec_destroy(items);
    return result;
}

vec *cmdline_parse_with(int32_t count, const char *const *vector, cmdline_callback callback) {
    vec *result = cmdline_build(count, vector, callback);
    if (DB_TRACING()) {
        db_dump_argv(count, vector);
    }
    return result;
}

vec *cmdline_parse(int32_t count, const char *const *vector) {
    return cmdline_parse_with(count, vector, nullptr);
}

char **cmdline_read_args(const char *progname, int32_t *count) {
    token_list_release_strings();
    if (progname == nullptr) {
        progname = "";
    }
    token_list_add(progname, strlen(progname));
    bool prompt = plat_isatty(plat_fileno(stdin)) != 0;
    for (;;) {
        if (prompt) {
            printf("%s> ", progname);
            fflush(stdout);
        }
        char *line = nullptr;
        if (reg_readline(&line, stdin) == nullptr) {
            break;
        }
        LineTokenizer().split(line);
        free(line);
    }
    *count = token_count;
    return token_list;
}

const char *cmdline_progname(void) {
    return program_name;
}

int32_t cmdline_debug_seen(void) {
    return debug_seen;
}

} // extern "C"
