// driver_args: how the stand-in compiler drivers read their arguments.
//
// The front end hands a driver its arguments through an "@" command file,
// one argument to a line, each written so that the Windows runtime's
// argument rules read it back exactly (double quotes escaped with a
// backslash, arguments holding white space enclosed in double quotes). A
// driver reads such a file with those rules, never with the suite's own
// argument reader, whose escapes and separators would change paths with
// backslashes, apostrophes, tabs and line feeds.
#pragma once

#include <cstdint>

typedef struct vec vec;

// The arguments after argv[0], with every "@file" replaced by the arguments
// the file holds (files named inside files too). An "@" whose file is not a
// regular file that can be read, or is already being read, stays as it is. Each
// "--vqdebug" argument is also handed to db_parse_options. The vector is
// the caller's; its strings are interned.
vec *driver_args(int argc, const char *const *argv);
