// zip_adapter: the few zip archive operations the debug package uses.
//
// The debug package code is written against these six operations, with the
// names and arguments of a well-known small zip library: open an existing
// archive, turn it into a writer that appends, or create a new one; add a
// file (deflated at the level in the low four bits of level_and_flags, with
// an entry comment); finish the archive; release it. This file and its
// implementation are the only place that knows which zip library does the
// work underneath.
//
// Guarantees: an archive that cannot be read is never written; an existing
// archive keeps its entries and, until mz_zip_writer_finalize_archive
// succeeds, its bytes (the new archive replaces it only when complete).
// Adding a name the archive already holds replaces that entry (the new one
// stands last). Names are stored as their bytes, flagged UTF-8 only when they
// are valid UTF-8 and not plain ASCII. A file that is not a readable regular
// file is refused when it is added, never when the archive is written.
//
// The zip library is loaded only when an archive is first opened or created,
// so programs that never write one never pay for it. When it cannot be
// loaded, opening and creating fail as for an archive that cannot be read or
// written (a later call tries again).
//
// Every operation returns MZ_TRUE on success and MZ_FALSE on failure.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef int mz_bool;
typedef unsigned int mz_uint;
typedef uint16_t mz_uint16;
typedef uint32_t mz_uint32;
typedef uint64_t mz_uint64;

enum { MZ_FALSE = 0, MZ_TRUE = 1 };

typedef enum mz_zip_mode {
    MZ_ZIP_MODE_INVALID = 0,
    MZ_ZIP_MODE_READING = 1,
    MZ_ZIP_MODE_WRITING = 2,
    MZ_ZIP_MODE_WRITING_HAS_BEEN_FINALIZED = 3,
} mz_zip_mode;

// The archive record shared by all operations. Zero it before the first
// init call; m_pState belongs to the adapter.
typedef struct mz_zip_archive {
    mz_uint32 m_total_files; // entries in the archive (as last read or written)
    mz_zip_mode m_zip_mode;
    void *m_pState;
} mz_zip_archive;

// Opens the existing zip archive pFilename for reading. flags: 0. Fails for
// a missing file, a file that is not a zip archive or a damaged one.
mz_bool mz_zip_reader_init_file(mz_zip_archive *pZip, const char *pFilename, mz_uint32 flags);

// Turns a reader opened on pFilename into a writer that appends to the same
// file. Fails (the reader stays) when the file cannot be written.
mz_bool mz_zip_writer_init_from_reader(mz_zip_archive *pZip, const char *pFilename);

// Creates a new empty archive pFilename. size_to_reserve_at_beginning: 0.
// Fails when the file cannot be created.
mz_bool mz_zip_writer_init_file(mz_zip_archive *pZip, const char *pFilename,
                                mz_uint64 size_to_reserve_at_beginning);

// Adds the file pSrc_filename as pArchive_name with the entry comment
// (comment_size bytes; pComment may be null when comment_size is 0).
// level_and_flags: deflate level 0-10 in the low four bits (0 stores); the
// other bits are accepted and ignored. Fails when the record is not a writer.
mz_bool mz_zip_writer_add_file(mz_zip_archive *pZip, const char *pArchive_name,
                               const char *pSrc_filename, const void *pComment,
                               mz_uint16 comment_size, mz_uint level_and_flags);

// Writes the archive out (data of added files is read now). On failure the
// file on disk is as it was before the writer was made.
mz_bool mz_zip_writer_finalize_archive(mz_zip_archive *pZip);

// Releases everything the record holds, whatever its state; fails when the
// record was not a writer (a reader is still released). Unfinished changes
// are dropped.
mz_bool mz_zip_writer_end(mz_zip_archive *pZip);

#ifdef __cplusplus
}
#endif
