// vqinstdir: installation directory discovery, directory kinds, the path
// modifications and the standard C library variant.
#include "common/vqinstdir.h"

#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vqdebug.h"

#include <cstdlib>
#include <string>

namespace {

// Subdirectory names of the vqinstdir() kinds 2..9 below the version
// directory (kinds 0 and 1 are the directories themselves).
constexpr const char *kVersionSubdirs[VQINSTDIR_LAST] = {
    nullptr, nullptr, "bin", "docs", "include", "etc", "lum", "kesta", "tolvex", "lum-as"};

// Subdirectory names of the reg_instdir() kinds; null marks an invalid kind.
constexpr const char *kRegSubdirs[] = {"",        "bin",       "lib",  "help",  "include", "dat",
                                       "sources", "resources", "docs", nullptr, "include"};
constexpr int kRegKindCount = sizeof kRegSubdirs / sizeof kRegSubdirs[0];

struct InstallState {
    const char *version_dir = nullptr; // vqinstall_ver
    const char *install_dir = nullptr; // vqinstall_dir
    const char *c_stdlib = nullptr;
    const char *overrides[kRegKindCount] = {}; // kinds 1, 2, 4, 5, 6 only
    const char *program_path = nullptr;        // given by vqinstdir_reset()
};
InstallState g;

bool is_override_kind(int kind) {
    return kind == REG_DIR_BIN || kind == REG_DIR_LIB || kind == REG_DIR_INCLUDE ||
           kind == REG_DIR_DAT || kind == REG_DIR_SOURCES;
}

// A heap string from the os layer, taken over into a std::string.
std::string take(char *heap) {
    std::string s = heap ? heap : "";
    std::free(heap);
    return s;
}

// The directory part of path, or "" when it has none.
std::string dirname_of(const std::string &path) {
    return take(os_path_dirname(path.c_str()));
}

bool equals_nocase(const char *a, const char *b) {
    return sc_stricmp(a, b) == 0;
}

// The version directory above a "bin" directory: its parent, or the parent
// above a "lum"/"lum-as" directory. "" when the path is not deep enough.
std::string version_dir_above(const std::string &bin) {
    std::string candidate = dirname_of(bin);
    if (candidate.empty())
        return "";
    std::string stem = take(os_path_stem(candidate.c_str()));
    if (equals_nocase(stem.c_str(), "lum") || equals_nocase(stem.c_str(), "lum-as"))
        candidate = dirname_of(candidate);
    return candidate;
}

bool discover() {
    const char *program_dir = vqinstdir_program_dir();
    std::string bin = program_dir ? program_dir : "";
    if (bin.empty()) {
        DB_TRACE("ERROR - couldn't get a path based on progname");
        return false;
    }
    if (!equals_nocase(os_path_tail(bin.c_str()), "bin")) {
        DB_TRACE("ERROR - the application is not running from a 'bin' directory");
        return false;
    }
    std::string version = version_dir_above(bin);
    if (version.empty()) {
        DB_TRACE("ERROR - path not deep enough?");
        return false;
    }
    const char *lum = sc_path_join(version.c_str(), "lum");
    if (!os_file_exists(lum)) {
        DB_TRACE("ERROR - no 'lum' directory: %s does not exist", lum);
        return false;
    }
    std::string parent = dirname_of(version);
    if (parent.empty()) {
        DB_TRACE("ERROR - no base name above %s", version.c_str());
        return false;
    }
    g.version_dir = sc_intern(version.c_str());
    g.install_dir = sc_intern(parent.c_str());
    return true;
}

// The installation's base for reg_instdir(): version \ "lum" when it
// exists, else the version directory; null when nothing can be found.
const char *installation_base() {
    const char *lum = vqinstdir(VQINSTDIR_LUM);
    if (lum && os_file_exists(lum))
        return lum;
    return set_vqinstall_paths() ? g.version_dir : nullptr;
}

const char *instdir_of(int kind) {
    int override_kind = kind == REG_DIR_LIBINCLUDE ? REG_DIR_INCLUDE : kind;
    if (override_kind >= 0 && override_kind < kRegKindCount && g.overrides[override_kind])
        return reg_create_path(g.overrides[override_kind], kind);
    const char *base = installation_base();
    if (!base) {
        DB_TRACE("Could not locate installation directory");
        return nullptr;
    }
    if (kind == REG_DIR_BASE)
        return base;
    if (kind == REG_DIR_LIBINCLUDE && !g.c_stdlib)
        kind = REG_DIR_INCLUDE;
    return reg_create_path(base, kind);
}

} // namespace

bool set_vqinstall_paths(void) {
    if (g.version_dir && g.install_dir)
        return true;
    DB_ENTER("set_vqinstall_paths", nullptr);
    bool found = discover();
    DB_EXIT("set_vqinstall_paths", "%s", found ? "true" : "false");
    return found;
}

int vqinstdir_set(const char *path) {
    if (!os_file_exists(path)) {
        DB_TRACE("vqinstdir_set: %s does not exist", path ? path : "(null)");
        return 1;
    }
    g.version_dir = path;
    std::string parent = dirname_of(path);
    if (parent.empty() || !os_file_exists(parent.c_str())) {
        DB_TRACE("vqinstdir_set: no parent directory of %s", path);
        g.install_dir = nullptr;
        return 1;
    }
    g.install_dir = sc_intern(parent.c_str());
    return 0;
}

const char *vqinstdir(int kind) {
    if (!(kind >= VQINSTDIR_FIRST && kind < VQINSTDIR_LAST)) {
        DB_ASSERT(false, "(path >= VQINSTDIR_FIRST) && (path < VQINSTDIR_LAST)");
        return nullptr;
    }
    if (!set_vqinstall_paths())
        return nullptr;
    if (kind == VQINSTDIR_INSTALL)
        return g.install_dir;
    if (kind == VQINSTDIR_VERSION)
        return g.version_dir;
    return sc_path_join(g.version_dir, kVersionSubdirs[kind]);
}

void reg_set_c_stdlib(const char *name) {
    g.c_stdlib = sc_intern(name);
}

const char *reg_get_c_stdlib(void) {
    return g.c_stdlib;
}

int reg_set_path(int kind, const char *directory) {
    if (!is_override_kind(kind))
        return 0;
    if (directory && !os_is_dir(directory)) {
        DB_TRACE("reg_set_path: %s is not an existing directory", directory);
        return 0;
    }
    g.overrides[kind] = sc_intern(directory);
    return 1;
}

const char *reg_create_path(const char *base, int kind) {
    if (kind < 0 || kind >= kRegKindCount || !kRegSubdirs[kind])
        return nullptr;
    if (kind == REG_DIR_BASE)
        return sc_intern(base);
    const char *path = sc_path_join(base, kRegSubdirs[kind]);
    bool per_library = kind == REG_DIR_LIB || kind == REG_DIR_SOURCES || kind == REG_DIR_LIBINCLUDE;
    if (g.c_stdlib && per_library)
        path = sc_path_join(path, g.c_stdlib);
    return path;
}

const char *reg_instdir(int kind) {
    DB_ENTER("reg_instdir", "%d", kind);
    const char *dir = instdir_of(kind);
    DB_EXIT("reg_instdir", "%s", dir ? dir : "(null)");
    return dir;
}

const char *vqinstdir_program_path(void) {
    if (!g.program_path)
        g.program_path = sc_intern(take(os_program_path()).c_str());
    return *g.program_path ? g.program_path : nullptr;
}

const char *vqinstdir_program_dir(void) {
    const char *prog = vqinstdir_program_path();
    char *dir = prog ? os_path_dirname(prog) : nullptr;
    if (!dir)
        return nullptr;
    std::string stripped = take(dir);
    while (!stripped.empty() &&
           (stripped.back() == '.' || stripped.back() == '\\' || stripped.back() == '/'))
        stripped.pop_back();
    return sc_intern(stripped.c_str());
}

void vqinstdir_reset(const char *program_path) {
    g = InstallState{};
    g.program_path = sc_intern(program_path);
}
