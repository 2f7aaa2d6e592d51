// stringcache: the interned string store, the shared scratch buffer in which
// results are assembled, and the plain heap helpers.
#include "common/stringcache.h"

#include "common/alert.h"
#include "common/alert_numbers.h"
#include "common/osdep.h"
#include "common/vq4assert.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

constexpr uint32_t kMinScratchBytes = 4096;
constexpr uint32_t kHeapPrintfBytes = 4096;
constexpr uint32_t kReadChunkBytes = 1024;
constexpr uint32_t kBackslashPathsFlag = 0x10000;

uint32_t gCacheSize = 5077;
uint32_t gCacheLimit = 0;
uint32_t gInsertions = 0;
uint32_t gScratchSize = 0;
char *gScratch = nullptr;

// A fresh heap copy of text (the caller's).
char *heap_copy(const char *text) {
    size_t n = std::strlen(text);
    auto *copy = static_cast<char *>(must_alloc(static_cast<uint32_t>(n + 1)));
    std::memcpy(copy, text, n);
    return copy;
}

// Makes the scratch buffer hold at least needed bytes. A replaced buffer
// does not keep its contents.
void ensure_scratch(uint32_t needed) {
    if (gScratchSize >= needed)
        return;
    std::free(gScratch);
    gScratchSize = needed * 2 > kMinScratchBytes ? needed * 2 : kMinScratchBytes;
    gScratch = static_cast<char *>(must_alloc(gScratchSize));
}

// The cache's key hash. Interning is the hottest lookup of the suite, so
// the cache hashes eight bytes per step instead of one (hash_string); only
// the cache itself ever sees these values.
uint32_t cache_hash(const void *key) {
    constexpr uint64_t kMultiplier = 0xff51afd7ed558ccdull;
    auto *s = static_cast<const char *>(key);
    size_t n = std::strlen(s);
    auto word_at = [s](size_t at) {
        uint64_t word;
        std::memcpy(&word, s + at, 8);
        return word;
    };
    uint64_t h = 0x9e3779b97f4a7c15ull ^ n;
    size_t at = 0;
    for (; at + 8 <= n; at += 8)
        h = ((h ^ word_at(at)) * kMultiplier) ^ (h >> 29);
    if (n >= 8 && at < n) {
        h = ((h ^ word_at(n - 8)) * kMultiplier) ^ (h >> 29); // the tail, overlapping
    } else {
        uint64_t tail = 0;
        for (; at < n; ++at)
            tail = (tail << 8) | static_cast<unsigned char>(s[at]);
        h = (h ^ tail) * kMultiplier;
    }
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return static_cast<uint32_t>(h);
}

// The cache: an open-addressing table of the interned strings, doubled
// whenever it is more than 70% full, so that interning costs the same at
// any size. Each slot holds a string's hash (so that a probe compares text
// only when the hashes agree) and its address. The copies live in an
// arena: large blocks filled one after another, never freed, since no
// interned string ever is.
class StringCache {
  public:
    // The cached string equal to text, or null; hash is cache_hash(text).
    const char *find(const char *text, uint32_t hash) {
        if (texts_ == nullptr)
            grow(initial_capacity());
        for (uint32_t at = hash & mask_, probe = 1;; at = (at + 1) & mask_, ++probe) {
            if (texts_[at] == nullptr)
                return nullptr;
            if (hashes_[at] == hash && std::strcmp(texts_[at], text) == 0)
                return texts_[at];
            if (probe > longest_probe_)
                longest_probe_ = probe;
        }
    }

    // Adds text, which must not be cached yet and must live for ever.
    void add(const char *text, uint32_t hash) {
        if ((uint64_t{count_} + 1) * 10 > uint64_t{mask_ + 1} * 7)
            grow((mask_ + 1) * 2);
        place(text, hash);
        ++count_;
    }

    // A copy of the n bytes at text and a terminating zero, in the arena.
    char *copy(const char *text, size_t n) {
        char *at = take(n + 1);
        std::memcpy(at, text, n);
        at[n] = '\0';
        return at;
    }

    // The cache's lines of the container reports.
    void report() const {
        db_printf("# String Cache:");
        db_printf("# strings    slots    longest_probe    arena_blocks    bytes");
        db_printf("# %u    %u    %u    %u    %llu", count_, texts_ != nullptr ? mask_ + 1 : 0,
                  longest_probe_, blocks_, static_cast<unsigned long long>(bytes_));
    }

  private:
    static constexpr size_t kArenaBlock = 64 * 1024;

    static uint32_t initial_capacity() {
        uint32_t capacity = 16;
        while (capacity < gCacheSize && capacity < (1u << 30))
            capacity *= 2;
        return capacity;
    }

    void place(const char *text, uint32_t hash) {
        uint32_t at = hash & mask_;
        while (texts_[at] != nullptr)
            at = (at + 1) & mask_;
        hashes_[at] = hash;
        texts_[at] = text;
    }

    void grow(uint32_t capacity) {
        uint32_t *old_hashes = hashes_;
        const char **old_texts = texts_;
        uint32_t old_capacity = texts_ != nullptr ? mask_ + 1 : 0;
        hashes_ = static_cast<uint32_t *>(must_alloc(capacity * uint32_t{sizeof(uint32_t)}));
        texts_ = static_cast<const char **>(must_alloc(capacity * uint32_t{sizeof(char *)}));
        mask_ = capacity - 1;
        for (uint32_t i = 0; i < old_capacity; ++i)
            if (old_texts[i] != nullptr)
                place(old_texts[i], old_hashes[i]);
        std::free(old_hashes);
        std::free(old_texts);
    }

    // size bytes of the arena. A string larger than a quarter block gets a
    // block of its own, so that the block being filled goes on being used.
    char *take(size_t size) {
        bytes_ += size;
        if (size > kArenaBlock / 4) {
            ++blocks_;
            return static_cast<char *>(must_alloc(static_cast<uint32_t>(size)));
        }
        if (size > arena_left_) {
            ++blocks_;
            arena_next_ = static_cast<char *>(must_alloc(kArenaBlock));
            arena_left_ = kArenaBlock;
        }
        char *at = arena_next_;
        arena_next_ += size;
        arena_left_ -= size;
        return at;
    }

    uint32_t *hashes_ = nullptr;
    const char **texts_ = nullptr;
    uint32_t mask_ = 0;
    uint32_t count_ = 0;
    uint32_t longest_probe_ = 0;
    char *arena_next_ = nullptr;
    size_t arena_left_ = 0;
    uint32_t blocks_ = 0;
    uint64_t bytes_ = 0;
};

StringCache gCache;

// Whether the cache limit still allows an insertion; counts it if so.
bool may_insert() {
    if (gCacheLimit == 0)
        return true;
    if (gCacheLimit < gInsertions)
        return false;
    ++gInsertions;
    return true;
}

// The interning step: the cached equal string, or a new heap copy of text
// (cached unless caching is off or the limit is exhausted).
const char *intern(const char *text) {
    if (text == nullptr)
        return nullptr;
    if (gCacheSize == 0)
        return heap_copy(text);
    uint32_t hash = cache_hash(text);
    if (const char *cached = gCache.find(text, hash))
        return cached;
    if (!may_insert())
        return heap_copy(text);
    char *copy = gCache.copy(text, std::strlen(text));
    gCache.add(copy, hash);
    return copy;
}

// Interns the n bytes at text (which must not lie in the scratch buffer).
const char *intern_range(const char *text, size_t n) {
    ensure_scratch(static_cast<uint32_t>(n + 1));
    std::memcpy(gScratch, text, n);
    gScratch[n] = 0;
    return intern(gScratch);
}

// Case-insensitive comparison of at most n characters, as tolower sees them.
int compare_nocase(const char *a, const char *b, size_t n) {
    for (; n != 0; --n, ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
    return 0;
}

bool in_set(const char *set, char c) {
    return c != 0 && std::strchr(set, c) != nullptr;
}

// The last path separator: backslash, else '/', else ':'; null if none.
const char *last_separator(const char *path) {
    for (char sep : {'\\', '/', ':'})
        if (const char *at = std::strrchr(path, sep))
            return at;
    return nullptr;
}

const char *skip_leading_dot(const char *ext) {
    return ext[0] == '.' ? ext + 1 : ext;
}

// Interned copy of str with each character passed through convert.
template <typename Convert> const char *map_chars(const char *str, Convert convert) {
    size_t n = std::strlen(str);
    ensure_scratch(static_cast<uint32_t>(n + 1));
    for (size_t i = 0; i < n; ++i)
        gScratch[i] = static_cast<char>(convert(static_cast<unsigned char>(str[i])));
    gScratch[n] = 0;
    return intern(gScratch);
}

[[noreturn]] void formatting_failed() {
    std::fputs("vsnprintf failed in a mysterious way\n", stderr);
    std::abort();
}

} // namespace

// ---- Cache control and comparison ----------------------------------------

void sc_set_cache_size(uint32_t size) {
    gCacheSize = size;
}

void sc_set_cache_limit(uint32_t limit) {
    gCacheLimit = limit;
}

int sc_strcmp(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

int sc_stricmp(const void *a, const void *b) {
    return compare_nocase(static_cast<const char *>(a), static_cast<const char *>(b), SIZE_MAX);
}

// ---- Interning and formatting ----------------------------------------------

const char *sc_intern(const char *str) {
    return intern(str);
}

const char *sc_adopt(char *str) {
    if (str == nullptr || gCacheSize == 0)
        return str;
    uint32_t hash = cache_hash(str);
    if (const char *cached = gCache.find(str, hash))
        return cached;
    if (may_insert())
        gCache.add(str, hash);
    return str;
}

void sc_report(void) {
    gCache.report();
}

const char *sc_intern_n(const char *str, uint32_t n) {
    if (str == nullptr)
        return nullptr;
    ensure_scratch(n + 1);
    std::strncpy(gScratch, str, n);
    gScratch[n] = 0;
    return intern(gScratch);
}

const char *sc_concat(const char *a, const char *b) {
    if (a == nullptr)
        return b;
    if (b == nullptr)
        return a;
    size_t la = std::strlen(a);
    size_t lb = std::strlen(b);
    ensure_scratch(static_cast<uint32_t>(la + lb + 1));
    std::memcpy(gScratch, a, la);
    std::memcpy(gScratch + la, b, lb + 1);
    return intern(gScratch);
}

const char *sc_vprintf(const char *fmt, va_list args) {
    ensure_scratch(static_cast<uint32_t>(10 * std::strlen(fmt)));
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(gScratch, gScratchSize, fmt, args);
    if (static_cast<uint32_t>(n) >= gScratchSize) {
        if (n >= 0)
            ensure_scratch(static_cast<uint32_t>(n) + 1);
        int second = std::vsnprintf(gScratch, gScratchSize, fmt, again);
        if (second < 0 || static_cast<uint32_t>(second) >= gScratchSize) {
            va_end(again);
            formatting_failed();
        }
    }
    va_end(again);
    if (n < 0)
        formatting_failed();
    return intern(gScratch);
}

const char *sc_printf(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const char *result = sc_vprintf(fmt, args);
    va_end(args);
    return result;
}

// The result is assembled in the scratch buffer and interned once: joining
// piece by piece would intern every partial prefix, memory quadratic in the
// number of tabs.
const char *sc_expand_tabs(const char *str) {
    size_t n = std::strlen(str);
    size_t tabs = static_cast<size_t>(std::count(str, str + n, '\t'));
    ensure_scratch(static_cast<uint32_t>(n + 3 * tabs + 1));
    char *out = gScratch;
    for (const char *c = str; *c != 0; ++c) {
        if (*c == '\t')
            out = std::fill_n(out, 4, ' ');
        else
            *out++ = *c;
    }
    *out = 0;
    return intern(gScratch);
}

const char *sc_vprintf_tabs(const char *fmt, va_list args) {
    return sc_expand_tabs(sc_vprintf(fmt, args));
}

const char *sc_printf_tabs(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const char *result = sc_vprintf_tabs(fmt, args);
    va_end(args);
    return result;
}

const char *sc_from_vec(const vec *chars) {
    if (chars == nullptr)
        return nullptr;
    uint32_t n = vec_size(chars);
    ensure_scratch(n + 1);
    for (uint32_t i = 0; i < n; ++i)
        gScratch[i] = static_cast<char>(reinterpret_cast<uintptr_t>(vec_get(chars, i)));
    gScratch[n] = 0;
    return intern(gScratch);
}

const char *sc_lower(const char *str) {
    return map_chars(str, [](int c) { return std::isupper(c) ? std::tolower(c) : c; });
}

const char *sc_upper(const char *str) {
    return map_chars(str, [](int c) { return std::islower(c) ? std::toupper(c) : c; });
}

const char *sc_translate(const char *str, const char *from_set, const char *to_set) {
    unsigned char map[256] = {};
    for (size_t i = 0; from_set[i] != 0 && to_set[i] != 0; ++i)
        map[static_cast<unsigned char>(from_set[i])] = static_cast<unsigned char>(to_set[i]);
    return map_chars(str, [&map](int c) { return map[c] != 0 ? map[c] : c; });
}

const char *sc_escape(const char *str, const char *set, char escape) {
    if (escape == 0)
        escape = '\\';
    size_t len = std::strlen(str);
    if (std::strcspn(str, set) == len)
        return sc_intern(str);
    // An escape character standing before a quote already escapes it.
    auto escaped = [&](size_t i) {
        char c = str[i];
        if (!in_set(set, c))
            return false;
        return !(c == escape && (str[i + 1] == '"' || str[i + 1] == '\''));
    };
    size_t cnt = 0;
    for (size_t i = 0; i < len; ++i)
        cnt += escaped(i) ? 2 : 1;
    ensure_scratch(static_cast<uint32_t>(cnt + 1));
    char *buf = gScratch;
    char *xp = buf;
    for (size_t i = 0; i < len; ++i) {
        if (escaped(i))
            *xp++ = escape;
        *xp++ = str[i];
    }
    VQ4_ASSERT(xp == buf + cnt, "xp == buf+cnt");
    *xp = 0;
    return intern(buf);
}

const char *sc_quote(const char *str, char quote) {
    size_t n = std::strlen(str);
    ensure_scratch(static_cast<uint32_t>(n + 3));
    gScratch[0] = quote;
    std::memcpy(gScratch + 1, str, n);
    gScratch[n + 1] = quote;
    gScratch[n + 2] = 0;
    return intern(gScratch);
}

vec *sc_split(const char *str, const char *delims) {
    vec *tokens = vec_create(__FILE__, __LINE__);
    for (const char *p = str;;) {
        p += std::strspn(p, delims);
        size_t n = std::strcspn(p, delims);
        if (n == 0)
            break;
        vec_append(tokens, const_cast<char *>(intern_range(p, n)));
        p += n;
        if (*p == 0)
            break;
    }
    return tokens;
}

const char *sc_readline(FILE *stream) {
    char *line = heap_readline(stream);
    if (line == nullptr)
        return nullptr;
    const char *interned = sc_adopt(line);
    if (interned != line)
        std::free(line);
    return interned;
}

// ---- Trimming and lines ----------------------------------------------------

const char *sc_trim_chars(const char *str, const char *set) {
    const char *start = str + std::strspn(str, set);
    const char *end = start + std::strlen(start);
    while (end > start && in_set(set, end[-1]))
        --end;
    return intern_range(start, static_cast<size_t>(end - start));
}

const char *sc_trim(const char *str) {
    auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (space(*str))
        ++str;
    const char *end = str + std::strlen(str);
    while (end > str && space(end[-1]))
        --end;
    return intern_range(str, static_cast<size_t>(end - str));
}

const char *sc_chomp(const char *str) {
    size_t n = std::strlen(str);
    while (n > 0 && (str[n - 1] == '\n' || str[n - 1] == '\r'))
        --n;
    return intern_range(str, n);
}

const char *sc_first_line(const char *str) {
    if (str == nullptr)
        return nullptr;
    return intern_range(str, std::strcspn(str, "\n\r"));
}

const char *sc_between(const char *str, char open, char close, const char **open_at,
                       const char **close_at) {
    if (open_at != nullptr)
        *open_at = nullptr;
    if (close_at != nullptr)
        *close_at = nullptr;
    if (str == nullptr)
        return nullptr;
    const char *o = std::strchr(str, open);
    if (o == nullptr)
        return nullptr;
    if (open_at != nullptr)
        *open_at = o;
    const char *c = std::strchr(o + 1, close);
    if (c == nullptr)
        return nullptr;
    if (close_at != nullptr)
        *close_at = c;
    return intern_range(o + 1, static_cast<size_t>(c - o - 1));
}

// ---- Affixes ---------------------------------------------------------------

namespace {

// The tail of str as long as suffix when it matches (by compare), else null.
template <typename Compare>
const char *matching_tail(const char *str, const char *suffix, Compare compare) {
    if (str == nullptr || suffix == nullptr)
        return nullptr;
    size_t ls = std::strlen(str);
    size_t lx = std::strlen(suffix);
    if (ls < lx || compare(str + ls - lx, suffix) != 0)
        return nullptr;
    return str + ls - lx;
}

// The rest of str after prefix when it matches (by compare), else null.
template <typename Compare>
const char *rest_after(const char *str, const char *prefix, Compare compare) {
    if (str == nullptr || prefix == nullptr)
        return nullptr;
    size_t lp = std::strlen(prefix);
    return compare(str, prefix, lp) == 0 ? str + lp : nullptr;
}

int compare_exact(const char *a, const char *b) {
    return std::strcmp(a, b);
}
int compare_nocase_all(const char *a, const char *b) {
    return compare_nocase(a, b, SIZE_MAX);
}
int compare_exact_n(const char *a, const char *b, size_t n) {
    return std::strncmp(a, b, n);
}

} // namespace

const char *sc_suffix(const char *str, const char *suffix) {
    return sc_intern(matching_tail(str, suffix, compare_exact));
}

const char *sc_suffix_nocase(const char *str, const char *suffix) {
    return sc_intern(matching_tail(str, suffix, compare_nocase_all));
}

bool sc_ends_with(const char *str, const char *suffix) {
    return matching_tail(str, suffix, compare_exact) != nullptr;
}

bool sc_ends_with_nocase(const char *str, const char *suffix) {
    return matching_tail(str, suffix, compare_nocase_all) != nullptr;
}

const char *sc_after_prefix(const char *str, const char *prefix) {
    return sc_intern(rest_after(str, prefix, compare_exact_n));
}

const char *sc_after_prefix_nocase(const char *str, const char *prefix) {
    return sc_intern(rest_after(str, prefix, compare_nocase));
}

bool sc_starts_with(const char *str, const char *prefix) {
    return rest_after(str, prefix, compare_exact_n) != nullptr;
}

bool sc_starts_with_nocase(const char *str, const char *prefix) {
    return rest_after(str, prefix, compare_nocase) != nullptr;
}

// ---- Paths -------------------------------------------------------------------

const char *sc_path_join(const char *dir, const char *name) {
    if (dir == nullptr || *dir == 0)
        return name;
    if (name == nullptr || *name == 0)
        return dir;
    if (*name == '\\')
        ++name;
    size_t ld = std::strlen(dir);
    size_t ln = std::strlen(name);
    ensure_scratch(static_cast<uint32_t>(ld + ln + 2));
    char *out = gScratch;
    std::memcpy(out, dir, ld);
    out += ld;
    if (dir[ld - 1] != '\\')
        *out++ = '\\';
    std::memcpy(out, name, ln + 1);
    return intern(gScratch);
}

const char *sc_native_path(const char *path) {
    if (path == nullptr || *path == 0)
        return path;
    if ((os_host_flags() & kBackslashPathsFlag) != 0)
        return sc_translate(path, "/", "\\");
    return sc_intern(path);
}

const char *sc_native_path_join(const char *dir, const char *name) {
    return sc_path_join(sc_native_path(dir), sc_native_path(name));
}

const char *sc_basename(const char *path) {
    if (path == nullptr)
        return nullptr;
    const char *sep = last_separator(path);
    return sc_intern(sep != nullptr ? sep + 1 : path);
}

const char *sc_dirname(const char *path) {
    if (path == nullptr)
        return nullptr;
    const char *sep = last_separator(path);
    if (sep == nullptr)
        return nullptr;
    int k = static_cast<int>(sep - path);
    return sc_printf("%*.*s", k, k, path);
}

const char *sc_replace_ext(const char *path, const char *ext) {
    const char *dot = std::strrchr(path, '.');
    int k = static_cast<int>(dot != nullptr ? dot - path : std::strlen(path));
    return sc_printf("%*.*s.%s", k, k, path, skip_leading_dot(ext));
}

const char *sc_strip_ext(const char *path) {
    const char *dot = std::strrchr(path, '.');
    if (dot == nullptr || std::strchr(dot, '\\') != nullptr)
        return sc_intern(path);
    return intern_range(path, static_cast<size_t>(dot - path));
}

const char *sc_add_ext(const char *path, const char *ext) {
    return sc_printf("%s.%s", path, skip_leading_dot(ext));
}

const char *sc_full_path(const char *path) {
    char *absolute = os_path_absolute(path);
    if (absolute == nullptr)
        return nullptr;
    const char *result = sc_intern(absolute);
    std::free(absolute);
    return result;
}

// ---- Plain heap helpers ------------------------------------------------------

namespace {
uint64_t must_alloc_count = 0;
} // namespace

void *must_alloc(uint32_t count) {
    void *block = std::calloc(count != 0 ? count : 1, 1);
    if (block == nullptr)
        alert_msg(MSG_OUT_OF_MEMORY);
    ++must_alloc_count;
    return block;
}

void *must_realloc(void *block, uint64_t bytes) {
    void *resized = bytes > UINT32_MAX ? nullptr : std::realloc(block, bytes != 0 ? bytes : 1);
    if (resized == nullptr)
        alert_msg(MSG_OUT_OF_MEMORY);
    return resized;
}

uint64_t must_alloc_calls(void) {
    return must_alloc_count;
}

char *heap_readline(FILE *stream) {
    size_t capacity = kReadChunkBytes;
    size_t used = 0;
    auto *line = static_cast<char *>(must_alloc(static_cast<uint32_t>(capacity)));
    while (plat_fgets(line + used, static_cast<int>(capacity - used), stream) != nullptr) {
        used += std::strlen(line + used);
        if (used > 0 && line[used - 1] == '\n')
            return line;
        if (capacity - used < 2) {
            capacity *= 2;
            line = static_cast<char *>(must_realloc(line, capacity));
        }
    }
    if (used > 0)
        return line;
    std::free(line);
    return nullptr;
}

char *heap_concat(const char *a, const char *b) {
    size_t la = std::strlen(a);
    size_t lb = std::strlen(b);
    auto *joined = static_cast<char *>(must_alloc(static_cast<uint32_t>(la + lb + 1)));
    std::memcpy(joined, a, la);
    std::memcpy(joined + la, b, lb);
    return joined;
}

char *heap_append(char *heap_str, const char *b) {
    char *joined = heap_concat(heap_str, b);
    std::free(heap_str);
    return joined;
}

char *heap_vprintf(const char *fmt, va_list args) {
    auto *buf = static_cast<char *>(must_alloc(kHeapPrintfBytes));
    int n = std::vsnprintf(buf, kHeapPrintfBytes, fmt, args);
    if (n > static_cast<int>(kHeapPrintfBytes - 1))
        std::fputs("buffer overflow in vsnprintf", stderr);
    char *result = heap_copy(buf);
    std::free(buf);
    return result;
}

char *heap_printf(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    char *result = heap_vprintf(fmt, args);
    va_end(args);
    return result;
}
