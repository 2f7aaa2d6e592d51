// The skip list: order, lookups, clashes, tracking report and dumps.
#include "common/skiplist.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "vqdebug_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using vqdebug_test::read_file;

namespace {

void *iv(uintptr_t n) {
    return reinterpret_cast<void *>(n);
}

uintptr_t un(const void *p) {
    return reinterpret_cast<uintptr_t>(p);
}

// Every list is tracked and writes into a fresh debug-out file.
class SkiplistTest : public vqdebug_test::DebugDirTest {
  protected:
    void SetUp() override {
        DebugDirTest::SetUp();
        gFile = std::fopen("out.txt", "w");
        gDebugFlags = 1;
        skiplist_track(1);
    }
    void TearDown() override {
        skiplist_track(0);
        DebugDirTest::TearDown();
    }
    static std::vector<uintptr_t> numbers(vec *v) {
        std::vector<uintptr_t> out;
        for (uint32_t i = 0; i < vec_size(v); ++i)
            out.push_back(un(vec_get(v, i)));
        vec_destroy(v);
        return out;
    }
    // A list of integer keys 30, 10, 20 with values key + 1000.
    static skiplist *thirty_ten_twenty() {
        skiplist *list = skiplist_create(nullptr, nullptr, nullptr, __FILE__, __LINE__);
        for (uintptr_t k : {30, 10, 20})
            skiplist_insert(list, iv(k), iv(k + 1000), __FILE__, __LINE__);
        return list;
    }
    // The newest report row of the list made at line, or "".
    static std::string report_row(int line) {
        skiplist_report();
        std::string text = read_file("out.txt");
        size_t at = text.rfind(std::string(__FILE__) + ":" + std::to_string(line) + "    ");
        if (at == std::string::npos)
            return "";
        size_t start = text.rfind('\n', at) + 1;
        return text.substr(start, text.find('\n', at) - start);
    }
};

TEST_F(SkiplistTest, EntriesComeOutInKeyOrderAndNeighboursAreFound) {
    skiplist *list = thirty_ten_twenty();
    EXPECT_EQ(numbers(skiplist_keys(list)), (std::vector<uintptr_t>{10, 20, 30}));
    EXPECT_EQ(numbers(skiplist_values(list)), (std::vector<uintptr_t>{1010, 1020, 1030}));
    EXPECT_EQ(un(skiplist_first(list)), 1010u);
    // key, floor value, next value; 0 stands for "no entry" (null).
    const uintptr_t neighbours[][3] = {{5, 0, 1010},     {10, 1010, 1020}, {20, 1020, 1030},
                                       {25, 1020, 1030}, {30, 1030, 0},    {99, 1030, 0}};
    for (const auto &row : neighbours) {
        EXPECT_EQ(un(skiplist_lookup_floor(list, iv(row[0]))), row[1]) << row[0];
        EXPECT_EQ(un(skiplist_lookup_next(list, iv(row[0]))), row[2]) << row[0];
    }
    EXPECT_EQ(skiplist_insert(list, iv(20), iv(1), __FILE__, __LINE__), 0);
    EXPECT_EQ(un(skiplist_lookup(list, iv(20))), 1020u) << "a present key keeps its value";
    EXPECT_EQ(skiplist_count(list), 3u);
    EXPECT_EQ(skiplist_haskey(nullptr, iv(1)), 0);
    skiplist_destroy(list);
}

int collect(void *context, const void *key, void *value) {
    static_cast<std::vector<uintptr_t> *>(context)->push_back(un(key) * 10000 + un(value));
    return 1;
}

TEST_F(SkiplistTest, CopyIsIndependentAndRemoveAndClearLeaveAUsableList) {
    skiplist *list = thirty_ten_twenty();
    skiplist *copy = skiplist_copy(list);
    EXPECT_EQ(un(skiplist_remove(list, iv(20))), 1020u);
    EXPECT_EQ(skiplist_remove(list, iv(20)), nullptr);
    EXPECT_EQ(skiplist_haskey(list, iv(20)), 0);
    std::vector<uintptr_t> seen;
    EXPECT_EQ(skiplist_foreach(list, &seen, collect), 0);
    EXPECT_EQ(seen, (std::vector<uintptr_t>{101010, 301030}));
    EXPECT_EQ(numbers(skiplist_keys(copy)), (std::vector<uintptr_t>{10, 20, 30}));
    skiplist_destroy(copy);
    skiplist_clear(list);
    EXPECT_EQ(skiplist_count(list), 0u);
    EXPECT_EQ(skiplist_first(list), nullptr);
    EXPECT_EQ(skiplist_insert(list, iv(4), iv(5), __FILE__, __LINE__), 1);
    EXPECT_EQ(un(skiplist_lookup(list, iv(4))), 5u);
}

TEST_F(SkiplistTest, ManyKeysStayOrderedThroughInsertsAndRemoves) {
    skiplist *list = skiplist_create(nullptr, nullptr, nullptr, __FILE__, __LINE__);
    std::vector<uintptr_t> expected;
    for (uintptr_t i = 0; i < 2000; ++i) {
        uintptr_t k = (i * 7919) % 2000 + 1;
        skiplist_insert(list, iv(k), iv(k), __FILE__, __LINE__);
    }
    for (uintptr_t k = 1; k <= 2000; ++k) {
        if (k % 3 == 0)
            EXPECT_EQ(un(skiplist_remove(list, iv(k))), k);
        else
            expected.push_back(k);
    }
    EXPECT_EQ(numbers(skiplist_keys(list)), expected);
    skiplist_destroy(list);
}

TEST_F(SkiplistTest, StringHashDoublesOverEveryCharacterAndTheTerminator) {
    EXPECT_EQ(skiplist_hash_string(""), 0u);
    EXPECT_EQ(skiplist_hash_string("ab"), ((97u * 2) + 98) * 2);
    EXPECT_EQ(skiplist_hash_string("\xff"), static_cast<uint32_t>(-2));
}

uint32_t seven(const void *) {
    return 7;
}

int32_t string_order(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

TEST_F(SkiplistTest, ConstantHashOrdersByComparisonAndReportsClashesFirst) {
    int quiet_line = __LINE__ + 1;
    skiplist *quiet = skiplist_create(nullptr, nullptr, nullptr, __FILE__, quiet_line);
    skiplist_insert(quiet, iv(1), iv(1), "c.c", 1);
    int line = __LINE__ + 1;
    skiplist *list = skiplist_create(seven, string_order, nullptr, __FILE__, line);
    for (const char *k : {"m", "c", "x", "a"})
        skiplist_insert(list, k, const_cast<char *>(k), "caller.c", 5);
    vec *keys = skiplist_keys(list);
    std::string order;
    for (uint32_t i = 0; i < vec_size(keys); ++i)
        order += static_cast<const char *>(vec_get(keys, i));
    vec_destroy(keys);
    EXPECT_EQ(order, "acmx");
    EXPECT_EQ(un(skiplist_lookup_floor(list, "d")), un("c"));
    std::string row = report_row(line);
    EXPECT_NE(row.find("    4    3/4    5    n    n    Y"), std::string::npos) << row;
    std::string text = read_file("out.txt");
    EXPECT_NE(text.find("caller.c:5          > SKIPLIST @ "), std::string::npos);
    size_t header = text.find("# Skiplist Master List:\n# ptr    file:line    max_usage    "
                              "clashes/inserts    max_chain    voidcmp    voidhash    alive\n");
    ASSERT_NE(header, std::string::npos) << text;
    EXPECT_LT(text.find(":" + std::to_string(line) + "    ", header),
              text.find(":" + std::to_string(quiet_line) + "    ", header));
    skiplist_destroy(list);
    skiplist_destroy(quiet);
}

TEST_F(SkiplistTest, KeyZeroFirstClashesWithTheHead) {
    int line = __LINE__ + 1;
    skiplist *list = skiplist_create(nullptr, nullptr, nullptr, __FILE__, line);
    skiplist_insert(list, iv(0), iv(9), "c.c", 1);
    skiplist_insert(list, iv(5), iv(9), "c.c", 2);
    EXPECT_NE(report_row(line).find("    2    1/2    1    Y    Y    Y"), std::string::npos);
    skiplist_destroy(list);
    EXPECT_NE(report_row(line).find("    Y    Y    n"), std::string::npos);
}

TEST(SkiplistDeathTest, ReportWithoutTrackedListsSaysNone) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            gFile = stderr;
            skiplist_report();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "^# Skiplist Master List:\n# None.\n$");
}

// A hash that answers from a script, so that a key's hash can change
// between the search and the node's creation.
std::vector<uint32_t> scripted_hashes;
uint32_t scripted(const void *) {
    uint32_t h = scripted_hashes.front();
    scripted_hashes.erase(scripted_hashes.begin());
    return h;
}

// Inserts key 2 with a hash that changes between the search (60, after key
// 1's 50) and the node (10, shown as A): the order check must catch it and
// dump the node and then the list from its head.
void insert_out_of_order() {
    gFile = stderr;
    skiplist_track(1);
    skiplist *list = skiplist_create(scripted, nullptr, nullptr, "made.c", 3);
    scripted_hashes = {50, 50, 60, 10};
    skiplist_insert(list, iv(1), nullptr, "first.c", 1);
    skiplist_insert(list, iv(2), nullptr, "second.c", 2);
}

TEST(SkiplistDeathTest, OrderCheckDumpsTheListAndAborts) {
    EXPECT_DEATH(insert_out_of_order(),
                 "SKIPLIST Node out-of-order: @ second.c:2\nKEY: 0x2\n    number: [0-9]+\n"
                 "    hash:   A\n    order:  [0-9]+\n(        [0-9]+\\) Nil\n)+List AFTER:\n"
                 "HEAD\\(   2\\)\nKEY: NULL\n    number: [0-9]+\n    hash:   0\n(.|\n)*"
                 "KEY: 0x1\n(.|\n)*Assertion failed: 0");
}

} // namespace
