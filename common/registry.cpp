// registry: product identity, language table, installed file paths and the
// whole-line reader.
#include "common/registry.h"

#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vqdebug.h"
#include "registry_build.h" // generated: VQ4_VERSION_STRING

#include <cctype>
#include <cstdio>
#include <string_view>

namespace {

constexpr const char *kProductName = "VQ4";
constexpr const char *kComponentName = "vq4";
constexpr char kVersionSuffix = ' ';
constexpr const char *kRelease = "";

struct Language {
    int number;
    const char *names; // separated by ';' or ','
    const char *code;
};

// Searched in this order; 255 (no language chosen) maps to English.
constexpr Language kLanguages[] = {
    {REG_LANG_GERMAN, "German;Deutsch", "de"},
    {REG_LANG_ENGLISH, "English", "en"},
    {REG_LANG_FRENCH, "French;Francais", "fr"},
    {REG_LANG_NONE, "English", "en"},
};

bool equals_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool matches_language(const Language &lang, std::string_view name) {
    if (name.size() == 2 && equals_nocase(name, lang.code))
        return true;
    std::string_view names = lang.names;
    while (!names.empty()) {
        size_t cut = names.find_first_of(",;");
        if (equals_nocase(names.substr(0, cut), name))
            return true;
        names = cut == std::string_view::npos ? std::string_view() : names.substr(cut + 1);
    }
    return false;
}

} // namespace

const char *reg_mkpath(unsigned kind, const char *name) {
    if (!name)
        return nullptr;
    if (os_path_is_absolute(name))
        return sc_intern(name);
    const char *dir = reg_instdir(static_cast<int>(kind));
    return dir ? sc_path_join(dir, name) : nullptr;
}

const char *reg_version(void) {
    return sc_intern(VQ4_VERSION_STRING);
}

uint64_t reg_build_number(void) {
    return reg_stamp_number;
}

void reg_banner(void) {
    std::printf("\n");
    std::printf("Product:\t%s\n", kProductName);
    std::printf("Component:\t%s\n", kComponentName);
    std::printf("Version:\t%s%c\n", VQ4_VERSION_STRING, kVersionSuffix);
    std::printf("Build date:\t%s\n", reg_stamp_date);
    std::printf("Release:\t%s\n", kRelease);
    std::printf("Build number:\t%llu\n", static_cast<unsigned long long>(reg_stamp_number));
}

int reg_lang_num(const char *name) {
    if (!name)
        return REG_LANG_NONE;
    for (const Language &lang : kLanguages)
        if (matches_language(lang, name))
            return lang.number;
    return REG_LANG_NONE;
}

const char *reg_lang_code(int number) {
    for (const Language &lang : kLanguages)
        if (lang.number == number)
            return lang.code;
    return "en";
}

int reg_default_lang(void) {
    return REG_LANG_ENGLISH;
}

char *reg_readline(char **place, FILE *stream) {
    // Read straight into the caller's copy: interning every line of a large
    // command file would only fill the string cache.
    char *line = heap_readline(stream);
    if (line && place)
        *place = line;
    return line;
}
