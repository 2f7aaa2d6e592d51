// cmdline: turning a process's arguments into an argument vector.
//
// Every tool of the suite passes its argc/argv through cmdline_parse before
// it looks at any option. The builder drops the program's own name
// (remembering its last path component), expands "@file" command files in
// place (reading them through standard input, nested to any depth), hands
// each "--vqdebug" argument to db_parse_options as soon as it meets it,
// resolves the backslash escapes \<blank>, \", \' and \\, and drops empty
// arguments.
//
// Ownership: the result vectors belong to the caller; the strings in them
// are interned (or are the caller's own argument strings) and are never
// freed. Reading arguments writes to standard output only the "%s> "
// prompt when standard input is a terminal; the relaunch (cmdline_driver,
// cmdline_spawn) echoes command lines and prints its failure texts.
//
// A command file that is already being expanded (it names itself, directly
// or through other command files) is not read again: its "@" argument is
// kept unchanged, and the first time a file is met so, warning 2089 says
// so. Only a regular file or a terminal is read as a command file; an "@"
// naming a directory, a pipe or another device is kept unchanged at once.
//
// Single-threaded: the program name, the debug-seen flag and the reader's
// token list are process-wide state.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vec vec;

// Called on every argument (command-file tokens included) before it is
// examined; its result is ignored.
typedef void (*cmdline_callback)(const char *arg);

// The argument vector of the process (argv[0] excluded) with command files
// expanded and escapes resolved. With tracing on, the raw count and vector
// are also dumped to the debug-out file. count 0 gives an empty vector.
vec *cmdline_parse(int32_t count, const char *const *vector);

// As cmdline_parse, calling callback (may be null) on each argument first.
vec *cmdline_parse_with(int32_t count, const char *const *vector, cmdline_callback callback);

// The recursive core of both: vector[0] is a program name (recorded once per
// process, then skipped); the remaining count - 1 items are expanded into a
// new vector that the caller owns. callback may be null.
vec *cmdline_build(int32_t count, const char *const *vector, cmdline_callback callback);

// Reads one command file's worth of tokens from standard input until end of
// input, prompting with "<progname>> " before each line when standard input
// is a terminal. Returns the reader's process-wide token list: element 0 is
// progname, then the tokens, then a null element; *count receives the number
// of elements before the null (progname included). The list and its strings
// stay valid only until the next call; a token longer than 2047 characters
// is reported (message 917) and cut to 2047.
char **cmdline_read_args(const char *progname, int32_t *count);

// The program name recorded by the first cmdline_build with a non-empty
// vector, or null before that.
const char *cmdline_progname(void);

// 1 once a "--vqdebug" argument has been passed to db_parse_options, else 0.
int32_t cmdline_debug_seen(void);

// ---- Relaunch: a tool whose whole job is to run another program ----------
//
// A tool that only prepares options for another program (a driver, the
// front end) writes its main as one call of cmdline_driver and a callback
// that turns the tool's arguments into the other program's option vector.
// Besides the reader's prompt, the launch's echo and its "fatal error"
// lines are the only output of the module.

// How cmdline_spawn hands the arguments over.
enum {
    CMDLINE_FILE_WHEN_LONG = 0, // a command file only beyond os_cmdline_limit()
    CMDLINE_FILE_ALWAYS = 1,    // always an "@" command file
    CMDLINE_FILE_NEVER = 2      // always on the command line
};

// Turns the tool's argument vector (as cmdline_build made it) into the
// option vector to launch: item 0 the program's path, then its arguments.
// Null or an empty vector means there is nothing to run. The result (which
// may be args itself) is handed over: cmdline_driver destroys both vectors
// after the launch, never their strings.
typedef vec *(*cmdline_options_fn)(vec *args);

// The whole main routine of such a tool: installs the signal handlers (an
// interrupt restores standard output and error and ends the process with
// the signal number), builds the argument vector from count and vector,
// calls options_process, names the application "vq4" for the debug
// package, launches with cmdline_spawn at the output level *output_level
// holds after the callback (so the callback may change it; null means 0)
// and finishes the debug output. Returns cmdline_spawn's status. A null
// vector counts as no arguments; a null callback leaves nothing to run.
int32_t cmdline_driver(int32_t count, const char *const *vector, cmdline_options_fn options_process,
                       uint32_t mode, const int32_t *output_level);

// Runs item 0 of options with items 1.. as its arguments and waits. mode is
// a CMDLINE_FILE_* value (any other fails a debug assertion, then launches
// directly when the assertion level lets it go on). A command file is
// a ".cmd" temporary file, one argument a line, each with backslash,
// blank, apostrophe and double quote escaped by a backslash and put in
// double quotes when it holds white space, so that the command-file reader
// gives the argument back (except a tab, and a backslash right before a
// quote, which is not doubled). output_level > 0 echoes the command line
// on stdout ("prog args", or "prog @file [ args ]"); < 0 sends the child's
// stdout and stderr into a temporary file that is removed afterwards.
// Returns the child's exit status; -1 when it could not be started; 1 when
// the launch could not be prepared (no options, no command file, streams
// not redirected), after a "<progname>: fatal error: ..." line through
// alert_print, printed once descriptors 1 and 2 are back (unless putting
// one back is what failed) and no capture file is left. options is not
// changed.
int32_t cmdline_spawn(vec *options, uint32_t mode, int32_t output_level);

#ifdef __cplusplus
}
#endif
