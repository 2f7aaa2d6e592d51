// alert_catalogue: the message catalogue and message files.
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
#include "common/alert_internal.h"
#include "common/alert_numbers.h"
#include "common/osdep.h"
#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "common/vqinstdir.h"
#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using alert_internal::or_null;

namespace {

constexpr const char *kNoDescription =
    "An error, warning or message was generated, but no description is available";
constexpr const char *kMalformedRow = "Malformed error information on line %u, in file %s\n";
constexpr const char *kMalformedSkipped =
    "%u more lines of malformed error information in file %s were not reported\n";
constexpr uint32_t kMalformedReports = 10; // reported one by one per catalogue
constexpr uint32_t kFilePieceLimit = 255;  // characters per piece of a message file line

struct CatalogueState {
    vec *primary = nullptr; // the start-up table: types and levels
    vec *latest = nullptr;  // the newest table: texts
    const char *current_file = nullptr;
    uint32_t highest = 0;
    std::vector<void *> owned; // record blocks and records held by tables
    std::vector<vec *> tables;
};

CatalogueState cat;

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
    FILE *f = plat_fopen_regular(path, "r"); // a pipe of the same name would block
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

} // namespace

namespace alert_internal {

const alert_record *start_up_record(uint32_t number) {
    return record_at(cat.primary, number);
}

uint32_t start_up_slots() {
    return cat.primary ? vec_size(cat.primary) : 0;
}

const char *current_file() {
    return cat.current_file;
}

void reset_catalogue() {
    for (vec *table : cat.tables)
        vec_destroy(table);
    for (void *block : cat.owned)
        std::free(block);
    cat = CatalogueState{};
}

} // namespace alert_internal

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
    alert_init();
    const char *name = msg_filename(language);
    int result = open_edf(name);
    if (!result) {
        alert_print("Could not open message file %s\n", name);
        alert_internal::exit_after_cleanup();
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
