// Fixed-size integers on streams, character case and 16-bit strings.
#include "common/osdep.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// A temporary stream, closed at the end of the test.
struct Stream {
    FILE *f = std::tmpfile();
    ~Stream() { std::fclose(f); }

    // Everything written so far; the stream is left at its start.
    std::vector<unsigned char> bytes() {
        std::fflush(f);
        std::rewind(f);
        std::vector<unsigned char> out;
        for (int c; (c = std::fgetc(f)) != EOF;)
            out.push_back(static_cast<unsigned char>(c));
        std::rewind(f);
        return out;
    }
};

// The layer's writer and reader for T, widened to one signature.
template <typename T, size_t (*write)(FILE *, T)> size_t write_as(FILE *f, uint64_t value) {
    return write(f, static_cast<T>(value));
}
template <typename T, size_t (*read)(FILE *, T *)> size_t read_as(FILE *f, uint64_t *value) {
    T item = static_cast<T>(*value);
    size_t count = read(f, &item);
    *value = item;
    return count;
}
// clang-format off
#define ROW(T, s, ...) {#s, write_as<T, os_write_##s>, read_as<T, os_read_##s>, {__VA_ARGS__}}
// clang-format on

} // namespace

TEST(OsIntegerIoTest, WritersLayOutTheByteOrderAndReadersGiveTheValueBackOrKeepIt) {
    const struct {
        const char *name;
        size_t (*write)(FILE *, uint64_t);
        size_t (*read)(FILE *, uint64_t *);
        std::vector<unsigned char> bytes; // of 0x1122334455667788 cut to the width
    } rows[] = {ROW(uint8_t, u8, 0x88),
                ROW(uint16_t, u16, 0x88, 0x77),
                ROW(uint16_t, u16_be, 0x77, 0x88),
                ROW(uint32_t, u32, 0x88, 0x77, 0x66, 0x55),
                ROW(uint32_t, u32_be, 0x55, 0x66, 0x77, 0x88),
                ROW(uint64_t, u64, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11),
                ROW(uint64_t, u64_be, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88)};
    const uint64_t value = 0x1122334455667788;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Stream full, cut;
        EXPECT_EQ(row.write(full.f, value), 1u);
        EXPECT_EQ(full.bytes(), row.bytes);
        uint64_t back = 0;
        EXPECT_EQ(row.read(full.f, &back), 1u);
        EXPECT_EQ(back, value & (~uint64_t{0} >> (64 - 8 * row.bytes.size())));
        std::fwrite(row.bytes.data(), 1, row.bytes.size() - 1, cut.f); // one byte short
        cut.bytes();
        uint64_t kept = 9;
        EXPECT_EQ(row.read(cut.f, &kept), 0u);
        kept = 9;
        EXPECT_EQ(row.read(cut.f, &kept), 0u); // at the end: the destination is kept
        EXPECT_EQ(kept, 9u);
    }
}

TEST(OsIntegerIoDeathTest, NullStreamOrDestinationStopsTheProgram) {
    uint32_t value;
    EXPECT_DEATH(os_read_u32(nullptr, &value), "Assertion failed: f != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(os_write_u16_be(nullptr, 1), "Assertion failed: f != \\(\\(void \\*\\)0\\)");
    Stream s;
    EXPECT_DEATH(os_read_u64_be(s.f, nullptr), "Assertion failed: val != \\(\\(void \\*\\)0\\)");
}

TEST(OsCaseTest, ChangesLettersInPlaceAndPassesNullThrough) {
    char text[] = "Mixed Case 123 _x_";
    EXPECT_EQ(os_strlower(text), text);
    EXPECT_STREQ(text, "mixed case 123 _x_");
    EXPECT_EQ(os_strupper(text), text);
    EXPECT_STREQ(text, "MIXED CASE 123 _X_");
    EXPECT_EQ(os_strlower(nullptr), nullptr);
    EXPECT_EQ(os_strupper(nullptr), nullptr);
}

TEST(OsWideStringTest, CopiesComparesAndLowerCases) {
    const uint16_t hello[] = {'H', 'e', 'L', 'l', 'O', 0};
    const uint16_t lower[] = {'h', 'e', 'l', 'l', 'o', 0};
    const uint16_t prefix[] = {'h', 'e', 0};
    const uint16_t high[] = {0xFFFF, 0};
    uint16_t buffer[8];
    EXPECT_EQ(os_wcslen(hello), 5u);
    EXPECT_EQ(os_wcscpy(buffer, hello), buffer);
    EXPECT_EQ(os_wcslower(buffer), buffer);
    EXPECT_EQ(os_wcscmp(buffer, lower), 0);
    EXPECT_EQ(os_wcscmp(prefix, lower), -1);
    EXPECT_EQ(os_wcscmp(lower, prefix), 1);
    EXPECT_EQ(os_wcscmp(high, lower), 1); // units compare unsigned
    uint16_t *copy = os_wcsdup(high);
    EXPECT_EQ(os_wcscmp(copy, high), 0);
    std::free(copy);
}
