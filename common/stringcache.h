// stringcache: the suite's interned string store, string helpers and the
// allocation wrapper every module uses.
//
// Every sc_* operation that returns a string assembles it (usually in one
// shared scratch buffer) and then interns it: equal strings share one copy,
// and the copy lives until the process ends. Callers never free and never
// modify what an sc_* operation returns; two strings interned while caching
// is on are equal exactly when they are the same pointer. A result in the
// scratch buffer would only live until the next sc_* call, which is why
// every operation interns before it returns.
//
// The heap_* helpers and must_alloc are the exception: their results are
// plain heap blocks that the caller owns and frees with free().
//
// Paths use backslash as separator; only the operations that say so also
// look at '/' or ':'. Allocation failure anywhere is fatal (message 296,
// "out of memory"). Single-threaded: the cache and the scratch buffer are
// unguarded process-wide state.
#pragma once

#include "common/vector.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define SC_PRINTF_FORMAT(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define SC_PRINTF_FORMAT(fmt, first)
#endif

// ---- Cache control and comparison ----------------------------------------

// How many strings the cache table is first made for (default 5077); the
// table grows with its contents. 0 turns caching off for later calls: they
// return fresh heap copies (the caller's) instead.
void sc_set_cache_size(uint32_t size);
// Bounds the number of insertions into the cache (0, the default: none);
// under a limit L the first L + 1 new strings are cached, later ones are
// returned uncached.
void sc_set_cache_limit(uint32_t limit);
// strcmp of two strings; the cache's key comparison.
int sc_strcmp(const void *a, const void *b);
// Case-insensitive comparison of two strings (lower-cased characters).
int sc_stricmp(const void *a, const void *b);

// ---- Interning and formatting ----------------------------------------------

// Writes the cache's figures (strings, table slots, longest probe, arena
// blocks and bytes) into the debug-out file; part of the container reports.
void sc_report(void);
// The interned copy of str; null for null.
const char *sc_intern(const char *str);
// Interns a heap string without copying it: the cached equal string if
// there is one (str is then left to the caller), else str itself, which
// then belongs to the cache. Null for null.
const char *sc_adopt(char *str);
// The interned first n characters of str; null for null.
const char *sc_intern_n(const char *str, uint32_t n);
// Interned a + b. A null a gives b, a null b gives a, both unchanged.
const char *sc_concat(const char *a, const char *b);
// Interned formatted text. A formatter failure writes "vsnprintf failed in
// a mysterious way" to standard error and aborts.
const char *sc_vprintf(const char *fmt, va_list args);
const char *sc_printf(const char *fmt, ...) SC_PRINTF_FORMAT(1, 2);
// Interned copy of str with each tab replaced by four spaces.
const char *sc_expand_tabs(const char *str);
// sc_vprintf / sc_printf, then sc_expand_tabs.
const char *sc_vprintf_tabs(const char *fmt, va_list args);
const char *sc_printf_tabs(const char *fmt, ...) SC_PRINTF_FORMAT(1, 2);
// Interned string of the vector's items taken as bytes; null for null.
const char *sc_from_vec(const vec *chars);
// Interned copy in lower / upper case.
const char *sc_lower(const char *str);
const char *sc_upper(const char *str);
// Interned copy of str with each character of from_set replaced by the
// character at the same position of to_set (a later pair overrides).
const char *sc_translate(const char *str, const char *from_set, const char *to_set);
// Interned copy of str with each character of set preceded by escape (0
// means backslash); an escape character already standing before a quote or
// apostrophe is not escaped again. str itself (interned) when no character
// of set occurs.
const char *sc_escape(const char *str, const char *set, char escape);
// Interned quote + str + quote.
const char *sc_quote(const char *str, char quote);
// New vector (the caller's) of the interned non-empty tokens of str between
// characters of delims.
vec *sc_split(const char *str, const char *delims);
// One whole line of any length from a text stream, line feed kept (a
// carriage return right before it is dropped, as a text-mode stream does),
// interned; null at end of input.
const char *sc_readline(FILE *stream);

// ---- Trimming and lines ----------------------------------------------------

// Interned str without leading and trailing characters of set.
const char *sc_trim_chars(const char *str, const char *set);
// Interned str without leading and trailing white space.
const char *sc_trim(const char *str);
// Interned str without all trailing carriage returns and line feeds.
const char *sc_chomp(const char *str);
// Interned text before the first line feed or carriage return; null for
// null.
const char *sc_first_line(const char *str);
// Interned text strictly between the first open character and the first
// close character after it; their addresses go to *open_at and *close_at
// (each may be null; both are set to null first). Null when str is null or
// either character is missing (*open_at is then set if open was found).
const char *sc_between(const char *str, char open, char close, const char **open_at,
                       const char **close_at);

// ---- Affixes (null or false when either argument is null) -----------------

// Interned tail of str equal to suffix, or null.
const char *sc_suffix(const char *str, const char *suffix);
// As sc_suffix ignoring case; the tail keeps str's own case.
const char *sc_suffix_nocase(const char *str, const char *suffix);
bool sc_ends_with(const char *str, const char *suffix);
bool sc_ends_with_nocase(const char *str, const char *suffix);
// Interned remainder of str after prefix, or null when str does not begin
// with it.
const char *sc_after_prefix(const char *str, const char *prefix);
const char *sc_after_prefix_nocase(const char *str, const char *prefix);
bool sc_starts_with(const char *str, const char *prefix);
bool sc_starts_with_nocase(const char *str, const char *prefix);

// ---- Paths -------------------------------------------------------------------

// dir + backslash + name (one leading backslash of name dropped, no second
// backslash after dir), interned. A null or empty dir gives name, a null or
// empty name gives dir, unchanged.
const char *sc_path_join(const char *dir, const char *name);
// The path with '/' turned into backslash on hosts with backslash paths,
// interned; a null or empty path is returned unchanged.
const char *sc_native_path(const char *path);
// sc_path_join of the sc_native_path of each part.
const char *sc_native_path_join(const char *dir, const char *name);
// Interned text after the last backslash (else '/', else ':'), or the whole
// path; null for null.
const char *sc_basename(const char *path);
// Interned text before the last backslash (else '/', else ':'); null for
// null or when the path has no separator.
const char *sc_dirname(const char *path);
// path up to its last '.' (all of it when there is none), '.', then ext
// without a leading '.'; interned.
const char *sc_replace_ext(const char *path, const char *ext);
// path without its extension (when no backslash follows the last '.'),
// interned.
const char *sc_strip_ext(const char *path);
// path + '.' + ext (a leading '.' of ext skipped), interned.
const char *sc_add_ext(const char *path, const char *ext);
// The absolute, normalised form of path, interned; null on failure.
const char *sc_full_path(const char *path);

// ---- Plain heap helpers (results belong to the caller; free() them) ------

// count zero-filled bytes; never null (out of memory is fatal, message 296).
void *must_alloc(uint32_t count);
// The block resized to bytes (a new block for null), keeping what fits;
// never null. Out of memory, or a size beyond 32 bits, is fatal (message
// 296).
void *must_realloc(void *block, uint64_t bytes);
// How many blocks must_alloc has handed out in this process; lets a test
// check that an operation allocates nothing.
uint64_t must_alloc_calls(void);
// One whole line of any length from a text stream as sc_readline reads it,
// in a new heap string; null at end of input.
char *heap_readline(FILE *stream);
// New heap string a + b.
char *heap_concat(const char *a, const char *b);
// New heap string heap_str + b; heap_str is freed.
char *heap_append(char *heap_str, const char *b);
// New heap string of the formatted text, cut to 4095 characters (with
// "buffer overflow in vsnprintf" on standard error) when longer.
char *heap_vprintf(const char *fmt, va_list args);
char *heap_printf(const char *fmt, ...) SC_PRINTF_FORMAT(1, 2);

#ifdef __cplusplus
}
#endif
