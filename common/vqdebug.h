// vqdebug: the suite's debugging switches, trace output, debug package and
// program launch.
//
// A program receives its debug settings as one argument, "--vqdebug=" and a
// comma-separated option list (db_parse_options), and hands equivalent
// settings to every program of the suite it launches (db_gen_options), so
// that a whole chain of processes writes into one debug-out file and one
// debug package. Every module writes its trace into the debug-out file,
// gFile, through the operations here; when no debug-out file is open they
// write nothing.
//
// Invariants the module keeps:
// - the settings are made once, by the first db_parse_options; every later
//   --vqdebug= argument is refused with a warning;
// - option errors are warnings and never stop the run; only a debug-out
//   file that cannot be opened is fatal (message 141);
// - every trace record is flushed at once, so the file is complete up to the
//   last call even if the process dies;
// - strings handed out (paths, regenerated options) are interned: never free
//   them.
//
// The module never closes the debug-out file except when an "out" option
// replaces it, and never changes a debug package that it cannot read.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vec vec;

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

// The flags of gDebugFlags, one per option that sets one.
enum {
    DB_FLAG_TRACE = 1,  // "default", "on": trace lines (tracef, trace)
    DB_FLAG_SDB = 2,    // "sdb"
    DB_FLAG_DWARF = 4,  // "dwarf"
    DB_FLAG_ALERTS = 8, // "alerts": alert messages copied into the debug-out file
    DB_FLAG_ADT = 16,   // "adt": container master lists reported at the end
};

// OR of the flags of all debug options given. Modules test it before every
// trace call through the helpers below: the whole word for entry and exit
// records, DB_FLAG_TRACE for trace lines.
extern uint32_t gDebugFlags;
// Checking of in-line conditions: 0 ignore, 1 fatal, 2 error, 3 warning.
// At 0 nothing is even tested.
extern uint32_t gAssertLevel;
// The open debug-out stream, or null.
extern FILE *gFile;
// The debug-out file's path (interned), or null.
extern const char *gFilePath;
// The debug package's path (interned), or null when no "zip" option was given.
extern const char *gZipPath;
// Run number used in the default debug-out file name "vq4-%u.out"; 1 unless
// a "num" option sets it.
extern uint32_t gNum;
// Set to 1 by the debugger's command file when a program runs under the
// debugger (db_run); 0 otherwise.
extern int gInDebugger;

// The kinds of program that regenerate debug options (db_gen_options).
enum {
    DBC_VQ4CC = 0,  // the compiler front end run as "vq4-cc"
    DBC_VQ4 = 1,    // the front end
    DBC_DRIVER = 2, // a compiler driver
};

// Parses one debug argument: "--vqdebug=" (or any text up to the first '=')
// followed by options separated by ','. Unknown options and bad arguments
// are warnings; the run goes on. A second call only warns "Ignoring extra
// --vqdebug options". When any flag ends up set and no debug-out file is
// open, the default "vq4-%u.out" of gNum is opened in the current directory.
// A null string fails the assertion "optstr != NULL".
void db_parse_options(const char *optstr);

// Regenerates the settings for a program about to be launched: caller is a
// DBC_ kind, callee the program's name (not null). Returns the interned
// argument "--vqdebug=..." or null when no option regenerates. Each call
// with flags set counts one more launch of callee (the "num" option).
const char *db_gen_options(uint32_t caller, const char *callee);

// Reports a failed in-line condition: at assertion level 1, 2 or 3 message
// 1504 - level ("assertion failure: %s (%s:%d) ") with the condition text,
// source path and line; nothing at level 0. Level 1 ends the process.
void db_assert(const char *cond, const char *src, int line);

// Prints "VQDEBUG (warning): " and the formatted text as a diagnostic line
// (standard error, and the debug-out file when flag 8 is set). The run goes on.
void db_warning(const char *fmt, ...);

// The module's version, "major.minor" with two minor digits; interned.
const char *db_version(void);

// Tracing helpers every module uses. Entry and exit records are written
// while any flag is set, trace lines only with DB_FLAG_TRACE; the calling
// source file and line go into the record. A missing format is null:
// DB_ENTER("f", nullptr).
#define DB_TRACING() (gDebugFlags != 0)
#define DB_TRACING_LINES() ((gDebugFlags & DB_FLAG_TRACE) != 0)
#define DB_ENTER(func, ...)                                                                        \
    do {                                                                                           \
        if (DB_TRACING())                                                                          \
            db_enter(__FILE__, __LINE__, func, __VA_ARGS__);                                       \
    } while (0)
#define DB_EXIT(func, ...)                                                                         \
    do {                                                                                           \
        if (DB_TRACING())                                                                          \
            db_exit(__FILE__, __LINE__, func, __VA_ARGS__);                                        \
    } while (0)
#define DB_TRACE(...)                                                                              \
    do {                                                                                           \
        if (DB_TRACING_LINES())                                                                    \
            tracef(__FILE__, __LINE__, __VA_ARGS__);                                               \
    } while (0)

// Checks an in-line condition the way modules outside the containers do:
// nothing at assertion level 0, db_assert with the given text otherwise.
#define DB_ASSERT(cond, text)                                                                      \
    ((gAssertLevel == 0 || (cond)) ? (void)0 : db_assert((text), __FILE__, __LINE__))

// ---------------------------------------------------------------------------
// Trace output
// ---------------------------------------------------------------------------
//
// Every trace line that carries a location starts with a prefix: the base
// name of the source path and the line ("sc.c:42"), left-justified in a
// field of db_trace_width() columns, then "> ", then db_indent_columns()
// spaces.

// Writes each line of fmt (split at line feeds; empty lines vanish) with the
// prefix; only the first line is formatted with the arguments, later lines
// are written literally. A format without lines is reported as a warning.
// Nothing when no debug-out file is open.
void tracef(const char *src, int line, const char *fmt, ...);
// As tracef, every line written literally.
void trace(const char *src, int line, const char *txt);

// Writes "ENTER func(" the formatted arguments (fmt may be null) and ")",
// then raises the indentation by one level. Callers call it only while
// gDebugFlags is not 0 (which guarantees an open debug-out file).
void db_enter(const char *src, int line, const char *func, const char *fmt, ...);
// Lowers the indentation by one level (a warning at level 0), then writes
// "EXIT func()" and, when fmt is given, " -> " and the formatted arguments.
void db_exit(const char *src, int line, const char *func, const char *fmt, ...);

// Writes a hexadecimal dump of count bytes at addr, per_line bytes per line,
// with the printable characters beside them when show_chars is non-zero.
// Up to per_line bytes stay on the header line (all of them when per_line
// is 0); longer dumps put each line on its own, after its address.
void db_hexdump(const char *name, const void *addr, uint32_t count, uint32_t per_line,
                int show_chars, const char *src, int line);

// Copies an alert message (ending with a line feed) into the debug-out file,
// with the location recorded by db_alert_at or with "ALERT> ". The alert
// output calls it for every message while flag 8 is set.
void db_alert_echo(const char *msg);

// The alert reporter db_alert_at calls (for example alert_vmsg).
typedef int (*db_alert_fn)(uint32_t number, va_list args);
// Records src and line as the location of the next alert, reports message
// number with the remaining arguments through alert_func, then forgets the
// location. Returns alert_func's result.
int db_alert_at(db_alert_fn alert_func, const char *src, int line, uint32_t number, ...);
// Location recorded by db_alert_at; gAlertLine 0 means none.
extern const char *gAlertSrc;
extern int gAlertLine;

// Writes "ARGS:" and each string of args after a blank (" None" when it is
// empty); the first dump of a process is preceded by the line "APP: VQ4".
// Nothing when no debug-out file is open.
void db_dump_args(vec *args);
// db_dump_args of the first argc strings of argv (stopping at a null one).
void db_dump_argv(int argc, const char *const *argv);

// Writes the text and a line feed, without prefix. Nothing when no
// debug-out file is open.
void db_puts(const char *text);
// Writes the formatted text and a line feed, without prefix. Nothing when no
// debug-out file is open.
void db_printf(const char *fmt, ...);
void db_vprintf(const char *fmt, va_list args);

// Indentation: level times step columns. The setters keep columns equal to
// level x step; db_indent/db_outdent move one step as db_enter/db_exit do
// and return the new column count.
void db_set_indent_level(uint32_t level);
void db_set_indent_step(uint32_t columns);
uint32_t db_indent(void);
uint32_t db_outdent(void);
uint32_t db_indent_level(void);
uint32_t db_indent_step(void);
uint32_t db_indent_columns(void);

// Width of the location field (20 at start). Widths of 3 or less are stored
// after a warning; 0 is also a failed condition "width != 0".
void db_set_trace_width(uint32_t width);
uint32_t db_trace_width(void);

// The debug-out file's path (gFilePath), or null.
const char *db_out_path(void);

// ---------------------------------------------------------------------------
// Debug package, end of run, program launch
// ---------------------------------------------------------------------------

// Adds an existing file to the debug package (when a "zip" option named one)
// with an optional entry comment. An absolute path is stored under
// "SYSTEM_ROOT" in place of its first three characters; backslashes become
// '/'. A missing file is skipped silently; every failure is a warning and
// leaves the package as it was.
void db_package_add(const char *file, const char *comment);
// db_package_add without a comment.
void db_package_add_file(const char *file);

// Names the application this process represents ("vq4" at start); the name
// is interned.
void db_set_app(const char *name);

// End-of-run work: adds the debug-out file to the package (unless another
// process of the run packages the shared "out" file), then, with flag 16,
// writes the hash table, skip list and vector reports, in that order.
void db_finish(void);

// Runs the program at app with the argument vector args (its own name
// first; null means none) and waits; returns its exit status, or -1 when it
// cannot be started. When a "debug" option lists the program's name (or
// force is non-zero) and the debugger exists, the program runs under the
// debugger instead. A null item is appended to a given args and stays.
int32_t db_run(const char *app, vec *args, int force);

// How a debugger is launched: its program, the separator before the
// debugged program, the option naming the command file, and the command
// file's text.
typedef struct db_debugger {
    const char *program;
    const char *separator;
    const char *cmdfile_option;
    const char *commands;
} db_debugger;

// The description db_run uses (lldb) and the unused gdb alternative.
extern const db_debugger db_lldb;
extern const db_debugger db_gdb;

// ---------------------------------------------------------------------------
// For tests only
// ---------------------------------------------------------------------------

// Makes db_run use desc (not copied; null restores db_lldb) and forgets
// whether the debugger was found, so that the next run probes again. Lets a
// test put a recording program in place of the debugger.
void db_use_debugger_for_testing(const db_debugger *desc);

// Returns every setting of this module to its start (closing a debug-out
// file it opened), so that one test process can parse options many times.
void db_reset_for_testing(void);

#ifdef __cplusplus
}
#endif
