// shahash: SHA-1 and SHA-256 digests of memory, streams and files, their
// hexadecimal text, and checksum lists. The block compressions live in
// shahash_portable.cpp and shahash_accel.cpp; this file chooses one and
// never looks at the processor itself.
#include "common/shahash.h"

#include "common/fileutils.h"
#include "common/osdep.h"
#include "common/shahash_internal.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vq4assert.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr unsigned kReadChunk = 16384;
constexpr char kHexDigits[] = "0123456789abcdef";

constexpr uint32_t kSha1Initial[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
constexpr uint32_t kSha256Initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// ---- Choice of compression ---------------------------------------------------

const shahash_compressors *gCompressors = nullptr;

const shahash_compressors &compressors() {
    if (gCompressors == nullptr) {
        const shahash_compressors *accel = shahash_accel_compressors();
        gCompressors = accel != nullptr ? accel : shahash_portable_compressors();
    }
    return *gCompressors;
}

void compress(sha1_ctx *ctx, const uint8_t *blocks, size_t count) {
    compressors().sha1(ctx->state, blocks, count);
}

void compress(sha256_ctx *ctx, const uint8_t *blocks, size_t count) {
    compressors().sha256(ctx->state, blocks, count);
}

// ---- Contexts (the same for both digests) --------------------------------------

template <typename Ctx, size_t Words> void init_ctx(Ctx *ctx, const uint32_t (&initial)[Words]) {
    std::memset(ctx->block, 0, sizeof ctx->block);
    ctx->buffered = 0;
    ctx->bits = 0;
    std::copy(initial, initial + Words, ctx->state);
}

// Fills the buffer first, then compresses whole blocks straight from data.
template <typename Ctx> void update_ctx(Ctx *ctx, const uint8_t *data, uint64_t length) {
    if (length == 0)
        return;
    if (ctx->buffered > 0) {
        uint64_t take = std::min<uint64_t>(length, SHA_BLOCK_SIZE - ctx->buffered);
        std::memcpy(ctx->block + ctx->buffered, data, take);
        ctx->buffered += uint32_t(take);
        data += take;
        length -= take;
        if (ctx->buffered < SHA_BLOCK_SIZE)
            return;
        compress(ctx, ctx->block, 1);
        ctx->bits += 512;
        ctx->buffered = 0;
    }
    uint64_t blocks = length / SHA_BLOCK_SIZE;
    if (blocks > 0) {
        compress(ctx, data, size_t(blocks));
        ctx->bits += blocks * 512;
        data += blocks * SHA_BLOCK_SIZE;
        length -= blocks * SHA_BLOCK_SIZE;
    }
    if (length > 0) {
        std::memcpy(ctx->block, data, length);
        ctx->buffered = uint32_t(length);
    }
}

// Pads with 0x80, zeros and the bit length (big-endian, last 8 bytes), then
// writes each state word most significant byte first.
template <typename Ctx, size_t Words> void final_ctx(Ctx *ctx, uint8_t *out) {
    uint64_t message_bits = ctx->bits + uint64_t(ctx->buffered) * 8;
    uint8_t *block = ctx->block;
    block[ctx->buffered++] = 0x80;
    if (ctx->buffered > SHA_BLOCK_SIZE - 8) {
        std::memset(block + ctx->buffered, 0, SHA_BLOCK_SIZE - ctx->buffered);
        compress(ctx, block, 1);
        ctx->bits += 512;
        ctx->buffered = 0;
    }
    std::memset(block + ctx->buffered, 0, SHA_BLOCK_SIZE - 8 - ctx->buffered);
    for (int i = 0; i < 8; ++i)
        block[SHA_BLOCK_SIZE - 1 - i] = uint8_t(message_bits >> (8 * i));
    compress(ctx, block, 1);
    ctx->bits += 512;
    ctx->buffered = 0;
    for (size_t w = 0; w < Words; ++w)
        for (int i = 0; i < 4; ++i)
            out[4 * w + i] = uint8_t(ctx->state[w] >> (24 - 8 * i));
}

// ---- Streams, files and text -----------------------------------------------------

// Digests everything read from fd; a read that gives 0 or fails ends it.
template <typename Ctx, size_t Size>
uint8_t *digest_fd(int fd, void (*init)(Ctx *), void (*update)(Ctx *, const void *, uint64_t),
                   void (*final)(Ctx *, uint8_t *)) {
    Ctx ctx;
    init(&ctx);
    auto chunk = std::make_unique<uint8_t[]>(kReadChunk);
    for (int got; (got = plat_read(fd, chunk.get(), kReadChunk)) > 0;)
        update(&ctx, chunk.get(), uint64_t(got));
    auto *digest = static_cast<uint8_t *>(must_alloc(Size));
    final(&ctx, digest);
    return digest;
}

struct FileCloser {
    void operator()(FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Opens path for digesting; failure is fatal.
File open_for_digest(const char *path) {
    File file(plat_fopen(path, "rb"));
    if (!file)
        shahash_fatal("Cannot open file \"%s\"", path);
    return file;
}

const char *hex_of(const uint8_t *digest, size_t size) {
    auto *text = static_cast<char *>(must_alloc(uint32_t(2 * size + 1)));
    for (size_t i = 0; i < size; ++i) {
        text[2 * i] = kHexDigits[digest[i] >> 4];
        text[2 * i + 1] = kHexDigits[digest[i] & 0x0f];
    }
    const char *interned = sc_adopt(text);
    if (interned != text)
        std::free(text);
    return interned;
}

// A digit's value: its distance from '0' below 'A', else its code minus 55;
// only the low four bits count.
uint8_t nibble(char c) {
    return uint8_t((c < 'A' ? c - '0' : c - 55) & 0x0f);
}

uint8_t *from_hex(const char *hex, size_t size) {
    auto *digest = static_cast<uint8_t *>(must_alloc(uint32_t(size)));
    for (size_t i = 0; i < size; ++i)
        digest[i] = uint8_t(nibble(hex[2 * i]) << 4 | nibble(hex[2 * i + 1]));
    return digest;
}

// The digest of an open file as hexadecimal text.
const char *stream_hex(FILE *file, uint8_t *(*digest_of)(FILE *),
                       const char *(*hex)(const uint8_t *)) {
    uint8_t *digest = digest_of(file);
    const char *text = hex(digest);
    std::free(digest);
    return text;
}

} // namespace

// ---- Digests ---------------------------------------------------------------------

void sha1_init(sha1_ctx *ctx) {
    init_ctx(ctx, kSha1Initial);
}

void sha256_init(sha256_ctx *ctx) {
    init_ctx(ctx, kSha256Initial);
}

void sha1_update(sha1_ctx *ctx, const void *data, uint64_t length) {
    update_ctx(ctx, static_cast<const uint8_t *>(data), length);
}

void sha256_update(sha256_ctx *ctx, const void *data, uint64_t length) {
    update_ctx(ctx, static_cast<const uint8_t *>(data), length);
}

void sha1_final(sha1_ctx *ctx, uint8_t *out) {
    final_ctx<sha1_ctx, 5>(ctx, out);
}

void sha256_final(sha256_ctx *ctx, uint8_t *out) {
    final_ctx<sha256_ctx, 8>(ctx, out);
}

uint8_t *sha1_stream(FILE *stream) {
    return digest_fd<sha1_ctx, SHA1_DIGEST_SIZE>(plat_fileno(stream), sha1_init, sha1_update,
                                                 sha1_final);
}

uint8_t *sha256_stream(FILE *stream) {
    return digest_fd<sha256_ctx, SHA256_DIGEST_SIZE>(plat_fileno(stream), sha256_init,
                                                     sha256_update, sha256_final);
}

uint8_t *sha1_file(const char *path) {
    return sha1_stream(open_for_digest(path).get());
}

uint8_t *sha256_file(const char *path) {
    return sha256_stream(open_for_digest(path).get());
}

const char *sha1_file_hex(const char *path) {
    return stream_hex(open_for_digest(path).get(), sha1_stream, sha1_hex);
}

const char *sha256_file_hex(const char *path) {
    return stream_hex(open_for_digest(path).get(), sha256_stream, sha256_hex);
}

const char *sha1_hex(const uint8_t *digest) {
    return hex_of(digest, SHA1_DIGEST_SIZE);
}

const char *sha256_hex(const uint8_t *digest) {
    return hex_of(digest, SHA256_DIGEST_SIZE);
}

uint8_t *sha1_from_hex(const char *hex) {
    return from_hex(hex, SHA1_DIGEST_SIZE);
}

uint8_t *sha256_from_hex(const char *hex) {
    return from_hex(hex, SHA256_DIGEST_SIZE);
}

void shahash_fatal(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const char *text = sc_vprintf(fmt, args);
    va_end(args);
    std::fflush(stdout);
    std::fprintf(stderr, "!! %s\n", text);
    std::exit(1);
}

bool shahash_select(shahash_impl impl) {
    const shahash_compressors *accel = shahash_accel_compressors();
    switch (impl) {
    case SHAHASH_IMPL_PORTABLE:
        gCompressors = shahash_portable_compressors();
        return true;
    case SHAHASH_IMPL_ACCEL:
        if (accel == nullptr)
            return false;
        gCompressors = accel;
        return true;
    case SHAHASH_IMPL_AUTO:
        break;
    }
    gCompressors = nullptr;
    return true;
}

const char *shahash_impl_name(void) {
    return compressors().name;
}

// ---- Checksum lists --------------------------------------------------------------

namespace {

// What a list operation finds at a path: one look for each entry.
enum class Found { regular, directory, missing, other };

Found look_at(const char *path) {
    struct plat_stat64 st;
    if (plat_stat64(path, &st) != 0)
        return Found::missing;
    if (st.is_dir)
        return Found::directory;
    return st.is_regular ? Found::regular : Found::other;
}

// The SHA-256 text of the regular file at path, or null when path names
// nothing or something other than a regular file (a pipe or a device is
// never opened), also when the file vanished after the check. A file that
// exists but cannot be opened is fatal.
const char *regular_file_hex(const char *path) {
    if (look_at(path) != Found::regular)
        return nullptr;
    File file(plat_fopen_regular(path, "rb"));
    if (!file && (errno == ENOENT || errno == EINVAL)) // gone, or swapped for a pipe
        return nullptr;
    if (!file)
        shahash_fatal("Cannot open file \"%s\"", path);
    return stream_hex(file.get(), sha256_stream, sha256_hex);
}

bool same_id(const plat_file_id &a, const plat_file_id &b) {
    return a.volume == b.volume && a.index == b.index;
}

// A directory is entered only when it is none of those the scan is already
// in, so a link back up the tree cannot make the scan go on for ever.
void scan_dir(uint32_t host_flags, vec *files, const char *dir, const char *prefix,
              std::vector<plat_file_id> &entered) {
    plat_file_id id{};
    if (plat_file_identity(dir, &id) == 0) {
        if (std::any_of(entered.begin(), entered.end(),
                        [&](const plat_file_id &e) { return same_id(e, id); })) {
            DB_TRACE("directory \"%s\" is already being scanned", dir);
            return;
        }
    }
    plat_dir *listing = plat_opendir(dir);
    if (listing == nullptr)
        return;
    entered.push_back(id);
    for (const char *name; (name = plat_readdir(listing)) != nullptr;) {
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        char *full = os_path_join(dir, name);
        char *recorded = os_path_join3(host_flags, prefix, name);
        Found found = look_at(full);
        if (found == Found::directory) {
            scan_dir(host_flags, files, full, recorded, entered);
            std::free(recorded);
        } else if (found == Found::other) {
            DB_TRACE("\"%s\" is not a regular file: left out", full);
            std::free(recorded);
        } else {
            auto *entry = static_cast<shahash_entry *>(must_alloc(sizeof(shahash_entry)));
            entry->path = recorded;
            entry->hash = sha256_file_hex(full);
            vec_append(files, entry);
        }
        std::free(full);
    }
    entered.pop_back();
    plat_closedir(listing);
}

// Frees entries made by a scan (heap paths) or by reading (interned paths).
void free_entries(vec *entries, bool heap_paths) {
    for (uint32_t i = 0; i < vec_size(entries); ++i) {
        auto *entry = static_cast<shahash_entry *>(vec_get(entries, i));
        if (heap_paths)
            std::free(const_cast<char *>(entry->path));
        std::free(entry);
    }
    vec_destroy(entries);
}

// Writes one "<hash> *<path>" line per entry; false on a write failure.
bool write_entries(FILE *out, vec *entries) {
    for (uint32_t i = 0; i < vec_size(entries); ++i) {
        auto *entry = static_cast<const shahash_entry *>(vec_get(entries, i));
        if (std::fprintf(out, "%s *%s\n", entry->hash, entry->path) < 0)
            return false;
    }
    return true;
}

// One line of a list split at its first blank: the hash before it, the path
// after it trimmed and without one leading asterisk. false without a blank.
bool split_line(const char *line, const char **hash, const char **path) {
    const char *blank = std::strchr(line, ' ');
    if (blank == nullptr)
        return false;
    *hash = sc_intern_n(line, uint32_t(blank - line));
    const char *name = sc_trim(blank);
    *path = *name == '*' ? sc_intern(name + 1) : name;
    return true;
}

// Changes the current directory for the life of the object and back at its
// end. ok() is false when either directory could not be had.
class DirectoryChange {
  public:
    explicit DirectoryChange(const char *dir) {
        if (dir == nullptr)
            return;
        saved_ = os_getcwd();
        changed_ = saved_ != nullptr && plat_chdir(dir) == 0;
        if (!changed_)
            DB_TRACE("cannot change to directory \"%s\", error: %d", dir, errno);
    }
    ~DirectoryChange() {
        if (changed_ && plat_chdir(saved_) != 0)
            DB_TRACE("cannot change back to directory \"%s\", error: %d", saved_, errno);
        std::free(saved_);
    }
    DirectoryChange(const DirectoryChange &) = delete;
    DirectoryChange &operator=(const DirectoryChange &) = delete;
    bool ok(const char *dir) const { return dir == nullptr || changed_; }

  private:
    char *saved_ = nullptr;
    bool changed_ = false;
};

// 1 when every line of the open list names a regular file with its hash.
int check_lines(FILE *list) {
    const char *line = sc_readline(list);
    if (line == nullptr)
        return 0;
    for (; line != nullptr; line = sc_readline(list)) {
        const char *hash, *path;
        if (!split_line(line, &hash, &path)) {
            DB_TRACE("list line without a blank: %s", line);
            return 0;
        }
        const char *actual = regular_file_hex(path);
        if (actual == nullptr || std::strcmp(actual, hash) != 0) {
            DB_TRACE("\"%s\" is missing or does not match %s", path, hash);
            return 0;
        }
    }
    return 1;
}

} // namespace

void shahash_scan_dir(uint32_t host_flags, vec *files, const char *dir, const char *prefix) {
    VQ4_ASSERT(files != nullptr, "files != NULL");
    VQ4_ASSERT(dir != nullptr, "dir != NULL");
    std::vector<plat_file_id> entered;
    scan_dir(host_flags, files, dir, prefix, entered);
}

bool shahash_write_list(uint32_t host_flags, const char *dir, const char *destination) {
    DB_ENTER("shahash_write_list", nullptr);
    char *temporary = os_tmpfile_name_plain();
    FILE *out = temporary != nullptr ? plat_fopen(temporary, "w") : nullptr;
    bool written = false;
    if (out != nullptr) {
        vec *entries = vec_create(__FILE__, __LINE__);
        shahash_scan_dir(host_flags, entries, dir, dir);
        written = write_entries(out, entries);
        written = std::fclose(out) == 0 && written;
        free_entries(entries, true);
        written = written && copyfile(temporary, destination) != 0;
    }
    std::free(temporary);
    DB_EXIT("shahash_write_list", "%d", int(written));
    return written;
}

bool shahash_write_list_here(const char *dir, const char *destination) {
    return shahash_write_list(os_host_flags(), dir, destination);
}

vec *shahash_read_list(const char *list_path, const char *dir) {
    File list(plat_fopen(list_path, "r"));
    if (!list)
        return nullptr;
    vec *entries = vec_create(__FILE__, __LINE__);
    const char *line = sc_readline(list.get());
    for (; line != nullptr; line = sc_readline(list.get())) {
        const char *hash, *name;
        if (!split_line(line, &hash, &name))
            break;
        auto *entry = static_cast<shahash_entry *>(must_alloc(sizeof(shahash_entry)));
        entry->path = dir != nullptr ? sc_path_join(dir, name) : name;
        entry->hash = hash;
        vec_append(entries, entry);
    }
    if (line != nullptr || vec_size(entries) == 0) {
        free_entries(entries, false);
        return nullptr;
    }
    return entries;
}

int shahash_check_entries(vec *entries) {
    if (entries == nullptr)
        return 0;
    int all_match = 1;
    for (uint32_t i = 0; i < vec_size(entries); ++i) {
        auto *entry = static_cast<const shahash_entry *>(vec_get(entries, i));
        if (!shahash_check_file(entry->hash, entry->path) || *entry->path == '\0') {
            DB_TRACE("entry %u fails: %s", i, entry->path != nullptr ? entry->path : "(null)");
            all_match = 0;
        }
    }
    return all_match;
}

int shahash_check_list(const char *dir, const char *list_path) {
    DB_ENTER("shahash_check_list", nullptr);
    File list(plat_fopen(list_path, "r"));
    int result = 0;
    if (list) {
        DirectoryChange change(dir);
        result = change.ok(dir) ? check_lines(list.get()) : 0;
    }
    DB_EXIT("shahash_check_list", "%d", result);
    return result;
}

bool shahash_check_file(const char *hash, const char *path) {
    if (hash == nullptr || path == nullptr)
        return false;
    const char *actual = regular_file_hex(path);
    return actual != nullptr && std::strcmp(actual, hash) == 0;
}
