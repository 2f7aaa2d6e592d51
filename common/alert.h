// alert: the suite's numbered diagnostics.
//
// A tool reports a diagnostic by number (alert_msg); the message catalogue
// gives each number its type (fatal error, error, warning with a level,
// message) and its printf text. The catalogue is built into the library and
// may be overridden by message files "<version>_<lang>.msgs" (or the legacy
// "<lang>_msgs.txt") in the installation's data directory, the "dat"
// directory beside the program's directory, or the current directory; the
// newest file wins.
//
// The module owns the catalogue tables, the reporter's state (counts,
// maximum errors, warning threshold, per-number message states, templates,
// context, output function) and its two static buffers. It never frees a
// catalogue table or record, never changes the catalogue because of a
// message state, and is not reentrant (single-threaded, static buffers).
//
// Exits: a printed fatal message, the error after the maximum ("too many
// errors") and a failed alert_set_language() call the application's
// cleanup(1) and then end the process with status 1.
//
// Catalogue format, one entry per line:
//     # comment (only a '#' in the first column)
//     <number 0..10000> <type> <text>
// type: F fatal, E error, M message (either case), or a decimal warning
// level (-9..9). The text is everything after the one blank or tab that
// ends the type token; it may hold "%m", the system text of the error
// number saved when the report started.
#pragma once

#include <cstdarg>
#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

struct vec;

// ---------------------------------------------------------------------------
// The application's exit hook
// ---------------------------------------------------------------------------

// Supplied by the application; the reporter calls cleanup(1) just before
// every exit it causes. The library holds a default that does nothing, in
// an object of its own, so a program that defines cleanup replaces it.
void cleanup(int code);

// ---------------------------------------------------------------------------
// Message catalogue
// ---------------------------------------------------------------------------

// Record types.
enum {
    ALERT_UNKNOWN = 0,   // the row's type character was not recognised
    ALERT_FATAL = 1,     // fatal error: printed, then the process ends
    ALERT_MESSAGE = 2,   // plain message
    ALERT_ERROR = 3,     // error: counted against the maximum
    ALERT_WARNING = 4,   // warning with a level
    ALERT_SUPPRESSED = 5 // only in copies from alert_lookup(): filtered out
};

// Highest number a catalogue row may carry.
enum { ALERT_MAX_NUMBER = 10000 };

// One catalogue row. Records in a table belong to the catalogue and are
// never freed; alert_lookup() hands out copies that the caller frees.
typedef struct alert_record {
    uint32_t type;    // ALERT_*
    uint32_t number;  // message number
    const char *text; // printf format (interned)
    int32_t level;    // warning level; 0 for the other types
} alert_record;

// A newly allocated copy of the number's record (free() it): type, number
// and level from the start-up catalogue, text from the newest loaded one.
// Without a catalogue, or for a number the catalogue lacks: an error record
// with the text "An error, warning or message was generated, but no
// description is available". Message states are not applied here.
alert_record *alert_lookup(uint32_t number);

// Appends to list (heap copies, the caller's) the full path of every
// message file of the language in directory: "<code>_msgs.txt" and names
// ending in "_<code>.msgs". Returns how many; 0 when the directory or the
// list is null, or the directory is missing or cannot be listed.
uint32_t findMsgFiles(const char *directory, int language, struct vec *list);

// The message file to use for the language (interned): the newest found in
// the data directory, else the sibling "dat" directory, else the current
// directory; the built-in pseudo name "<build number>_en.msgs" when it is
// newer or nothing was found.
const char *msg_filename(int language);

// The version of a message file: the leading decimal digits of its base
// name (without directory and last extension); 0 when it has none.
uint64_t getMsgFileVersion(const char *path);

// Reads a message file (only the built-in text for the pseudo name) merged
// with the built-in rows into a new table indexed by number, makes it the
// latest table (and the start-up one when there is none) and returns it.
// Null, and nothing changes, when the file cannot be opened. Malformed rows
// are reported as message 3 and skipped.
struct vec *read_edf(const char *path);

// Loads path when it is newer than the current message file. 1 when the
// current catalogue is kept or the file was loaded; 0 when path does not
// exist (the pseudo name always does) or could not be read. Initialises
// the diagnostics first when needed.
int open_edf(const char *path);

// open_edf() of the newest English message file in directory. 0 when the
// directory does not exist; 1 when it holds none.
int open_edf_dir(const char *directory);

// Loads the message file of the language (a REG_LANG_* number) as
// open_edf(); when that fails prints "Could not open message file <name>",
// calls cleanup(1) and exits with status 1.
int alert_set_language(int language);

// 1 when 0 <= number <= the last row number of the built-in catalogue
// (0 before the first load).
int alert_valid_num(uint32_t number);

// The current message file (interned path or the pseudo name); null before
// the first load.
const char *alert_msg_file(void);

// The built-in pseudo file name, "<build number>_en.msgs" (interned).
const char *alert_builtin_name(void);

// Parses catalogue text (size bytes, need not be NUL-terminated) into table
// at each row's number, a later row replacing an earlier one; name is the
// catalogue named in the reports of malformed rows. Lines are cut into
// pieces of at most 255 characters, each parsed as a line of its own.
// Records are newly allocated (the caller's when it discards the table).
// Returns the number of the last row read (0 when none).
uint32_t alert_parse_catalogue(const char *text, uint32_t size, const char *name,
                               struct vec *table);

// ---------------------------------------------------------------------------
// Reporting by number
// ---------------------------------------------------------------------------
// Each returns 1 when the message was printed and 0 when it was filtered out
// (suppressed by its state, or a warning below the threshold). A fatal
// message and the error after the maximum do not return.

// Reports message number with the printf arguments of its text.
int alert_msg(uint32_t number, ...);
// The core of every numbered form.
int alert_vmsg(uint32_t number, va_list args);
// As alert_msg, for a message that belongs to no source line: the location
// reads "Non line specific message".
int alert_msg_noline(uint32_t number, ...);
int alert_vmsg_noline(uint32_t number, va_list args);
// As alert_msg without any location.
int alert_msg_noloc(uint32_t number, ...);
// Once per location: a second report of the same number at the same line of
// the same file returns 0 without printing.
int alert_msg_once(uint32_t number, ...);
int alert_vmsg_once(uint32_t number, va_list args);
int alert_msg_once_noline(uint32_t number, ...);
int alert_vmsg_once_noline(uint32_t number, va_list args);
int alert_msg_once_noloc(uint32_t number, ...);

// Reports text with an explicit type string ("F", "E", "M", or a warning
// level such as "-2" or "3") instead of a catalogue row. No initialisation,
// no lookup, no hook; errors are counted against the maximum.
int alert_typed_msg(uint32_t number, const char *type, const char *text, ...);
// As alert_typed_msg with number 0; calls the hook first.
int alert_typed(const char *type, const char *text, ...);

// Reports fatal message 5 naming the program and code, which ends the
// process with status 1. When the start-up catalogue made message 5
// non-fatal: exits with code (1 for 0) without cleanup.
[[noreturn]] void alert_fatal(int code);

// ---------------------------------------------------------------------------
// Plain lines (no number, no counting, no filtering)
// ---------------------------------------------------------------------------

// Formats a line (at most 8191 characters) and prints it. Returns the
// output function's result, or 1 when written to stderr.
int alert_print(const char *format, ...);
int alert_vprint(const char *format, va_list args);
// Builds a continuation line starting with a tab: each call appends the
// formatted text; done = 1 prints the line. Returns 1 (or the output
// function's result when printed).
int alert_continue(int done, const char *format, ...);

// ---------------------------------------------------------------------------
// Set-up and queries
// ---------------------------------------------------------------------------

// The finished line (ending in '\n') goes to this function instead of
// stderr; its result is the print's result.
typedef int (*alert_output_fn)(const char *line);
// Called before a message is printed. Plain reports pass number 0 and a
// null args; the once-per-location forms pass the number and their printf
// arguments.
typedef void (*alert_hook_fn)(uint32_t number, va_list *args);

// Reads the templates (ZEB_ERR_FORMAT, ZEB_WARN_FORMAT, ZEB_MSG_FORMAT, or
// the defaults) and loads the start-up catalogue. Runs by itself before the
// first numbered report; a second call reloads nothing.
void alert_init(void);
// Sets the maximum number of errors (default 20; 0: the first error ends
// the process). Initialises when needed. Returns the old value.
uint32_t set_maxerrors(uint32_t n);
// Sets the warning threshold (default 0): warnings of a lower level are not
// printed. Returns the old value.
int32_t alert_set_level(int32_t n);
// Makes warnings count as errors for alert_errors().
void alert_set_werror(int flag);
// 1 when an error was reported (or, with warnings as errors, a warning).
int alert_errors(void);
// The location printed with each report: file name (null or "" for none;
// the pointer is kept), and pointers to the caller's current line number,
// line-start position and current position (each may be null), all read at
// each report.
void alert_set_context(const char *file, const uint32_t *line, const char *const *line_start,
                       const char *const *current);
// 1: lay lines out with the templates; 0: the fixed layout (default).
void alert_use_formats(int flag);
// Sets the three templates; for each, its environment variable wins, then
// the argument (when not null), then the default. Initialises when needed.
void alert_set_formats(const char *error, const char *warning, const char *message);
// Sets the three templates; for each, the argument (when not null) wins,
// then its environment variable, then the default. Initialises when needed.
void alert_force_formats(const char *error, const char *warning, const char *message);
// The current templates (interned). Template codes: %a "vq4", %c column,
// %f file, %l line, %m system error text, %n number, %s the message text,
// %% a percent sign.
const char *alert_err_format(void);
const char *alert_warn_format(void);
const char *alert_msg_format(void);
// Registers the output function (null: stderr); returns the previous one.
alert_output_fn alert_set_output(alert_output_fn fn);
alert_output_fn alert_get_output(void);
// Registers the hook (null: none); returns the previous one.
alert_hook_fn alert_set_hook(alert_hook_fn fn);
alert_hook_fn alert_get_hook(void);

// Message-state operations of alert_state().
enum {
    ALERT_STATE_NONE = 0,      // as the catalogue says
    ALERT_STATE_QUIET = 1,     // messages and warnings suppressed
    ALERT_STATE_OFF = 2,       // all but fatal errors suppressed
    ALERT_STATE_DEMOTE = 3,    // an error becomes a warning at the threshold
    ALERT_STATE_PROMOTE = 4,   // a warning becomes an error
    ALERT_STATE_DISABLED = 5,  // as 2 (what ":off" sets)
    ALERT_STATE_PUSH = 6,      // push a copy of the top level
    ALERT_STATE_POP = 7,       // pop the top level unless it is the only one
    ALERT_STATE_ALL_QUIET = 8, // state 1 for every message and warning
    ALERT_STATE_ALL_OFF = 9,   // state 2 for every non-fatal number
    ALERT_STATE_RESET = 10     // every state of the top level back to 0
};
// Applies operation 0..10 (number is used by 0..5). Other values do nothing.
void alert_state(uint32_t number, int operation);
// The number's state on the top level; 0 when no state was ever set.
int alert_get_state(uint32_t number);
// Disables messages from a list: "0" turns every warning and message off;
// otherwise comma-separated numbers, each getting state 1, or state 5 when
// followed by ":off". Null or "" does nothing.
void alert_disable(const char *list);

// For tests and benchmarks only: returns the module to its state at process
// start (no catalogue, counts 0, defaults, no output function or hook, no
// states, empty once table). Earlier tables and records are abandoned.
void alert_reset_for_tests(void);

#ifdef __cplusplus
}
#endif
