// osdep: the private temporary directory, temporary names, clean-up at exit,
// directory creation and removal, and file queries.
#include "common/osdep.h"

#include "common/osdep_internal.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kCwdBuffer = 20480;
constexpr const char *kProgramName = "vq4";

// Process-wide temporary state; see os_tmpname.
struct TempState {
    char *directory = nullptr;                // the private directory, once made
    const char *interned_directory = nullptr; // the same, as registered for removal
    plat_file_id directory_id{};              // the file the private directory was made as
    bool directory_id_known = false;
    std::string prefix;             // program name with blanks made '_'
    uint32_t counter = 0;           // the next name's number
    vec *dirs_to_remove = nullptr;  // interned paths, the private directory first
    vec *files_to_remove = nullptr; // interned paths
    bool exit_handler_registered = false;
    bool keep = false;
};

TempState temp;

// Removes each path of list that exists, in order, ignoring failures.
void remove_existing(vec *list, int (*remove)(const char *)) {
    for (uint32_t i = 0; i < vec_size(list); ++i) {
        auto *path = static_cast<const char *>(vec_get(list, i));
        if (os_file_exists(path))
            remove(path);
    }
}

// Removes a registered directory with everything in it. The private
// directory is removed only while it is still the directory this process
// made: in a shared temporary directory another user may have put a link
// or a directory of their own in its place, and that is left alone.
int remove_registered_dir(const char *path) {
    if (path == temp.interned_directory && temp.directory_id_known)
        return plat_remove_tree(path, &temp.directory_id) == PLAT_TREE_REMOVED ? 0 : -1;
    return os_rmdir_r(path);
}

// The exit handler: removes the registered files, then the registered
// directories with everything in them, unless temporaries are kept; then
// forgets both lists. Failures are ignored: the process is ending.
int remove_temporaries(void) {
    if (!temp.keep) {
        remove_existing(temp.files_to_remove, plat_remove);
        remove_existing(temp.dirs_to_remove, remove_registered_dir);
    }
    vec_destroy(temp.files_to_remove);
    vec_destroy(temp.dirs_to_remove);
    temp.files_to_remove = nullptr;
    temp.dirs_to_remove = nullptr;
    return 0;
}

// Creates the clean-up lists and registers the exit handler, once each.
void prepare_cleanup() {
    if (temp.dirs_to_remove == nullptr)
        temp.dirs_to_remove = vec_create(__FILE__, __LINE__);
    if (temp.files_to_remove == nullptr)
        temp.files_to_remove = vec_create(__FILE__, __LINE__);
    if (!temp.exit_handler_registered)
        temp.exit_handler_registered = plat_onexit(remove_temporaries) != nullptr;
}

// The user's temporary directory: TEMP, else TMP; "." when the variable
// used is unset or empty (an empty TEMP does not fall back to TMP).
std::string user_temp_base() {
    const char *base = plat_getenv("TEMP");
    if (base == nullptr)
        base = plat_getenv("TMP");
    return base != nullptr && *base != '\0' ? base : ".";
}

// Makes the private directory: base, '\\', "vq", a letter and the tail of a
// host-unique name. A candidate that exists in any form (file, directory,
// link) or cannot be created moves on to the next letter.
bool make_private_directory() {
    const char *unique = plat_tmpnam(nullptr);
    if (unique == nullptr)
        return false;
    std::string base = user_temp_base();
    if (base.back() != '\\' && base.back() != ':')
        base += '\\';
    std::string tail = os_path_tail(unique);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        std::string candidate = base + "vq" + letter + tail;
        if (os_file_exists(candidate.c_str()))
            continue;
        if (!osdep_is_bare_drive(candidate) && os_mkdir_p(candidate.c_str()) != 0)
            continue;
        prepare_cleanup();
        temp.interned_directory = sc_intern(candidate.c_str());
        temp.directory_id_known = plat_file_identity(candidate.c_str(), &temp.directory_id) == 0;
        vec_append(temp.dirs_to_remove, const_cast<char *>(temp.interned_directory));
        temp.directory = osdep_heap_copy(candidate);
        temp.prefix = kProgramName;
        for (char &c : temp.prefix) {
            if (c == ' ')
                c = '_';
        }
        return true;
    }
    return false;
}

// Registers path in list (creating the lists and the handler on first use).
void remove_at_exit(vec *TempState::*list, const char *path) {
    if (path == nullptr)
        return;
    prepare_cleanup();
    vec_append(temp.*list, const_cast<char *>(sc_intern(path)));
}

} // namespace

char *os_tmpname(const char *ext, bool as_dir) {
    if (temp.directory == nullptr && !make_private_directory())
        return nullptr;
    std::string name = temp.prefix + "_tmp_" + std::to_string(temp.counter++);
    if (ext != nullptr) {
        if (*ext != '.')
            name += '.';
        name += ext;
    }
    char *path = os_path_join(temp.directory, name.c_str());
    if (!as_dir || osdep_is_bare_drive(path))
        return path;
    bool usable = os_file_exists(path) ? os_is_dir(path) : os_mkdir_p(path) == 0;
    if (usable)
        return path;
    std::free(path);
    return nullptr;
}

char *os_tmpfile_name(const char *ext) {
    return os_tmpname(ext, false);
}

char *os_tmpfile_name_plain(void) {
    return os_tmpname(nullptr, false);
}

char *os_tmpdir_name(void) {
    return os_tmpname(nullptr, true);
}

void os_keep_temps(bool keep) {
    temp.keep = keep;
}

void os_remove_at_exit(const char *path) {
    remove_at_exit(&TempState::files_to_remove, path);
}

void os_remove_dir_at_exit(const char *path) {
    remove_at_exit(&TempState::dirs_to_remove, path);
}

int os_mkdir_p(const char *path) {
    std::string_view text = path;
    size_t at = osdep_last_separator(text);
    if (at != std::string_view::npos) {
        std::string parent(text.substr(0, at));
        // An empty parent is the root of the path (a leading separator).
        bool present = parent.empty() || osdep_is_bare_drive(parent) || os_is_dir(parent.c_str());
        if (!present) {
            if (os_file_exists(parent.c_str()) || os_mkdir_p(parent.c_str()) != 0)
                return 1;
        }
    }
    return plat_CreateDirectoryA(path, nullptr) ? 0 : 1;
}

int os_ensure_dir(const char *path) {
    if (path == nullptr)
        return -1;
    if (osdep_is_bare_drive(path))
        return 0;
    if (os_file_exists(path))
        return os_is_dir(path) ? 0 : 1;
    return os_mkdir_p(path);
}

int os_rmdir_r(const char *path) {
    if (path == nullptr)
        return -1;
    // A link is never followed, at any depth: a link named here is not a
    // directory to remove, and links inside go with a plain removal.
    switch (plat_remove_tree(path, nullptr)) {
    case PLAT_TREE_REMOVED:
    case PLAT_TREE_UNLISTABLE:
        return 0;
    default:
        return -1;
    }
}

int os_file_exists(const char *path) {
    struct plat_stat64 st;
    return path != nullptr && plat_stat64(path, &st) == 0 ? 1 : 0;
}

int os_is_dir(const char *path) {
    struct plat_stat64 st;
    return path != nullptr && plat_stat64(path, &st) == 0 && st.is_dir ? 1 : 0;
}

int32_t os_file_size(const char *path) {
    struct plat_stat64 st;
    if (path == nullptr || plat_stat64(path, &st) != 0)
        return 0;
    return static_cast<int32_t>(st.size);
}

bool os_file_exists_exact(const char *path) {
    if (path == nullptr)
        return false;
    struct plat_find_data found;
    plat_find_handle handle = plat_FindFirstFileA(path, &found);
    if (handle == nullptr)
        return false;
    bool exact = std::strcmp(found.cFileName, os_path_tail(path)) == 0;
    plat_FindClose(handle);
    return exact;
}

char *os_getcwd(void) {
    static char buffer[kCwdBuffer];
    return plat_getcwd(buffer, kCwdBuffer) != nullptr ? osdep_heap_copy(buffer) : nullptr;
}
