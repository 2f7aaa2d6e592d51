// registry: the product's identity and the paths of its installed files.
//
// Holds the build-time identity of the suite (product "VQ4", component
// "vq4", version, build date and build number, all fixed when the library
// is built and reproducible from the source), the language table of the
// message catalogues, the path of an installed file of a given directory
// kind, and a whole-line reader. It reads no registry, no environment and
// no configuration; the directories come from vqinstdir (included here, so
// that this one header serves every caller of the installation layout).
#pragma once

#include "common/vqinstdir.h"

#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

// Language numbers of the message catalogues.
enum {
    REG_LANG_GERMAN = 7,
    REG_LANG_ENGLISH = 9,
    REG_LANG_FRENCH = 12,
    REG_LANG_NONE = 255 // no language chosen: English
};

// The path of an installed file (interned): an absolute name comes back
// unchanged; otherwise the directory of the kind (reg_instdir) and the name
// joined with one backslash. Null when the installation cannot be located.
const char *reg_mkpath(unsigned kind, const char *name);

// The version string, digits and dots (interned).
const char *reg_version(void);

// The build number: the build's date and time as the 14 decimal digits
// YYYYMMDDhhmmss. It is also the version of the built-in message catalogue.
uint64_t reg_build_number(void);

// The time the library was built (UTC), or SOURCE_DATE_EPOCH's when the
// build had it: the build number as YYYYMMDDhhmmss, and the build date as
// "Mon D YYYY". Made by the build whenever the library is rebuilt.
extern const uint64_t reg_stamp_number;
extern const char reg_stamp_date[];

// Prints the version banner on stdout: an empty line, then "Product:",
// "Component:", "Version:", "Build date:", "Release:" and "Build number:",
// each followed by a tab and its value.
void reg_banner(void);

// The number of a language given by name ("English", "Deutsch", ...) or by
// two-letter code ("en"), ignoring case; 255 when unknown (or null).
int reg_lang_num(const char *name);

// The two-letter code of a language number: "de", "en" or "fr"; "en" for
// every unknown number (255 included). Static text.
const char *reg_lang_code(int number);

// The default language number, 9 (English).
int reg_default_lang(void);

// Reads the next whole line of any length (terminator kept) from stream.
// Returns a newly allocated copy that the caller frees, also stored in
// *place; at end of input returns null and leaves *place alone.
char *reg_readline(char **place, FILE *stream);

#ifdef __cplusplus
}
#endif
