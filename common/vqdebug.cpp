// vqdebug: debug options, trace output and the end-of-run work.
// (Interim: the plain writers are final; the rest are placeholders that keep
// callers linking until the module is complete.)
#include "common/vqdebug.h"

uint32_t gDebugFlags = 0;
uint32_t gAssertLevel = 0;
FILE *gFile = nullptr;
const char *gFilePath = nullptr;
const char *gZipPath = nullptr;
uint32_t gNum = 1;
int gInDebugger = 0;
const char *gAlertSrc = nullptr;
int gAlertLine = 0;

const db_debugger db_lldb = {"/usr/bin/lldb", "--", "-s",
                             "break set --name db_assert\nbreak set --name main\nbreak command add "
                             "2\nexpr gInDebugger=1\nDONE\nrun"};
const db_debugger db_gdb = {"/usr/bin/gdb", "--args", "-x",
                            "break db_assert\nbreak main\ncommands 2\nset gInDebugger=1\nend\nrun"};

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

void db_parse_options(const char *) {}
const char *db_gen_options(uint32_t, const char *) {
    return nullptr;
}
void db_assert(const char *, const char *, int) {}
void db_warning(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::fputs("VQDEBUG (warning): ", stderr);
    std::vfprintf(stderr, fmt, args);
    std::fputc('\n', stderr);
    va_end(args);
}
const char *db_version(void) {
    return "1.00";
}
void tracef(const char *, int, const char *, ...) {}
void trace(const char *, int, const char *) {}
void db_enter(const char *, int, const char *, const char *, ...) {}
void db_exit(const char *, int, const char *, const char *, ...) {}
void db_hexdump(const char *, const void *, uint32_t, uint32_t, int, const char *, int) {}
void db_alert_echo(const char *) {}
int db_alert_at(db_alert_fn alert_func, const char *, int, uint32_t number, ...) {
    va_list args;
    va_start(args, number);
    int result = alert_func(number, args);
    va_end(args);
    return result;
}
void db_dump_args(vec *) {}
void db_dump_argv(int, const char *const *) {}
void db_set_indent_level(uint32_t) {}
void db_set_indent_step(uint32_t) {}
uint32_t db_indent(void) {
    return 0;
}
uint32_t db_outdent(void) {
    return 0;
}
uint32_t db_indent_level(void) {
    return 0;
}
uint32_t db_indent_step(void) {
    return 4;
}
uint32_t db_indent_columns(void) {
    return 0;
}
void db_set_trace_width(uint32_t) {}
uint32_t db_trace_width(void) {
    return 20;
}
const char *db_out_path(void) {
    return gFilePath;
}
void db_package_add(const char *, const char *) {}
void db_package_add_file(const char *) {}
void db_set_app(const char *) {}
void db_finish(void) {}
int32_t db_run(const char *, vec *, int) {
    return -1;
}
void db_use_debugger_for_testing(const db_debugger *) {}
void db_reset_for_testing(void) {}
