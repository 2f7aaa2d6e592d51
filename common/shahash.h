// shahash: SHA-1 and SHA-256 digests, their hexadecimal text, and checksum
// lists of directories.
//
// The digests are those of the Secure Hash Standard (FIPS 180-4). Memory is
// digested through a context (init, update any number of times, final);
// streams and files are read straight from their descriptors in chunks of
// 16384 bytes. The block compression uses the processor's SHA instructions
// when the running CPU has them (chosen once, at the first digest), else
// portable code; both give the same digests.
//
// A checksum list is a text file with one line per file below a directory:
// 64 lowercase hexadecimal digits of the file's SHA-256 digest, " *", the
// file's path, a line feed. Lists are written in the order the directory
// listing gives; reading splits each line at its first blank, so lines with
// two blanks and no asterisk are read as well.
//
// Ownership: digest blocks (20 or 32 bytes) are new heap blocks the caller
// frees; hexadecimal texts and the hashes of entries are interned (never
// freed). Entries are heap blocks the module never frees; the path of an
// entry is interned when it was read from a list and a plain heap string
// when a directory scan made it.
//
// Failure: a file that exists but cannot be opened for digesting ends the
// program ("!! Cannot open file "<path>"" on standard error, status 1).
// Lists that cannot be opened or read give null or 0 and print nothing. Only
// regular files are ever opened by the list operations: a pipe, a device or
// a socket is never read (a scan skips it, a check fails on it).
// Single-threaded; shahash_check_list changes the current directory while it
// runs.
#pragma once

#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

struct vec;

// ---- Digest contexts ---------------------------------------------------------

#define SHA1_DIGEST_SIZE 20
#define SHA256_DIGEST_SIZE 32
#define SHA_BLOCK_SIZE 64

// The running state of one SHA-1 digest.
struct sha1_ctx {
    uint8_t block[SHA_BLOCK_SIZE]; // bytes waiting for a full block
    uint32_t buffered;             // how many of them
    uint64_t bits;                 // message bits compressed so far
    uint32_t state[5];             // chaining value
};

// The running state of one SHA-256 digest.
struct sha256_ctx {
    uint8_t block[SHA_BLOCK_SIZE];
    uint32_t buffered;
    uint64_t bits;
    uint32_t state[8];
};

// Sets the context to the standard initial state, nothing buffered.
void sha1_init(struct sha1_ctx *ctx);
void sha256_init(struct sha256_ctx *ctx);
// Appends length bytes (length 0 does nothing; data may then be null).
void sha1_update(struct sha1_ctx *ctx, const void *data, uint64_t length);
void sha256_update(struct sha256_ctx *ctx, const void *data, uint64_t length);
// Pads, compresses the last block or two and writes the 20- or 32-byte
// digest to out. The context must be initialised again before reuse.
void sha1_final(struct sha1_ctx *ctx, uint8_t *out);
void sha256_final(struct sha256_ctx *ctx, uint8_t *out);

// ---- Streams and files -------------------------------------------------------

// The digest of everything read from the stream's descriptor (not its
// buffer) until a read gives 0 or fails; a new 20- or 32-byte block that the
// caller frees. The stream stays open.
uint8_t *sha1_stream(FILE *stream);
uint8_t *sha256_stream(FILE *stream);
// The digest of the file at path, as for the stream operation; a file that
// cannot be opened is fatal (see the head comment).
uint8_t *sha1_file(const char *path);
uint8_t *sha256_file(const char *path);
// The file's digest as interned lowercase hexadecimal text (40 or 64 digits).
const char *sha1_file_hex(const char *path);
const char *sha256_file_hex(const char *path);

// ---- Hexadecimal text ----------------------------------------------------------

// The 20- or 32-byte digest as interned lowercase hexadecimal text.
const char *sha1_hex(const uint8_t *digest);
const char *sha256_hex(const uint8_t *digest);
// A new 20- or 32-byte block (the caller frees it) from the first 40 or 64
// characters of hex, high half of each byte first; upper- and lower-case
// digits both work. Nothing is validated: hex must hold that many
// characters, and other characters give their low four bits.
uint8_t *sha1_from_hex(const char *hex);
uint8_t *sha256_from_hex(const char *hex);

// ---- Checksum lists (SHA-256) --------------------------------------------------

// One file of a checksum list.
struct shahash_entry {
    const char *path; // interned (read from a list) or heap (made by a scan)
    const char *hash; // interned: 64 lowercase hexadecimal digits
};

// Appends to files an entry for every regular file below dir, in listing
// order, depth first: the path recorded is prefix joined with the names
// below dir (os_path_join3), the hash the file's digest. A dir that cannot
// be listed adds nothing; a subdirectory met again through a link is not
// entered twice. files and dir must not be null (asserted).
void shahash_scan_dir(uint32_t host_flags, struct vec *files, const char *dir, const char *prefix);
// Writes the list of dir (every path starting with dir as given) into a
// temporary file and copies that to destination. true on success; false
// when no temporary file could be made or written, or the copy failed.
bool shahash_write_list(uint32_t host_flags, const char *dir, const char *destination);
// shahash_write_list with this host's flags (os_host_flags).
bool shahash_write_list_here(const char *dir, const char *destination);
// A new vector (the caller's) of the entries of the list at list_path, each
// path joined to dir when dir is not null. Null when the list cannot be
// opened, is empty, or has a line without a blank.
struct vec *shahash_read_list(const char *list_path, const char *dir);
// 1 when every entry names an existing regular file with the recorded hash
// (an empty vector included); 0 for null or when any entry fails. Every
// entry is examined.
int shahash_check_entries(struct vec *entries);
// 1 when every line of the list names an existing regular file with the
// listed hash; 0 when the list cannot be opened, is empty, or a line fails.
// Paths are taken relative to dir when dir is not null: the current
// directory is changed to dir while the check runs and back before it
// returns (0 when either change cannot be made).
int shahash_check_list(const char *dir, const char *list_path);
// true when path names an existing regular file whose SHA-256 digest is
// the hexadecimal text hash; false otherwise or when either is null.
bool shahash_check_file(const char *hash, const char *path);

// Writes "!! ", the formatted text and a line feed on standard error and
// ends the process with status 1.
[[noreturn]] void shahash_fatal(const char *fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// ---- Choosing the compression code (tests and benchmarks) ----------------------

enum shahash_impl {
    SHAHASH_IMPL_AUTO,     // the processor's instructions when present, else portable
    SHAHASH_IMPL_PORTABLE, // portable code
    SHAHASH_IMPL_ACCEL     // the processor's SHA instructions
};
// Makes later digests use impl. false (and nothing changes) when impl is
// SHAHASH_IMPL_ACCEL and the running CPU has no SHA instructions.
bool shahash_select(enum shahash_impl impl);
// The name of the compression code in use: "portable", "x86 SHA
// extensions" or "ARMv8 SHA".
const char *shahash_impl_name(void);

#ifdef __cplusplus
}
#endif
