// fileutils: file copy and append, and whole-line reading.
#include "common/fileutils.h"

#include "common/stringcache.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kCopyChunk = 512;
constexpr uint32_t kLineStep = 150;

// What a destination held before it was opened, so that a failed copy or
// append can be undone.
struct DestinationBefore {
    bool existed = false;
    bool regular = false;
    int64_t size = 0;
};

DestinationBefore look_at(const char *path) {
    struct plat_stat64 st;
    DestinationBefore before;
    if (plat_stat64(path, &st) == 0) {
        before.existed = true;
        before.regular = st.is_regular != 0;
        before.size = st.size;
    }
    return before;
}

// True when both paths name one existing file, whatever their spelling.
bool same_file(const char *a, const char *b) {
    if (std::strcmp(a, b) == 0)
        return true;
    struct plat_file_id ia, ib;
    return plat_file_identity(a, &ia) == 0 && plat_file_identity(b, &ib) == 0 &&
           ia.volume == ib.volume && ia.index == ib.index;
}

// Undoes a failed copy or append into a regular file: an append is cut back
// to the length the file had, anything else is removed.
void undo_destination(const char *path, const DestinationBefore &before, bool append) {
    if (before.existed && !before.regular)
        return;
    if (append && before.existed) {
        FILE *file = plat_fopen(path, "r+b");
        if (file != nullptr) {
            plat_chsize(plat_fileno(file), before.size);
            std::fclose(file);
        }
        return;
    }
    struct plat_stat64 st;
    if (plat_stat64(path, &st) == 0 && st.is_regular)
        plat_remove(path);
}

// Moves every byte of in to out; false on a read or write failure.
bool copy_bytes(FILE *in, FILE *out) {
    char chunk[kCopyChunk];
    for (;;) {
        size_t got = std::fread(chunk, 1, sizeof chunk, in);
        if (got == 0)
            return std::ferror(in) == 0;
        if (std::fwrite(chunk, 1, got, out) < got)
            return false;
    }
}

} // namespace

int copyfile_helper(const char *source, const char *destination, uint8_t append) {
    if (source == nullptr || destination == nullptr)
        return 0;
    if (same_file(source, destination)) {
        DB_TRACE("source and destination files seem to be the same");
        return 0;
    }
    FILE *in = plat_fopen_regular(source, "r");
    if (in == nullptr) {
        DB_TRACE("could not open source file \"%s\", error: %d", source, errno);
        return 0;
    }
    DestinationBefore before = look_at(destination);
    FILE *out = plat_fopen(destination, append ? "a" : "w");
    if (out == nullptr) {
        DB_TRACE("could not open destination file \"%s\", error: %d", destination, errno);
        std::fclose(in);
        return 0;
    }
    bool copied = copy_bytes(in, out);
    if (!copied)
        DB_TRACE("error copying file");
    if (std::fclose(in) != 0 && copied) {
        DB_TRACE("could not close source file \"%s\", error: %d", source, errno);
        copied = false;
    }
    if (std::fclose(out) != 0 && copied) {
        DB_TRACE("could not close destination file \"%s\", error: %d", destination, errno);
        copied = false;
    }
    if (!copied) {
        undo_destination(destination, before, append != 0);
        return 0;
    }
    DB_TRACE("file \"%s\" was successfully %s to \"%s\"", source, append ? "appended" : "copied",
             destination);
    return 1;
}

int copyfile(const char *source, const char *destination) {
    return copyfile_helper(source, destination, 0);
}

int appendfile(const char *destination, const char *source) {
    return copyfile_helper(source, destination, 1);
}

char *getLineEx(FILE *stream, uint32_t *length, uint32_t *size) {
    uint32_t capacity = kLineStep;
    auto *line = static_cast<char *>(must_alloc(capacity));
    if (plat_fgets(line, int(kLineStep), stream) == nullptr) {
        std::free(line);
        return nullptr;
    }
    size_t used = std::strlen(line);
    // The size reported grows by a step at a time; the block under it
    // doubles, so that a line of megabytes is not copied once per step.
    uint64_t allocated = capacity;
    while ((used == 0 || line[used - 1] != '\n') && !std::feof(stream)) {
        capacity += kLineStep;
        if (capacity > allocated) {
            uint64_t grown = std::max<uint64_t>(allocated * 2, capacity);
            line = static_cast<char *>(must_realloc(line, grown));
            std::memset(line + allocated, 0, grown - allocated);
            allocated = grown;
        }
        if (plat_fgets(line + used, int(kLineStep), stream) == nullptr)
            break;
        used += std::strlen(line + used);
    }
    if (length != nullptr)
        *length = static_cast<uint32_t>(used);
    if (size != nullptr)
        *size = capacity;
    return line;
}

char *getLine(FILE *stream) {
    return getLineEx(stream, nullptr, nullptr);
}

char *getLineLen(FILE *stream, uint32_t *length) {
    return getLineEx(stream, length, nullptr);
}
