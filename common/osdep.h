// osdep: the operating-system layer of the suite.
//
// Everything that touches the host goes through here (and, below it,
// through platform/platform.h; this module never includes a host header).
// It owns: launching child programs and the command-line limit; the
// process's private temporary directory, every temporary name handed out
// inside it and their removal at exit; the path arithmetic of the suite
// (Windows rules: '\\' and '/' both separate, ':' ends a drive prefix, joins
// insert one '\\'); file and directory queries; fixed-size integers on
// streams; pipes over a child's output; environment, time and host facts;
// sorting and searching; character-case and 16-bit string helpers; the
// signal handlers that restore the standard streams before a tool dies.
//
// Ownership: results called "heap" below are the caller's (free them);
// results called "pointer into" point inside the argument. Allocation
// failure is fatal (message 296), as everywhere in the suite.
// Paths handed out are Windows-shaped (backslashes); open them through the
// platform layer (plat_fopen), which maps the separators for the host.
// The layer is single-threaded; its state (temporary directory, clean-up
// lists, pipe table, signal state) is process-wide. The layer's own misuse
// checks are always-active assertions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

struct vec;

// ---------------------------------------------------------------------------
// Launching programs and the command-line limit
// ---------------------------------------------------------------------------

// Runs the program at path (used as given, never quoted) as a child with the
// null-terminated argument vector argv (element 0 is the name the child
// sees), waits for it and returns its exit status; -1 when it could not be
// started (errno tells why). Every element of argv is replaced in place by a
// copy from the string cache, enclosed in double quotes when it holds white
// space (embedded quotes are not escaped); the copies live until the process
// ends. The child receives the elements joined by single blanks and split
// again by the Windows runtime's rules. After the child, the signal handlers
// are installed again when they were installed before.
int32_t os_spawn(const char *path, const char **argv);

// The longest command line, in characters, that a tool hands to a child
// directly: always 7191. Callers compare it with the length of the program
// path, one blank and the arguments joined by single blanks, and write an
// '@' command file when the limit is smaller.
uint32_t os_cmdline_limit(void);

// Heap copy of s, enclosed in double quotes when it holds white space.
char *os_quote_arg(const char *s);

// Heap copy of the host's short form of an existing path; null when the host
// cannot give one (a missing or null path included).
char *os_short_path(const char *path);

// Heap copy of the path of the running program as the runtime records it.
char *os_program_path(void);

// ---------------------------------------------------------------------------
// Temporary names and clean-up at exit
// ---------------------------------------------------------------------------
// The first request makes the private temporary directory under TEMP (else
// TMP; an unset or empty value means "."): the base, '\\', "vq", a letter
// 'A'..'Z' (an existing or uncreatable candidate moves on to the next letter)
// and a host-unique tail. Names inside it are "vq4_tmp_N" plus the extension,
// N counting from 0 per process. An exit handler removes the files and
// directories registered for removal (the private directory first among
// them) unless os_keep_temps(true) was called.

// Heap path of a fresh name in the private directory, with extension ext
// (".cmd" and "cmd" alike give "vq4_tmp_N.cmd"; null for none). With
// as_dir the directory is created (an existing directory is accepted).
// Null when no private directory can be made, or as_dir fails.
char *os_tmpname(const char *ext, bool as_dir);
// os_tmpname(ext, false): a name for a file the caller creates.
char *os_tmpfile_name(const char *ext);
// os_tmpname(null, false).
char *os_tmpfile_name_plain(void);
// os_tmpname(null, true): a fresh directory inside the private directory.
char *os_tmpdir_name(void);
// When keep is true, the exit handler removes nothing.
void os_keep_temps(bool keep);
// Registers a file (copied) for removal at exit; null is ignored. Works
// before any temporary name was asked for, too.
void os_remove_at_exit(const char *path);
// Registers a directory (copied) for recursive removal at exit; null is
// ignored.
void os_remove_dir_at_exit(const char *path);

// ---------------------------------------------------------------------------
// Directories and file queries
// ---------------------------------------------------------------------------

// Creates the directory, missing parents first; the parent is the text
// before the last '\\' (else '/', else ':'), and an empty parent counts as
// the root. 0 when path itself was created, 1 otherwise (an existing
// directory therefore gives 1).
int os_mkdir_p(const char *path);
// Makes sure a directory exists: -1 for null; 0 for a bare drive ("C:");
// for an existing entry 0 when it is a directory, else 1; otherwise the
// result of os_mkdir_p.
int os_ensure_dir(const char *path);
// Removes a directory and everything in it, never following a link: a link
// inside is removed as a link, and a path that is itself a link is not a
// directory to remove. 0 on success; -1 when path is not an existing
// directory; otherwise the first failing removal's result (the walk stops
// there). A directory that cannot be listed gives 0 and stays.
int os_rmdir_r(const char *path);
// 1 when path names an existing file or directory; 0 otherwise or for null.
int os_file_exists(const char *path);
// 1 when path names an existing directory; 0 otherwise or for null.
int os_is_dir(const char *path);
// Size in bytes (cut to 32 bits); 0 for null or a missing path.
int32_t os_file_size(const char *path);
// True when path exists and the host spells its last component exactly as
// path does (case included).
bool os_file_exists_exact(const char *path);
// Heap copy of the current directory; null when the host cannot tell.
char *os_getcwd(void);

// ---------------------------------------------------------------------------
// Path arithmetic (Windows rules; every result is heap unless stated)
// ---------------------------------------------------------------------------

// dir without one trailing '\\', a '\\', then name without one leading
// '\\'. Null when dir is null or empty. A null name counts as empty.
char *os_path_join(const char *dir, const char *name);
// os_path_join(dir, name); the first argument (host flags) is ignored.
char *os_path_join3(uint32_t ignored, const char *dir, const char *name);
// Collapses separator runs, drops "." components, resolves ".." against the
// components already seen and drops a trailing separator (except after ':'
// and in results shorter than three characters). Null for null.
char *os_path_normalize(const char *path);
// Normalised absolute form: a drive path ("X:...") or a UNC path ("\\\\...")
// as it is, anything else joined to the current directory first. path must
// not be null.
char *os_path_absolute(const char *path);
// The absolute form with the current directory's text and the separator
// after it removed from its front (case-sensitive), "." when nothing is
// left; the absolute form itself when it lies elsewhere.
char *os_path_relative(const char *path);
// True when path has at least two characters and either ':' as its second
// or two leading backslashes.
bool os_path_is_absolute(const char *path);
// Pointer into path after its last '\\' (else '/', else ':'); the whole
// path when it has none; null for null.
const char *os_path_tail(const char *path);
// Heap copy of os_path_tail; null for null.
char *os_path_basename(const char *path);
// The base name up to and including its last '.' (the whole base name when
// it has none). Null for null.
char *os_path_stem_dot(const char *path);
// The base name up to, not including, its last '.' (the whole base name when
// it has none). Null for null.
char *os_path_stem(const char *path);
// Pointer into path at its last '.' anywhere (directories included), or to
// an empty string (also for null).
const char *os_path_ext(const char *path);
// The text before the last '\\' (else '/', else ':'); null when there is no
// separator or for null.
char *os_path_dirname(const char *path);

// ---------------------------------------------------------------------------
// Fixed-size integers on a stream
// ---------------------------------------------------------------------------
// Plain forms use the host order (little-endian on every supported host);
// the _be forms swap the bytes (big-endian). Reads return the number of
// items read (1, or 0 at end of input), writes the number written. A null
// stream or destination stops the program with an assertion.

size_t os_read_u8(FILE *f, uint8_t *val);
size_t os_read_u16(FILE *f, uint16_t *val);
size_t os_read_u16_be(FILE *f, uint16_t *val);
size_t os_read_u32(FILE *f, uint32_t *val);
size_t os_read_u32_be(FILE *f, uint32_t *val);
size_t os_read_u64(FILE *f, uint64_t *val);
size_t os_read_u64_be(FILE *f, uint64_t *val);
size_t os_write_u8(FILE *f, uint8_t val);
size_t os_write_u16(FILE *f, uint16_t val);
size_t os_write_u16_be(FILE *f, uint16_t val);
size_t os_write_u32(FILE *f, uint32_t val);
size_t os_write_u32_be(FILE *f, uint32_t val);
size_t os_write_u64(FILE *f, uint64_t val);
size_t os_write_u64_be(FILE *f, uint64_t val);

// ---------------------------------------------------------------------------
// Pipes over a child's output
// ---------------------------------------------------------------------------

// Runs v's program (item 0, which must be an existing file) with v's items
// (ending with a null item) as argument vector, its standard output and
// standard error both going into one temporary file, and returns that file
// opened for reading; null on any failure (nothing is run for a missing
// program). Descriptors 1 and 2 are restored in every case; v is destroyed
// in every case. The child's exit status is kept for os_pclose.
FILE *os_popen_vec(struct vec *v);
// os_popen_vec of a vector holding program, the further strings up to a
// terminating null, and the null.
FILE *os_popen(const char *program, ...);
// Closes a stream from os_popen_vec and returns its child's exit status;
// -1 (stream left open) for null or any other stream.
int32_t os_pclose(FILE *fp);

// ---------------------------------------------------------------------------
// Environment, time and host facts
// ---------------------------------------------------------------------------

// Sets name=value in the environment (a null or empty value removes the
// variable); 0 for a null name, else 0 on success and -1 on failure.
int os_setenv(const char *name, const char *value);
// Current time in seconds since 1970, also stored in *t unless t is null.
// The first call fixes the time zone: TZ becomes "EST0EDT".
int64_t os_time(int64_t *t);
// "Microsoft Windows": the system the suite presents itself as.
const char *os_name(void);
// Host-flags word: 0x10000 (the host uses Windows path conventions).
uint32_t os_host_flags(void);
// Heap copy of the fixed local host name "localhost".
char *os_hostname(void);
// Number of processor cores, at least 1. With consult_env, a non-zero
// number in bamboo_capability_Cores wins (a negative one gives 1).
int32_t os_num_cores(bool consult_env);

// ---------------------------------------------------------------------------
// Sorting and searching
// ---------------------------------------------------------------------------

// Three-way comparison of two elements given by address.
typedef int (*os_compare_fn)(const void *a, const void *b);

// Sorts count elements of size bytes at base in place: an unstable
// quicksort that keeps its pending ranges on an explicit stack (no
// recursion) and allocates nothing for elements of up to 799 bytes.
// Fewer than two elements: nothing happens. Otherwise base must not be null.
void os_sort(void *base, size_t count, size_t size, os_compare_fn compare);

// Binary search for key in count sorted elements; compare receives the key
// first. Returns a matching element or null (always null for count 0).
void *os_bsearch(const void *key, const void *base, size_t count, size_t size,
                 os_compare_fn compare);

// ---------------------------------------------------------------------------
// Character case and 16-bit strings
// ---------------------------------------------------------------------------

// Lower-cases (upper-cases) s in place and returns it; null for null.
char *os_strlower(char *s);
char *os_strupper(char *s);
// Copies src with its terminating zero into dst; returns dst.
uint16_t *os_wcscpy(uint16_t *dst, const uint16_t *src);
// Heap copy of s.
uint16_t *os_wcsdup(const uint16_t *s);
// Number of units before the terminating zero.
size_t os_wcslen(const uint16_t *s);
// Compares unit by unit as unsigned values: -1, 0 or 1.
int os_wcscmp(const uint16_t *a, const uint16_t *b);
// Lower-cases every unit below 256 in place and returns s.
uint16_t *os_wcslower(uint16_t *s);

// ---------------------------------------------------------------------------
// Signals
// ---------------------------------------------------------------------------
// The signal numbers below are the suite's (Windows) numbers; the platform
// layer maps them to the host's: SIGINT 2, SIGFPE 8, SIGSEGV 11, SIGTERM 15,
// SIGBREAK 21, SIGABRT 22.

// Saves duplicates of descriptors 1 and 2 (once each) and installs
// os_signal_handler for SIGBREAK, SIGINT, SIGTERM, SIGABRT, SIGSEGV and
// SIGFPE. Called again after every child once installed.
void os_install_signals(void);
// Restores descriptors 1 and 2 from the saved duplicates and ends the
// process with the signal number as exit status; after SIGFPE, SIGSEGV and
// SIGABRT it first prints a banner asking the user to contact support.
void os_signal_handler(int sig);

#ifdef __cplusplus
}
#endif
