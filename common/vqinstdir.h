// vqinstdir: where the installation lies, found from the running program's
// own path.
//
// The tools run from a "bin" directory of a version directory (optionally
// from "lum\bin" or "lum-as\bin" below it); the version directory must hold
// a "lum" directory and lies inside the installation directory:
//
//     <install>\<version>\bin\tool          (or <version>\lum\bin\tool)
//     <install>\<version>\lum\{bin,lib,help,include,dat,sources,...}
//
// This module owns the two discovered directories, the per-kind directory
// overrides (the path modifications) and the name of the standard C library
// variant. It never creates, changes or reads anything on disk beyond
// existence tests, reads no configuration and prints nothing: every failure
// is a null (or 0/1) result, traced when debug tracing is on. Every path it
// returns is interned (never freed, never changed by the caller).
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

// Kinds of vqinstdir(), from VQINSTDIR_FIRST up to but excluding
// VQINSTDIR_LAST.
enum {
    VQINSTDIR_FIRST = 0,
    VQINSTDIR_INSTALL = 0, // the installation directory
    VQINSTDIR_VERSION = 1, // the version directory
    VQINSTDIR_BIN = 2,     // version \ "bin"
    VQINSTDIR_DOCS = 3,    // version \ "docs"
    VQINSTDIR_INCLUDE = 4, // version \ "include"
    VQINSTDIR_ETC = 5,     // version \ "etc"
    VQINSTDIR_LUM = 6,     // version \ "lum"
    VQINSTDIR_KESTA = 7,   // version \ "kesta"
    VQINSTDIR_TOLVEX = 8,  // version \ "tolvex"
    VQINSTDIR_LUM_AS = 9,  // version \ "lum-as"
    VQINSTDIR_LAST = 10
};

// Kinds of reg_instdir(), reg_create_path(), reg_set_path() and
// reg_mkpath(): subdirectories of the base ("lum" of the version directory,
// or an override). Kind 9 and kinds above 10 are not valid.
enum {
    REG_DIR_BASE = 0,       // the base itself
    REG_DIR_BIN = 1,        // "bin"
    REG_DIR_LIB = 2,        // "lib" (\ library when one is set)
    REG_DIR_HELP = 3,       // "help"
    REG_DIR_INCLUDE = 4,    // "include"
    REG_DIR_DAT = 5,        // "dat": the message files
    REG_DIR_SOURCES = 6,    // "sources" (\ library when one is set)
    REG_DIR_RESOURCES = 7,  // "resources"
    REG_DIR_DOCS = 8,       // "docs"
    REG_DIR_LIBINCLUDE = 10 // "include" \ library ("include" without one)
};

// Finds the version and installation directories from the program's own
// path on first use and keeps them. True when both are known.
bool set_vqinstall_paths(void);

// Makes path (an existing version directory) the version directory and its
// parent the installation directory. The caller's string itself is kept,
// so it must stay valid. 0 when the path and its parent exist; 1 otherwise
// (a missing path changes nothing; a missing parent leaves the version
// directory set and the installation directory unchanged).
int vqinstdir_set(const char *path);

// The directory of a VQINSTDIR_* kind (interned), or null when the
// directories cannot be found. A kind outside the range is a caller error,
// reported through db_assert.
const char *vqinstdir(int kind);

// Stores the interned name of the standard C library variant ("c90", ...),
// a subdirectory name under "lib", "sources" and "include". Null clears it.
void reg_set_c_stdlib(const char *name);

// The stored library name (interned), or null when none is set.
const char *reg_get_c_stdlib(void);

// Sets (directory given) or clears (null) the override of kind 1, 2, 4, 5
// or 6: reg_instdir() of that kind then lies under the directory. 1 when
// stored or cleared; 0 for any other kind or when the directory does not
// exist or is not a directory (nothing changes then).
int reg_set_path(int kind, const char *directory);

// The base joined with the kind's subdirectory (interned), the library name
// added for kinds 2, 6 and 10 when one is set.
const char *reg_create_path(const char *base, int kind);

// The directory of a REG_DIR_* kind (interned): under the kind's override
// when one is set, else under the version directory's "lum" (or the version
// directory when "lum" is missing). Null when the installation cannot be
// located.
const char *reg_instdir(int kind);

// The running program's path as this module sees it (interned): the one
// given to vqinstdir_reset(), else os_program_path(). Null when unknown.
const char *vqinstdir_program_path(void);

// The directory part of the program's path without trailing '.' and
// separators ("...\bin\." gives "...\bin"), interned; null when the path
// has no directory part.
const char *vqinstdir_program_dir(void);

// For tests only: forgets the discovered directories, the overrides and
// the library name, and takes program_path (interned; the real program
// path when null) as the program's own path from now on.
void vqinstdir_reset(const char *program_path);

#ifdef __cplusplus
}
#endif
