// Pointer and number sets: membership by low 32 bits, set algebra and
// predicates on small and empty sets, snapshot iteration, orders, and the
// assertion texts.
#include "common/numset.h"
#include "common/ptrset.h"
#include "common/vector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Elements = std::vector<uintptr_t>;
using Numbers = std::vector<uint64_t>;

// Added and then removed again by make(): {kGone} is a set whose table
// exists but is empty, {} one that never had a table.
constexpr uintptr_t kGone = 0xdead;
constexpr uintptr_t kHigh = uintptr_t{1} << 32;

void *iv(uintptr_t n) {
    return reinterpret_cast<void *>(n);
}

ptrset *make(const Elements &elements, ptrset_order_fn order = nullptr) {
    ptrset *s = ptrset_create(order);
    for (uintptr_t e : elements)
        ptrset_add(s, iv(e));
    ptrset_remove(s, iv(kGone));
    return s;
}

// Walks s with the iteration protocol, calling visit (when given) after
// each element.
Elements listing(ptrset *s, const std::function<void()> &visit = nullptr) {
    Elements seen;
    void *e = nullptr;
    ptrset_iter_reset(s);
    while (ptrset_iter_next(s, ptrset_iter_valid(s) ? (e = ptrset_iter_get(s), 1) : 0)) {
        seen.push_back(reinterpret_cast<uintptr_t>(e));
        if (visit)
            visit();
    }
    return seen;
}

int descending(const void *a, const void *b) {
    uintptr_t x = *static_cast<const uintptr_t *>(a), y = *static_cast<const uintptr_t *>(b);
    return (x < y) - (x > y);
}

TEST(PtrsetTest, MembershipCountsLowBitsAndNeverFindsTheNullPointer) {
    // Elements added, probe, has and remove of the probe, elements left (in
    // table order), their sum. The null member goes, yet is reported absent.
    const std::tuple<Elements, uintptr_t, int, int, Elements, int32_t> rows[] = {
        {{5, kHigh + 5}, 2 * kHigh + 5, 1, 1, {}, 0},
        {{0, 1}, 0, 0, 0, {1}, 1},
        {{0xffffffff, 2}, 7, 0, 0, {2, 0xffffffff}, 1},
        {{kHigh + 2, 3, kHigh + 1}, 3, 1, 1, {kHigh + 1, kHigh + 2}, 3},
        {{}, 4, 0, 0, {}, 0},
    };
    for (const auto &[added, probe, has, removed, left, sum] : rows) {
        ptrset *s = make(added);
        int found = ptrset_has(s, iv(probe));
        int gone = ptrset_remove(s, iv(probe));
        EXPECT_EQ(std::tuple(found, gone, listing(s), ptrset_sum(s), ptrset_count(s),
                             ptrset_first(s), ptrset_is_empty(s)),
                  std::tuple(has, removed, left, sum, left.size(),
                             left.empty() ? nullptr : iv(left[0]), left.empty() ? 1 : 0));
        ptrset_destroy(s);
    }
}

// The in-place operations as operations that give their destination back.
template <void (*Into)(ptrset *, ptrset *)> ptrset *into(ptrset *a, ptrset *b) {
    Into(a, b);
    return a;
}

TEST(PtrsetTest, AlgebraAndPredicatesOnSmallEmptyAndSelfOperands) {
    // Operation, a, b (b == {kHigh} stands for a itself), the result, and the
    // answers of equal(a, b), equal(b, a), intersects, contains_all and
    // any_outside.
    // clang-format off
    const std::tuple<ptrset *(*)(ptrset *, ptrset *), Elements, Elements, Elements, const char *>
        rows[] = {
        {ptrset_union, {}, {}, {}, "11010"},
        {ptrset_union, {1, 2}, {2, 3}, {1, 2, 3}, "00101"},
        {into<ptrset_union_into>, {}, {5}, {5}, "00000"},
        {into<ptrset_union_into>, {kHigh + 5}, {5}, {kHigh + 5}, "00110"},
        {ptrset_intersection, {1, 2, 3}, {2, 3, 4}, {2, 3}, "00101"},
        {into<ptrset_intersect_into>, {1, 2}, {}, {}, "00010"},
        {into<ptrset_intersect_into>, {1, 2}, {kGone}, {}, "00010"},
        {ptrset_difference, {1, 2, 3}, {1, 2}, {3}, "00111"},
        {into<ptrset_subtract_into>, {1, 2}, {3, 4}, {1, 2}, "00001"},
        {into<ptrset_subtract_into>, {1, 2}, {kHigh}, {}, "11110"},
        {into<ptrset_toggle_into>, {1, 2}, {1, 2, 3}, {3}, "00100"},
        {into<ptrset_toggle_into>, {kGone}, {4}, {4}, "00000"},
        {into<ptrset_toggle_into>, {kGone}, {}, {}, "11010"},
        {into<ptrset_toggle_into>, {1, 2}, {kHigh}, {}, "11110"},
        {into<ptrset_assign>, {2, 1, kGone}, {1, 2}, {1, 2}, "11110"},
        {into<ptrset_assign>, {1, 2}, {kHigh}, {1, 2}, "11110"},
    };
    // clang-format on
    for (const auto &row : rows) {
        const auto &[op, elements_a, elements_b, want, answers] = row;
        SCOPED_TRACE(&row - rows);
        ptrset *a = make(elements_a);
        ptrset *b = elements_b == Elements{kHigh} ? a : make(elements_b);
        std::string got;
        for (int answer : {ptrset_equal(a, b), ptrset_equal(b, a), ptrset_intersects(a, b),
                           ptrset_contains_all(a, b), ptrset_any_outside(a, b)})
            got += static_cast<char>('0' + answer);
        Elements before = listing(a);
        ptrset *result = op(a, b);
        bool fresh = op == ptrset_union || op == ptrset_intersection || op == ptrset_difference;
        EXPECT_EQ(std::tuple(got, listing(result), listing(a), result != a),
                  std::tuple(std::string(answers), want, fresh ? before : want, fresh));
        for (ptrset *t : {result != a ? result : nullptr, b != a ? b : nullptr, a})
            ptrset_destroy(t);
    }
}

TEST(PtrsetTest, IterationWalksASnapshotInTheSetsOrder) {
    ptrset *s = make({3, 1, 2});
    Elements inner;
    uintptr_t next = 10;
    Elements outer = listing(s, [&] {
        ptrset_add(s, iv(next++));
        ptrset_remove(s, iv(3));
        if (inner.empty())
            inner = listing(s);
    });
    EXPECT_EQ(std::tuple(outer, inner, listing(s)),
              std::tuple(Elements{1, 2, 3}, Elements{1, 2, 10}, Elements{1, 2, 10, 11, 12}));
    EXPECT_EQ(listing(s, [s] { ptrset_clear(s); }), (Elements{1}));
    vec *none = ptrset_list(s);
    EXPECT_TRUE(none != nullptr && vec_size(none) == 0) << "a new, empty vector";
    vec_destroy(none);

    ptrset *down = make({1, 3, 2}, descending);
    // Braces keep the calls in order; the first element is in table order.
    EXPECT_EQ((std::tuple{listing(down), ptrset_first(down), ptrset_iter_first(down),
                          ptrset_iter_peek(down), ptrset_iter_get(down), ptrset_iter_next(down, 0),
                          ptrset_iter_peek(down)}),
              (std::tuple{Elements{3, 2, 1}, iv(1), iv(3), iv(2), iv(2), 0, nullptr}));
    ptrset *up = make({1, 2, 3});
    EXPECT_EQ(ptrset_equal(down, up), 0) << "listings in different orders differ";
    ptrset *made = ptrset_difference(down, up);
    EXPECT_EQ(std::pair(ptrset_order(made), ptrset_serial(made)),
              std::pair(&descending, ptrset_serial(up) + 1));
    ptrset_iter_reset(up); // destroyed during its iteration
    for (ptrset *t : {s, down, up, made})
        ptrset_destroy(t);
}

TEST(NumsetTest, ZeroIsAMemberAllOnesNeverAndNumbersCountByLowBits) {
    // Numbers added, probe, whether it is a member, the iteration.
    const std::tuple<Numbers, uint64_t, int, Numbers> rows[] = {
        {{}, 0, 0, {}},
        {{0}, 0, 1, {0}},
        {{7, 0, 0xffffffff}, NUMSET_NONE, 0, {0xffffffff, 0, 7}},
        {{kHigh + 3, 1, 3}, 3, 1, {1, kHigh + 3}},
        {{NUMSET_NONE - 1}, NUMSET_NONE - 1, 1, {NUMSET_NONE - 1}},
    };
    for (const auto &[added, probe, has, yields] : rows) {
        numset *s = numset_create();
        for (uint64_t n : added)
            numset_add(s, n);
        Numbers seen;
        numset_iter_reset(s);
        while (numset_iter_valid(s))
            seen.push_back(numset_iter_get(s));
        EXPECT_EQ(std::tuple(numset_has(s, probe), numset_first(s), seen, numset_iter_get(s)),
                  std::tuple(has, yields.empty() ? NUMSET_NONE : yields[0], yields, NUMSET_NONE));
        numset *copy = numset_copy(s);
        numset_add(copy, 99);
        numset_union_into(s, copy);
        EXPECT_EQ(std::tuple(numset_equal(copy, s), numset_intersects(s, copy), numset_count(s)),
                  std::tuple(1, 1, yields.size() + 1));
        numset_clear(s);
        EXPECT_EQ(
            std::tuple(numset_is_empty(s), numset_equal(s, copy), numset_contains_all(copy, s)),
            std::tuple(1, 0, 1));
        numset_destroy(copy);
        numset_destroy(s);
    }
}

TEST(PtrsetDeathTest, MissingSetsAndMisuseFailTheirAssertions) {
    ptrset *empty = make({}); // null operands that nothing needs to touch pass
    ptrset_toggle_into(nullptr, empty);
    ptrset_intersect_into(empty, nullptr);
    ptrset_union_into(nullptr, empty);
    ptrset_destroy(empty);
    // clang-format off
    const std::pair<void (*)(), const char *> rows[] = {
        {[] { ptrset_difference(nullptr, make({})); }, "so != NULL, file \\S*ptrset\\.cpp, line \\w+\n"},
        {[] { ptrset_assign(make({}), nullptr); }, "src != NULL"},
        {[] { ptrset_assign(nullptr, make({})); }, "dest != NULL"},
        {[] { ptrset *s = make({1}); ptrset_iter_reset(s); ptrset_assign(s, s); },
         "dest->iterator == NULL"},
        {[] { ptrset_remove(nullptr, nullptr); }, "sp != NULL"},
        {[] { ptrset_toggle_into(nullptr, make({1})); }, "sp != NULL"},
        {[] { ptrset_union_into(make({}), nullptr); }, "ss != NULL"},
        {[] { ptrset_union_into(nullptr, make({kGone})); }, "sd != NULL"},
        {[] { ptrset_intersect_into(nullptr, make({})); }, "sd != NULL"},
        {[] { ptrset_intersect_into(make({1}), nullptr); }, "ss != NULL"},
        {[] { ptrset_equal(nullptr, make({})); }, "s1 != NULL"},
        {[] { ptrset_any_outside(make({}), nullptr); }, "s2 != NULL"},
        {[] { ptrset_intersects(nullptr, make({})); }, "sp1 != NULL"},
        {[] { ptrset_contains_all(make({}), nullptr); }, "sp2 != NULL"},
        {[] { ptrset_iter_valid(make({1})); }, "sp->table == NULL \\|\\| sp->iterator != NULL"},
        {[] { numset_add(numset_create(), NUMSET_NONE); },
         "numset_canContain\\(n\\), file \\S*numset"},
    };
    // clang-format on
    for (const auto &[call, text] : rows)
        EXPECT_DEATH(call(), std::string("Assertion failed: ") + text);
}

} // namespace
