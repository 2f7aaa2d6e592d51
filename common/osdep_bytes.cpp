// osdep: fixed-size integers on streams, character case and 16-bit strings.
#include "common/osdep.h"

#include "common/stringcache.h"
#include "common/vq4assert.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// Reads one value in host order, then reverses its bytes when swap is set.
template <typename T> size_t read_value(FILE *f, T *val, bool swap) {
    VQ4_ASSERT(f != nullptr, "f != ((void *)0)");
    VQ4_ASSERT(val != nullptr, "val != ((void *)0)");
    size_t n = std::fread(val, sizeof(T), 1, f);
    if (n == 1 && swap) {
        auto *bytes = reinterpret_cast<unsigned char *>(val);
        std::reverse(bytes, bytes + sizeof(T));
    }
    return n;
}

// Writes one value in host order, or with its bytes reversed when swap is set.
template <typename T> size_t write_value(FILE *f, T val, bool swap) {
    VQ4_ASSERT(f != nullptr, "f != ((void *)0)");
    if (swap) {
        auto *bytes = reinterpret_cast<unsigned char *>(&val);
        std::reverse(bytes, bytes + sizeof(T));
    }
    return std::fwrite(&val, sizeof(T), 1, f);
}

} // namespace

size_t os_read_u8(FILE *f, uint8_t *val) {
    return read_value(f, val, false);
}
size_t os_read_u16(FILE *f, uint16_t *val) {
    return read_value(f, val, false);
}
size_t os_read_u16_be(FILE *f, uint16_t *val) {
    return read_value(f, val, true);
}
size_t os_read_u32(FILE *f, uint32_t *val) {
    return read_value(f, val, false);
}
size_t os_read_u32_be(FILE *f, uint32_t *val) {
    return read_value(f, val, true);
}
size_t os_read_u64(FILE *f, uint64_t *val) {
    return read_value(f, val, false);
}
size_t os_read_u64_be(FILE *f, uint64_t *val) {
    return read_value(f, val, true);
}
size_t os_write_u8(FILE *f, uint8_t val) {
    return write_value(f, val, false);
}
size_t os_write_u16(FILE *f, uint16_t val) {
    return write_value(f, val, false);
}
size_t os_write_u16_be(FILE *f, uint16_t val) {
    return write_value(f, val, true);
}
size_t os_write_u32(FILE *f, uint32_t val) {
    return write_value(f, val, false);
}
size_t os_write_u32_be(FILE *f, uint32_t val) {
    return write_value(f, val, true);
}
size_t os_write_u64(FILE *f, uint64_t val) {
    return write_value(f, val, false);
}
size_t os_write_u64_be(FILE *f, uint64_t val) {
    return write_value(f, val, true);
}

char *os_strlower(char *s) {
    for (char *p = s; p != nullptr && *p != '\0'; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (std::isupper(c))
            *p = static_cast<char>(std::tolower(c));
    }
    return s;
}

char *os_strupper(char *s) {
    for (char *p = s; p != nullptr && *p != '\0'; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (std::islower(c))
            *p = static_cast<char>(std::toupper(c));
    }
    return s;
}

size_t os_wcslen(const uint16_t *s) {
    size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

uint16_t *os_wcscpy(uint16_t *dst, const uint16_t *src) {
    std::memcpy(dst, src, (os_wcslen(src) + 1) * sizeof(uint16_t));
    return dst;
}

uint16_t *os_wcsdup(const uint16_t *s) {
    size_t bytes = (os_wcslen(s) + 1) * sizeof(uint16_t);
    auto *copy = static_cast<uint16_t *>(must_alloc(static_cast<uint32_t>(bytes)));
    std::memcpy(copy, s, bytes);
    return copy;
}

int os_wcscmp(const uint16_t *a, const uint16_t *b) {
    while (*a != 0 && *a == *b)
        ++a, ++b;
    return *a > *b ? 1 : *a < *b ? -1 : 0;
}

uint16_t *os_wcslower(uint16_t *s) {
    for (uint16_t *p = s; *p != 0; ++p) {
        if (*p < 256)
            *p = static_cast<uint16_t>(std::tolower(*p));
    }
    return s;
}
