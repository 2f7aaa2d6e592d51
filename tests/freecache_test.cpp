#include "common/freecache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Node {
    void *link;
    uint64_t payload[3];
};

} // namespace

TEST(FreecacheTest, ReleasedObjectComesBackCleared) {
    freecache *fc = freecache_create(sizeof(Node), 4);
    auto *a = static_cast<Node *>(freecache_alloc(fc));
    a->payload[1] = 42;
    EXPECT_EQ(freecache_release(fc, a), 1u);
    auto *b = static_cast<Node *>(freecache_alloc(fc));
    EXPECT_EQ(b, a);
    EXPECT_EQ(b->link, nullptr);
    EXPECT_EQ(b->payload[1], 0u);
    EXPECT_EQ(freecache_num_free(fc), 0u);
    std::free(b);
    EXPECT_EQ(freecache_destroy(fc), 0);
}

TEST(FreecacheTest, FullListFreesFurtherReleases) {
    freecache *fc = freecache_create(sizeof(Node), 2);
    EXPECT_EQ(freecache_max_free(fc), 2u);
    EXPECT_EQ(freecache_is_empty(fc), 1);
    void *objs[3];
    for (void *&o : objs)
        o = freecache_alloc(fc);
    EXPECT_EQ(freecache_release(fc, objs[0]), 1u);
    EXPECT_EQ(freecache_is_full(fc), 0);
    EXPECT_EQ(freecache_release(fc, objs[1]), 2u);
    EXPECT_EQ(freecache_release(fc, objs[2]), 0u);
    EXPECT_EQ(freecache_is_full(fc), 1);
    EXPECT_EQ(freecache_is_empty(fc), 0);
    EXPECT_EQ(freecache_num_free(fc), 2u);
    freecache_destroy(fc);
}

TEST(FreecacheTest, KeptObjectsComeBackLastInFirstOut) {
    freecache *fc = freecache_create(sizeof(Node), 8);
    void *a = freecache_alloc(fc);
    void *b = freecache_alloc(fc);
    freecache_release(fc, a);
    freecache_release(fc, b);
    EXPECT_EQ(freecache_alloc(fc), b);
    EXPECT_EQ(freecache_alloc(fc), a);
    void *fresh = freecache_alloc(fc);
    EXPECT_NE(fresh, nullptr);
    std::free(fresh);
    std::free(a);
    std::free(b);
    freecache_destroy(fc);
}

TEST(FreecacheTest, NullCacheAnswersAsEmptyAndFull) {
    EXPECT_EQ(freecache_alloc(nullptr), nullptr);
    EXPECT_EQ(freecache_num_free(nullptr), 0u);
    EXPECT_EQ(freecache_max_free(nullptr), 0u);
    EXPECT_EQ(freecache_is_full(nullptr), 1);
    EXPECT_EQ(freecache_is_empty(nullptr), 1);
    EXPECT_EQ(freecache_destroy(nullptr), 0);
}

TEST(FreecacheTest, DumpListsFieldsAndKeptObjectsNewestFirst) {
    freecache *fc = freecache_create(sizeof(Node), 5);
    void *a = freecache_alloc(fc);
    void *b = freecache_alloc(fc);
    freecache_release(fc, a);
    freecache_release(fc, b);
    testing::internal::CaptureStderr();
    freecache_dump(fc);
    std::string got = testing::internal::GetCapturedStderr();
    char want[512];
    std::snprintf(want, sizeof want,
                  "Freecache: %p\n\tobj_size: 32\n\tnum_free: 2\n\tmax_free: 5\n\tfree_list:\n"
                  "\t\t[%p]\n\t\t[%p]\n",
                  static_cast<void *>(fc), b, a);
    EXPECT_EQ(got, want);
    freecache_destroy(fc);
}

TEST(FreecacheTest, DumpOfNullWritesOnlyTheHeader) {
    testing::internal::CaptureStderr();
    freecache_dump(nullptr);
    std::string got = testing::internal::GetCapturedStderr();
    char want[64];
    std::snprintf(want, sizeof want, "Freecache: %p\n", static_cast<void *>(nullptr));
    EXPECT_EQ(got, want);
}

TEST(FreecacheDeathTest, CreateChecksTheObjectSizeAndLimit) {
    EXPECT_DEATH(freecache_create(0, 1), "Assertion failed: obj_size != 0, file .*freecache");
    EXPECT_DEATH(freecache_create(16, 0), "Assertion failed: max_objs != 0");
    EXPECT_DEATH(freecache_create(sizeof(void *) - 1, 1),
                 "Assertion failed: obj_size >= sizeof \\(void\\*\\)");
}

TEST(FreecacheDeathTest, ReleaseNeedsACacheAndAnObject) {
    freecache *fc = freecache_create(sizeof(Node), 1);
    EXPECT_DEATH(freecache_release(nullptr, fc), "Assertion failed: fc != NULL");
    EXPECT_DEATH(freecache_release(fc, nullptr), "Assertion failed: obj != NULL");
    freecache_destroy(fc);
}
