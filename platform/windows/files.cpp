// Windows backend: descriptors, streams, temporary names, directories and
// file queries, mapped straight onto the Windows runtime and system calls.
// Only truly host-specific code lives here. Paths are handed over as they
// are: Windows takes both separators.
#include "platform/fault.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <direct.h>
#include <io.h>
#include <string>
#include <sys/stat.h>
#include <windows.h>

struct plat_dir {
    intptr_t handle;    // -1 for a directory with no entries at all (a drive's root)
    bool first_pending; // the entry _findfirst64 gave is not read yet
    __finddata64_t data;
};

namespace {

struct error_pair {
    DWORD windows;
    int error;
};

constexpr error_pair error_table[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},      {ERROR_BAD_PATHNAME, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},     {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_FILE_EXISTS, EEXIST},       {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES}, {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},  {ERROR_DIRECTORY, ENOTDIR},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM}, {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_WRITE_PROTECT, EACCES},     {ERROR_INVALID_HANDLE, EBADF},
};

// errno for the last Windows error of a system call.
int errno_of_last_error() {
    DWORD last = GetLastError();
    for (const error_pair &pair : error_table)
        if (pair.windows == last)
            return pair.error;
    return EINVAL;
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// The path without separators at its end, except the one of a root ("\\",
// "C:\\"): the runtime's _stat64 refuses "dir\\" where the host knows dir.
std::string without_trailing_separators(const char *path) {
    std::string trimmed(path);
    size_t keep = trimmed.size() >= 2 && trimmed[1] == ':' ? 3 : 1;
    while (trimmed.size() > keep && is_separator(trimmed.back()))
        trimmed.pop_back();
    return trimmed;
}

// The pattern that lists every entry of directory dir.
std::string every_entry_of(const std::string &dir) {
    return dir + (dir.empty() || is_separator(dir.back()) || dir.back() == ':' ? "*" : "\\*");
}

bool is_reparse_point(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A handle on the directory path itself (never on what a reparse point
// leads to), shared for reading and writing but not for deletion: while it
// is open nobody can rename, move or remove the directory, so its path
// keeps naming the directory that was checked. Null when it cannot be
// opened or is not a real directory.
HANDLE hold_directory(const std::string &path, BY_HANDLE_FILE_INFORMATION &info) {
    HANDLE held = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return nullptr;
    if (GetFileInformationByHandle(held, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        !is_reparse_point(info.dwFileAttributes))
        return held;
    CloseHandle(held);
    SetLastError(ERROR_DIRECTORY);
    return nullptr;
}

// Deletes a file, clearing a read-only attribute that stands in the way (a
// POSIX host removes such a file from a writable directory as well).
bool delete_file(const std::string &path, DWORD attributes) {
    if (DeleteFileA(path.c_str()))
        return true;
    if (GetLastError() != ERROR_ACCESS_DENIED || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        !SetFileAttributesA(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
        return false;
    return DeleteFileA(path.c_str()) != 0;
}

plat_tree_result remove_entry(const std::string &path, DWORD attributes);

// Removes everything inside the directory dir, which the caller holds open;
// PLAT_TREE_FAILED at the first failure.
plat_tree_result remove_contents(const std::string &dir) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(every_entry_of(dir).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        errno = errno_of_last_error();
        return PLAT_TREE_FAILED;
    }
    plat_tree_result result = PLAT_TREE_REMOVED;
    do {
        if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0)
            continue;
        result = remove_entry(dir + "\\" + entry.cFileName, entry.dwFileAttributes);
    } while (result == PLAT_TREE_REMOVED && FindNextFileA(find, &entry));
    FindClose(find);
    return result;
}

// Removes one entry of a directory being emptied: a file, a reparse point
// (junction, symbolic link) itself, or a real directory with everything in
// it, held open while it is emptied.
plat_tree_result remove_entry(const std::string &path, DWORD attributes) {
    if (plat_fault_take(PLAT_CALL_REMOVE))
        return PLAT_TREE_FAILED;
    bool removed;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        removed = delete_file(path, attributes);
    else if (is_reparse_point(attributes))
        removed = RemoveDirectoryA(path.c_str()) != 0;
    else {
        BY_HANDLE_FILE_INFORMATION info;
        HANDLE held = hold_directory(path, info);
        if (held == nullptr) {
            errno = errno_of_last_error();
            return PLAT_TREE_FAILED;
        }
        plat_tree_result inside = remove_contents(path);
        CloseHandle(held);
        if (inside != PLAT_TREE_REMOVED)
            return inside;
        // Something put in its place since is a link (removed itself) or a
        // directory with contents (refused).
        removed = RemoveDirectoryA(path.c_str()) != 0;
    }
    if (!removed)
        errno = errno_of_last_error();
    return removed ? PLAT_TREE_REMOVED : PLAT_TREE_FAILED;
}

bool is_directory(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

extern "C" int plat_dup(int fd) {
    return plat_fault_take(PLAT_CALL_DUP) ? -1 : _dup(fd);
}

extern "C" int plat_dup2(int fd1, int fd2) {
    return plat_fault_take(PLAT_CALL_DUP2) ? -1 : _dup2(fd1, fd2);
}

extern "C" int plat_close(int fd) {
    return plat_fault_take(PLAT_CALL_CLOSE) ? -1 : _close(fd);
}

extern "C" int plat_fileno(FILE *stream) {
    if (stream == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return _fileno(stream);
}

extern "C" int plat_isatty(int fd) {
    return _isatty(fd);
}

extern "C" int plat_read(int fd, void *buf, unsigned count) {
    return plat_fault_take(PLAT_CALL_READ) ? -1 : _read(fd, buf, count);
}

extern "C" int plat_chsize(int fd, int64_t size) {
    struct _stat64 host;
    if (_fstat64(fd, &host) != 0)
        return -1;
    if ((host.st_mode & _S_IFMT) != _S_IFREG || size < 0) {
        errno = EINVAL;
        return -1;
    }
    errno_t error = _chsize_s(fd, size);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return 0;
}

extern "C" FILE *plat_fopen(const char *path, const char *mode) {
    return plat_fault_take(PLAT_CALL_FOPEN) ? nullptr : std::fopen(path, mode);
}

extern "C" FILE *plat_fopen_regular(const char *path, const char *mode) {
    // The runtime refuses a directory with EACCES: the kind is told first,
    // and checked again on the opened file.
    struct _stat64 st;
    if (_stat64(path, &st) == 0 && (st.st_mode & _S_IFREG) == 0) {
        errno = EINVAL;
        return nullptr;
    }
    FILE *stream = plat_fopen(path, mode);
    if (stream != nullptr &&
        (_fstat64(_fileno(stream), &st) != 0 || (st.st_mode & _S_IFREG) == 0)) {
        std::fclose(stream);
        errno = EINVAL;
        return nullptr;
    }
    return stream;
}

extern "C" char *plat_fgets(char *buf, int size, FILE *stream) {
    return std::fgets(buf, size, stream);
}

extern "C" FILE *plat_freopen_input(const char *path, FILE *stream, struct plat_file_id *id) {
    if (plat_fault_take(PLAT_CALL_FREOPEN))
        return nullptr;
    struct _stat64 st;
    bool terminal = _stricmp(path, "CON") == 0 || _stricmp(path, "CONIN$") == 0;
    if (!terminal && (_stat64(path, &st) != 0 || (st.st_mode & _S_IFREG) == 0)) {
        errno = EINVAL;
        return nullptr;
    }
    plat_file_id found{};
    if (!terminal && plat_file_identity(path, &found) != 0)
        return nullptr;
    FILE *probe = std::fopen(path, "r"); // freopen closes the stream when it fails
    if (probe == nullptr)
        return nullptr;
    std::fclose(probe);
    if (std::freopen(path, "r", stream) == nullptr)
        return nullptr;
    if (id != nullptr)
        *id = found;
    return stream;
}

extern "C" FILE *plat_freopen(const char *path, const char *mode, FILE *stream) {
    return plat_fault_take(PLAT_CALL_FREOPEN) ? nullptr : std::freopen(path, mode, stream);
}

extern "C" char *plat_tmpnam(char *buf) {
    return plat_fault_take(PLAT_CALL_TMPNAM) ? nullptr : std::tmpnam(buf);
}

extern "C" char *plat_getcwd(char *buf, int size) {
    return plat_fault_take(PLAT_CALL_GETCWD) ? nullptr : _getcwd(buf, size);
}

extern "C" int plat_chdir(const char *path) {
    return plat_fault_take(PLAT_CALL_CHDIR) ? -1 : _chdir(path);
}

extern "C" int plat_rmdir(const char *path) {
    return plat_fault_take(PLAT_CALL_RMDIR) ? -1 : _rmdir(path);
}

extern "C" int plat_remove(const char *path) {
    return plat_fault_take(PLAT_CALL_REMOVE) ? -1 : std::remove(path);
}

extern "C" int plat_stat64(const char *path, struct plat_stat64 *st) {
    if (plat_fault_take(PLAT_CALL_STAT64))
        return -1;
    struct _stat64 host;
    if (path == nullptr || _stat64(without_trailing_separators(path).c_str(), &host) != 0)
        return -1;
    st->size = host.st_size;
    st->mtime = host.st_mtime;
    st->atime = host.st_atime;
    st->ctime = host.st_ctime;
    st->mode = host.st_mode & 0777;
    st->is_dir = (host.st_mode & _S_IFMT) == _S_IFDIR;
    st->is_regular = (host.st_mode & _S_IFMT) == _S_IFREG;
    st->is_device = (host.st_mode & _S_IFMT) == _S_IFCHR;
    return 0;
}

extern "C" int plat_file_identity(const char *path, struct plat_file_id *id) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = errno_of_last_error();
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(file, &info);
    if (!ok)
        errno = errno_of_last_error();
    CloseHandle(file);
    if (!ok)
        return -1;
    id->volume = info.dwVolumeSerialNumber;
    id->index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return 0;
}

extern "C" enum plat_tree_result plat_remove_tree(const char *path,
                                                  const struct plat_file_id *expected) {
    DWORD attributes = path == nullptr ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        is_reparse_point(attributes))
        return PLAT_TREE_NOT_A_DIRECTORY;
    if (plat_fault_take(PLAT_CALL_OPENDIR))
        return PLAT_TREE_UNLISTABLE;
    std::string dir = without_trailing_separators(path);
    BY_HANDLE_FILE_INFORMATION info;
    HANDLE held = hold_directory(dir, info);
    if (held == nullptr)
        return GetLastError() == ERROR_DIRECTORY ? PLAT_TREE_NOT_A_DIRECTORY : PLAT_TREE_UNLISTABLE;
    uint64_t index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    if (expected != nullptr &&
        (info.dwVolumeSerialNumber != expected->volume || index != expected->index)) {
        CloseHandle(held);
        return PLAT_TREE_REPLACED;
    }
    plat_tree_result result = remove_contents(dir);
    CloseHandle(held);
    if (result != PLAT_TREE_REMOVED)
        return result;
    // A link put in the directory's place since is removed itself, never
    // followed; a directory with contents is refused.
    if (RemoveDirectoryA(dir.c_str()))
        return PLAT_TREE_REMOVED;
    errno = errno_of_last_error();
    return PLAT_TREE_FAILED;
}

extern "C" plat_dir *plat_opendir(const char *path) {
    if (plat_fault_take(PLAT_CALL_OPENDIR))
        return nullptr;
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    plat_dir *dir = new plat_dir{};
    dir->handle = _findfirst64(every_entry_of(path).c_str(), &dir->data);
    dir->first_pending = dir->handle != -1;
    if (dir->handle == -1 && !(errno == ENOENT && is_directory(path))) {
        if (errno == ENOENT && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            errno = ENOTDIR;
        delete dir;
        return nullptr;
    }
    return dir;
}

extern "C" const char *plat_readdir(plat_dir *dir) {
    if (dir == nullptr || dir->handle == -1)
        return nullptr;
    if (dir->first_pending)
        dir->first_pending = false;
    else if (_findnext64(dir->handle, &dir->data) != 0)
        return nullptr;
    return dir->data.name;
}

extern "C" void plat_closedir(plat_dir *dir) {
    if (dir == nullptr)
        return;
    if (dir->handle != -1)
        _findclose(dir->handle);
    delete dir;
}

extern "C" int plat_CreateDirectoryA(const char *path, void *security) {
    (void)security; // the new directory takes its parent's access rules
    if (plat_fault_take(PLAT_CALL_CREATEDIRECTORY))
        return 0;
    if (CreateDirectoryA(path, nullptr))
        return 1;
    errno = errno_of_last_error();
    return 0;
}

extern "C" plat_find_handle plat_FindFirstFileA(const char *path, struct plat_find_data *data) {
    if (plat_fault_take(PLAT_CALL_FINDFIRSTFILE))
        return nullptr;
    // Wildcards are plain characters here, and no Windows name holds them.
    if (path == nullptr || std::strpbrk(path, "*?") != nullptr) {
        errno = ENOENT;
        return nullptr;
    }
    WIN32_FIND_DATAA host;
    HANDLE handle = FindFirstFileA(path, &host);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ENOENT;
        return nullptr;
    }
    std::memcpy(data->cFileName, host.cFileName, sizeof data->cFileName);
    data->cFileName[sizeof data->cFileName - 1] = '\0';
    data->is_dir = (host.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return reinterpret_cast<plat_find_handle>(handle);
}

extern "C" int plat_FindClose(plat_find_handle handle) {
    return handle == nullptr ? 0 : FindClose(reinterpret_cast<HANDLE>(handle)) != 0;
}

extern "C" uint32_t plat_GetShortPathNameA(const char *path, char *buf, uint32_t size) {
    if (plat_fault_take(PLAT_CALL_GETSHORTPATHNAME))
        return 0;
    DWORD n = path == nullptr ? 0 : GetShortPathNameA(path, buf, size);
    if (n == 0)
        errno = ENOENT;
    return n;
}
