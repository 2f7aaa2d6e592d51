// Windows backend: descriptors, streams, temporary names, directories and
// file queries, mapped straight onto the Windows runtime and system calls.
// Paths are handed over as they are; Windows takes both separators.
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
    intptr_t handle;
    bool first_pending; // the entry _findfirst64 gave is not read yet
    __finddata64_t data;
};

namespace {

// errno for the last Windows error of a system call.
int errno_of_last_error() {
    switch (GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    default:
        return ENOENT;
    }
}

bool is_reparse_point(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Removes one entry of a directory being emptied: a real directory with
// everything in it, a reparse point (junction, link) itself.
plat_tree_result remove_entry(const std::string &path, DWORD attributes);

// Removes everything inside dir; PLAT_TREE_FAILED at the first failure.
plat_tree_result remove_contents(const std::string &dir) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return PLAT_TREE_FAILED;
    plat_tree_result result = PLAT_TREE_REMOVED;
    do {
        if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0)
            continue;
        result = remove_entry(dir + "\\" + entry.cFileName, entry.dwFileAttributes);
    } while (result == PLAT_TREE_REMOVED && FindNextFileA(find, &entry));
    FindClose(find);
    return result;
}

plat_tree_result remove_entry(const std::string &path, DWORD attributes) {
    if (plat_fault_take(PLAT_CALL_REMOVE))
        return PLAT_TREE_FAILED;
    bool removed;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        removed = DeleteFileA(path.c_str()) != 0;
    else if (is_reparse_point(attributes))
        removed = RemoveDirectoryA(path.c_str()) != 0;
    else
        removed = remove_contents(path) == PLAT_TREE_REMOVED && RemoveDirectoryA(path.c_str());
    if (!removed)
        errno = errno_of_last_error();
    return removed ? PLAT_TREE_REMOVED : PLAT_TREE_FAILED;
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
    return stream == nullptr ? -1 : _fileno(stream);
}

extern "C" int plat_isatty(int fd) {
    return _isatty(fd);
}

extern "C" int plat_read(int fd, void *buf, unsigned count) {
    return plat_fault_take(PLAT_CALL_READ) ? -1 : _read(fd, buf, count);
}

extern "C" int plat_chsize(int fd, int64_t size) {
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
    struct _stat64 host;
    if (plat_fault_take(PLAT_CALL_STAT64) || _stat64(path, &host) != 0)
        return -1;
    st->size = host.st_size;
    st->mtime = host.st_mtime;
    st->atime = host.st_atime;
    st->ctime = host.st_ctime;
    st->mode = host.st_mode & 0777;
    st->is_dir = (host.st_mode & _S_IFDIR) != 0;
    st->is_regular = (host.st_mode & _S_IFREG) != 0;
    st->is_device = (host.st_mode & _S_IFCHR) != 0;
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
    CloseHandle(file);
    if (!ok) {
        errno = errno_of_last_error();
        return -1;
    }
    id->volume = info.dwVolumeSerialNumber;
    id->index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return 0;
}

extern "C" enum plat_tree_result plat_remove_tree(const char *path,
                                                  const struct plat_file_id *expected) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        is_reparse_point(attributes))
        return PLAT_TREE_NOT_A_DIRECTORY;
    if (plat_fault_take(PLAT_CALL_OPENDIR))
        return PLAT_TREE_UNLISTABLE;
    struct plat_file_id id;
    if (expected != nullptr && (plat_file_identity(path, &id) != 0 ||
                                id.volume != expected->volume || id.index != expected->index))
        return PLAT_TREE_REPLACED;
    plat_tree_result result = remove_contents(path);
    if (result != PLAT_TREE_REMOVED)
        return result;
    return RemoveDirectoryA(path) ? PLAT_TREE_REMOVED : PLAT_TREE_FAILED;
}

extern "C" plat_dir *plat_opendir(const char *path) {
    if (plat_fault_take(PLAT_CALL_OPENDIR))
        return nullptr;
    plat_dir *dir = new plat_dir{};
    dir->handle = _findfirst64((std::string(path) + "\\*").c_str(), &dir->data);
    if (dir->handle == -1) {
        delete dir;
        return nullptr;
    }
    dir->first_pending = true;
    return dir;
}

extern "C" const char *plat_readdir(plat_dir *dir) {
    if (dir == nullptr)
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
    _findclose(dir->handle);
    delete dir;
}

extern "C" int plat_CreateDirectoryA(const char *path, void *security) {
    if (plat_fault_take(PLAT_CALL_CREATEDIRECTORY))
        return 0;
    if (CreateDirectoryA(path, static_cast<LPSECURITY_ATTRIBUTES>(security)))
        return 1;
    errno = errno_of_last_error();
    return 0;
}

extern "C" plat_find_handle plat_FindFirstFileA(const char *path, struct plat_find_data *data) {
    if (plat_fault_take(PLAT_CALL_FINDFIRSTFILE))
        return nullptr;
    WIN32_FIND_DATAA host;
    HANDLE handle = FindFirstFileA(path, &host);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ENOENT;
        return nullptr;
    }
    std::strncpy(data->cFileName, host.cFileName, sizeof data->cFileName - 1);
    data->cFileName[sizeof data->cFileName - 1] = '\0';
    data->is_dir = (host.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return reinterpret_cast<plat_find_handle>(handle);
}

extern "C" int plat_FindClose(plat_find_handle handle) {
    return handle == nullptr ? 0 : FindClose(reinterpret_cast<HANDLE>(handle));
}

extern "C" uint32_t plat_GetShortPathNameA(const char *path, char *buf, uint32_t size) {
    if (plat_fault_take(PLAT_CALL_GETSHORTPATHNAME))
        return 0;
    DWORD n = GetShortPathNameA(path, buf, size);
    if (n == 0)
        errno = ENOENT;
    return n;
}
