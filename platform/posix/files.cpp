// POSIX backend: descriptors, streams, temporary names, directories and file
// queries. Only truly host-specific code lives here.
#include "platform/fault.h"
#include "platform/platform.h"
#include "platform/posix/host.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

std::string host_path(const char *path) {
    std::string host = path == nullptr ? std::string() : std::string(path);
    for (char &c : host)
        if (c == '\\')
            c = '/';
    return host;
}

struct plat_dir {
    DIR *host;
};

struct plat_find {
    char unused;
};

namespace {

// A Windows stream mode without the text letter, which POSIX lacks.
std::string host_mode(const char *mode) {
    std::string host;
    for (const char *m = mode; m != nullptr && *m != '\0'; ++m)
        if (*m != 't')
            host += *m;
    return host;
}

// The directory part of a host path ("." when there is none) and its last
// component.
void split_last_component(const std::string &path, std::string &parent, std::string &name) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        parent = ".";
        name = path;
        return;
    }
    parent = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
}

// The entry of directory parent named like name: exact case first, else the
// first that matches ignoring case. Empty when nothing matches.
std::string find_entry(const std::string &parent, const std::string &name) {
    DIR *dir = opendir(parent.c_str());
    if (dir == nullptr)
        return std::string();
    std::string caseless;
    while (const dirent *entry = readdir(dir)) {
        if (name == entry->d_name) {
            closedir(dir);
            return name;
        }
        if (caseless.empty() && strcasecmp(name.c_str(), entry->d_name) == 0)
            caseless = entry->d_name;
    }
    closedir(dir);
    return caseless;
}

bool writes(const char *mode) {
    return mode != nullptr && std::strpbrk(mode, "wa+") != nullptr;
}

// True when host names a symbolic link that another user planted in a
// shared directory: a sticky, world-writable one whose owner is not the
// link's owner either.
bool is_planted_link(const std::string &host) {
    struct stat link {};
    if (lstat(host.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return false;
    std::string parent;
    std::string name;
    split_last_component(host, parent, name);
    struct stat dir {};
    if (stat(parent.c_str(), &dir) != 0)
        return false;
    bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
    return shared && link.st_uid != geteuid() && link.st_uid != dir.st_uid;
}

// Opens the path for writing unless it is a planted link (EACCES then).
bool may_write_through(const std::string &host, const char *mode) {
    if (writes(mode) && is_planted_link(host)) {
        errno = EACCES;
        return false;
    }
    return true;
}

// Removes everything inside the directory open as dirfd, never following a
// link, and closes dirfd (the listing takes it over; the removals are made
// relative to it). PLAT_TREE_REMOVED, or PLAT_TREE_FAILED at the first
// failure.
plat_tree_result remove_contents(int dirfd) {
    DIR *dir = fdopendir(dirfd);
    if (dir == nullptr) {
        int saved = errno;
        close(dirfd);
        errno = saved;
        return PLAT_TREE_FAILED;
    }
    plat_tree_result result = PLAT_TREE_REMOVED;
    while (const dirent *entry = readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (plat_fault_take(PLAT_CALL_REMOVE)) {
            result = PLAT_TREE_FAILED;
            break;
        }
        if (unlinkat(dirfd, name, 0) == 0)
            continue;
        if (errno != EISDIR && errno != EPERM) {
            result = PLAT_TREE_FAILED;
            break;
        }
        int sub = openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        result = sub < 0 ? PLAT_TREE_FAILED : remove_contents(sub);
        if (result == PLAT_TREE_REMOVED && unlinkat(dirfd, name, AT_REMOVEDIR) != 0)
            result = PLAT_TREE_FAILED;
        if (result != PLAT_TREE_REMOVED)
            break;
    }
    int saved = errno;
    closedir(dir);
    errno = saved;
    return result;
}

unsigned tmpnam_counter = 0;
char tmpnam_buffer[PLAT_L_TMPNAM];

} // namespace

extern "C" int plat_dup(int fd) {
    if (plat_fault_take(PLAT_CALL_DUP))
        return -1;
    return dup(fd);
}

extern "C" int plat_dup2(int fd1, int fd2) {
    if (plat_fault_take(PLAT_CALL_DUP2))
        return -1;
    return dup2(fd1, fd2) < 0 ? -1 : 0;
}

extern "C" int plat_close(int fd) {
    if (plat_fault_take(PLAT_CALL_CLOSE))
        return -1;
    return close(fd);
}

extern "C" int plat_fileno(FILE *stream) {
    if (stream == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return fileno(stream);
}

extern "C" int plat_isatty(int fd) {
    return isatty(fd);
}

extern "C" int plat_read(int fd, void *buf, unsigned count) {
    if (plat_fault_take(PLAT_CALL_READ))
        return -1;
    for (;;) {
        ssize_t n = read(fd, buf, count);
        if (n >= 0 || errno != EINTR)
            return static_cast<int>(n);
    }
}

extern "C" int plat_chsize(int fd, int64_t size) {
    struct stat host {};
    if (fstat(fd, &host) != 0)
        return -1;
    if (!S_ISREG(host.st_mode) || size < 0) {
        errno = EINVAL;
        return -1;
    }
    return ftruncate(fd, static_cast<off_t>(size));
}

extern "C" FILE *plat_fopen(const char *path, const char *mode) {
    if (plat_fault_take(PLAT_CALL_FOPEN))
        return nullptr;
    std::string host = host_path(path);
    if (!may_write_through(host, mode))
        return nullptr;
    return std::fopen(host.c_str(), host_mode(mode).c_str());
}

extern "C" FILE *plat_fopen_regular(const char *path, const char *mode) {
    if (plat_fault_take(PLAT_CALL_FOPEN))
        return nullptr;
    (void)mode; // POSIX reads text and binary alike
    // Non-blocking, so that opening a pipe without a writer returns at once;
    // blocking again once the file is known to be regular.
    int fd = open(host_path(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    FILE *stream = regular && fcntl(fd, F_SETFL, O_RDONLY) == 0 ? fdopen(fd, "r") : nullptr;
    if (stream == nullptr) {
        int error = regular ? errno : EINVAL;
        close(fd);
        errno = error;
    }
    return stream;
}

extern "C" char *plat_fgets(char *buf, int size, FILE *stream) {
    if (std::fgets(buf, size, stream) == nullptr)
        return nullptr;
    size_t length = std::strlen(buf);
    if (length >= 2 && buf[length - 2] == '\r' && buf[length - 1] == '\n') {
        buf[length - 2] = '\n';
        buf[length - 1] = '\0';
    } else if (length >= 1 && buf[length - 1] == '\r') {
        // The line feed, if one follows, is the next character.
        int next = std::getc(stream);
        if (next == '\n')
            buf[length - 1] = '\n';
        else if (next != EOF)
            std::ungetc(next, stream);
    }
    return buf;
}

extern "C" FILE *plat_freopen_input(const char *path, FILE *stream, struct plat_file_id *id) {
    if (plat_fault_take(PLAT_CALL_FREOPEN))
        return nullptr;
    // Non-blocking, so that opening a pipe without a writer returns at once.
    int fd = open(host_path(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bool usable = regular || (S_ISCHR(st.st_mode) && isatty(fd));
    int target = fileno(stream);
    // Blocking again once the kind is known, so that a terminal waits for
    // its lines and the descriptor a launched driver inherits as its standard
    // input carries no flag of ours.
    if (!usable || fcntl(fd, F_SETFL, O_RDONLY) != 0 || target < 0 || dup2(fd, target) < 0) {
        int error = usable ? errno : EINVAL;
        close(fd);
        errno = error;
        return nullptr;
    }
    close(fd);
    clearerr(stream);
    if (id != nullptr) {
        id->volume = static_cast<uint64_t>(st.st_dev);
        id->index = static_cast<uint64_t>(st.st_ino);
    }
    return stream;
}

extern "C" FILE *plat_freopen(const char *path, const char *mode, FILE *stream) {
    if (plat_fault_take(PLAT_CALL_FREOPEN))
        return nullptr;
    std::string host = host_path(path);
    if (!may_write_through(host, mode)) {
        std::fclose(stream); // a failed reopen closes the stream
        errno = EACCES;      // not the flush's error, if it had one
        return nullptr;
    }
    return std::freopen(host.c_str(), host_mode(mode).c_str(), stream);
}

extern "C" char *plat_tmpnam(char *buf) {
    if (plat_fault_take(PLAT_CALL_TMPNAM))
        return nullptr;
    char *out = buf == nullptr ? tmpnam_buffer : buf;
    std::snprintf(out, PLAT_L_TMPNAM, "\\s%d.%u", static_cast<int>(getpid()), ++tmpnam_counter);
    return out;
}

extern "C" char *plat_getcwd(char *buf, int size) {
    if (plat_fault_take(PLAT_CALL_GETCWD))
        return nullptr;
    if (buf != nullptr)
        return getcwd(buf, size < 0 ? 0 : static_cast<size_t>(size));
    for (size_t capacity = size > 256 ? static_cast<size_t>(size) : 256;; capacity *= 2) {
        char *heap = static_cast<char *>(std::malloc(capacity));
        if (heap == nullptr) {
            errno = ENOMEM;
            return nullptr;
        }
        if (getcwd(heap, capacity) != nullptr)
            return heap;
        std::free(heap);
        if (errno != ERANGE)
            return nullptr;
    }
}

extern "C" int plat_chdir(const char *path) {
    if (plat_fault_take(PLAT_CALL_CHDIR))
        return -1;
    return chdir(host_path(path).c_str());
}

extern "C" int plat_rmdir(const char *path) {
    if (plat_fault_take(PLAT_CALL_RMDIR))
        return -1;
    return rmdir(host_path(path).c_str());
}

extern "C" int plat_remove(const char *path) {
    if (plat_fault_take(PLAT_CALL_REMOVE))
        return -1;
    // unlink, not the C library's remove: a directory is refused (EISDIR),
    // as the Windows runtime refuses it, never removed.
    return unlink(host_path(path).c_str());
}

extern "C" int plat_stat64(const char *path, struct plat_stat64 *st) {
    if (plat_fault_take(PLAT_CALL_STAT64))
        return -1;
    struct stat host {};
    if (stat(host_path(path).c_str(), &host) != 0)
        return -1;
    st->size = static_cast<int64_t>(host.st_size);
    st->mtime = static_cast<int64_t>(host.st_mtime);
    st->atime = static_cast<int64_t>(host.st_atime);
    st->ctime = static_cast<int64_t>(host.st_ctime);
    st->mode = static_cast<uint32_t>(host.st_mode & 0777);
    st->is_dir = S_ISDIR(host.st_mode) ? 1 : 0;
    st->is_regular = S_ISREG(host.st_mode) ? 1 : 0;
    st->is_device = S_ISCHR(host.st_mode) ? 1 : 0;
    return 0;
}

extern "C" int plat_file_identity(const char *path, struct plat_file_id *id) {
    struct stat host {};
    if (stat(host_path(path).c_str(), &host) != 0)
        return -1;
    id->volume = static_cast<uint64_t>(host.st_dev);
    id->index = static_cast<uint64_t>(host.st_ino);
    return 0;
}

extern "C" enum plat_tree_result plat_remove_tree(const char *path,
                                                  const struct plat_file_id *expected) {
    std::string host = host_path(path);
    struct stat st {};
    if (lstat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return PLAT_TREE_NOT_A_DIRECTORY;
    if (plat_fault_take(PLAT_CALL_OPENDIR))
        return PLAT_TREE_UNLISTABLE;
    int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOTDIR || errno == ELOOP ? PLAT_TREE_NOT_A_DIRECTORY
                                                  : PLAT_TREE_UNLISTABLE;
    if (fstat(fd, &st) != 0 ||
        (expected != nullptr && (st.st_dev != expected->volume || st.st_ino != expected->index))) {
        close(fd);
        return PLAT_TREE_REPLACED;
    }
    plat_tree_result result = remove_contents(fd);
    if (result != PLAT_TREE_REMOVED)
        return result;
    // A link put in the directory's place since is not a directory: rmdir
    // refuses it.
    return rmdir(host.c_str()) == 0 ? PLAT_TREE_REMOVED : PLAT_TREE_FAILED;
}

extern "C" plat_dir *plat_opendir(const char *path) {
    if (plat_fault_take(PLAT_CALL_OPENDIR))
        return nullptr;
    DIR *host = opendir(host_path(path).c_str());
    if (host == nullptr)
        return nullptr;
    return new plat_dir{host};
}

extern "C" const char *plat_readdir(plat_dir *dir) {
    const dirent *entry = dir == nullptr ? nullptr : readdir(dir->host);
    return entry == nullptr ? nullptr : entry->d_name;
}

extern "C" void plat_closedir(plat_dir *dir) {
    if (dir == nullptr)
        return;
    closedir(dir->host);
    delete dir;
}

extern "C" int plat_CreateDirectoryA(const char *path, void *security) {
    (void)security;
    if (plat_fault_take(PLAT_CALL_CREATEDIRECTORY))
        return 0;
    return mkdir(host_path(path).c_str(), 0700) == 0 ? 1 : 0;
}

extern "C" plat_find_handle plat_FindFirstFileA(const char *path, struct plat_find_data *data) {
    if (plat_fault_take(PLAT_CALL_FINDFIRSTFILE))
        return nullptr;
    std::string parent;
    std::string name;
    split_last_component(host_path(path), parent, name);
    std::string found = name.empty() ? std::string() : find_entry(parent, name);
    if (found.empty() || found.size() >= sizeof data->cFileName) {
        errno = ENOENT;
        return nullptr;
    }
    std::memcpy(data->cFileName, found.c_str(), found.size() + 1);
    struct stat host {};
    data->is_dir = stat((parent + "/" + found).c_str(), &host) == 0 && S_ISDIR(host.st_mode);
    return new plat_find{};
}

extern "C" int plat_FindClose(plat_find_handle handle) {
    if (handle == nullptr)
        return 0;
    delete handle;
    return 1;
}

extern "C" uint32_t plat_GetShortPathNameA(const char *path, char *buf, uint32_t size) {
    if (plat_fault_take(PLAT_CALL_GETSHORTPATHNAME))
        return 0;
    struct stat host {};
    if (path == nullptr || stat(host_path(path).c_str(), &host) != 0) {
        errno = ENOENT;
        return 0;
    }
    size_t length = std::strlen(path);
    if (buf == nullptr || length + 1 > size)
        return static_cast<uint32_t>(length + 1);
    std::memmove(buf, path, length + 1);
    return static_cast<uint32_t>(length);
}
