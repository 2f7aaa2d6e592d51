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
#include <vector>

namespace {

// One token holds at most this many characters (the reader's buffer is one
// byte longer for the terminating zero).
constexpr size_t TOKEN_MAX = 2047;
// The token list starts with this many elements.
constexpr int32_t TOKEN_LIST_START = 1024;

const char *program_name = nullptr;
int32_t debug_seen = 0;

// The reader's token list: program name, tokens, null. The tokens' texts
// lie in blocks owned here, which the next read reuses. The list doubles
// when only the slot of the ending null is left, and the texts are not
// allocated one by one, so a command file of a million arguments is read
// in linear time.
class TokenList {
  public:
    // Starts the list again; the texts of the last read become invalid.
    void reset() {
        count_ = 0;
        block_ = 0;
        used_ = 0;
    }

    // Adds a copy of text (length bytes).
    void add(const char *text, size_t length) {
        if (count_ >= capacity_ - 1) {
            capacity_ = capacity_ == 0 ? TOKEN_LIST_START : capacity_ * 2;
            list_ = static_cast<char **>(must_realloc(list_, uint64_t(capacity_) * sizeof(char *)));
        }
        char *copy = room(length + 1);
        memcpy(copy, text, length);
        copy[length] = '\0';
        list_[count_++] = copy;
        list_[count_] = nullptr;
    }

    char **elements() const { return list_; }
    int32_t count() const { return count_; }

  private:
    static constexpr size_t kBlockBytes = 64 * 1024;

    struct Block {
        char *text;
        size_t size;
    };

    // size bytes in the current block, moving on to the next (reused or
    // new) block when it is full.
    char *room(size_t size) {
        while (block_ < blocks_.size() && used_ + size > blocks_[block_].size) {
            ++block_;
            used_ = 0;
        }
        if (block_ == blocks_.size()) {
            size_t bytes = size > kBlockBytes ? size : kBlockBytes;
            blocks_.push_back({static_cast<char *>(must_alloc(uint32_t(bytes))), bytes});
        }
        char *at = blocks_[block_].text + used_;
        used_ += size;
        return at;
    }

    char **list_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    std::vector<Block> blocks_;
    size_t block_ = 0;
    size_t used_ = 0;
};

// Made once and never destroyed: the lists the reader handed out stay
// valid until the process ends (a static object would be taken apart at
// exit, before the last users are done).
TokenList &tokens = *new TokenList;

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
                tokens.add(token_, TOKEN_MAX);
                return;
            }
        }
        if (used_ > 0) {
            tokens.add(token_, used_);
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
        tokens.add(token_, used_);
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
// backslash (the escaped character is copied as it stands). An item without
// a backslash (interned already) is its own result.
const char *resolve_escapes(const char *item) {
    if (strchr(item, '\\') == nullptr) {
        return item;
    }
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

// Reopens standard input on path when it can be read as a command file: a
// regular file, or a terminal (its lines are typed, with a prompt). A
// directory, a pipe, a socket or any other device is refused without being
// read or waited on; standard input then stays as it was.
bool reopen_stdin(const char *path, FileKey &key) {
    struct plat_file_id id;
    if (plat_freopen_input(path, stdin, &id) == nullptr) {
        return false;
    }
    key = {id.volume, id.index};
    return true;
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

void build_into(vec *result, int32_t count, const char *const *vector, cmdline_callback callback);

// Expands the command file named by the '@' item into result. False when the
// item must be kept unchanged (no name, no such file, not a readable file or
// terminal, standard input cannot be reopened on it, or the file is already
// being expanded).
bool expand_command_file(const char *item, cmdline_callback callback, vec *result) {
    const char *path = item + 1;
    FileKey key{};
    if (*path == '\0' || !reopen_stdin(path, key) || refuse_repeat(path, key)) {
        return false;
    }
    int32_t count = 0;
    char **tokens = cmdline_read_args(program_name, &count);
    files_being_expanded.insert(key);
    build_into(result, count, tokens, callback);
    files_being_expanded.erase(key);
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

// cmdline_build into result. A nested command file's arguments go straight
// into the same result, so that deep nesting copies nothing.
void build_into(vec *result, int32_t count, const char *const *vector, cmdline_callback callback) {
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
}

} // namespace

extern "C" {

vec *cmdline_build(int32_t count, const char *const *vector, cmdline_callback callback) {
    vec *result = vec_create(__FILE__, __LINE__);
    build_into(result, count, vector, callback);
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
    tokens.reset();
    if (progname == nullptr) {
        progname = "";
    }
    tokens.add(progname, strlen(progname));
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
    *count = tokens.count();
    return tokens.elements();
}

const char *cmdline_progname(void) {
    return program_name;
}

int32_t cmdline_debug_seen(void) {
    return debug_seen;
}

} // extern "C"
