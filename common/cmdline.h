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
// freed. The module never writes to standard output except for the "%s> "
// prompt when standard input is a terminal.
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

#ifdef __cplusplus
}
#endif
