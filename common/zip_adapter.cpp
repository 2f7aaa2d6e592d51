// zip_adapter: the debug package's zip operations, done by libzip.
//
// libzip keeps every change in memory until zip_close, which writes the
// whole archive to a temporary file beside the original (existing entries
// are copied without recompressing) and renames it over the original only
// when it is complete. That is what keeps a package intact whenever an
// addition fails. The record's m_pState holds the libzip handle.
//
// libzip (and what it pulls in: compression and crypto libraries) is loaded
// only when an archive is first opened or created, so that the programs
// linking this library do not pay for loading it at every start: packages
// are rare. Its entry points are called through pointers resolved then.
// When the library or one of its entry points cannot be found, opening or
// creating an archive fails, as for an archive that cannot be read or
// written, and the next attempt tries to load it again.
#include "common/zip_adapter.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <zip.h>

namespace {

constexpr mz_uint kLevelMask = 0xF;

// The names the library goes by, tried in order: the versioned and the
// plain shared object, then the Windows DLL. A name the host does not use
// simply fails to load.
constexpr const char *kLibzipNames[] = {"libzip.so.4", "libzip.so", "zip.dll", "libzip.dll"};

// The libzip entry points the adapter calls, each member named and typed
// after its function, so a change in libzip's declarations breaks the build.
#define LIBZIP_ENTRY(name) decltype(&::name) name = nullptr
struct libzip_api {
    LIBZIP_ENTRY(zip_open);
    LIBZIP_ENTRY(zip_get_num_entries);
    LIBZIP_ENTRY(zip_source_file);
    LIBZIP_ENTRY(zip_source_free);
    LIBZIP_ENTRY(zip_file_add);
    LIBZIP_ENTRY(zip_set_file_compression);
    LIBZIP_ENTRY(zip_file_set_comment);
    LIBZIP_ENTRY(zip_delete);
    LIBZIP_ENTRY(zip_name_locate);
    LIBZIP_ENTRY(zip_close);
    LIBZIP_ENTRY(zip_discard);
};
#undef LIBZIP_ENTRY

template <typename Fn> bool resolve(void *library, const char *symbol, Fn &entry) {
    entry = reinterpret_cast<Fn>(plat_dlsym(library, symbol));
    return entry != nullptr;
}

// Whether every entry point was found in library.
bool resolve_all(void *library, libzip_api &api) {
#define LIBZIP_RESOLVE(name) resolve(library, #name, api.name)
    return LIBZIP_RESOLVE(zip_open) && LIBZIP_RESOLVE(zip_get_num_entries) &&
           LIBZIP_RESOLVE(zip_source_file) && LIBZIP_RESOLVE(zip_source_free) &&
           LIBZIP_RESOLVE(zip_file_add) && LIBZIP_RESOLVE(zip_set_file_compression) &&
           LIBZIP_RESOLVE(zip_file_set_comment) && LIBZIP_RESOLVE(zip_delete) &&
           LIBZIP_RESOLVE(zip_name_locate) && LIBZIP_RESOLVE(zip_close) &&
           LIBZIP_RESOLVE(zip_discard);
#undef LIBZIP_RESOLVE
}

// The loaded library's entry points, loading it on the first call; null
// when no name gives a library with every entry point (nothing is kept
// then). Once loaded, the library stays for the life of the process.
const libzip_api *libzip() {
    static libzip_api api;
    static bool loaded = false;
    if (loaded)
        return &api;
    for (const char *name : kLibzipNames) {
        void *library = plat_dlopen(name);
        if (library == nullptr)
            continue;
        if (resolve_all(library, api)) {
            loaded = true;
            return &api;
        }
        api = libzip_api{};
        plat_dlclose(library);
    }
    return nullptr;
}

// Paths may use either separator; '/' is understood by every host.
std::string host_path(const char *path) {
    std::string host = path;
    std::replace(host.begin(), host.end(), '\\', '/');
    return host;
}

zip_t *handle(const mz_zip_archive *pZip) {
    return static_cast<zip_t *>(pZip->m_pState);
}

mz_bool open_archive(mz_zip_archive *pZip, const char *pFilename, int flags, mz_zip_mode mode) {
    if (pZip == nullptr || pFilename == nullptr || pZip->m_pState != nullptr)
        return MZ_FALSE;
    const libzip_api *lib = libzip();
    if (lib == nullptr)
        return MZ_FALSE;
    int error = 0;
    zip_t *za = lib->zip_open(host_path(pFilename).c_str(), flags, &error);
    if (za == nullptr)
        return MZ_FALSE;
    pZip->m_pState = za;
    pZip->m_zip_mode = mode;
    pZip->m_total_files = static_cast<mz_uint32>(lib->zip_get_num_entries(za, 0));
    return MZ_TRUE;
}

// Whether the file can be opened for writing, without changing it.
bool can_update(const char *pFilename) {
    FILE *fp = std::fopen(host_path(pFilename).c_str(), "r+b");
    if (fp == nullptr)
        return false;
    std::fclose(fp);
    return true;
}

// Whether a new file can be created at pFilename (a missing directory fails
// here, not at the end). The probe file is removed again: the archive is
// written only when it is finalized.
bool can_create(const char *pFilename) {
    std::string host = host_path(pFilename);
    FILE *fp = std::fopen(host.c_str(), "wb");
    if (fp == nullptr)
        return false;
    std::fclose(fp);
    std::remove(host.c_str());
    return true;
}

// Whether the file can be read whole: a regular file that opens. libzip
// reads an added file only when the archive is written, so a directory or
// an unreadable file would otherwise fail the whole archive then.
bool is_readable_file(const char *path) {
    FILE *fp = plat_fopen_regular(path, "rb");
    if (fp == nullptr)
        return false;
    std::fclose(fp);
    return true;
}

} // namespace

mz_bool mz_zip_reader_init_file(mz_zip_archive *pZip, const char *pFilename, mz_uint32 flags) {
    (void)flags;
    return open_archive(pZip, pFilename, ZIP_CHECKCONS, MZ_ZIP_MODE_READING);
}

mz_bool mz_zip_writer_init_from_reader(mz_zip_archive *pZip, const char *pFilename) {
    if (pZip == nullptr || pZip->m_zip_mode != MZ_ZIP_MODE_READING || pFilename == nullptr)
        return MZ_FALSE;
    if (!can_update(pFilename))
        return MZ_FALSE;
    pZip->m_zip_mode = MZ_ZIP_MODE_WRITING;
    return MZ_TRUE;
}

mz_bool mz_zip_writer_init_file(mz_zip_archive *pZip, const char *pFilename,
                                mz_uint64 size_to_reserve_at_beginning) {
    // The library is loaded before the probe, so that a failed load leaves
    // no file behind.
    if (size_to_reserve_at_beginning != 0 || pFilename == nullptr || libzip() == nullptr ||
        !can_create(pFilename))
        return MZ_FALSE;
    return open_archive(pZip, pFilename, ZIP_CREATE | ZIP_TRUNCATE, MZ_ZIP_MODE_WRITING);
}

mz_bool mz_zip_writer_add_file(mz_zip_archive *pZip, const char *pArchive_name,
                               const char *pSrc_filename, const void *pComment,
                               mz_uint16 comment_size, mz_uint level_and_flags) {
    if (pZip == nullptr || pZip->m_zip_mode != MZ_ZIP_MODE_WRITING || pArchive_name == nullptr ||
        pSrc_filename == nullptr || (pComment == nullptr && comment_size != 0))
        return MZ_FALSE;
    const libzip_api *lib = libzip();
    if (lib == nullptr)
        return MZ_FALSE;
    zip_t *za = handle(pZip);
    if (!is_readable_file(pSrc_filename))
        return MZ_FALSE;
    zip_source_t *source = lib->zip_source_file(za, host_path(pSrc_filename).c_str(), 0, -1);
    if (source == nullptr)
        return MZ_FALSE;
    // An entry of the same name goes first and the file is added as a new
    // entry: the library keeps a replaced entry's old compression settings
    // and would not honour the level asked for.
    zip_int64_t old = lib->zip_name_locate(za, pArchive_name, ZIP_FL_ENC_RAW);
    if (old >= 0 && lib->zip_delete(za, static_cast<zip_uint64_t>(old)) != 0) {
        lib->zip_source_free(source);
        return MZ_FALSE;
    }
    // Names are stored as the bytes they are (a Windows ANSI name too); the
    // library flags one as UTF-8 only when it is valid UTF-8 and not plain
    // ASCII, as zip tools do.
    zip_int64_t index = lib->zip_file_add(za, pArchive_name, source, ZIP_FL_ENC_GUESS);
    if (index < 0) {
        lib->zip_source_free(source);
        return MZ_FALSE;
    }
    auto entry = static_cast<zip_uint64_t>(index);
    mz_uint level = level_and_flags & kLevelMask;
    bool stored = level == 0;
    if (lib->zip_set_file_compression(za, entry, stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                      stored ? 0 : (level > 9 ? 9 : level)) != 0 ||
        lib->zip_file_set_comment(za, entry, static_cast<const char *>(pComment), comment_size,
                                  0) != 0) {
        lib->zip_delete(za, entry);
        return MZ_FALSE;
    }
    pZip->m_total_files = static_cast<mz_uint32>(lib->zip_get_num_entries(za, 0));
    return MZ_TRUE;
}

mz_bool mz_zip_writer_finalize_archive(mz_zip_archive *pZip) {
    if (pZip == nullptr || pZip->m_zip_mode != MZ_ZIP_MODE_WRITING)
        return MZ_FALSE;
    const libzip_api *lib = libzip();
    if (lib == nullptr || lib->zip_close(handle(pZip)) != 0)
        return MZ_FALSE;
    pZip->m_pState = nullptr;
    pZip->m_zip_mode = MZ_ZIP_MODE_WRITING_HAS_BEEN_FINALIZED;
    return MZ_TRUE;
}

mz_bool mz_zip_writer_end(mz_zip_archive *pZip) {
    if (pZip == nullptr)
        return MZ_FALSE;
    bool was_writer = pZip->m_zip_mode == MZ_ZIP_MODE_WRITING ||
                      pZip->m_zip_mode == MZ_ZIP_MODE_WRITING_HAS_BEEN_FINALIZED;
    if (pZip->m_pState != nullptr)
        if (const libzip_api *lib = libzip())
            lib->zip_discard(handle(pZip));
    pZip->m_pState = nullptr;
    pZip->m_zip_mode = MZ_ZIP_MODE_INVALID;
    return was_writer ? MZ_TRUE : MZ_FALSE;
}
