// vqdebug_internal: state shared by the parts of the debug module (options
// in vqdebug.cpp, trace output in vqdebug_trace.cpp, package and launch in
// vqdebug_package.cpp). Nothing outside the module includes it.
#pragma once

#include "common/vqdebug.h"

typedef struct hash hash;

// Program names to run under the debugger (the "debug" option), or null.
extern hash *gDebugNames;
// Set until an "out" option names the debug-out file.
extern bool gDefaultOut;

// The front end's name, upper-cased in the APP line of argument dumps.
inline constexpr const char *kFrontEndName = "vq4";

// Return each part's state to its start (for db_reset_for_testing).
void db_reset_trace_state(void);
void db_reset_package_state(void);
