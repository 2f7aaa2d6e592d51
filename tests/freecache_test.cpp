#include "common/freecache.h"

#include "tests/support.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

struct Node {
    void *link;
    uint64_t payload[3];
};

class FreecacheTest : public testing::Test {
  protected:
    freecache *fc = freecache_create(sizeof(Node), 2);
    void TearDown() override { freecache_destroy(fc); }
};
using FreecacheDeathTest = FreecacheTest;

} // namespace

TEST_F(FreecacheTest, KeepsReleasedObjectsClearedLastInFirstOutUpToItsLimitAndDumpsThem) {
    EXPECT_EQ(freecache_is_empty(fc), 1);
    Node *objs[3];
    for (Node *&o : objs)
        o = static_cast<Node *>(freecache_alloc(fc));
    objs[0]->payload[1] = 42;
    EXPECT_EQ(freecache_release(fc, objs[0]), 1u);
    EXPECT_EQ(freecache_is_full(fc) + freecache_is_empty(fc), 0);
    EXPECT_EQ(freecache_release(fc, objs[1]), 2u);
    EXPECT_EQ(freecache_release(fc, objs[2]), 0u); // full: freed at once
    EXPECT_EQ(freecache_is_full(fc), 1);
    EXPECT_EQ(freecache_num_free(fc), 2u);
    char want[512]; // the dump lists the fields and the kept objects, newest first
    std::snprintf(want, sizeof want,
                  "Freecache: %p\n\tobj_size: 32\n\tnum_free: 2\n\tmax_free: 2\n\tfree_list:\n"
                  "\t\t[%p]\n\t\t[%p]\nFreecache: %p\n",
                  static_cast<void *>(fc), static_cast<void *>(objs[1]),
                  static_cast<void *>(objs[0]), static_cast<void *>(nullptr));
    EXPECT_EQ(stderr_of([this] { freecache_dump(fc), freecache_dump(nullptr); }), want);
    EXPECT_EQ(freecache_alloc(fc), objs[1]);
    Node *again = static_cast<Node *>(freecache_alloc(fc));
    EXPECT_EQ(again, objs[0]);
    EXPECT_EQ(again->link, nullptr);
    EXPECT_EQ(again->payload[1], 0u);
    EXPECT_EQ(freecache_num_free(fc), 0u);
    std::free(objs[1]);
    std::free(again);
    EXPECT_EQ(freecache_alloc(nullptr), nullptr); // a null cache answers as empty and full
    EXPECT_EQ(freecache_num_free(nullptr) + freecache_max_free(nullptr), 0u);
    EXPECT_EQ(freecache_is_full(nullptr) + freecache_is_empty(nullptr), 2);
}

TEST_F(FreecacheDeathTest, BadSizesAndMissingArgumentsFailTheirAssertions) {
    EXPECT_DEATH(freecache_create(0, 1), "Assertion failed: obj_size != 0, file .*freecache");
    EXPECT_DEATH(freecache_create(16, 0), "Assertion failed: max_objs != 0");
    freecache_destroy(freecache_create(sizeof(void *), 1)); // the smallest size is allowed
    EXPECT_DEATH(freecache_create(sizeof(void *) - 1, 1),
                 "Assertion failed: obj_size >= sizeof \\(void\\*\\)");
    EXPECT_DEATH(freecache_release(nullptr, fc), "Assertion failed: fc != NULL");
    EXPECT_DEATH(freecache_release(fc, nullptr), "Assertion failed: obj != NULL");
}
