// The skip list: order, lookups, clashes, tracking report and dumps.
#include "common/skiplist.h"
#include "common/vector.h"
#include "tests/support.h"

#include <cstring>
#include <vector>

using namespace test_support;

namespace {

void *iv(uintptr_t n) {
    return reinterpret_cast<void *>(n);
}

uintptr_t un(const void *p) {
    return reinterpret_cast<uintptr_t>(p);
}

// Every list is tracked and writes into a fresh debug-out file.
class SkiplistTest : public DebugDirTest {
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
    // The newest report row of the list made at line, or "".
    static std::string report_row(int line) {
        skiplist_report();
        std::string text = read_text("out.txt");
        size_t at = text.rfind(std::string(__FILE__) + ":" + std::to_string(line) + "    ");
        if (at == std::string::npos)
            return "";
        size_t start = text.rfind('\n', at) + 1;
        return text.substr(start, text.find('\n', at) - start);
    }
};

int collect(void *context, const void *key, void *value) {
    static_cast<std::vector<uintptr_t> *>(context)->push_back(un(key) * 10000 + un(value));
    return 1;
}

TEST_F(SkiplistTest, EntriesComeOutInKeyOrderNeighboursAreFoundAndStringsHash) {
    skiplist *list = skiplist_create(nullptr, nullptr, nullptr, __FILE__, __LINE__);
    for (uintptr_t k : {30, 10, 20})
        skiplist_insert(list, iv(k), iv(k + 1000), __FILE__, __LINE__);
    EXPECT_EQ(numbers(skiplist_values(list)), (std::vector<uintptr_t>{1010, 1020, 1030}));
    // key, floor value, next value; 0 stands for "no entry" (null).
    const uintptr_t neighbours[][3] = {{5, 0, 1010},     {10, 1010, 1020}, {20, 1020, 1030},
                                       {25, 1020, 1030}, {30, 1030, 0},    {99, 1030, 0}};
    for (const auto &row : neighbours) {
        EXPECT_EQ(un(skiplist_lookup_floor(list, iv(row[0]))), row[1]) << row[0];
        EXPECT_EQ(un(skiplist_lookup_next(list, iv(row[0]))), row[2]) << row[0];
    }
    EXPECT_EQ(skiplist_insert(list, iv(20), iv(1), __FILE__, __LINE__), 0);
    EXPECT_EQ(un(skiplist_lookup(list, iv(20))), 1020u) << "a present key keeps its value";
    skiplist *copy = skiplist_copy(list);
    EXPECT_EQ(un(skiplist_remove(list, iv(20))), 1020u);
    EXPECT_EQ(skiplist_remove(list, iv(20)), nullptr);
    std::vector<uintptr_t> seen;
    EXPECT_EQ(skiplist_foreach(list, &seen, collect), 0);
    EXPECT_EQ(seen, (std::vector<uintptr_t>{101010, 301030}));
    EXPECT_EQ(numbers(skiplist_keys(copy)), (std::vector<uintptr_t>{10, 20, 30}));
    skiplist_destroy(copy);
    skiplist_clear(list);
    EXPECT_EQ(skiplist_first(list), nullptr);
    EXPECT_EQ(skiplist_insert(list, iv(4), iv(5), __FILE__, __LINE__), 1);
    EXPECT_EQ(un(skiplist_first(list)), 5u);
    // Many keys stay in order through inserts and removes.
    std::vector<uintptr_t> expected;
    for (uintptr_t i = 0; i < 2000; ++i)
        skiplist_insert(list, iv((i * 7919) % 2000 + 5), nullptr, __FILE__, __LINE__);
    for (uintptr_t k = 4; k < 2005; ++k)
        if (k % 3 == 0)
            skiplist_remove(list, iv(k));
        else
            expected.push_back(k);
    EXPECT_EQ(numbers(skiplist_keys(list)), expected);
    skiplist_destroy(list);
    EXPECT_EQ(skiplist_hash_string(""), 0u);
    EXPECT_EQ(skiplist_hash_string("ab"), ((97u * 2) + 98) * 2)
        << "doubles over the terminator too";
    EXPECT_EQ(skiplist_hash_string("\xff"), static_cast<uint32_t>(-2));
}

uint32_t seven(const void *) {
    return 7;
}

int32_t string_order(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

TEST_F(SkiplistTest,
       ConstantHashOrdersByComparisonKeyZeroClashesWithTheHeadAndTheReportPutsClashesFirst) {
    int zero_line = __LINE__ + 1;
    skiplist *zero = skiplist_create(nullptr, nullptr, nullptr, __FILE__, zero_line);
    skiplist_insert(zero, iv(0), iv(9), "c.c", 1);
    skiplist_insert(zero, iv(5), iv(9), "c.c", 2);
    int line = __LINE__ + 1;
    skiplist *list = skiplist_create(seven, string_order, nullptr, __FILE__, line);
    for (const char *k : {"m", "c", "x", "a"})
        skiplist_insert(list, k, const_cast<char *>(k), "caller.c", 5);
    EXPECT_EQ(numbers(skiplist_keys(list)),
              (std::vector<uintptr_t>{un("a"), un("c"), un("m"), un("x")}));
    EXPECT_EQ(un(skiplist_lookup_floor(list, "d")), un("c"));
    EXPECT_EQ(lacks(report_row(line), "    4    3/4    5    n    n    Y"), "");
    // Key 0 clashes with the head.
    EXPECT_EQ(lacks(report_row(zero_line), "    2    1/2    1    Y    Y    Y"), "");
    std::string text = read_text("out.txt");
    EXPECT_NE(text.find("caller.c:5          > SKIPLIST @ "), std::string::npos);
    // Clashes are traced only with the trace flag, as in the hash table.
    gDebugFlags = DB_FLAG_ADT;
    skiplist *quiet = skiplist_create(seven, string_order, nullptr, __FILE__, __LINE__);
    for (const char *k : {"p", "q"})
        skiplist_insert(quiet, k, nullptr, "quiet.c", 9);
    skiplist_destroy(quiet);
    gDebugFlags = DB_FLAG_TRACE;
    EXPECT_EQ(read_text("out.txt").find("quiet.c:9"), std::string::npos);
    size_t header = text.find("# Skiplist Master List:\n# ptr    file:line    max_usage    "
                              "clashes/inserts    max_chain    voidcmp    voidhash    alive\n");
    ASSERT_NE(header, std::string::npos) << text;
    EXPECT_LT(text.find(":" + std::to_string(line) + "    ", header),
              text.find(":" + std::to_string(zero_line) + "    ", header));
    skiplist_destroy(list);
    skiplist_destroy(zero);
    EXPECT_EQ(lacks(report_row(zero_line), "    Y    Y    n"), "");
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

TEST(SkiplistDeathTest, ReportWithoutListsSaysNoneAndOrderCheckDumpsTheListAndAborts) {
    EXPECT_EXIT(
        {
            gFile = stderr;
            skiplist_report();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "^# Skiplist Master List:\n# None.\n$");
    // Pieces of the dump in the regular expressions both hosts' test
    // frameworks read (no groups, no brackets; '.' never matches a line
    // end). Keys are written as the host's "%p" writes them.
    char key1[32], key2[32];
    std::snprintf(key1, sizeof key1, "%p", iv(1));
    std::snprintf(key2, sizeof key2, "%p", iv(2));
    for (const std::string &piece :
         {"^SKIPLIST Node out-of-order: @ second.c:2\nKEY: " + std::string(key2) +
              "\n    number: \\w+\n    hash:   A\n    order:  \\w+\n        \\w+\\) Nil\n",
          std::string("\\) Nil\nList AFTER:\nHEAD\\(   2\\)\nKEY: NULL\n    number: "
                      "\\w+\n    hash:   0\n"),
          "\nKEY: " + std::string(key1) + "\n", std::string("\nAssertion failed: 0")})
        EXPECT_DEATH(insert_out_of_order(), piece);
}

} // namespace
