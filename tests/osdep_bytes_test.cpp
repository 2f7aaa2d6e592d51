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

} // namespace

TEST(OsIntegerIoTest, WritersLayOutBothByteOrdersAndReadersGiveTheValuesBack) {
    Stream s;
    size_t written = os_write_u8(s.f, 0xA5) + os_write_u16(s.f, 0x1122) +
                     os_write_u16_be(s.f, 0x1122) + os_write_u32(s.f, 0x11223344) +
                     os_write_u32_be(s.f, 0x11223344) + os_write_u64(s.f, 0x1122334455667788) +
                     os_write_u64_be(s.f, 0x1122334455667788);
    EXPECT_EQ(written, 7u);
    EXPECT_EQ(s.bytes(), (std::vector<unsigned char>{0xA5, 0x22, 0x11, 0x11, 0x22, 0x44, 0x33, 0x22,
                                                     0x11, 0x11, 0x22, 0x33, 0x44, 0x88, 0x77, 0x66,
                                                     0x55, 0x44, 0x33, 0x22, 0x11, 0x11, 0x22, 0x33,
                                                     0x44, 0x55, 0x66, 0x77, 0x88}));
    uint8_t u8 = 0;
    uint16_t u16 = 0, u16be = 0;
    uint32_t u32 = 0, u32be = 0;
    uint64_t u64 = 0, u64be = 0;
    size_t read = os_read_u8(s.f, &u8) + os_read_u16(s.f, &u16) + os_read_u16_be(s.f, &u16be) +
                  os_read_u32(s.f, &u32) + os_read_u32_be(s.f, &u32be) + os_read_u64(s.f, &u64) +
                  os_read_u64_be(s.f, &u64be);
    EXPECT_EQ(read, 7u);
    EXPECT_EQ(u8, 0xA5);
    EXPECT_EQ(u16, 0x1122);
    EXPECT_EQ(u16be, 0x1122);
    EXPECT_EQ(u32, 0x11223344u);
    EXPECT_EQ(u32be, 0x11223344u);
    EXPECT_EQ(u64, 0x1122334455667788u);
    EXPECT_EQ(u64be, 0x1122334455667788u);
}

TEST(OsIntegerIoTest, ReadsAtEndOfInputGiveZeroAndKeepTheDestination) {
    Stream s;
    os_write_u8(s.f, 7);
    s.bytes();
    uint16_t too_long = 0x5555;
    EXPECT_EQ(os_read_u16_be(s.f, &too_long), 0u);
    uint64_t nothing = 9;
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
