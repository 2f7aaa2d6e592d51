// fileutils: the suite's small file helpers.
//
// Copying and appending one file to another, reading one whole line of any
// length from a stream into a new heap buffer, and identifying a file's
// kind from its name and content.
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

// ---- File identification ---------------------------------------------------------
//
// A file's kind is a set of bits (below), found from its extension and,
// where the extension is not enough, from its content: 32-bit ELF images
// and their machine families, intermediate code, objects in the record
// format and libraries of either. Identification only reads: it reports
// nothing to the user, opens nothing but regular files (never a directory,
// pipe or device), never reads past what a file holds, and closes every
// stream it opened before it returns. A file it cannot open or read, or
// whose content is malformed (truncated, with counts or lengths pointing
// past its end, strings without their terminating zero), is simply not
// recognised: the content tests answer 0, with a trace line saying why
// when tracing is on (DB_FLAG_TRACE). Every operation answers 0 (or null)
// for a null path or stream. Strings handed out are interned.

// General kind bits.
#define FILEID_SOURCE 0x1ull        // a source that a tool translates
#define FILEID_C 0x2ull             // C source
#define FILEID_PREPROC 0x4ull       // passes through or comes from the preprocessor
#define FILEID_ASM 0x8ull           // assembler source
#define FILEID_LIBRARY 0x10ull      // library
#define FILEID_OBJECT 0x20ull       // object file
#define FILEID_P1 0x40ull           // intermediate code
#define FILEID_IMAGE 0x80ull        // program image
#define FILEID_BINARY 0x100ull      // binary content
#define FILEID_TEXT 0x200ull        // text content
#define FILEID_AUX 0x400ull         // listings, maps, symbol and configuration files
#define FILEID_HEADER 0x800ull      // header file
#define FILEID_MISSING 0x1000ull    // no such file (always set for .c and .usb)
#define FILEID_LPP 0x2000ull        // library holding intermediate-code modules
#define FILEID_LIB 0x4000ull        // library holding object modules
#define FILEID_ARCHIVE 0x8000ull    // library of mixed or unrecognised content
#define FILEID_OBJ 0x10000ull       // object file in the record format
#define FILEID_OTHER_OBJ 0x20000ull // named as an object but not in the record format

// Bits of single kinds, one per extension (FILEID_ELF: any 32-bit ELF file).
#define FILEID_EXT_P1 0x40000ull
#define FILEID_EXT_PRE 0x80000ull
#define FILEID_EXT_I 0x100000ull
#define FILEID_EXT_AS 0x200000ull
#define FILEID_EXT_ASM 0x400000ull
#define FILEID_EXT_S 0x800000ull // lower-case .s
#define FILEID_EXT_HEX 0x1000000ull
#define FILEID_ELF 0x2000000ull
#define FILEID_EXT_COF 0x4000000ull
#define FILEID_EXT_LKR 0x8000000ull
#define FILEID_EXT_INI 0x10000000ull
#define FILEID_EXT_CFGMAP 0x20000000ull
#define FILEID_EXT_CFGDATA 0x40000000ull
#define FILEID_EXT_CMF 0x80000000ull
#define FILEID_EXT_SYM 0x100000000ull
#define FILEID_EXT_SDB 0x200000000ull
#define FILEID_EXT_DEP 0x400000000ull
#define FILEID_EXT_INC 0x800000000ull
#define FILEID_EXT_MAP 0x1000000000ull
#define FILEID_EXT_HXL 0x2000000000ull
#define FILEID_EXT_SX 0x4000000000ull // upper-case .S and .sx
#define FILEID_EXT_CRF 0x8000000000ull
#define FILEID_EXT_LST 0x10000000000ull
#define FILEID_EXT_RLF 0x20000000000ull
#define FILEID_EXT_DMP 0x40000000000ull
#define FILEID_EXT_USB 0x80000000000ull
#define FILEID_EXT_XML 0x100000000000ull
#define FILEID_EXT_VQ4APP 0x200000000000ull
#define FILEID_EXT_H 0x8000000000000ull

// ELF machine families: the bit added to an ELF image's kind, and the
// machine number (the header's 16-bit machine field) that identifies the
// family. The numbers are values of the public ELF machine registry: an
// 8-bit RISC microcontroller (83) and a 16-bit microcontroller (105) for
// the two small-device families, and three 32-bit cores (8, 40 and 243)
// for the others. An ELF file of any other machine is an ELF image without
// a family bit. The families' names appear in traces ("found LUM ELF file").
#define FILEID_ELF_LUM 0x400000000000ull
#define FILEID_ELF_KESTA 0x800000000000ull
#define FILEID_ELF_MORRA 0x1000000000000ull
#define FILEID_ELF_TOBRE 0x2000000000000ull
#define FILEID_ELF_SELKO 0x4000000000000ull
#define FILEID_MACHINE_LUM 83
#define FILEID_MACHINE_KESTA 105
#define FILEID_MACHINE_MORRA 8
#define FILEID_MACHINE_TOBRE 40
#define FILEID_MACHINE_SELKO 243

// Object files are sequences of records, each a little-endian 16-bit body
// length (at most FILEID_RECORD_MAX_BODY), a type byte (1 to 24; 6 is END)
// and the body; the END record ends the object.
#define FILEID_RECORD_END 6
#define FILEID_RECORD_MAX_BODY 512

// The kind set of path. The extension (the text after the last '.' of the
// whole path) decides, compared ignoring case except that "s" and "S" are
// told apart: most extensions have a fixed kind; "o", "obj" and "p1" look
// for intermediate code or object records, "a", "lib" and "lpp" scan the
// library, "elf" is which_elf, and any other extension, or none, is scan.
// FILEID_MISSING is added when path does not exist (the fixed kinds of "c"
// and "usb" always hold it, whether or not the file exists). 0 for null.
uint64_t fileid(const char *path);
// The kind set of path from its content alone: intermediate code
// (FILEID_P1), an object, an ELF image or a library (FILEID_LIB,
// FILEID_LPP or, holding both, FILEID_ARCHIVE), tried in that order; 0 when
// nothing is recognised. The intermediate-code, object and library tests
// still require their extensions (see valid_ext).
uint64_t scan(const char *path);

// For a 32-bit ELF file (magic number and class 1 in the first 52 bytes,
// whatever its byte order): FILEID_IMAGE | FILEID_BINARY | FILEID_ELF and
// the family bit of its machine number (read little-endian). 0 for anything
// else, 64-bit ELF files included.
uint64_t which_elf(const char *path);
// True when which_elf recognises path, whatever its machine.
bool fileid_is_elf(const char *path);

// 1 when path's extension is "p1" or "o" (exactly) and the file starts with
// the intermediate-code marker; else 0.
int fileid_is_p1(const char *path);
// 1 when the next bytes of stream (60 at most are read) are the
// intermediate-code marker: "Version", any characters that are not
// letters, then "OR-VANT Software Intermediate Code", ending within the 60
// bytes; else 0. The stream is left after the bytes read.
int fileid_is_p1_fp(FILE *stream);

// 1 when path's extension is "obj" or "o" (exactly) and the file is a
// sequence of records ending with an END record; else 0.
int fileid_is_obj(const char *path);
// 1 when the records read from stream's current position end with an END
// record, 0 as soon as one cannot be read whole (see getrec).
int fileid_is_obj_fp(FILE *stream);
// Reads the next object record from stream: 1 when it was read whole, 0
// when its head is short, its type is not 1 to 24, its length is above
// FILEID_RECORD_MAX_BODY or its body is short. The body is not kept.
int getrec(FILE *stream);
// The type byte of the last record head getrec read whole (0 before any),
// also when the record itself was then refused.
uint8_t fileid_last_record_type(void);

// What the library at path holds: 0 not a library (an extension other than
// "lib", "lpp" or "a", an unreadable or malformed file, or one without a
// recognised module), 1 object modules only, 2 intermediate-code modules
// only, 3 both. The library is a 4-byte header (bytes 2-3: the number of
// modules), a directory entry per module (a 12-byte header whose bytes 2-3
// count its symbols and bytes 4-7 give its size, its name, and per symbol a
// byte and a name; names are zero-terminated and never empty), then the
// modules' contents in directory order. A module holds objects when its
// records end with an END record within its size, intermediate code when it
// starts with the marker (fileid_is_p1_fp); the scan stops once both kinds
// have been seen, and its work grows with the file's size, never with the
// number of modules times the size.
int fileid_is_library(const char *path);

// The interned characters of stream up to the next zero byte (consumed) or
// the end of input ("" right at the end). Null for a null stream or a
// string that would need more than 32000 bytes with its zero.
const char *getString(FILE *stream);

// The entry of list (split at ',', ';' and ':') equal to path's extension,
// compared exactly; null when none is, when path has no extension or an
// empty one, or for a null argument. The extension is the text after the
// last '.' anywhere in the path: "dir.old\\file" has "old\\file".
const char *valid_ext(const char *path, const char *list);

// True for the kind set of an assembler source: .as, .asm, .s, .S or .sx
// (an .inc file, although assembler text, is not one).
bool fileid_is_asm_fid(uint64_t fid);
// fileid_is_asm_fid(fileid(path)).
bool fileid_is_asm(const char *path);
// The FILEID_C bit of fid.
uint64_t fileid_is_c_fid(uint64_t fid);
// The FILEID_C bit of fileid(path).
uint64_t fileid_is_c(const char *path);
// True when every bit of mask is set in fid.
bool fileid_has(uint64_t fid, uint64_t mask);

// The name of one kind bit without its "FILEID_" prefix ("C", "EXT_ASM",
// "ELF_LUM"); null for a value that is not a single named bit.
const char *fileid_bit_name(uint64_t bit);

#ifdef __cplusplus
}
#endif
