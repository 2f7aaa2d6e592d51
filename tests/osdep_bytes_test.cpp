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

using Bytes = std::vector<unsigned char>;

} // namespace

TEST(OsIntegerIoTest, WritersLayOutBothByteOrders) {
    struct Row {
        size_t (*write)(FILE *);
        Bytes expected;
    } rows[] = {
        {[](FILE *f) { return os_write_u8(f, 0xA5); }, {0xA5}},
        {[](FILE *f) { return os_write_u16(f, 0x1122); }, {0x22, 0x11}},
        {[](FILE *f) { return os_write_u16_be(f, 0x1122); }, {0x11, 0x22}},
        {[](FILE *f) { return os_write_u32(f, 0x11223344); }, {0x44, 0x33, 0x22, 0x11}},
        {[](FILE *f) { return os_write_u32_be(f, 0x11223344); }, {0x11, 0x22, 0x33, 0x44}},
        {[](FILE *f) { return os_write_u64(f, 0x1122334455667788); },
         {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}},
        {[](FILE *f) { return os_write_u64_be(f, 0x1122334455667788); },
         {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}},
    };
    for (const Row &row : rows) {
        Stream s;
        EXPECT_EQ(row.write(s.f), 1u);
        EXPECT_EQ(s.bytes(), row.expected);
    }
}

TEST(OsIntegerIoTest, ReadersGiveBackWhatTheWritersWrote) {
    Stream s;
    os_write_u8(s.f, 0xFE);
    os_write_u16(s.f, 0xBEEF);
    os_write_u16_be(s.f, 0xBEEF);
    os_write_u32(s.f, 0xDEADBEEF);
    os_write_u32_be(s.f, 0xDEADBEEF);
    os_write_u64(s.f, 0x0123456789ABCDEF);
    os_write_u64_be(s.f, 0x0123456789ABCDEF);
    s.bytes();

    uint8_t u8 = 0;
    uint16_t u16 = 0, u16be = 0;
    uint32_t u32 = 0, u32be = 0;
    uint64_t u64 = 0, u64be = 0;
    EXPECT_EQ(os_read_u8(s.f, &u8), 1u);
    EXPECT_EQ(os_read_u16(s.f, &u16), 1u);
    EXPECT_EQ(os_read_u16_be(s.f, &u16be), 1u);
    EXPECT_EQ(os_read_u32(s.f, &u32), 1u);
    EXPECT_EQ(os_read_u32_be(s.f, &u32be), 1u);
    EXPECT_EQ(os_read_u64(s.f, &u64), 1u);
    EXPECT_EQ(os_read_u64_be(s.f, &u64be), 1u);
    EXPECT_EQ(u8, 0xFE);
    EXPECT_EQ(u16, 0xBEEF);
    EXPECT_EQ(u16be, 0xBEEF);
    EXPECT_EQ(u32, 0xDEADBEEFu);
    EXPECT_EQ(u32be, 0xDEADBEEFu);
    EXPECT_EQ(u64, 0x0123456789ABCDEFu);
    EXPECT_EQ(u64be, 0x0123456789ABCDEFu);
}

TEST(OsIntegerIoTest, ReadsAtEndOfInputGiveZeroAndKeepTheDestination) {
    Stream s;
    os_write_u8(s.f, 7);
    s.bytes();
    uint16_t too_long = 0x5555;
    uint64_t nothing = 9;
    EXPECT_EQ(os_read_u16_be(s.f, &too_long), 0u);
    EXPECT_EQ(os_read_u64(s.f, &nothing), 0u);
    EXPECT_EQ(nothing, 9u);
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
    const uint16_t wide[] = {'a', 0x4E2D, 0};
    uint16_t buffer[8];
    EXPECT_EQ(os_wcslen(hello), 5u);
    const uint16_t empty[] = {0};
    EXPECT_EQ(os_wcslen(empty), 0u);
    EXPECT_EQ(os_wcscpy(buffer, hello), buffer);
    EXPECT_EQ(os_wcscmp(buffer, hello), 0);
    uint16_t *copy = os_wcsdup(wide);
    EXPECT_EQ(os_wcscmp(copy, wide), 0);
    EXPECT_EQ(os_wcslower(buffer), buffer);
    const uint16_t lower[] = {'h', 'e', 'l', 'l', 'o', 0};
    EXPECT_EQ(os_wcscmp(buffer, lower), 0);
    EXPECT_EQ(os_wcscmp(wide, lower), -1);
    EXPECT_EQ(os_wcscmp(lower, wide), 1);
    const uint16_t prefix[] = {'h', 'e', 0};
    EXPECT_EQ(os_wcscmp(prefix, lower), -1);
    EXPECT_EQ(os_wcscmp(lower, prefix), 1);
    const uint16_t high[] = {0xFFFF, 0};
    const uint16_t low[] = {0x0001, 0};
    EXPECT_EQ(os_wcscmp(high, low), 1);
    std::free(copy);
}
