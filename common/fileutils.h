// fileutils: the suite's small file helpers.
//
// Copying and appending one file to another, and reading one whole line of
// any length from a stream into a new heap buffer.
//
// A copy or append never leaves a destination that looks complete but is
// not: when any step after the destination was opened fails, an appended
// file is cut back to its earlier length and a copied one is removed (only
// ever a regular file; a device or pipe named as destination is left as it
// is). Failures print nothing; with debug tracing on each is traced with
// its reason. Single-threaded.
#pragma once

#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

// ---- Copy and append ---------------------------------------------------------

// Copies source onto destination (emptying an existing destination), or
// with append non-zero adds source's bytes to destination's end (creating
// it when missing). 1 on success, 0 on any failure: a null path, the two
// paths naming one file (the same text, or two names of one file), a
// source that is not a regular readable file, a destination that cannot be
// opened, or a failed read, write or close.
int copyfile_helper(const char *source, const char *destination, uint8_t append);
// copyfile_helper(source, destination, 0).
int copyfile(const char *source, const char *destination);
// copyfile_helper(source, destination, 1); note the order of the paths.
int appendfile(const char *destination, const char *source);

// ---- Lines -----------------------------------------------------------------------

// The next line of a text stream with its line feed (when it has one), in a
// new zero-filled heap buffer that the caller frees; null at end of input.
// The buffer starts at 150 bytes and grows by 150 while the line goes on;
// *length (when given) receives the line's length in characters and *size
// (when given) the buffer's size in bytes. A carriage return right before
// the line feed is dropped, as a text-mode stream does.
char *getLineEx(FILE *stream, uint32_t *length, uint32_t *size);
// getLineEx without the two places.
char *getLine(FILE *stream);
// getLineEx without the size place.
char *getLineLen(FILE *stream, uint32_t *length);

#ifdef __cplusplus
}
#endif
