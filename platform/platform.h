// platform: the host seam of the suite.
//
// This is the one header that names every host call the library makes. Each
// call is named plat_ followed by the Windows runtime or system call it
// stands for, and keeps that call's arguments and results, so that the code
// above reads as it would on Windows. Two backends stand behind it:
// platform/posix/ (our own implementation of the Windows behaviour on a
// POSIX host) and platform/windows/ (a thin mapping to the real runtime).
// The comments below say what the POSIX backend does.
//
// Rules every call keeps:
// - A path handed to a call has every backslash mapped to '/' before it
//   reaches the host ("dir\\file.c" opens dir/file.c). Paths handed back
//   (plat_getcwd, plat_pgmptr, directory entries) are in the host's shape,
//   except where a call says it gives back the caller's own text.
// - Failure is reported the Windows way: -1, null or 0/false, with errno set
//   to the host's reason (ENOENT, EEXIST, EBADF, ...). No call prints.
// - Signal numbers are the Windows ones (PLAT_SIGINT, ...); the backend maps
//   them to the host's.
// - A write to a pipe whose reader has gone fails (errno EPIPE), as on
//   Windows: the POSIX backend ignores SIGPIPE for the whole process (every
//   child still starts with it at its default action).
// - Every call listed in enum plat_call can be made to fail on purpose by a
//   test (plat_fail_next), so that callers' failure paths can be exercised.
//
// Nothing outside platform/ includes a host header; everything host-specific
// the library needs is declared here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------------------
// Process launch

// The only launch mode supported: run the child and wait for it (_P_WAIT).
#define PLAT_P_WAIT 0

// _spawnv in wait mode. The argument vector (null-terminated; an empty one
// is taken as holding only the program path, so the child gets no
// arguments) is joined with single blanks into one command line, exactly as the Windows
// runtime does, and split again by plat_split_command_line; the resulting
// vector is what the child receives, element 0 included. The program path is
// used as given (backslashes mapped; a bare name is taken from the current
// directory; no search along PATH, no added extension). Returns the child's exit status (0-255); a
// child ended by a host signal gives 128 + the host signal number. Returns -1 with errno set when
// the program cannot be started (ENOENT for a missing program, EACCES for one that is not
// executable, ...), and -1/EINVAL for a mode other than PLAT_P_WAIT or a null path or vector. The
// child inherits the environment, the current directory and every open descriptor; every signal
// starts at its default action and none is blocked. Streams are not flushed first: flush
// standard output and error before the call, as on Windows.
//
// The wait gets the child's real status whatever dispositions this process
// inherited (an ignored SIGCHLD included). While it waits, the caller
// behaves as under the C library's system(): an interrupt or quit, which the
// terminal also sends to the child, is ignored, and a request to end
// (SIGTERM, SIGHUP) is passed on to the child and remembered
// (plat_termination_requested); only signals left at their default action
// are treated so, a handler the program installed stays in force. Every
// disposition is back as it was when the call returns.
intptr_t plat_spawnv(int mode, const char *path, const char *const *argv);

// Non-zero once a request to end this process arrived while plat_spawnv
// waited for a child (and was passed on to it). The caller decides how to
// end once the child is gone. Windows delivers console events to the whole
// console, so there it stays 0.
int plat_termination_requested(void);

// The yardstick for launch benchmarks: starts the program with the host's
// own launch, handing it argv exactly as given (no command-line round trip,
// no signal reset), and waits. Results as for plat_spawnv. The library
// itself never calls it.
intptr_t plat_spawn_direct(const char *path, const char *const *argv);

// Splits a command line (null counts as empty) by the Windows runtime's
// rules into a new null-terminated vector and stores the element count in
// *count (count may be null). Element 0 (the program name) runs to the first blank or tab
// outside double quotes; quotes toggle quoting and are dropped, backslashes
// are literal; it is always present, possibly empty. The other elements are
// separated by blanks and tabs outside quotes; 2n backslashes before a
// double quote give n backslashes and the quote opens or closes a quoted
// section, 2n+1 give n backslashes and a literal quote, other backslashes are
// literal, and inside quotes a doubled quote "" gives one literal quote.
// The vector and its strings are one block from malloc: the caller frees the
// returned pointer alone with free(). Null only when memory runs out.
char **plat_split_command_line(const char *line, int *count);

// Splits text that holds arguments quoted by the same rules, as a command
// file written for a child holds them (one or more to a line): every
// element follows the rules of the arguments after the program name above,
// and a line feed outside double quotes separates elements as blanks and
// tabs do (inside quotes it is part of the argument). No element stands for
// a program name. Result and ownership as for plat_split_command_line.
char **plat_split_arguments(const char *text, int *count);

// _pgmptr: the running executable's real path (on POSIX read from the
// link /proc/self/exe, symbolic links resolved), in host shape.
// Owned by the platform layer; never null (empty text if the host cannot
// tell).
const char *plat_pgmptr(void);

// _getpid: the process id.
int plat_getpid(void);

// _onexit: registers fn to run at normal process exit (return from main or
// exit()), in reverse order of registration, interleaved correctly with
// atexit handlers. Returns fn, or null when no slot is left (32 slots).
typedef int (*plat_onexit_fn)(void);
plat_onexit_fn plat_onexit(plat_onexit_fn fn);

// ---------------------------------------------------------------------------
// Signals (Windows numbers)

#define PLAT_SIGINT 2    // host SIGINT
#define PLAT_SIGFPE 8    // host SIGFPE
#define PLAT_SIGSEGV 11  // host SIGSEGV
#define PLAT_SIGTERM 15  // host SIGTERM
#define PLAT_SIGBREAK 21 // host SIGQUIT (Ctrl+\ stands for Ctrl+Break)
#define PLAT_SIGABRT 22  // host SIGABRT

typedef void (*plat_sighandler)(int);
#define PLAT_SIG_DFL ((plat_sighandler)0)
#define PLAT_SIG_IGN ((plat_sighandler)1)
#define PLAT_SIG_ERR ((plat_sighandler)-1)

// signal: installs handler for the Windows signal number sig (or
// PLAT_SIG_DFL / PLAT_SIG_IGN). The handler receives the Windows number. As
// on Windows the disposition is reset to the default before the handler
// runs, so a handler that wants to stay must install itself again. Returns
// the previous handler, or PLAT_SIG_ERR with errno EINVAL for a number that
// is not in the table above.
plat_sighandler plat_signal(int sig, plat_sighandler handler);

// raise: raises the Windows signal number sig in this process. 0, or
// non-zero for an unknown number.
int plat_raise(int sig);

// The host signal number for a Windows one, or -1 when it has none.
int plat_host_signal(int windows_sig);
// The Windows signal number for a host one, or -1 when it has none.
int plat_windows_signal(int host_sig);

// ---------------------------------------------------------------------------
// Descriptors and streams
//
// plat_dup, plat_dup2 and plat_close only call the host's descriptor calls,
// so a signal handler may use them to restore standard output and error.

// _dup: a new descriptor for the same open file, or -1 with errno.
int plat_dup(int fd);
// _dup2: makes fd2 refer to fd1's open file (closing fd2 first). 0 on
// success (the Windows result, not fd2), -1 with errno.
int plat_dup2(int fd1, int fd2);
// _close: 0, or -1 with errno.
int plat_close(int fd);
// _fileno: the descriptor of a stream, or -1 for null.
int plat_fileno(FILE *stream);
// _isatty: non-zero when fd is a terminal.
int plat_isatty(int fd);
// _read: reads up to count bytes from fd into buf. The number read (0 at
// end of file), or -1 with errno. An interrupted read is retried.
int plat_read(int fd, void *buf, unsigned count);
// _chsize_s: sets the size of the open file fd to size bytes (cutting it or
// extending it with zeros). 0, or -1 with errno (EINVAL for a descriptor
// that is not a regular file).
int plat_chsize(int fd, int64_t size);
// fopen: opens path with a Windows mode ("r", "wt", "rb+", ...; the text
// and binary letters are accepted and mean nothing on POSIX). Null with
// errno. A mode that writes ('w', 'a' or '+') does not follow a symbolic
// link that someone else planted in a shared directory: when the last
// component is a link in a sticky, world-writable directory and the link's
// owner is neither this user nor the directory's owner, the open fails
// with EACCES (the rule protected-symlink kernels apply to every open).
FILE *plat_fopen(const char *path, const char *mode);
// Opens path for reading (mode "r" or "rb") only when it is a regular file.
// Anything else (a directory, a pipe, a device) is refused with EINVAL
// without being read or waited on: the kind is checked on the opened file,
// so a file swapped for a pipe after a look at its name cannot block the
// caller. Counts as PLAT_CALL_FOPEN for the fault switch. Null with errno.
FILE *plat_fopen_regular(const char *path, const char *mode);
// Reopens stream for reading (text mode) on path, as freopen does, when
// path is a regular file or a terminal. Anything else (a directory, a pipe,
// a socket, another device) is refused with EINVAL without being read or
// waited on: the kind is checked on the opened file, not on its name, so a
// file swapped for a pipe meanwhile cannot block the caller. On any failure
// the stream is left as it was (unlike freopen). The file's identity goes
// to *id when id is not null. Returns stream, or null with errno.
FILE *plat_freopen_input(const char *path, FILE *stream, struct plat_file_id *id);
// fgets of a stream opened in text mode: reads at most size - 1 characters
// up to and including a line feed into buf and ends them with a zero; null
// at end of input (or on a read error) with nothing read. Lines read as the
// Windows runtime gives them: a carriage return that stands right before a
// line feed is not part of the text, also when the two fall into different
// calls. Use it only on text streams.
char *plat_fgets(char *buf, int size, FILE *stream);
// fclose: flushes and closes the stream. 0, or EOF with errno when the
// flush or the close failed (the stream is closed all the same).
int plat_fclose(FILE *stream);
// freopen: reopens stream on path (the mode as for plat_fopen). On failure
// null with errno, and the stream is closed, as the C runtime does.
FILE *plat_freopen(const char *path, const char *mode, FILE *stream);

// ---------------------------------------------------------------------------
// Environment and time

// getenv: the variable's value, or null when it is not set. The text
// belongs to the environment and changes with the next plat_putenv.
const char *plat_getenv(const char *name);
// _putenv: "NAME=value" sets the variable (the text is copied), "NAME="
// removes it. 0, or -1 with errno EINVAL when there is no '=' or no name.
int plat_putenv(const char *assignment);
// _time64: seconds since 1970-01-01 UTC; also stored in *t unless t is null.
int64_t plat_time64(int64_t *t);
// _tzset: re-reads the time zone from the TZ variable.
void plat_tzset(void);

// ---------------------------------------------------------------------------
// Temporary names

// Size of a buffer that holds any name plat_tmpnam makes.
#define PLAT_L_TMPNAM 64

// tmpnam: a Windows-shaped name, a backslash and a tail ("\\s<pid>.<n>",
// n counting up from 1 in each process), unique among all processes alive
// at the same time. Writes it into buf (PLAT_L_TMPNAM bytes) and returns
// buf; with a null buf returns a buffer of the platform layer that the next
// call overwrites. Creates nothing.
char *plat_tmpnam(char *buf);

// ---------------------------------------------------------------------------
// Directories and files

// Longest path the Windows-shaped records below hold (MAX_PATH).
#define PLAT_MAX_PATH 260

// _getcwd: the current directory in host shape, in buf of size bytes; with
// a null buf a new malloc'd buffer the caller frees. Null with errno (ERANGE
// when it does not fit).
char *plat_getcwd(char *buf, int size);
// _chdir: 0, or -1 with errno.
int plat_chdir(const char *path);
// _rmdir: removes an empty directory. 0, or -1 with errno.
int plat_rmdir(const char *path);
// remove: removes a file; a symbolic link is removed itself, never
// followed. A directory, even an empty one, is refused (EISDIR on POSIX,
// EACCES on Windows). 0, or -1 with errno.
int plat_remove(const char *path);

// What plat_stat64 reports about a path. As with the Windows record, the
// tag shares the function's name: declare it as "struct plat_stat64 st;".
struct plat_stat64 {
    int64_t size;   // bytes
    int64_t mtime;  // last modification, seconds since 1970 UTC
    int64_t atime;  // last access
    int64_t ctime;  // last status change (creation on Windows)
    uint32_t mode;  // the host's permission bits (0777 mask)
    int is_dir;     // non-zero for a directory
    int is_regular; // non-zero for a regular file
    int is_device;  // non-zero for a character device (a terminal, the null device, ...)
};
// _stat64: fills *st for path (symbolic links followed). 0, or -1 with
// errno (ENOENT for a missing path).
int plat_stat64(const char *path, struct plat_stat64 *st);

// The identity of a file: two paths name the same file exactly when their
// identities are equal (on Windows the volume serial number and file index
// of GetFileInformationByHandle, on POSIX the device and inode).
struct plat_file_id {
    uint64_t volume;
    uint64_t index;
};
// Fills *id for path (symbolic links followed). 0, or -1 with errno.
int plat_file_identity(const char *path, struct plat_file_id *id);

// What plat_remove_tree did.
enum plat_tree_result {
    PLAT_TREE_REMOVED = 0,          // the directory and everything in it are gone
    PLAT_TREE_FAILED = -1,          // a removal failed (errno); the walk stopped there
    PLAT_TREE_NOT_A_DIRECTORY = -2, // missing, not a directory, or a link (never followed)
    PLAT_TREE_UNLISTABLE = -3,      // a directory that cannot be opened for listing
    PLAT_TREE_REPLACED = -4,        // not the directory expected: something took its place
};
// Removes the directory path and everything below it, never following a
// symbolic link (or, on Windows, any reparse point) at any depth: a link is
// removed itself. With expected non-null, the directory is removed only
// when it is still that very file (compared after it was opened, so a
// directory or link put in its place meanwhile is left alone). Removals
// count as PLAT_CALL_REMOVE and the first listing as PLAT_CALL_OPENDIR for
// the fault switch.
enum plat_tree_result plat_remove_tree(const char *path, const struct plat_file_id *expected);

// PLAT_HOST_WINDOWS: 1 when the backend is the Windows one (0 on a POSIX
// host), for the few places, tests above all, that must expect each host's
// own result (how a signal ends a process, what a name may hold).
#ifdef _WIN32
#define PLAT_HOST_WINDOWS 1
#else
#define PLAT_HOST_WINDOWS 0
#endif

// Directory listing: open, read entry names one by one, close.
typedef struct plat_dir plat_dir;
// Opens path for listing; null with errno.
plat_dir *plat_opendir(const char *path);
// The next entry's name ("." and ".." included, in host order), or null at
// the end. The text is the listing's and is overwritten by the next call.
const char *plat_readdir(plat_dir *dir);
// Closes the listing (null is ignored).
void plat_closedir(plat_dir *dir);

// CreateDirectoryA: creates one directory, readable, writable and
// searchable by its owner only (0700); the security argument is ignored.
// Non-zero on success. 0 with errno on failure: EEXIST when anything
// (a file, a directory, a dangling or planted symbolic link) already has
// that name, ENOENT when the parent is missing.
int plat_CreateDirectoryA(const char *path, void *security);

// What plat_FindFirstFileA found.
struct plat_find_data {
    char cFileName[PLAT_MAX_PATH]; // the entry's name as its directory holds it
    int is_dir;                    // non-zero for a directory
};
typedef struct plat_find *plat_find_handle;
// FindFirstFileA for one path without wildcards ('*' and '?' are plain
// characters): looks the last component up in its parent directory and
// reports the name the directory holds, exact case preferred, otherwise the
// first entry that matches ignoring case (so a caller comparing names sees
// the difference). Returns a handle to close with plat_FindClose, or null
// with errno ENOENT when nothing matches.
plat_find_handle plat_FindFirstFileA(const char *path, struct plat_find_data *data);
// FindClose: releases the handle. Non-zero on success, 0 for null.
int plat_FindClose(plat_find_handle handle);

// GetShortPathNameA: POSIX has no short names, so an existing path comes
// back unchanged (the caller's own text, backslashes included). Returns the
// length copied (without the terminating zero) when it fits in size bytes;
// the size needed (with the zero) when it does not, leaving buf untouched;
// 0 with errno ENOENT for a missing path.
uint32_t plat_GetShortPathNameA(const char *path, char *buf, uint32_t size);

// What plat_GetSystemInfo reports (the field the library uses).
struct plat_system_info {
    uint32_t dwNumberOfProcessors; // processors online, at least 1
};
// GetSystemInfo: fills *info.
void plat_GetSystemInfo(struct plat_system_info *info);

// The processor feature plat_IsProcessorFeaturePresent can be asked about
// (the Windows number): the ARMv8 AES, SHA-1 and SHA-256 instructions.
#define PLAT_PF_ARM_V8_CRYPTO_INSTRUCTIONS_AVAILABLE 30
// IsProcessorFeaturePresent: non-zero when the running processor has the
// feature (on a POSIX host read from the kernel's hardware capabilities); 0
// for another feature, another processor family, or a host that cannot tell.
int plat_IsProcessorFeaturePresent(uint32_t feature);

// ---------------------------------------------------------------------------
// Shared libraries
//
// For code that needs a library only now and then: loading it on first use
// keeps its cost off every start of the program.

// LoadLibraryA (dlopen with RTLD_NOW | RTLD_LOCAL): loads the shared library
// name, searched as the host searches ("libzip.so.4", "zip.dll"), with all
// its symbols bound now and none made visible to libraries loaded later.
// Returns a handle to release with plat_dlclose, or null with errno ENOENT
// when the library cannot be found or loaded (EINVAL for a null name).
void *plat_dlopen(const char *name);
// GetProcAddress (dlsym): the address of the exported symbol in the library
// behind handle, which the caller converts to the symbol's own type. Null
// with errno ENOENT when the library has no such symbol, EINVAL for a null
// handle or symbol. The address is valid until the handle is released.
void *plat_dlsym(void *handle, const char *symbol);
// FreeLibrary (dlclose): releases a handle from plat_dlopen; every address
// taken from it becomes invalid. Null is ignored.
void plat_dlclose(void *handle);

// ---------------------------------------------------------------------------
// Fault injection (for tests)

// The host calls that a test can make fail.
enum plat_call {
    PLAT_CALL_SPAWNV,
    PLAT_CALL_DUP,
    PLAT_CALL_DUP2,
    PLAT_CALL_CLOSE,
    PLAT_CALL_READ,
    PLAT_CALL_FOPEN,
    PLAT_CALL_FREOPEN,
    PLAT_CALL_FCLOSE,
    PLAT_CALL_PUTENV,
    PLAT_CALL_TMPNAM,
    PLAT_CALL_GETCWD,
    PLAT_CALL_CHDIR,
    PLAT_CALL_RMDIR,
    PLAT_CALL_REMOVE,
    PLAT_CALL_STAT64,
    PLAT_CALL_OPENDIR,
    PLAT_CALL_CREATEDIRECTORY,
    PLAT_CALL_FINDFIRSTFILE,
    PLAT_CALL_GETSHORTPATHNAME,
    PLAT_CALL_DLOPEN,
    PLAT_CALL_DLSYM,
    PLAT_CALL_COUNT
};

// Makes the next call of that kind fail with errno err (non-zero; 0 withdraws
// the failure), without touching the host, in the failure shape documented
// for the call. An injected plat_freopen failure leaves the stream open.
void plat_fail_next(enum plat_call call, int err);
// Lets skip calls of that kind pass, then makes the one after fail with
// err (skip 0 is plat_fail_next).
void plat_fail_after(enum plat_call call, int skip, int err);
// Withdraws every pending failure.
void plat_fail_reset(void);

#ifdef __cplusplus
}
#endif
