// fileutils: helpers shared by the files of the file-utilities module only.
// Nothing outside fileutils*.cpp includes this header.
#pragma once

#include <cstdio>

// Opens path with mode only when it names a regular file: a directory, a
// pipe or a device would read as empty, fail oddly or never end (opening a
// pipe for reading can block for ever). Null with errno on failure (EINVAL
// for an existing entry that is not a regular file).
FILE *fileutils_open_regular(const char *path, const char *mode);
