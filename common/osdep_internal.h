// osdep: helpers shared by the files of the operating-system layer only.
// Nothing outside osdep_*.cpp includes this header.
#pragma once

#include <string_view>

// Heap copy of text with a terminating zero; the caller frees it.
char *osdep_heap_copy(std::string_view text);

// True for a bare drive: one letter and a colon ("C:").
bool osdep_is_bare_drive(std::string_view path);

// Position of the last '\\', else of the last '/', else of the last ':';
// npos when the path has none of them.
size_t osdep_last_separator(std::string_view path);
