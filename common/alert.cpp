// alert: the reporter: layout, counting and limits, the once-per-location
// reports, templates and set-up. The catalogue lives in
// alert_catalogue.cpp, the message states in alert_states.cpp.
#include "common/alert.h"

#include "common/alert_internal.h"
#include "common/alert_numbers.h"
#include "common/hash.h"
#include "common/osdep.h"
#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr uint32_t kTextBufferSize = 512;
constexpr uint32_t kLineBufferSize = 8192;
constexpr uint32_t kLineLimit = kLineBufferSize - 1;
constexpr uint32_t kOnceBuckets = 199;
constexpr uint32_t kDefaultMaxErrors = 20;
constexpr const char *kNonLineSpecific = "Non line specific message";

constexpr const char *kDefaultErrFormat = "%f: %l: (%n) %s (error)";
constexpr const char *kDefaultWarnFormat = "%f: %l: (%n) %s (warning)";
constexpr const char *kDefaultMsgFormat = "%f: %l: %s";

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
    hash *once = nullptr;
    alert_output_fn output = nullptr;
    alert_hook_fn hook = nullptr;
    char text[kTextBufferSize] = {};
    LineBuffer line;
    bool continuation = false;
};

ReporterState rep;

// The looked-up record with the number's state applied (the caller frees).
alert_record *effective_record(uint32_t number) {
    alert_record *rec = alert_lookup(number);
    alert_internal::apply_state(rec, rep.threshold);
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

// Counts an error; past the maximum reports "too many errors" and ends the
// process.
void count_error() {
    uint32_t before = rep.errors++;
    if (before >= rep.max_errors) {
        alert_typed_msg(MSG_TOO_MANY_ERRORS, "M", "too many errors (%u)", rep.errors);
        alert_internal::exit_after_cleanup();
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
        alert_internal::exit_after_cleanup();
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

namespace alert_internal {

void exit_after_cleanup() {
    cleanup(1);
    std::exit(1);
}

} // namespace alert_internal

// ---------------------------------------------------------------------------
// Reporting by number
// ---------------------------------------------------------------------------

int alert_vmsg(uint32_t number, va_list args) {
    rep.saved_errno = errno;
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
        alert_internal::exit_after_cleanup();
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
    DB_EXIT("alert_init", "\"%s\"", alert_internal::or_null(alert_internal::current_file()));
}

uint32_t set_maxerrors(uint32_t n) {
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
    alert_init();
    set_templates(error, warning, message, false);
}

void alert_force_formats(const char *error, const char *warning, const char *message) {
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

void alert_reset_for_tests(void) {
    alert_internal::reset_catalogue();
    alert_internal::reset_states();
    if (rep.once) {
        hash_foreach(rep.once, nullptr, free_once_key);
        hash_destroy(rep.once);
    }
    rep = ReporterState{};
}
