#include "common/vector.h"

#include "tests/support.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace test_support;

using Items = std::vector<uintptr_t>;

namespace {

// Items are small numbers stored as pointers; v is destroyed after each test.
class VecTest : public testing::Test {
  protected:
    vec *v = nullptr;
    void TearDown() override { vec_destroy(v); }

    static void *item(uintptr_t n) { return reinterpret_cast<void *>(n); }
    static uintptr_t num(void *p) { return reinterpret_cast<uintptr_t>(p); }
    static vec *vector_of(const Items &items) {
        vec *r = vec_create(__FILE__, __LINE__);
        for (uintptr_t n : items)
            vec_append(r, item(n));
        return r;
    }
    // Takes the next item the way every loop does; false once the loop has ended.
    static bool loop_step(vec *r, void **out) {
        int more = vec_iter_valid(r);
        if (more)
            *out = vec_iter_get(r);
        return vec_iter_next(r, more) != 0;
    }
    static int by_number(const void *a, const void *b) {
        uintptr_t x = num(*static_cast<void *const *>(a)), y = num(*static_cast<void *const *>(b));
        return (x > y) - (x < y);
    }
    static Items rest_of_loop(vec *r) {
        Items rest;
        for (void *it = nullptr; loop_step(r, &it);)
            rest.push_back(num(it));
        return rest;
    }
    static Items contents(vec *r) {
        vec_iter_reset(r);
        return rest_of_loop(r);
    }
};
using VecDeathTest = VecTest;

} // namespace

TEST_F(VecTest, CapacityStartsAtTenOrTheGivenSizeAndDoublesPastTheNeed) {
    v = vec_create(__FILE__, __LINE__);
    EXPECT_EQ(v->data, nullptr);
    uint32_t done = 0;
    const std::pair<uint32_t, uint32_t> steps[] = {{1, 10}, {10, 10}, {11, 20}, {20, 20}, {21, 40}};
    for (auto [appends, capacity] : steps) {
        for (; done < appends; ++done)
            vec_append(v, item(done));
        EXPECT_EQ(v->capacity, capacity) << "after " << appends << " appends";
    }
    vec *sized = vec_create_sized(3, __FILE__, __LINE__);
    for (uintptr_t i = 1; i <= 4; ++i) {
        vec_append(sized, item(i));
        EXPECT_EQ(sized->capacity, i <= 3 ? 3u : 6u);
    }
    vec_reserve(sized, 12); // capacity ends above the wanted size
    EXPECT_EQ(sized->capacity, 24u);
    vec_destroy(sized);
    sized = vec_create(__FILE__, __LINE__);
    vec_set(sized, item(7), 25); // grows from nothing and leaves null gaps
    EXPECT_EQ(sized->capacity, 40u);
    EXPECT_EQ(vec_size(sized), 26u);
    EXPECT_EQ(vec_get(sized, 24), nullptr);
    vec_destroy(sized);
}

TEST_F(VecTest, EditsShiftTheItemsAndKeepALoopOnItsNextItem) {
    // Each edit runs on 10 11 12 13 after `taken` steps of a loop; `rest` is
    // what the loop hands out afterwards (an item inserted at the loop's
    // position is not visited).
    struct Edit {
        const char *what;
        int taken;
        void (*edit)(vec *);
        Items rest;
    };
    const Edit edits[] = {
        {"insert before", 2, [](vec *l) { vec_insert(l, item(9), 0); }, {12, 13}},
        {"insert at the position", 1, [](vec *l) { vec_insert(l, item(9), 1); }, {11, 12, 13}},
        {"insert past", 0, [](vec *l) { vec_insert(l, item(9), 99); }, {10, 11, 12, 13, 9}},
        {"remove the item handed out", 2, [](vec *l) { vec_remove_at(l, 1); }, {12, 13}},
        {"remove at the position", 1, [](vec *l) { vec_remove_at(l, 1); }, {12, 13}},
        {"remove before", 1, [](vec *l) { vec_remove_at(l, 0); }, {11, 12, 13}},
        {"move forward", 0, [](vec *l) { vec_move(l, 0, 2); }, {11, 12, 10, 13}},
        {"move back", 0, [](vec *l) { vec_move(l, 3, 0); }, {13, 10, 11, 12}},
        {"move from past the count", 0, [](vec *l) { vec_move(l, 4, 0); }, {10, 11, 12, 13}},
        {"set past the count", 0, [](vec *l) { vec_set(l, item(9), 5); }, {10, 11, 12, 13, 0, 9}},
        {"set after pop and clear",
         0,
         [](vec *l) { vec_pop(l), vec_clear(l), vec_set(l, item(9), 4); },
         {10, 11, 12, 13, 9}},
        {"append self", 0, [](vec *l) { vec_append_all(l, l); }, {10, 11, 12, 13, 10, 11, 12, 13}},
    };
    for (const Edit &e : edits) {
        SCOPED_TRACE(e.what);
        vec *l = vector_of({10, 11, 12, 13});
        vec_iter_reset(l);
        void *it = nullptr;
        for (int i = 0; i < e.taken; ++i)
            loop_step(l, &it);
        e.edit(l);
        EXPECT_EQ(rest_of_loop(l), e.rest);
        EXPECT_EQ(l->iterator, nullptr);
        vec_destroy(l);
    }
}

TEST_F(VecTest, ResultsOfFindRemoveInsertAndAppendAll) {
    v = vector_of({1, 2, 3, 2});
    EXPECT_EQ(vec_find(v, item(4)), 4294967295u);
    EXPECT_EQ(vec_remove(v, item(4)), 0);
    EXPECT_EQ(vec_remove(v, item(2)), 1);
    EXPECT_EQ(v->data[3], nullptr); // the freed slot is cleared
    EXPECT_EQ(vec_remove_at(v, 3), 0);
    EXPECT_EQ(vec_insert(v, item(5), 99), 3u);
    vec *n = vector_of({2, 6, 6});
    EXPECT_EQ(vec_append_all_unique(v, n), 3u);
    EXPECT_EQ(contents(v), (Items{1, 3, 2, 5, 6}));
    vec_destroy(n);
    vec_iter_reset(v);
    n = vec_copy(v, __FILE__, __LINE__);
    EXPECT_EQ(n->serial, v->serial);
    EXPECT_EQ(n->iterator, nullptr);
    vec_sort(n, by_number);
    EXPECT_EQ(contents(n), (Items{1, 2, 3, 5, 6}));
    EXPECT_EQ(contents(v), (Items{1, 3, 2, 5, 6}));
    vec_destroy(n);
}

TEST_F(VecTest, NestedLoopsKeepTheirOwnPositionsAndAllAreAdjusted) {
    v = vector_of({1, 2, 3});
    std::string pairs;
    void *outer = nullptr;
    vec_iter_reset(v);
    while (loop_step(v, &outer)) {
        vec_iter_reset(v);
        for (uintptr_t inner : rest_of_loop(v))
            pairs += std::to_string(num(outer)) + std::to_string(inner) + " ";
    }
    EXPECT_EQ(pairs, "11 12 13 21 22 23 31 32 33 ");
    EXPECT_EQ(num(vec_iter_first(v)), 1u); // starts an iteration that stays
    vec_iter_reset(v);
    vec_iter_get(v);
    vec_iter_get(v);
    vec_insert(v, item(0), 0);
    EXPECT_EQ(v->iterator->position, 3u);
    EXPECT_EQ(v->iterator->below->position, 2u);
    EXPECT_EQ(num(vec_iter_peek(v)), 3u);
    vec_clear(v); // ends the iteration on top
    EXPECT_EQ(vec_iter_valid(v), 0);
}

TEST_F(VecDeathTest, NullArgumentsAndLoopsWithoutResetFailTheNamedAssertion) {
    vec_destroy(nullptr); // the calls that accept null do nothing
    vec_iter_reset(nullptr);
    EXPECT_EQ(vec_size(nullptr) + vec_iter_valid(nullptr) + vec_iter_next(nullptr, 0), 0u);
    EXPECT_EQ(vec_iter_first(nullptr), nullptr);
    EXPECT_DEATH(vec_append(nullptr, item(1)), "Assertion failed: p != NULL, file .*vector");
    EXPECT_DEATH(vec_get(nullptr, 0), "Assertion failed: p != NULL");
    EXPECT_DEATH(vec_pop(nullptr), "Assertion failed: p != NULL");
    EXPECT_DEATH(vec_iter_next(nullptr, 1), "Assertion failed: more == 0");
    v = vector_of({1});
    EXPECT_DEATH(vec_append_all(v, nullptr), "Assertion failed: n != NULL");
    EXPECT_DEATH(vec_append_all_unique(v, nullptr), "Assertion failed: n != NULL");
    EXPECT_DEATH(vec_iter_valid(v), "Assertion failed: p->iterator != NULL");
    EXPECT_DEATH(vec_iter_get(v), "Assertion failed: p->iterator != NULL");
    EXPECT_DEATH(vec_iter_next(v, 0), "Assertion failed: p->iterator != NULL");
}

TEST_F(VecTest, ReportListsLivingVectorsAndSumsPerSiteSinceTrackingWasLastOn) {
    expect_in_fresh_process([] {
        vec *before = vec_create("early.c", 1);
        if (!debug_out_of(vec_report).empty() || before->track != nullptr)
            return std::string("a report or record before tracking was switched on");
        vec_track(true);
        vec *first = vec_create("first.c", 1);
        vec_track(false);
        vec_append(first, item(1)); // records already made are still updated
        if (first->track == nullptr)
            return std::string("tracked vector lost its record");
        vec_track(true); // forgets first.c
        vec *big = vec_create("site.c", 10);
        for (uintptr_t i = 0; i < 11; ++i)
            vec_append(big, item(i));
        vec *dead = vec_create("site.c", 10);
        vec_append(dead, item(1));
        vec_destroy(dead);
        vec *small = vec_create("other.c", 7);
        vec_append(small, item(1));
        vec_append(small, item(2));
        vec_pop(small);
        vec *copy = vec_copy(small, "copy.c", 3);
        std::string got = debug_out_of(vec_report);
        char living[300], rows[600];
        std::snprintf(living, sizeof living,
                      "# Living Vector Master List:\n"
                      "# ptr    file:line    max_count/capacity    alive\n"
                      "# %p    site.c:10    11/20    Y\n# %p    copy.c:3    1/10    Y\n"
                      "# %p    other.c:7    2/10    Y\n# Vector Master List Summary:\n",
                      static_cast<void *>(big), static_cast<void *>(copy),
                      static_cast<void *>(small));
        // Sites appear in the reverse order of their first record (site.c's
        // dead record, 1/10, sorts after other.c's 2/10).
        const char *row = "# %35s:%-5d%24s%s\n";
        std::string format = std::string(row) + row + row + row;
        std::snprintf(rows, sizeof rows, format.c_str(), "other.c", 7, "", "1/10    0/0    1/10",
                      "copy.c", 3, "", "1/10    0/0    1/10", "site.c", 10, "",
                      "1/20    1/10    2/30", "Total Summary", 0, "", "3/40    1/10    4/50");
        if (got.find("first.c") != std::string::npos)
            return "earlier record reported:\n" + got;
        return lacks(got, living) + lacks(got, rows);
    });
}
