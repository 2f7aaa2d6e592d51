// The tally table: counts per key and the top list of the most frequent.
#include "common/hash.h"
#include "common/stringcache.h"
#include "common/tally_table.h"
#include "common/vector.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int by_text(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

class Tally : public ::testing::Test {
  protected:
    void make(uint32_t top) { t_ = tally_create(13, top, hash_string, by_text); }
    void TearDown() override { tally_destroy(t_); }
    uint32_t add(const char *key) { return tally_add(t_, sc_intern(key)); }
    const char *top() { return static_cast<const char *>(tally_top(t_)); }
    // The top list, highest count first, as "key=count " for each entry.
    std::string top_list() {
        std::string text;
        vec *list = tally_top_list(t_);
        for (uint32_t i = 0; i < vec_size(list); ++i) {
            auto *e = static_cast<const tally_entry *>(vec_get(list, i));
            text += static_cast<const char *>(tally_entry_key(e)) +
                    ("=" + std::to_string(tally_entry_count(e))) + " ";
        }
        return text;
    }
    tally_table *t_ = nullptr;
};

TEST_F(Tally, TheTopChangesOnlyWhenAKeyExceedsItAndARisingKeyEvictsTheLast) {
    make(1);
    EXPECT_EQ(top(), nullptr);
    EXPECT_EQ(add("a"), 1u);
    EXPECT_EQ(add("b"), 1u);
    EXPECT_STREQ(top(), "a") << "b did not exceed a's count";
    EXPECT_EQ(add("b"), 2u);
    EXPECT_EQ(top_list(), "b=2 ");
    char first[] = "k", second[] = "k";
    EXPECT_EQ(tally_add(t_, first), 1u);
    EXPECT_EQ(tally_add(t_, second), 1u) << "equal texts at different addresses are two keys";
    tally_destroy(t_);
    make(2);
    for (int i = 0; i < 3; ++i)
        for (const char *key : {"x", "y", "z"})
            add(key);
    EXPECT_EQ(top_list(), "x=3 y=3 ");
    EXPECT_EQ(add("z"), 4u);
    EXPECT_EQ(top_list(), "z=4 x=3 ");
    EXPECT_STREQ(top(), "z");
    EXPECT_EQ(add("y"), 4u);
    EXPECT_EQ(top_list(), "y=4 z=4 ");
    tally_clear(t_);
    EXPECT_EQ(top(), nullptr);
    EXPECT_EQ(add("z"), 1u);
    EXPECT_EQ(top_list(), "z=1 ");
}

} // namespace
