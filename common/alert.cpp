// alert: the message catalogue, message files and the reporter.
//
// Catalogue tables are vectors indexed by message number whose slots hold
// alert_record pointers. The first table loaded (the start-up table) gives
// each number its type and level for the life of the process; the latest
// table gives the texts. The built-in rows' texts point into one read-only
// copy of the built-in text made once per process; texts of message files
// are interned. Tables and records are never freed (only the test reset
// releases them).
#include "common/alert.h"

#include "common/alert_catalogue.h"
#include "common/alert_numbers.h"
#include "common/hash.h"
#include "common/osdep.h"
#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char *kNoDescription =
    "An error, warning or message was generated, but no description is available";
constexpr const char *kMalformedRow = "Malformed error information on line %u, in file %s\n";
constexpr const char *kMalformedSkipped =
    "%u more lines of malformed error information in file %s were not reported\n";
constexpr uint32_t kMalformedReports = 10; // reported one by one per catalogue
constexpr uint32_t kFilePieceLimit = 255;  // characters per piece of a message file line
constexpr uint32_t kTextBufferSize = 512;
constexpr uint32_t kLineBufferSize = 8192;
constexpr uint32_t kLineLimit = kLineBufferSize - 1;
constexpr uint32_t kOnceBuckets = 199;
constexpr uint32_t kDefaultMaxErrors = 20;
constexpr const char *kNonLineSpecific = "Non line specific message";

constexpr const char *kDefaultErrFormat = "%f: %l: (%n) %s (error)";
constexpr const char *kDefaultWarnFormat = "%f: %l: (%n) %s (warning)";
constexpr const char *kDefaultMsgFormat = "%f: %l: %s";

// ---------------------------------------------------------------------------
// Module state
// ---------------------------------------------------------------------------

struct CatalogueState {
    vec *primary = nullptr; // the start-up table: types and levels
    vec *latest = nullptr;  // the newest table: texts
    const char *current_file = nullptr;
    uint32_t highest = 0;
    std::vector<void *> owned; // record blocks and records held by tables
    std::vector<vec *> tables;
};

// The line being laid out, with appends cut at the line limit.
struct LineBuffer {
    char data[kLineBufferSize] = {};
    uint32_t length = 0;

    void clear() {
        length = 0;
        data[0] = '\0';
    }
    void append(std::string_view text) {
        uint32_t room = kLineLimit - length;
        uint32_t n = text.size() < room ? static_cast<uint32_t>(text.size()) : room;
        std::memcpy(data + length, text.data(), n);
        length += n;
        data[length] = '\0';
    }
    void append_char(char c) { append(std::string_view(&c, 1)); }
    void append_number(unsigned long long value) {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%llu", value);
        append(digits);
    }
    void vappend(const char *format, va_list args) {
        int n = std::vsnprintf(data + length, kLineBufferSize - length, format, args);
        if (n > 0)
            length = length + static_cast<uint32_t>(n) < kLineLimit ? length + n : kLineLimit;
        data[length] = '\0';
    }
};

// One level of message states: numbers up to ALERT_MAX_NUMBER in a vector
// indexed by number, any higher number in a sparse map (a state may be set
// for any number, whether a catalogue has it or not).
struct StateLevel {
    vec *by_number;
    std::map<uint32_t, int> above;
};

struct ReporterState {
    bool initialised = false;
    const char *err_format = "%s";
    const char *warn_format = "%s";
    const char *msg_format = "%s";
    bool use_formats = false;
    uint32_t errors = 0;
    uint32_t warnings = 0;
    uint32_t max_errors = kDefaultMaxErrors;
    int32_t threshold = 0;
    bool werror = false;
    int saved_errno = 0;
    bool noline = false;
    bool noloc = false;
    const char *ctx_file = nullptr;
    const uint32_t *ctx_line = nullptr;
    const char *const *ctx_line_start = nullptr;
    const char *const *ctx_current = nullptr;
    // The stack of levels, bottom first; made on first use and, like all
    // of the reporter's state, kept until the process ends.
    std::vector<StateLevel> *states = nullptr;
    hash *once = nullptr;
    alert_output_fn output = nullptr;
    alert_hook_fn hook = nullptr;
    char text[kTextBufferSize] = {};
    LineBuffer line;
    bool continuation = false;
};

CatalogueState cat;
ReporterState rep;

// The built-in text with every line end replaced by NUL: the texts of the
// built-in records point into it. Made once per process, never freed.
const char *builtin_text_copy() {
    static char *copy = [] {
        char *text = static_cast<char *>(must_alloc(alert_builtin_catalogue_size + 1));
        std::memcpy(text, alert_builtin_catalogue, alert_builtin_catalogue_size);
        for (uint32_t i = 0; i < alert_builtin_catalogue_size; ++i)
            if (text[i] == '\n' || text[i] == '\r')
                text[i] = '\0';
        return text;
    }();
    return copy;
}

// ---------------------------------------------------------------------------
// Tracing
// ---------------------------------------------------------------------------

const char *or_null(const char *s) {
    return s ? s : "(null)";
}

// ---------------------------------------------------------------------------
// Catalogue rows
// ---------------------------------------------------------------------------

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// One line of catalogue text split into its fields.
struct Row {
    uint32_t number = 0;
    std::string_view type;
    std::string_view text;
};

enum class RowKind { Comment, Row, Malformed };

std::string_view next_token(std::string_view line, size_t &pos) {
    while (pos < line.size() && is_blank(line[pos]))
        ++pos;
    size_t start = pos;
    while (pos < line.size() && !is_blank(line[pos]))
        ++pos;
    return line.substr(start, pos - start);
}

// The row number of a token: decimal digits with a value of at most 10000.
bool parse_number(std::string_view token, uint32_t &number) {
    if (token.empty())
        return false;
    uint32_t value = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > ALERT_MAX_NUMBER)
            return false;
    }
    number = value;
    return true;
}

// Splits a line into number, type token and text. The text is everything
// after the one separator that ends the type token.
RowKind split_row(std::string_view line, Row &row) {
    if (!line.empty() && line[0] == '#')
        return RowKind::Comment;
    size_t pos = 0;
    if (!parse_number(next_token(line, pos), row.number))
        return RowKind::Malformed;
    row.type = next_token(line, pos);
    if (row.type.empty() || pos + 1 >= line.size())
        return RowKind::Malformed;
    row.text = line.substr(pos + 1);
    return RowKind::Row;
}

// Type and level of a type token; ALERT_UNKNOWN for an unrecognised one.
void classify_type(std::string_view token, uint32_t &type, int32_t &level) {
    level = 0;
    switch (token[0]) {
    case 'F':
    case 'f':
        type = ALERT_FATAL;
        return;
    case 'E':
    case 'e':
        type = ALERT_ERROR;
        return;
    case 'M':
    case 'm':
        type = ALERT_MESSAGE;
        return;
    default:
        break;
    }
    if (token[0] == '-' || (token[0] >= '0' && token[0] <= '9')) {
        type = ALERT_WARNING;
        level = static_cast<int32_t>(std::strtol(std::string(token).c_str(), nullptr, 10));
        return;
    }
    type = ALERT_UNKNOWN;
}

void report_malformed(uint32_t line_number, const char *catalogue_name) {
    alert_typed_msg(MSG_MALFORMED_ROW, "M", kMalformedRow, line_number, catalogue_name);
}

// Reports the malformed rows of one catalogue, the first kMalformedReports
// of them each on its own line and the rest as one count at the end, so
// that a file of garbage cannot flood the output.
class MalformedReports {
  public:
    explicit MalformedReports(const char *name) : name_(name) {}
    ~MalformedReports() {
        if (skipped_ > 0)
            alert_typed_msg(MSG_MALFORMED_ROW, "M", kMalformedSkipped, skipped_, name_);
    }
    void report(uint32_t line_number) {
        if (reported_ < kMalformedReports) {
            ++reported_;
            report_malformed(line_number, name_);
        } else {
            ++skipped_;
        }
    }

  private:
    const char *name_;
    uint32_t reported_ = 0;
    uint32_t skipped_ = 0;
};

// Walks catalogue text line by line (pieces of at most piece_limit
// characters when it is not 0), numbering lines from 1.
template <typename Visit>
void for_each_line(const char *text, uint32_t size, uint32_t piece_limit, Visit visit) {
    uint32_t pos = 0;
    uint32_t line_number = 0;
    while (pos < size) {
        uint32_t window = piece_limit && size - pos > piece_limit ? piece_limit : size - pos;
        const void *nl = std::memchr(text + pos, '\n', window);
        uint32_t end =
            nl ? static_cast<uint32_t>(static_cast<const char *>(nl) - text) : pos + window;
        uint32_t next = nl ? end + 1 : end;
        visit(++line_number, std::string_view(text + pos, end - pos));
        pos = next;
    }
}

// The arguments a printf format takes, one item per conversion: its length
// modifier and conversion character ("*" for a width or precision read from
// the arguments); "%%" and "%m" take none. False when the format holds "%n"
// or a conversion that cannot be read.
bool format_arguments(std::string_view format, std::vector<std::string> &arguments) {
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        if (++i < format.size() && (format[i] == '%' || format[i] == 'm'))
            continue;
        while (i < format.size() && std::strchr("-+ #0'", format[i]) != nullptr)
            ++i;
        for (bool precision = false;; precision = true) {
            if (i < format.size() && format[i] == '*') {
                arguments.push_back("*");
                ++i;
            }
            while (i < format.size() && format[i] >= '0' && format[i] <= '9')
                ++i;
            if (precision || i >= format.size() || format[i] != '.')
                break;
            ++i;
        }
        size_t start = i;
        while (i < format.size() && std::strchr("hlLqjzZt", format[i]) != nullptr)
            ++i;
        if (i >= format.size() || std::strchr("diouxXeEfFgGaAcspCS", format[i]) == nullptr)
            return false;
        arguments.emplace_back(format.substr(start, i + 1 - start));
    }
    return true;
}

// The built-in text of each number (empty where the built-in catalogue
// has no row), made once.
const std::vector<std::string_view> &builtin_texts() {
    static const std::vector<std::string_view> texts = [] {
        std::vector<std::string_view> by_number(ALERT_MAX_NUMBER + 1);
        for_each_line(alert_builtin_catalogue, alert_builtin_catalogue_size, 0,
                      [&](uint32_t, std::string_view line) {
                          Row row;
                          if (split_row(line, row) == RowKind::Row)
                              by_number[row.number] = row.text;
                      });
        return by_number;
    }();
    return texts;
}

// True when a message file's text for number may stand in for the built-in
// one: it takes no argument that the built-in text does not take at the
// same place (it may take fewer), and never writes through "%n". Message
// files are data anyone can drop into a build directory; a text that reads
// arguments the program does not pass would crash it.
bool takes_builtin_arguments(uint32_t number, std::string_view text) {
    std::vector<std::string> file_args, builtin_args;
    if (!format_arguments(text, file_args))
        return false;
    std::string_view builtin = builtin_texts()[number];
    if (builtin.empty())
        return true; // not a built-in number: the row is dropped anyway
    format_arguments(builtin, builtin_args);
    return file_args.size() <= builtin_args.size() &&
           std::equal(file_args.begin(), file_args.end(), builtin_args.begin());
}

alert_record *new_record(const Row &row, const char *text) {
    auto *rec = static_cast<alert_record *>(must_alloc(sizeof(alert_record)));
    rec->number = row.number;
    rec->text = text;
    classify_type(row.type, rec->type, rec->level);
    return rec;
}

// ---------------------------------------------------------------------------
// Tables
// ---------------------------------------------------------------------------

alert_record *record_at(vec *table, uint32_t number) {
    return table ? static_cast<alert_record *>(vec_get(table, number)) : nullptr;
}

// Reads a whole text file as a text-mode stream gives it (line ends read
// as a single line feed); false when it cannot be opened or read.
bool read_file(const char *path, std::string &content) {
    FILE *f = plat_fopen(path, "r");
    if (!f)
        return false;
    char chunk[4096];
    while (plat_fgets(chunk, sizeof chunk, f))
        content.append(chunk, std::strlen(chunk));
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return !failed;
}

bool is_builtin_name(const char *path) {
    return path && std::strcmp(path, alert_builtin_name()) == 0;
}

// Builds the result table of read_edf: exactly the built-in numbers, each
// from file_table when it has the number, else from the built-in row.
vec *merge_with_builtin(vec *file_table) {
    const char *texts = builtin_text_copy();
    const char *name = alert_builtin_name();
    uint32_t rows = 0;
    for (uint32_t i = 0; i < alert_builtin_catalogue_size; ++i)
        rows += alert_builtin_catalogue[i] == '\n';
    auto *block = static_cast<alert_record *>(must_alloc((rows + 1) * sizeof(alert_record)));
    cat.owned.push_back(block);
    vec *result = vec_create_sized(ALERT_MAX_NUMBER + 1, __FILE__, __LINE__);
    uint32_t used = 0;
    uint32_t last = 0;
    for_each_line(alert_builtin_catalogue, alert_builtin_catalogue_size, 0,
                  [&](uint32_t line_number, std::string_view line) {
                      Row row;
                      RowKind kind = split_row(line, row);
                      if (kind == RowKind::Comment)
                          return;
                      if (kind == RowKind::Malformed) {
                          report_malformed(line_number, name);
                          return;
                      }
                      last = row.number;
                      if (alert_record *from_file = record_at(file_table, row.number)) {
                          vec_set(file_table, nullptr, row.number);
                          cat.owned.push_back(from_file);
                          vec_set(result, from_file, row.number);
                          return;
                      }
                      alert_record *rec = &block[used++];
                      rec->number = row.number;
                      rec->text = texts + (row.text.data() - alert_builtin_catalogue);
                      classify_type(row.type, rec->type, rec->level);
                      if (rec->type == ALERT_UNKNOWN)
                          report_malformed(line_number, name);
                      vec_set(result, rec, row.number);
                  });
    cat.highest = last;
    return result;
}

void free_records(vec *table) {
    for (uint32_t i = 0; i < vec_size(table); ++i)
        std::free(vec_get(table, i));
}

vec *read_edf_impl(const char *path) {
    vec *file_table = nullptr;
    if (!is_builtin_name(path)) {
        std::string content;
        if (!read_file(path, content)) {
            DB_TRACE("cannot read message file \"%s\"", path);
            return nullptr;
        }
        file_table = vec_create(__FILE__, __LINE__);
        alert_parse_catalogue(content.data(), static_cast<uint32_t>(content.size()), path,
                              file_table);
    }
    vec *result = merge_with_builtin(file_table);
    free_records(file_table);
    vec_destroy(file_table);
    cat.tables.push_back(result);
    cat.latest = result;
    if (!cat.primary)
        cat.primary = result;
    cat.current_file = sc_intern(path);
    return result;
}

// ---------------------------------------------------------------------------
// Message files
// ---------------------------------------------------------------------------

bool starts_with(const char *s, const char *prefix) {
    return prefix && std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

// Three-way "newness" order, newest first: version descending; among equal
// versions a path inside the version directory first; then the greater path
// first.
int compare_newest_first(const char *a, const char *b) {
    uint64_t va = getMsgFileVersion(a);
    uint64_t vb = getMsgFileVersion(b);
    if (va != vb)
        return va > vb ? -1 : 1;
    const char *version_dir = vqinstdir(VQINSTDIR_VERSION);
    bool a_inside = starts_with(a, version_dir);
    bool b_inside = starts_with(b, version_dir);
    if (a_inside != b_inside)
        return a_inside ? -1 : 1;
    return -std::strcmp(a, b);
}

// True when candidate is newer than current. Equal paths are never newer.
bool is_newer(const char *candidate, const char *current) {
    uint64_t vc = getMsgFileVersion(candidate);
    uint64_t vo = getMsgFileVersion(current);
    if (vc != vo)
        return vc > vo;
    if (std::strcmp(candidate, current) == 0)
        return false;
    const char *version_dir = vqinstdir(VQINSTDIR_VERSION);
    if (starts_with(current, version_dir))
        return false;
    return starts_with(candidate, version_dir) || std::strcmp(current, candidate) < 0;
}

int compare_slots(const void *a, const void *b) {
    return compare_newest_first(*static_cast<char *const *>(a), *static_cast<char *const *>(b));
}

void free_list(vec *list) {
    for (uint32_t i = 0; i < vec_size(list); ++i)
        std::free(vec_get(list, i));
    vec_destroy(list);
}

// The "dat" directory beside the program's directory, or null.
const char *sibling_dat_dir() {
    const char *program_dir = vqinstdir_program_dir();
    char *parent = program_dir ? os_path_dirname(program_dir) : nullptr;
    if (!parent)
        return nullptr;
    const char *dat = sc_path_join(parent, "dat");
    std::free(parent);
    return dat;
}

const char *msg_filename_impl(int language) {
    vec *list = vec_create(__FILE__, __LINE__);
    findMsgFiles(reg_instdir(REG_DIR_DAT), language, list);
    if (vec_size(list) == 0)
        findMsgFiles(sibling_dat_dir(), language, list);
    if (vec_size(list) == 0) {
        char *cwd = os_getcwd();
        findMsgFiles(cwd, language, list);
        std::free(cwd);
    }
    bool found = vec_size(list) > 0;
    vec_append(list, heap_concat(alert_builtin_name(), ""));
    if (found)
        vec_sort(list, compare_slots);
    const char *chosen = sc_intern(static_cast<const char *>(vec_get(list, 0)));
    free_list(list);
    return chosen;
}

int open_edf_impl(const char *path) {
    if (!is_builtin_name(path)) {
        if (!os_file_exists(path))
            return 0;
        path = sc_intern(path);
    }
    if (!rep.initialised)
        alert_init();
    if (cat.current_file && !is_newer(path, cat.current_file)) {
        DB_TRACE("\"%s\" is not newer than \"%s\"", path, cat.current_file);
        return 1;
    }
    return read_edf(path) ? 1 : 0;
}

int open_edf_dir_impl(const char *directory) {
    if (!os_is_dir(directory))
        return 0;
    vec *list = vec_create(__FILE__, __LINE__);
    int result = 1;
    if (findMsgFiles(directory, REG_LANG_NONE, list) > 0) {
        vec_sort(list, compare_slots);
        result = open_edf(static_cast<const char *>(vec_get(list, 0)));
    }
    free_list(list);
    return result;
}

// ---------------------------------------------------------------------------
// Message states
// ---------------------------------------------------------------------------

StateLevel &top_level() {
    if (rep.states == nullptr)
        rep.states = new std::vector<StateLevel>;
    if (rep.states->empty())
        rep.states->push_back({vec_create(__FILE__, __LINE__), {}});
    return rep.states->back();
}

int state_of(uint32_t number) {
    if (rep.states == nullptr || rep.states->empty())
        return 0;
    const StateLevel &level = rep.states->back();
    if (number <= ALERT_MAX_NUMBER)
        return static_cast<int>(reinterpret_cast<intptr_t>(vec_get(level.by_number, number)));
    auto found = level.above.find(number);
    return found == level.above.end() ? 0 : found->second;
}

void set_state(uint32_t number, int state) {
    StateLevel &level = top_level();
    if (number <= ALERT_MAX_NUMBER)
        vec_set(level.by_number, reinterpret_cast<void *>(static_cast<intptr_t>(state)), number);
    else if (state == ALERT_STATE_NONE)
        level.above.erase(number);
    else
        level.above[number] = state;
}

void drop_top_level() {
    vec_destroy(rep.states->back().by_number);
    rep.states->pop_back();
}

// Sets state for every number whose start-up type passes the filter.
template <typename Filter> void set_state_where(int state, Filter filter) {
    if (!rep.initialised)
        alert_init();
    for (uint32_t n = 0; n < vec_size(cat.primary); ++n)
        if (alert_record *rec = record_at(cat.primary, n); rec && filter(rec->type))
            set_state(n, state);
}

void apply_state(alert_record *rec) {
    switch (state_of(rec->number)) {
    case ALERT_STATE_QUIET:
        if (rec->type == ALERT_MESSAGE || rec->type == ALERT_WARNING)
            rec->type = ALERT_SUPPRESSED;
        break;
    case ALERT_STATE_OFF:
    case ALERT_STATE_DISABLED:
        if (rec->type != ALERT_FATAL)
            rec->type = ALERT_SUPPRESSED;
        break;
    case ALERT_STATE_DEMOTE:
        if (rec->type == ALERT_ERROR) {
            rec->type = ALERT_WARNING;
            rec->level = rep.threshold;
        }
        break;
    case ALERT_STATE_PROMOTE:
        if (rec->type == ALERT_WARNING)
            rec->type = ALERT_ERROR;
        break;
    default:
        break;
    }
}

// The looked-up record with the number's state applied (the caller frees).
alert_record *effective_record(uint32_t number) {
    alert_record *rec = alert_lookup(number);
    apply_state(rec);
    return rec;
}

bool is_filtered(const alert_record *rec) {
    return rec->type == ALERT_SUPPRESSED ||
           (rec->type == ALERT_WARNING && rec->level < rep.threshold);
}

// ---------------------------------------------------------------------------
// Layout and printing
// ---------------------------------------------------------------------------

enum class LineClass { Message, Error, Warning };

LineClass class_of_type(uint32_t type) {
    if (type == ALERT_MESSAGE)
        return LineClass::Message;
    if (type == ALERT_FATAL || type == ALERT_ERROR)
        return LineClass::Error;
    return LineClass::Warning;
}

LineClass class_of_char(char c) {
    switch (c) {
    case 'M':
    case 'm':
        return LineClass::Message;
    case 'E':
    case 'F':
    case 'e':
    case 'f':
        return LineClass::Error;
    default:
        return LineClass::Warning;
    }
}

const char *error_text(int number) {
    return number ? std::strerror(number) : "";
}

// Copies text into out (at most 511 characters) with every "%m" replaced by
// the system text of the saved error number; other "%x" pairs stay.
void expand_percent_m(const char *text, char (&out)[kTextBufferSize]) {
    size_t length = 0;
    auto put = [&](std::string_view piece) {
        size_t n = std::min(piece.size(), kTextBufferSize - 1 - length);
        std::memcpy(out + length, piece.data(), n);
        length += n;
    };
    for (const char *p = text; *p && length < kTextBufferSize - 1; ++p) {
        bool pair = p[0] == '%' && p[1] != '\0';
        if (pair && p[1] == 'm')
            put(error_text(rep.saved_errno));
        else
            put(std::string_view(p, pair ? 2 : 1));
        p += pair ? 1 : 0;
    }
    out[length] = '\0';
}

// Fills the text buffer: "(number) " for errors and warnings in the fixed
// layout, then the formatted text, at most 511 characters in all.
void format_text(uint32_t number, LineClass cls, const char *text, va_list args) {
    char expanded[kTextBufferSize];
    expand_percent_m(text ? text : "", expanded);
    int prefix = 0;
    if (!rep.use_formats && cls != LineClass::Message)
        prefix = std::snprintf(rep.text, kTextBufferSize, "(%u) ", number);
    std::vsnprintf(rep.text + prefix, kTextBufferSize - prefix, expanded, args);
}

bool has_file() {
    return rep.ctx_file && *rep.ctx_file;
}

void layout_fixed(LineClass cls) {
    LineBuffer &line = rep.line;
    if (has_file() && !rep.noloc) {
        line.append(rep.noline ? kNonLineSpecific : rep.ctx_file);
        line.append(": ");
    }
    if (rep.ctx_line && !rep.noline) {
        line.append_number(*rep.ctx_line);
        line.append(": ");
    }
    line.append(rep.text);
    if (cls == LineClass::Warning)
        line.append(" (warning)");
}

// Skips one ':' and then one blank after a location code left empty.
void skip_location_separators(const char *&p) {
    if (p[1] == ':')
        ++p;
    if (p[1] == ' ')
        ++p;
}

void layout_template(LineClass cls, uint32_t number) {
    const char *format = cls == LineClass::Message ? rep.msg_format
                         : cls == LineClass::Error ? rep.err_format
                                                   : rep.warn_format;
    LineBuffer &line = rep.line;
    for (const char *p = format; *p; ++p) {
        if (*p != '%') {
            line.append_char(*p);
            continue;
        }
        if (!*++p)
            break;
        switch (*p) {
        case 'a':
            line.append("vq4");
            break;
        case 'c':
            if (rep.noloc)
                skip_location_separators(p);
            else if (rep.ctx_current && rep.ctx_line_start && has_file())
                line.append_number(
                    static_cast<unsigned long long>(*rep.ctx_current - *rep.ctx_line_start));
            break;
        case 'f':
            if (rep.noloc)
                skip_location_separators(p);
            else if (rep.noline)
                line.append(kNonLineSpecific);
            else if (has_file())
                line.append(rep.ctx_file);
            break;
        case 'l':
            if (rep.noline)
                skip_location_separators(p);
            else if (rep.ctx_line && has_file())
                line.append_number(*rep.ctx_line);
            break;
        case 'm':
            line.append(std::strerror(rep.saved_errno));
            break;
        case 'n':
            line.append_number(number);
            break;
        case 's':
            line.append(rep.text);
            break;
        default:
            line.append_char(*p);
            break;
        }
    }
}

// Ends the line buffer with a newline and hands it out.
int print_line() {
    LineBuffer &line = rep.line;
    if (line.length < kLineLimit)
        line.data[line.length++] = '\n';
    else
        line.data[kLineLimit - 1] = '\n';
    line.data[line.length] = '\0';
    if (gDebugFlags & DB_FLAG_ALERTS)
        db_alert_echo(line.data);
    if (rep.output)
        return rep.output(line.data);
    std::fputs(line.data, stderr);
    std::fflush(stderr);
    return 1;
}

int print_report(uint32_t number, LineClass cls, const char *text, va_list args) {
    format_text(number, cls, text, args);
    rep.line.clear();
    if (rep.use_formats)
        layout_template(cls, number);
    else
        layout_fixed(cls);
    return print_line();
}

[[noreturn]] void exit_after_cleanup() {
    cleanup(1);
    std::exit(1);
}

// Counts an error; past the maximum reports "too many errors" and ends the
// process.
void count_error() {
    uint32_t before = rep.errors++;
    if (before >= rep.max_errors) {
        alert_typed_msg(MSG_TOO_MANY_ERRORS, "M", "too many errors (%u)", rep.errors);
        exit_after_cleanup();
    }
}

int32_t level_of_type_string(const char *type) {
    bool numeric = std::isdigit(static_cast<unsigned char>(type[0])) ||
                   (type[0] == '-' && std::isdigit(static_cast<unsigned char>(type[1])));
    return numeric ? static_cast<int32_t>(std::strtol(type, nullptr, 10)) : 10;
}

int typed_vmsg(uint32_t number, const char *type, const char *text, va_list args) {
    rep.saved_errno = errno;
    if (!type)
        type = "";
    int32_t level = level_of_type_string(type);
    char kind = static_cast<char>(std::tolower(static_cast<unsigned char>(type[0])));
    if (kind == 'f') {
        if (level < rep.threshold)
            return 0;
        print_report(number, LineClass::Error, text, args);
        exit_after_cleanup();
    }
    if (kind == 'e')
        count_error();
    if (rep.threshold > level)
        return 0;
    print_report(number, class_of_char(type[0]), text, args);
    return 1;
}

// Runs a numbered report with the no-line and no-location flags set.
int vmsg_with_flags(uint32_t number, va_list args, bool noline, bool noloc) {
    bool old_noline = rep.noline;
    bool old_noloc = rep.noloc;
    rep.noline = noline;
    rep.noloc = noloc;
    int result = alert_vmsg(number, args);
    rep.noline = old_noline;
    rep.noloc = old_noloc;
    return result;
}

// ---------------------------------------------------------------------------
// Once per location
// ---------------------------------------------------------------------------

// A location of the once-per-location reports. A key looked up points at
// the context's own file name; a stored key at its private copy, which is
// allocated with it.
struct OnceKey {
    uint32_t number;
    uint32_t line;
    const char *file;
};

uint32_t once_hash(const void *key) {
    auto *k = static_cast<const OnceKey *>(key);
    return (k->line << 16) ^ k->number ^ hash_string(k->file);
}

int once_compare(const void *a, const void *b) {
    auto *x = static_cast<const OnceKey *>(a);
    auto *y = static_cast<const OnceKey *>(b);
    return x->number == y->number && x->line == y->line && std::strcmp(x->file, y->file) == 0 ? 0
                                                                                              : 1;
}

// The key of the current location, without allocating.
OnceKey current_location(uint32_t number) {
    return {number, rep.ctx_line ? *rep.ctx_line : 0, rep.ctx_file ? rep.ctx_file : ""};
}

// A stored copy of key, its file name copied with it.
OnceKey *keep_once_key(const OnceKey &key) {
    size_t length = std::strlen(key.file);
    auto *kept =
        static_cast<OnceKey *>(must_alloc(static_cast<uint32_t>(sizeof(OnceKey) + length + 1)));
    char *file = reinterpret_cast<char *>(kept + 1);
    std::memcpy(file, key.file, length + 1);
    *kept = {key.number, key.line, file};
    return kept;
}

int vmsg_once(uint32_t number, va_list args, bool noline, bool noloc) {
    int saved = errno;
    if (rep.hook) {
        va_list hook_args;
        va_copy(hook_args, args);
        rep.hook(number, &hook_args);
        va_end(hook_args);
    }
    if (!rep.once)
        rep.once = hash_create(kOnceBuckets, once_hash, once_compare, __FILE__, __LINE__);
    OnceKey key = current_location(number);
    if (hash_haskey(rep.once, &key))
        return 0;
    if (!rep.initialised)
        alert_init();
    alert_record *rec = effective_record(number);
    if (!is_filtered(rec)) {
        OnceKey *kept = keep_once_key(key);
        hash_insert(rep.once, kept, kept, __FILE__, __LINE__);
    }
    std::free(rec);
    errno = saved;
    return vmsg_with_flags(number, args, noline, noloc);
}

int free_once_key(void *, const void *key, void *) {
    std::free(const_cast<void *>(key));
    return 0;
}

const char *template_from(const char *variable, const char *given, const char *fallback,
                          bool given_wins) {
    const char *env = plat_getenv(variable); // set but empty is set: an empty template
    const char *first = given_wins ? given : env;
    const char *second = given_wins ? env : given;
    return sc_intern(first ? first : second ? second : fallback);
}

void set_templates(const char *error, const char *warning, const char *message, bool given_wins) {
    rep.err_format = template_from("ZEB_ERR_FORMAT", error, kDefaultErrFormat, given_wins);
    rep.warn_format = template_from("ZEB_WARN_FORMAT", warning, kDefaultWarnFormat, given_wins);
    rep.msg_format = template_from("ZEB_MSG_FORMAT", message, kDefaultMsgFormat, given_wins);
}

} // namespace

// ---------------------------------------------------------------------------
// Catalogue and message files
// ---------------------------------------------------------------------------

alert_record *alert_lookup(uint32_t number) {
    DB_ENTER("alert_lookup", "%u", number);
    auto *copy = static_cast<alert_record *>(must_alloc(sizeof(alert_record)));
    if (const alert_record *primary = record_at(cat.primary, number)) {
        *copy = *primary;
        if (const alert_record *latest = record_at(cat.latest, number))
            copy->text = latest->text;
    } else {
        *copy = {ALERT_ERROR, number, kNoDescription, 0};
    }
    DB_EXIT("alert_lookup", "type %u, \"%s\"", copy->type, copy->text);
    return copy;
}

uint32_t alert_parse_catalogue(const char *text, uint32_t size, const char *name, vec *table) {
    uint32_t last = 0;
    MalformedReports malformed(name);
    for_each_line(text, size, kFilePieceLimit, [&](uint32_t line_number, std::string_view line) {
        Row row;
        RowKind kind = split_row(line, row);
        if (kind == RowKind::Comment)
            return;
        if (kind == RowKind::Malformed || !takes_builtin_arguments(row.number, row.text)) {
            malformed.report(line_number);
            return;
        }
        alert_record *rec =
            new_record(row, sc_intern_n(row.text.data(), static_cast<uint32_t>(row.text.size())));
        if (rec->type == ALERT_UNKNOWN)
            malformed.report(line_number);
        std::free(record_at(table, row.number));
        vec_set(table, rec, row.number);
        last = row.number;
    });
    return last;
}

uint32_t findMsgFiles(const char *directory, int language, vec *list) {
    DB_ENTER("findMsgFiles", "\"%s\", %d", or_null(directory), language);
    uint32_t found = 0;
    plat_dir *dir = directory && list && os_is_dir(directory) ? plat_opendir(directory) : nullptr;
    if (dir) {
        const char *code = reg_lang_code(language);
        std::string legacy = std::string(code) + "_msgs.txt";
        std::string suffix = std::string("_") + code + ".msgs";
        while (const char *entry = plat_readdir(dir)) {
            std::string_view name = entry;
            if (name == legacy || name.ends_with(suffix)) {
                vec_append(list, os_path_join(directory, entry));
                ++found;
            }
        }
        plat_closedir(dir);
    }
    DB_EXIT("findMsgFiles", "%u", found);
    return found;
}

const char *msg_filename(int language) {
    DB_ENTER("msg_filename", "%d", language);
    const char *chosen = msg_filename_impl(language);
    DB_EXIT("msg_filename", "\"%s\"", chosen);
    return chosen;
}

uint64_t getMsgFileVersion(const char *path) {
    DB_ENTER("getMsgFileVersion", "\"%s\"", or_null(path));
    const char *base = os_path_tail(path);
    uint64_t version = base && std::isdigit(static_cast<unsigned char>(base[0]))
                           ? std::strtoull(base, nullptr, 10)
                           : 0;
    DB_EXIT("getMsgFileVersion", "%llu", static_cast<unsigned long long>(version));
    return version;
}

vec *read_edf(const char *path) {
    DB_ENTER("read_edf", "\"%s\"", or_null(path));
    vec *table = path ? read_edf_impl(path) : nullptr;
    DB_EXIT("read_edf", "%s", table ? "table" : "(null)");
    return table;
}

int open_edf(const char *path) {
    DB_ENTER("open_edf", "\"%s\"", or_null(path));
    int result = path ? open_edf_impl(path) : 0;
    DB_EXIT("open_edf", "%d", result);
    return result;
}

int open_edf_dir(const char *directory) {
    DB_ENTER("open_edf_dir", "\"%s\"", or_null(directory));
    int result = directory ? open_edf_dir_impl(directory) : 0;
    DB_EXIT("open_edf_dir", "%d", result);
    return result;
}

int alert_set_language(int language) {
    DB_ENTER("alert_set_language", "%d", language);
    if (!rep.initialised)
        alert_init();
    const char *name = msg_filename(language);
    int result = open_edf(name);
    if (!result) {
        alert_print("Could not open message file %s\n", name);
        exit_after_cleanup();
    }
    DB_EXIT("alert_set_language", "%d", result);
    return result;
}

int alert_valid_num(uint32_t number) {
    DB_ENTER("alert_valid_num", "%u", number);
    int valid = number <= cat.highest;
    DB_EXIT("alert_valid_num", "%d", valid);
    return valid;
}

const char *alert_msg_file(void) {
    DB_ENTER("alert_msg_file", nullptr);
    DB_EXIT("alert_msg_file", "%s", or_null(cat.current_file));
    return cat.current_file;
}

const char *alert_builtin_name(void) {
    static const char *name = sc_printf("%lld_en.msgs", static_cast<long long>(reg_build_number()));
    return name;
}

// ---------------------------------------------------------------------------
// Reporting by number
// ---------------------------------------------------------------------------

int alert_vmsg(uint32_t number, va_list args) {
    rep.saved_errno = errno;
    if (!rep.initialised)
        alert_init();
    alert_record *rec = effective_record(number);
    if (is_filtered(rec)) {
        std::free(rec);
        return 0;
    }
    if (rep.hook)
        rep.hook(0, nullptr);
    rep.line.clear();
    if (rec->type == ALERT_ERROR)
        count_error();
    else if (rec->type == ALERT_WARNING)
        ++rep.warnings;
    uint32_t type = rec->type;
    const char *text = rec->text;
    std::free(rec);
    print_report(number, class_of_type(type), text, args);
    if (type == ALERT_FATAL)
        exit_after_cleanup();
    return 1;
}

int alert_msg(uint32_t number, ...) {
    va_list args;
    va_start(args, number);
    int result = alert_vmsg(number, args);
    va_end(args);
    return result;
}

int alert_vmsg_noline(uint32_t number, va_list args) {
    return vmsg_with_flags(number, args, true, rep.noloc);
}

int alert_msg_noline(uint32_t number, ...) {
    va_list args;
    va_start(args, number);
    int result = alert_vmsg_noline(number, args);
    va_end(args);
    return result;
}

int alert_msg_noloc(uint32_t number, ...) {
    va_list args;
    va_start(args, number);
    int result = vmsg_with_flags(number, args, true, true);
    va_end(args);
    return result;
}

int alert_vmsg_once(uint32_t number, va_list args) {
    return vmsg_once(number, args, rep.noline, rep.noloc);
}

int alert_msg_once(uint32_t number, ...) {
    va_list args;
    va_start(args, number);
    int result = alert_vmsg_once(number, args);
    va_end(args);
    return result;
}

int alert_vmsg_once_noline(uint32_t number, va_list args) {
    return vmsg_once(number, args, true, rep.noloc);
}

int alert_msg_once_noline(uint32_t number, ...) {
    va_list args;
    va_start(args, number);
    int result = alert_vmsg_once_noline(number, args);
    va_end(args);
    return result;
}

int alert_msg_once_noloc(uint32_t number, ...) {
    va_list args;
    va_start(args, number);
    int result = vmsg_once(number, args, true, true);
    va_end(args);
    return result;
}

int alert_typed_msg(uint32_t number, const char *type, const char *text, ...) {
    va_list args;
    va_start(args, text);
    int result = typed_vmsg(number, type, text, args);
    va_end(args);
    return result;
}

int alert_typed(const char *type, const char *text, ...) {
    if (rep.hook)
        rep.hook(0, nullptr);
    va_list args;
    va_start(args, text);
    int result = typed_vmsg(0, type, text, args);
    va_end(args);
    return result;
}

void alert_fatal(int code) {
    const char *prog = vqinstdir_program_path();
    const char *base = prog ? os_path_tail(prog) : nullptr;
    const char *prefix = base && *base ? base : "VQ4";
    alert_msg(MSG_INTERNAL_ERROR, sc_printf("%s%s fatal error %d", "", prefix, code));
    std::exit(code ? code : 1);
}

// ---------------------------------------------------------------------------
// Plain lines
// ---------------------------------------------------------------------------

int alert_vprint(const char *format, va_list args) {
    rep.saved_errno = errno;
    rep.line.clear();
    rep.line.vappend(format, args);
    return print_line();
}

int alert_print(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int result = alert_vprint(format, args);
    va_end(args);
    return result;
}

int alert_continue(int done, const char *format, ...) {
    if (!rep.continuation) {
        rep.line.clear();
        rep.line.append_char('\t');
    }
    va_list args;
    va_start(args, format);
    rep.line.vappend(format, args);
    va_end(args);
    rep.continuation = true;
    if (done != 1)
        return 1;
    rep.continuation = false;
    return print_line();
}

// ---------------------------------------------------------------------------
// Set-up and queries
// ---------------------------------------------------------------------------

void alert_init(void) {
    if (rep.initialised)
        return;
    DB_ENTER("alert_init", nullptr);
    rep.initialised = true; // before the load: its malformed-row reports come back here
    set_templates(nullptr, nullptr, nullptr, false);
    read_edf(msg_filename(REG_LANG_NONE));
    DB_EXIT("alert_init", "\"%s\"", or_null(cat.current_file));
}

uint32_t set_maxerrors(uint32_t n) {
    if (!rep.initialised)
        alert_init();
    uint32_t old = rep.max_errors;
    rep.max_errors = n;
    return old;
}

int32_t alert_set_level(int32_t n) {
    int32_t old = rep.threshold;
    rep.threshold = n;
    return old;
}

void alert_set_werror(int flag) {
    rep.werror = flag != 0;
}

int alert_errors(void) {
    return rep.errors > 0 || (rep.werror && rep.warnings > 0) ? 1 : 0;
}

void alert_set_context(const char *file, const uint32_t *line, const char *const *line_start,
                       const char *const *current) {
    rep.ctx_file = file && *file ? file : nullptr;
    rep.ctx_line = line;
    rep.ctx_line_start = line_start;
    rep.ctx_current = current;
}

void alert_use_formats(int flag) {
    rep.use_formats = flag != 0;
}

void alert_set_formats(const char *error, const char *warning, const char *message) {
    if (!rep.initialised)
        alert_init();
    set_templates(error, warning, message, false);
}

void alert_force_formats(const char *error, const char *warning, const char *message) {
    if (!rep.initialised)
        alert_init();
    set_templates(error, warning, message, true);
}

const char *alert_err_format(void) {
    return sc_intern(rep.err_format);
}
const char *alert_warn_format(void) {
    return sc_intern(rep.warn_format);
}
const char *alert_msg_format(void) {
    return sc_intern(rep.msg_format);
}

alert_output_fn alert_set_output(alert_output_fn fn) {
    alert_output_fn old = rep.output;
    rep.output = fn;
    return old;
}

alert_output_fn alert_get_output(void) {
    return rep.output;
}

alert_hook_fn alert_set_hook(alert_hook_fn fn) {
    alert_hook_fn old = rep.hook;
    rep.hook = fn;
    return old;
}

alert_hook_fn alert_get_hook(void) {
    return rep.hook;
}

void alert_state(uint32_t number, int operation) {
    switch (operation) {
    case ALERT_STATE_NONE:
    case ALERT_STATE_QUIET:
    case ALERT_STATE_OFF:
    case ALERT_STATE_DEMOTE:
    case ALERT_STATE_PROMOTE:
    case ALERT_STATE_DISABLED:
        set_state(number, operation);
        break;
    case ALERT_STATE_PUSH: {
        StateLevel &top = top_level();
        rep.states->push_back({vec_copy(top.by_number, __FILE__, __LINE__), top.above});
        break;
    }
    case ALERT_STATE_POP:
        top_level(); // the bottom level is made, never popped
        if (rep.states->size() > 1)
            drop_top_level();
        break;
    case ALERT_STATE_ALL_QUIET:
        set_state_where(ALERT_STATE_QUIET, [](uint32_t type) {
            return type == ALERT_MESSAGE || type == ALERT_WARNING;
        });
        break;
    case ALERT_STATE_ALL_OFF:
        set_state_where(ALERT_STATE_OFF, [](uint32_t type) { return type != ALERT_FATAL; });
        break;
    case ALERT_STATE_RESET:
        top_level();
        drop_top_level();
        top_level();
        break;
    default:
        break;
    }
}

int alert_get_state(uint32_t number) {
    return state_of(number);
}

void alert_disable(const char *list) {
    if (!list || !*list)
        return;
    if (list[0] == '0') {
        alert_state(0, ALERT_STATE_ALL_QUIET);
        return;
    }
    std::string_view items = list;
    while (!items.empty()) {
        size_t comma = items.find(',');
        std::string item(items.substr(0, comma));
        items = comma == std::string_view::npos ? std::string_view() : items.substr(comma + 1);
        if (item.empty() || !std::isdigit(static_cast<unsigned char>(item[0])))
            continue;
        char *rest = nullptr;
        unsigned long number = std::strtoul(item.c_str(), &rest, 10);
        bool off = sc_starts_with_nocase(rest, ":off");
        if (number <= UINT32_MAX)
            set_state(static_cast<uint32_t>(number),
                      off ? ALERT_STATE_DISABLED : ALERT_STATE_QUIET);
    }
}

void alert_reset_for_tests(void) {
    for (vec *table : cat.tables)
        vec_destroy(table);
    for (void *block : cat.owned)
        std::free(block);
    cat = CatalogueState{};
    while (rep.states != nullptr && !rep.states->empty())
        drop_top_level();
    delete rep.states;
    if (rep.once) {
        hash_foreach(rep.once, nullptr, free_once_key);
        hash_destroy(rep.once);
    }
    rep = ReporterState{};
}
