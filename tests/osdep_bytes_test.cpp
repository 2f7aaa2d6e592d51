// Fixed-size integers on streams, character case and 16-bit strings.
#include "common/osdep.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr uint64_t kValue = 0x1122334455667788;

// One writer and reader pair: the bytes written for kValue cut to the width,
// the value read back, and a stream one byte short that gives 0 items and,
// once at its end, leaves the destination as it was.
template <typename T>
void check_pair(size_t (*write)(FILE *, T), size_t (*read)(FILE *, T *), const std::string &bytes) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    FILE *f = std::tmpfile(), *cut = std::tmpfile();
    EXPECT_EQ(write(f, T(kValue)), 1u);
    std::string written(16, '\0');
    std::rewind(f);
    written.resize(std::fread(written.data(), 1, written.size(), f));
    EXPECT_EQ(written, bytes);
    std::rewind(f);
    T back = 0, kept = 9;
    EXPECT_EQ(read(f, &back), 1u);
    EXPECT_EQ(back, T(kValue));
    std::fwrite(bytes.data(), 1, bytes.size() - 1, cut);
    std::rewind(cut);
    EXPECT_EQ(read(cut, &kept), 0u);
    kept = 9;
    EXPECT_EQ(read(cut, &kept), 0u);
    EXPECT_EQ(kept, T(9));
    std::fclose(f);
    std::fclose(cut);
}

} // namespace

TEST(OsIntegerIoTest, WritersLayOutTheByteOrderAndReadersGiveTheValueBackOrKeepIt) {
    check_pair(os_write_u8, os_read_u8, "\x88");
    check_pair(os_write_u16, os_read_u16, "\x88\x77");
    check_pair(os_write_u16_be, os_read_u16_be, "\x77\x88");
    check_pair(os_write_u32, os_read_u32, "\x88\x77\x66\x55");
    check_pair(os_write_u32_be, os_read_u32_be, "\x55\x66\x77\x88");
    check_pair(os_write_u64, os_read_u64, "\x88\x77\x66\x55\x44\x33\x22\x11");
    check_pair(os_write_u64_be, os_read_u64_be, "\x11\x22\x33\x44\x55\x66\x77\x88");
}

TEST(OsIntegerIoDeathTest, NullStreamOrDestinationStopsTheProgram) {
    uint32_t value;
    EXPECT_DEATH(os_read_u32(nullptr, &value), "Assertion failed: f != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(os_write_u16_be(nullptr, 1), "Assertion failed: f != \\(\\(void \\*\\)0\\)");
    FILE *f = std::tmpfile();
    EXPECT_DEATH(os_read_u64_be(f, nullptr), "Assertion failed: val != \\(\\(void \\*\\)0\\)");
    std::fclose(f);
}

TEST(OsStringTest, CaseChangesInPlaceAndSixteenBitStringsCopyCompareAndLowerCase) {
    char text[] = "Mixed Case 123 _x_";
    EXPECT_EQ(os_strlower(text), text);
    EXPECT_STREQ(text, "mixed case 123 _x_");
    EXPECT_EQ(os_strupper(text), text);
    EXPECT_STREQ(text, "MIXED CASE 123 _X_");
    EXPECT_TRUE(os_strlower(nullptr) == nullptr && os_strupper(nullptr) == nullptr);
    const uint16_t hello[] = {'H', 'e', 'L', 'l', 'O', 0}, lower[] = {'h', 'e', 'l', 'l', 'o', 0};
    const uint16_t prefix[] = {'h', 'e', 0}, high[] = {0xFFFF, 0};
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
