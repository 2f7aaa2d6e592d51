#include "common/osdep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace {

int compare_ints(const void *a, const void *b) {
    int x = *static_cast<const int *>(a), y = *static_cast<const int *>(b);
    return (x > y) - (x < y);
}

// Elements of 800 bytes and more take the pivot from the heap; the key comes
// first so that compare_ints orders them.
struct Big {
    int key;
    char pad[1000];
};

} // namespace

TEST(OsSortDeathTest, SortsRandomSortedReversedEqualAndLargeElementsAndAssertsOnNullBase) {
    EXPECT_DEATH(os_sort(nullptr, 2, sizeof(int), compare_ints), "Assertion failed: vbase");
    std::mt19937 rng(7);
    for (int n : {0, 1, 2, 3, 17, 1000, 4097}) {
        std::vector<int> random(n), sorted(n), equal(n, 5);
        std::generate(random.begin(), random.end(), [&rng] { return int(rng() % 50); });
        std::iota(sorted.begin(), sorted.end(), 0);
        std::vector<int> reversed(sorted.rbegin(), sorted.rend());
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
    os_sort(big.data(), big.size(), sizeof(Big), compare_ints);
    EXPECT_TRUE(std::is_sorted(big.begin(), big.end(),
                               [](const Big &a, const Big &b) { return a.key < b.key; }));
}

TEST(OsBsearchTest, FindsEveryElementAndMissesGaps) {
    std::vector<int> v(100);
    std::generate(v.begin(), v.end(), [n = 0]() mutable { return 2 * n++; });
    for (int key = -1; key < 200; ++key) {
        const void *found = os_bsearch(&key, v.data(), v.size(), sizeof(int), compare_ints);
        EXPECT_EQ(found, key >= 0 && key % 2 == 0 ? &v[key / 2] : nullptr) << key;
    }
    EXPECT_EQ(os_bsearch(v.data(), v.data(), 0, sizeof(int), compare_ints), nullptr);
}
