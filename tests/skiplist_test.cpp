// The skip list: order, lookups, clashes, tracking report and dumps.
#include "common/skiplist.h"
#include "common/vector.h"
#include "common/vqdebug.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void *iv(uintptr_t n) {
    return reinterpret_cast<void *>(n);
}

uintptr_t un(const void *p) {
    return reinterpret_cast<uintptr_t>(p);
}

std::vector<uintptr_t> numbers(vec *v) {
    std::vector<uintptr_t> out;
    for (uint32_t i = 0; i < vec_size(v); ++i)
        out.push_back(un(vec_get(v, i)));
    vec_destroy(v);
    return out;
}

// A list of integer keys 30, 10, 20 with values key + 1000.
class IntSkiplist : public ::testing::Test {
  protected:
    void SetUp() override {
        list_ = skiplist_create(nullptr, nullptr, nullptr, __FILE__, __LINE__);
        for (uintptr_t k : {30, 10, 20})
            ASSERT_EQ(skiplist_insert(list_, iv(k), iv(k + 1000), __FILE__, __LINE__), 1);
    }
    void TearDown() override { skiplist_destroy(list_); }
    skiplist *list_ = nullptr;
};

TEST_F(IntSkiplist, KeysAndValuesComeOutInOrder) {
    EXPECT_EQ(numbers(skiplist_keys(list_)), (std::vector<uintptr_t>{10, 20, 30}));
    EXPECT_EQ(numbers(skiplist_values(list_)), (std::vector<uintptr_t>{1010, 1020, 1030}));
    EXPECT_EQ(un(skiplist_first(list_)), 1010u);
    EXPECT_EQ(skiplist_count(list_), 3u);
}

struct NeighbourCase {
    uintptr_t key;
    uintptr_t floor;
    uintptr_t next;
};

class SkiplistNeighbours : public IntSkiplist,
                           public ::testing::WithParamInterface<NeighbourCase> {};

TEST_P(SkiplistNeighbours, FloorAndNextLookups) {
    const NeighbourCase &c = GetParam();
    EXPECT_EQ(un(skiplist_lookup_floor(list_, iv(c.key))), c.floor) << c.key;
    EXPECT_EQ(un(skiplist_lookup_next(list_, iv(c.key))), c.next) << c.key;
}

// 0 stands for "no entry" (null).
INSTANTIATE_TEST_SUITE_P(Table, SkiplistNeighbours,
                         ::testing::Values(NeighbourCase{5, 0, 1010}, NeighbourCase{10, 1010, 1020},
                                           NeighbourCase{20, 1020, 1030},
                                           NeighbourCase{25, 1020, 1030},
                                           NeighbourCase{30, 1030, 0}, NeighbourCase{99, 1030, 0}));

TEST_F(IntSkiplist, PresentKeyIsRefusedAndKeepsItsValue) {
    EXPECT_EQ(skiplist_insert(list_, iv(20), iv(1), __FILE__, __LINE__), 0);
    EXPECT_EQ(un(skiplist_lookup(list_, iv(20))), 1020u);
    EXPECT_EQ(skiplist_count(list_), 3u);
}

TEST_F(IntSkiplist, RemoveReturnsTheValueAndUnlinks) {
    EXPECT_EQ(un(skiplist_remove(list_, iv(20))), 1020u);
    EXPECT_EQ(skiplist_remove(list_, iv(20)), nullptr);
    EXPECT_EQ(skiplist_haskey(list_, iv(20)), 0);
    EXPECT_EQ(numbers(skiplist_keys(list_)), (std::vector<uintptr_t>{10, 30}));
}

TEST_F(IntSkiplist, CopyHoldsTheSameEntries) {
    skiplist *copy = skiplist_copy(list_);
    EXPECT_EQ(numbers(skiplist_keys(copy)), (std::vector<uintptr_t>{10, 20, 30}));
    skiplist_destroy(copy);
}

TEST_F(IntSkiplist, ClearEmptiesAndLeavesTheListUsable) {
    skiplist_clear(list_);
    EXPECT_EQ(skiplist_count(list_), 0u);
    EXPECT_EQ(skiplist_first(list_), nullptr);
    EXPECT_EQ(skiplist_insert(list_, iv(4), iv(5), __FILE__, __LINE__), 1);
    EXPECT_EQ(un(skiplist_lookup(list_, iv(4))), 5u);
}

int collect(void *context, const void *key, void *value) {
    static_cast<std::vector<uintptr_t> *>(context)->push_back(un(key) * 10000 + un(value));
    return 1;
}

TEST_F(IntSkiplist, ForeachVisitsInOrderAndIgnoresResults) {
    std::vector<uintptr_t> seen;
    EXPECT_EQ(skiplist_foreach(list_, &seen, collect), 0);
    EXPECT_EQ(seen, (std::vector<uintptr_t>{101010, 201020, 301030}));
}

TEST(Skiplist, HaskeyOfNullListIsZero) {
    EXPECT_EQ(skiplist_haskey(nullptr, iv(1)), 0);
}

TEST(Skiplist, ManyKeysStayOrderedThroughInsertsAndRemoves) {
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

TEST(Skiplist, StringHashDoublesOverEveryCharacterAndTheTerminator) {
    EXPECT_EQ(skiplist_hash_string(""), 0u);
    EXPECT_EQ(skiplist_hash_string("ab"), ((97u * 2) + 98) * 2);
    EXPECT_EQ(skiplist_hash_string("\xff"), static_cast<uint32_t>(-2));
}

// Tracked lists write into the debug-out file; each test gets a fresh one.
class TrackedSkiplist : public ::testing::Test {
  protected:
    void SetUp() override {
        out_ = std::tmpfile();
        gFile = out_;
        gDebugFlags = 1;
        skiplist_track(1);
    }
    void TearDown() override {
        skiplist_track(0);
        gDebugFlags = 0;
        gFile = nullptr;
        std::fclose(out_);
    }
    std::string out() {
        std::fflush(out_);
        std::rewind(out_);
        std::string text;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, out_)) > 0)
            text.append(buf, n);
        return text;
    }
    // The newest report row of the list made at line, or "".
    std::string report_row(int line) {
        skiplist_report();
        std::string text = out();
        std::string site = std::string(__FILE__) + ":" + std::to_string(line) + "    ";
        size_t at = text.rfind(site);
        if (at == std::string::npos)
            return "";
        size_t start = text.rfind('\n', at) + 1;
        return text.substr(start, text.find('\n', at) - start);
    }
    FILE *out_ = nullptr;
};

uint32_t seven(const void *) {
    return 7;
}

int32_t string_order(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

TEST_F(TrackedSkiplist, ConstantHashOrdersByComparisonAndCountsClashes) {
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
    EXPECT_NE(out().find("caller.c:5          > SKIPLIST @ "), std::string::npos);
    skiplist_destroy(list);
}

TEST_F(TrackedSkiplist, KeyZeroFirstClashesWithTheHead) {
    int line = __LINE__ + 1;
    skiplist *list = skiplist_create(nullptr, nullptr, nullptr, __FILE__, line);
    skiplist_insert(list, iv(0), iv(9), "c.c", 1);
    skiplist_insert(list, iv(5), iv(9), "c.c", 2);
    EXPECT_NE(report_row(line).find("    2    1/2    1    Y    Y    Y"), std::string::npos);
    skiplist_destroy(list);
    EXPECT_NE(report_row(line).find("    Y    Y    n"), std::string::npos);
}

TEST_F(TrackedSkiplist, ReportListsMostClashesFirst) {
    int quiet_line = __LINE__ + 1;
    skiplist *quiet = skiplist_create(nullptr, nullptr, nullptr, __FILE__, quiet_line);
    int busy_line = __LINE__ + 1;
    skiplist *busy = skiplist_create(seven, string_order, nullptr, __FILE__, busy_line);
    skiplist_insert(quiet, iv(1), iv(1), "c.c", 1);
    skiplist_insert(busy, "a", nullptr, "c.c", 1);
    skiplist_insert(busy, "b", nullptr, "c.c", 1);
    skiplist_report();
    std::string text = out();
    size_t header = text.find("# Skiplist Master List:\n# ptr    file:line    max_usage    "
                              "clashes/inserts    max_chain    voidcmp    voidhash    alive\n");
    ASSERT_NE(header, std::string::npos) << text;
    size_t busy_at = text.find(":" + std::to_string(busy_line) + "    ", header);
    size_t quiet_at = text.find(":" + std::to_string(quiet_line) + "    ", header);
    EXPECT_LT(busy_at, quiet_at);
    skiplist_destroy(quiet);
    skiplist_destroy(busy);
}

const char *letter(const void *key) {
    return key == nullptr ? "NULL" : static_cast<const char *>(key);
}

TEST_F(TrackedSkiplist, DumpWritesHeadAndEveryNode) {
    skiplist *list = skiplist_create(skiplist_hash_string, string_order, letter, __FILE__, 1);
    skiplist_insert(list, "k", nullptr, "c.c", 1);
    std::string before = out();
    skiplist_dump(list);
    std::string dump = out().substr(before.size());
    char hash[16];
    std::snprintf(hash, sizeof hash, "%X", skiplist_hash_string("k"));
    EXPECT_EQ(dump.rfind("HEAD(   1)\nKEY: NULL\n    number: ", 0), 0u) << dump;
    size_t node = dump.find("KEY: k\n    number: ");
    ASSERT_NE(node, std::string::npos) << dump;
    std::string head_part = dump.substr(0, node);
    std::string node_part = dump.substr(node);
    EXPECT_NE(head_part.find("\n    hash:   0\n    order:  "), std::string::npos) << dump;
    EXPECT_NE(head_part.find("        0) k\n"), std::string::npos) << dump;
    EXPECT_NE(node_part.find(std::string("\n    hash:   ") + hash + "\n"), std::string::npos);
    EXPECT_NE(node_part.find("        0) Nil\n"), std::string::npos) << dump;
    skiplist_destroy(list);
}

using SkiplistDeathTest = TrackedSkiplist;

TEST_F(SkiplistDeathTest, ReportWithoutTrackedListsSaysNone) {
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
// 1's 50) and the node (10): the order check must catch it.
void insert_out_of_order() {
    gFile = stderr;
    skiplist *list = skiplist_create(scripted, nullptr, nullptr, "made.c", 3);
    scripted_hashes = {50, 50, 60, 10};
    skiplist_insert(list, iv(1), nullptr, "first.c", 1);
    skiplist_insert(list, iv(2), nullptr, "second.c", 2);
}

TEST_F(SkiplistDeathTest, OrderCheckDumpsTheListAndAborts) {
    EXPECT_DEATH(insert_out_of_order(),
                 "SKIPLIST Node out-of-order: @ second.c:2\nKEY: 0x2\n(.|\n)*"
                 "List AFTER:\nHEAD\\(   2\\)(.|\n)*Assertion failed: 0");
}

} // namespace
