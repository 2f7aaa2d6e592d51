#include "common/osdep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

int compare_ints(const void *a, const void *b) {
    int x = *static_cast<const int *>(a), y = *static_cast<const int *>(b);
    return (x > y) - (x < y);
}

// Elements of 800 bytes and more take the pivot from the heap.
struct Big {
    char pad[1000];
    int key;
};

} // namespace

TEST(OsSortTest, SortsRandomSortedReversedEqualAndLargeElements) {
    std::mt19937 rng(7);
    for (size_t n : {0u, 1u, 2u, 3u, 17u, 1000u, 4097u}) {
        std::vector<int> random(n), sorted(n), reversed(n), equal(n, 5);
        for (size_t i = 0; i < n; ++i) {
            random[i] = static_cast<int>(rng() % 50);
            sorted[i] = static_cast<int>(i);
            reversed[i] = static_cast<int>(n - i);
        }
        for (auto *v : {&random, &sorted, &reversed, &equal}) {
            std::vector<int> expect = *v;
            std::sort(expect.begin(), expect.end());
            os_sort(v->data(), v->size(), sizeof(int), compare_ints);
            EXPECT_EQ(*v, expect) << "n=" << n;
        }
    }
    std::vector<Big> big(300);
    for (size_t i = 0; i < big.size(); ++i)
        big[i].key = static_cast<int>((i * 7919) % 301);
    os_sort(big.data(), big.size(), sizeof(Big), [](const void *a, const void *b) {
        return compare_ints(&static_cast<const Big *>(a)->key, &static_cast<const Big *>(b)->key);
    });
    EXPECT_TRUE(std::is_sorted(big.begin(), big.end(),
                               [](const Big &a, const Big &b) { return a.key < b.key; }));
}

TEST(OsSortDeathTest, NullBaseWithTwoElementsAsserts) {
    EXPECT_DEATH(os_sort(nullptr, 2, sizeof(int), compare_ints), "Assertion failed: vbase");
}

TEST(OsBsearchTest, FindsEveryElementAndMissesGaps) {
    std::vector<int> v;
    for (int i = 0; i < 100; ++i)
        v.push_back(i * 2);
    for (int key = -1; key < 200; ++key) {
        const void *found = os_bsearch(&key, v.data(), v.size(), sizeof(int), compare_ints);
        EXPECT_EQ(found, key >= 0 && key % 2 == 0 ? &v[key / 2] : nullptr) << key;
    }
    int key = 0;
    EXPECT_EQ(os_bsearch(&key, v.data(), 0, sizeof(int), compare_ints), nullptr);
}
