// vqdebug_trace: the records of the debug-out file.
//
// Every record that carries a location starts with the prefix: the base
// name of the source path and the line, left-justified in gTraceWidth
// columns, "> ", then gIndentColumns spaces. Every operation flushes, so the
// file is complete up to the last call.
#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug_internal.h"

#include <cctype>
#include <climits>

const char *gAlertSrc = nullptr;
int gAlertLine = 0;

namespace {

constexpr uint32_t kDefaultTraceWidth = 20;
constexpr uint32_t kDefaultIndentStep = 4;
constexpr uint32_t kMaxIndent = 4294967295u;

uint32_t gTraceWidth = kDefaultTraceWidth;
uint32_t gIndentLevel = 0;
uint32_t gIndentStep = kDefaultIndentStep;
uint32_t gIndentColumns = 0;
bool gPrintApp = true;

int as_width(uint32_t columns) {
    return columns > INT_MAX ? INT_MAX : static_cast<int>(columns);
}

void write_prefix(const char *src, int line) {
    int written = std::fprintf(gFile, "%s:%d", os_path_tail(src), line);
    int width = as_width(gTraceWidth);
    std::fprintf(gFile, "%*s> %*s", written < width ? width - written : 0, "",
                 as_width(gIndentColumns), "");
}

void raise_indent() {
    if (gIndentLevel < kMaxIndent)
        ++gIndentLevel;
    else
        db_warning("max debug-out indent level readched");
    gIndentColumns =
        gIndentColumns > kMaxIndent - gIndentStep ? kMaxIndent : gIndentColumns + gIndentStep;
}

void lower_indent() {
    if (gIndentLevel > 0)
        --gIndentLevel;
    else
        db_warning("min debug-out indent level reached");
    gIndentColumns = gIndentColumns < gIndentStep ? 0 : gIndentColumns - gIndentStep;
}

// Writes each non-empty line of text with the prefix; the first line is
// formatted with args when they are given, every other line is literal.
void write_lines(const char *kind, const char *src, int line, const char *text, va_list *args) {
    vec *lines = sc_split(text, "\n");
    if (vec_size(lines) == 0)
        db_warning("%s (at %s:%d) contains no lines", kind, src, line);
    for (uint32_t i = 0; i < vec_size(lines); ++i) {
        auto *part = static_cast<const char *>(vec_get(lines, i));
        write_prefix(src, line);
        if (i == 0 && args != nullptr)
            std::vfprintf(gFile, part, *args);
        else
            std::fputs(part, gFile);
        std::fputc('\n', gFile);
    }
    vec_destroy(lines);
    std::fflush(gFile);
}

void write_hex_line(const unsigned char *bytes, uint32_t n, uint32_t per_line, int show_chars) {
    for (uint32_t i = 0; i < n; ++i)
        std::fprintf(gFile, " %02X", bytes[i]);
    if (!show_chars)
        return;
    for (uint32_t i = n; i < per_line; ++i)
        std::fputs("   ", gFile);
    std::fputs(" |", gFile);
    for (uint32_t i = 0; i < n; ++i)
        std::fprintf(gFile, " %c", std::isprint(bytes[i]) ? bytes[i] : '.');
}

} // namespace

void tracef(const char *src, int line, const char *fmt, ...) {
    if (gFile == nullptr)
        return;
    DB_ASSERT(src != nullptr, "src != NULL");
    DB_ASSERT(fmt != nullptr, "fmt != NULL");
    if (src == nullptr || fmt == nullptr)
        return;
    va_list args;
    va_start(args, fmt);
    write_lines("tracef", src, line, fmt, &args);
    va_end(args);
}

void trace(const char *src, int line, const char *txt) {
    if (gFile == nullptr)
        return;
    DB_ASSERT(src != nullptr, "src != NULL");
    DB_ASSERT(txt != nullptr, "txt != NULL");
    if (src == nullptr || txt == nullptr)
        return;
    write_lines("trace", src, line, txt, nullptr);
}

void db_enter(const char *src, int line, const char *func, const char *fmt, ...) {
    DB_ASSERT(src != nullptr, "src != NULL");
    DB_ASSERT(func != nullptr, "func != NULL");
    if (gFile != nullptr && src != nullptr && func != nullptr) {
        write_prefix(src, line);
        std::fprintf(gFile, "ENTER %s(", func);
        if (fmt != nullptr) {
            va_list args;
            va_start(args, fmt);
            std::vfprintf(gFile, fmt, args);
            va_end(args);
        }
        std::fputs(")\n", gFile);
    }
    raise_indent();
    if (gFile != nullptr)
        std::fflush(gFile);
}

void db_exit(const char *src, int line, const char *func, const char *fmt, ...) {
    DB_ASSERT(src != nullptr, "src != NULL");
    DB_ASSERT(func != nullptr, "func != NULL");
    lower_indent();
    if (gFile == nullptr || src == nullptr || func == nullptr)
        return;
    write_prefix(src, line);
    std::fprintf(gFile, "EXIT %s()", func);
    if (fmt != nullptr) {
        std::fputs(" -> ", gFile);
        va_list args;
        va_start(args, fmt);
        std::vfprintf(gFile, fmt, args);
        va_end(args);
    }
    std::fputc('\n', gFile);
    std::fflush(gFile);
}

void db_hexdump(const char *name, const void *addr, uint32_t count, uint32_t per_line,
                int show_chars, const char *src, int line) {
    DB_ASSERT(name != nullptr, "name != NULL");
    DB_ASSERT(addr != nullptr, "addr != NULL");
    DB_ASSERT(src != nullptr, "src != NULL");
    if (gFile == nullptr || name == nullptr || src == nullptr || (addr == nullptr && count != 0))
        return;
    write_prefix(src, line);
    std::fprintf(gFile, "Hexdump: %s (%p)", name, addr);
    if (count == 0) {
        std::fputs(" zero bytes\n", gFile);
        std::fflush(gFile);
        return;
    }
    auto *bytes = static_cast<const unsigned char *>(addr);
    if (per_line == 0 || count <= per_line) {
        std::fputs(" |", gFile);
        write_hex_line(bytes, count, count, show_chars);
    } else {
        for (uint32_t offset = 0; offset < count; offset += per_line) {
            uint32_t n = count - offset < per_line ? count - offset : per_line;
            std::fputc('\n', gFile);
            write_prefix(src, line);
            std::fprintf(gFile, "%p |", static_cast<const void *>(bytes + offset));
            write_hex_line(bytes + offset, n, per_line, show_chars);
        }
    }
    std::fputc('\n', gFile);
    std::fflush(gFile);
}

void db_alert_echo(const char *msg) {
    if (gFile == nullptr)
        return;
    DB_ASSERT(msg != nullptr, "msg != NULL");
    if (msg == nullptr)
        return;
    if (gAlertLine == 0) {
        std::fprintf(gFile, "ALERT> %s", msg);
    } else {
        DB_ASSERT(gAlertSrc != nullptr, "gAlertSrc != NULL");
        write_prefix(gAlertSrc != nullptr ? gAlertSrc : "", gAlertLine);
        std::fputs(msg, gFile);
    }
    std::fflush(gFile);
}

int db_alert_at(db_alert_fn alert_func, const char *src, int line, uint32_t number, ...) {
    DB_ASSERT(alert_func != nullptr, "alert_func != NULL");
    if (alert_func == nullptr)
        return 0;
    gAlertSrc = src;
    gAlertLine = line;
    va_list args;
    va_start(args, number);
    int result = alert_func(number, args);
    va_end(args);
    gAlertLine = 0;
    return result;
}

void db_dump_args(vec *args) {
    if (gFile == nullptr)
        return;
    DB_ASSERT(args != nullptr, "args != NULL");
    if (gPrintApp) {
        std::fprintf(gFile, "\nAPP: %s\n", sc_upper(kFrontEndName));
        gPrintApp = false;
    }
    std::fputs("ARGS:", gFile);
    if (vec_size(args) == 0)
        std::fputs(" None", gFile);
    for (uint32_t i = 0; i < vec_size(args); ++i)
        std::fprintf(gFile, " %s", static_cast<const char *>(vec_get(args, i)));
    std::fputc('\n', gFile);
    std::fflush(gFile);
}

void db_dump_argv(int argc, const char *const *argv) {
    DB_ASSERT(argv != nullptr, "argv != NULL");
    if (argv == nullptr)
        return;
    vec *args = vec_create(__FILE__, __LINE__);
    for (int i = 0; i < argc && argv[i] != nullptr; ++i)
        vec_append(args, const_cast<char *>(sc_intern(argv[i])));
    db_dump_args(args);
    vec_destroy(args);
}

void db_puts(const char *text) {
    if (gFile == nullptr)
        return;
    std::fputs(text, gFile);
    std::fputc('\n', gFile);
    std::fflush(gFile);
}

void db_vprintf(const char *fmt, va_list args) {
    if (gFile == nullptr)
        return;
    std::vfprintf(gFile, fmt, args);
    std::fputc('\n', gFile);
    std::fflush(gFile);
}

void db_printf(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    db_vprintf(fmt, args);
    va_end(args);
}

void db_set_indent_level(uint32_t level) {
    gIndentLevel = level;
    gIndentColumns = level * gIndentStep;
}

void db_set_indent_step(uint32_t columns) {
    gIndentStep = columns;
    gIndentColumns = columns * gIndentLevel;
}

uint32_t db_indent(void) {
    raise_indent();
    return gIndentColumns;
}

uint32_t db_outdent(void) {
    lower_indent();
    return gIndentColumns;
}

uint32_t db_indent_level(void) {
    return gIndentLevel;
}
uint32_t db_indent_step(void) {
    return gIndentStep;
}
uint32_t db_indent_columns(void) {
    return gIndentColumns;
}

void db_set_trace_width(uint32_t width) {
    if (width <= 3) {
        DB_ASSERT(width != 0, "width != 0");
        db_warning("desired trace width (%u) is < default (%u)", width, kDefaultTraceWidth);
    }
    gTraceWidth = width;
}

uint32_t db_trace_width(void) {
    return gTraceWidth;
}

const char *db_out_path(void) {
    return gFilePath;
}

void db_reset_trace_state(void) {
    gTraceWidth = kDefaultTraceWidth;
    gIndentLevel = 0;
    gIndentStep = kDefaultIndentStep;
    gIndentColumns = 0;
    gPrintApp = true;
    gAlertSrc = nullptr;
    gAlertLine = 0;
}
