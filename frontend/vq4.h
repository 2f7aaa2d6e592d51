// vq4: the command front end of the lum C compiler suite.
//
// The front end compiles nothing. It translates a handful of options,
// chooses the compiler driver (lumc or lumc18, each optionally with a
// trailing "d" for the driver's debug build), hands every argument to the
// driver through an "@" command file in the process's private temporary
// directory, echoes the command line, waits for the driver and exits with 0
// when the driver exited with 0, else 1.
//
// Its own diagnostics go to standard output, or with "-E<file>" into that
// error file, which the driver then appends to (a line the error file
// cannot take, on a full disk, goes to the original standard error);
// around each launch the driver gets the standard error the front end was
// started with.
//
// Every string held in the state below is interned or a literal and is
// never freed; the vectors the front end makes are never freed either.
#pragma once

#include "common/vector.h"

#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

// One row of the C extension table: a non-zero id, the name that
// "--ext=<name>" selects (case ignored) and the driver options it adds
// (a null-ended list, possibly empty). The table ends with id 0.
typedef struct c_extension {
    uint32_t id;
    const char *name;
    const char *const *options;
} c_extension;

// ---- Front-end state (set by the option walk, read by the launch) --------

// Echo level: while non-zero every driver command line is echoed on stdout.
extern int32_t verbosity;
// Appended to the driver's base name: "d" after "--bins=debug", else "".
extern const char *driver_suffix;
// Set by "--wubtoxna": a quiet first run, then the real one.
extern uint8_t two_pass;
// Set only while the quiet first run of the two-pass mode is launched.
extern uint8_t echo_suppressed;
// The error file named by "-E<file>" or "-E+<file>", or null.
extern const char *error_file;
// Open error_file for appending; set by "-E+<file>" and by the first
// successful truncating open.
extern uint8_t error_file_append;
// The extension chosen so far, or null.
extern const c_extension *selected_extension;
// The error file while it is open, or null.
extern FILE *error_stream;
// Duplicate of the descriptor 2 the process was started with; 0: not saved.
extern int32_t saved_stderr;

// ---- Operations -----------------------------------------------------------

// Looks name up in the C extension table (case ignored) and appends the
// row's options to driver_args. An unknown name is fatal (1443); a second,
// different extension is fatal (1444); the same one again does nothing.
void select_extension(const char *name, vec *driver_args);

// Runs the driver of that name from the installation's lum bin directory
// with args (not changed) and waits. True exactly when it exited with 0.
// A driver that cannot be started is fatal (900); one that fails is
// reported (908) and gives false.
bool run_driver(const char *driver_name, vec *args);

// Writes items 1.. of argv into a new ".cmd" command file (one per line,
// double quotes escaped, white space quoted), echoes the command line
// unless silenced, and runs item 0 with the single argument "@<file>".
// Returns the exit status, or -1 when the file could not be created or
// the program could not be started.
int32_t vq4_spawn(vec *argv);

// Points descriptor 2 at the error file (opened on first use: truncated,
// or appended to with "-E+") or else at standard output, saving the
// original descriptor 2 once. An error file that cannot be opened is
// fatal (141), reported on the original standard error.
void redirect_stderr(void);

// The exit hook the diagnostics call before a fatal exit: finishes the
// debug output. The argument is not used.
void cleanup(int status);

// ---- The steps of main ------------------------------------------------------

// What the option walk leaves for the launch besides the state above.
typedef struct vq4_walk {
    const char *base_name;    // "lumc", or "lumc18" after a chip option for an 18-series chip
    bool chip_seen;           // a chip option was given
    const char *command_file; // the last "@" item left unexpanded (without '@'), or null
} vq4_walk;

// The option walk: translates or consumes the front end's options of args
// and appends everything the driver must see to driver_args (names of C
// extensions asked for go to extensions instead).
vq4_walk vq4_walk_options(vec *args, vec *driver_args, vec *extensions);

// The base name an unexpanded command file asks for through its first line
// that holds a chip option (case ignored): "lumc18" for an 18-series chip,
// else "lumc". base_name when no line holds one, or when path is not a
// regular file that can be read.
const char *vq4_chip_from_command_file(const char *path, const char *base_name);

// Writes items 1.. of argv into a new command file at path, one per line
// (double quotes escaped, white space quoted); false when it cannot be
// created or written.
bool vq4_write_command_file(const char *path, vec *argv);

// The quiet first run of the two-pass mode: its diagnostics go into a
// temporary file, whose name the real run then gets with "--summarycmp="
// appended to driver_args.
void vq4_run_first_pass(const char *driver_name, vec *driver_args);

// Keeps v until the process ends (every vector the front end makes does)
// and returns it.
vec *vq4_keep(vec *v);

// ---- For tests only -----------------------------------------------------------

// Puts the state above back to its start: descriptor 2 back to the one the
// process was started with, the error file closed, every setting initial.
void vq4_reset_for_testing(void);

#ifdef __cplusplus
}
#endif
