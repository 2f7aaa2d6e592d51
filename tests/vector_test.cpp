#include "common/vector.h"

#include "container_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using container_test::capture_debug_out;
using container_test::compare_text;
using container_test::expect_in_fresh_process;
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
    static Items contents(const vec *r) {
        Items out;
        for (uint32_t i = 0; i < vec_size(r); ++i)
            out.push_back(num(vec_get(r, i)));
        return out;
    }
    // Takes the next item the way every loop does; false once the loop has ended.
    static bool loop_step(vec *r, void **out) {
        int more = vec_iter_valid(r);
        if (more)
            *out = vec_iter_get(r);
        return vec_iter_next(r, more) != 0;
    }
    static Items rest_of_loop(vec *r) {
        Items rest;
        for (void *it = nullptr; loop_step(r, &it);)
            rest.push_back(num(it));
        return rest;
    }
};
using VecDeathTest = VecTest;

} // namespace

TEST_F(VecTest, CapacityStartsAtTenOrTheGivenSizeAndDoubles) {
    v = vec_create(__FILE__, __LINE__);
    EXPECT_EQ(v->data, nullptr);
    struct Step {
        uint32_t appends, capacity;
    };
    uint32_t done = 0;
    for (Step s : {Step{1, 10}, Step{10, 10}, Step{11, 20}, Step{20, 20}, Step{21, 40}}) {
        for (; done < s.appends; ++done)
            vec_append(v, item(done));
        EXPECT_EQ(v->capacity, s.capacity) << "after " << s.appends << " appends";
    }
    vec *sized = vec_create_sized(3, __FILE__, __LINE__);
    for (uintptr_t i = 1; i <= 4; ++i) {
        vec_append(sized, item(i));
        EXPECT_EQ(sized->capacity, i <= 3 ? 3u : 6u);
    }
    vec_reserve(sized, 10); // capacity ends above the wanted size
    EXPECT_EQ(sized->capacity, 12u);
    EXPECT_EQ(contents(sized), (Items{1, 2, 3, 4}));
    vec_destroy(sized);
}

TEST_F(VecTest, SetFillsGapsWithNullAndUncoversClearedItems) {
    v = vec_create(__FILE__, __LINE__);
    vec_set(v, item(7), 25);
    EXPECT_EQ(v->capacity, 40u);
    Items want(26, 0);
    want[25] = 7;
    EXPECT_EQ(contents(v), want);
    vec_destroy(v);
    v = vector_of({1, 2, 3, 4, 5});
    vec_set(v, item(8), 1);
    vec_clear(v);
    EXPECT_EQ(vec_pop(v), nullptr);
    EXPECT_EQ(vec_get(v, 4), nullptr);
    vec_set(v, item(9), 2);
    EXPECT_EQ(contents(v), (Items{1, 8, 9}));
}

TEST_F(VecTest, RemoveTakesTheFirstEqualItemAndPopKeepsItsSlot) {
    v = vector_of({1, 2, 3, 2});
    EXPECT_EQ(vec_find(v, item(4)), 4294967295u);
    EXPECT_EQ(vec_remove(v, item(4)), 0);
    EXPECT_EQ(vec_find(v, item(2)), 1u);
    EXPECT_EQ(vec_remove(v, item(2)), 1);
    EXPECT_EQ(contents(v), (Items{1, 3, 2}));
    EXPECT_EQ(v->data[3], nullptr);
    EXPECT_EQ(vec_remove_at(v, 3), 0);
    EXPECT_EQ(num(vec_pop(v)), 2u);
    EXPECT_EQ(num(v->data[2]), 2u);
    EXPECT_EQ(num(vec_last(v)), 3u);
}

TEST_F(VecTest, InsertAndMoveShiftTheItemsBetween) {
    v = vector_of({1, 2});
    EXPECT_EQ(vec_insert(v, item(5), 0), 0u);
    EXPECT_EQ(vec_insert(v, item(6), 99), 3u);
    EXPECT_EQ(contents(v), (Items{5, 1, 2, 6}));
    struct Case {
        uint32_t from, to;
        Items want;
    };
    for (const Case &c : {Case{0, 3, {2, 3, 4, 1, 5}}, Case{3, 0, {4, 1, 2, 3, 5}},
                          Case{2, 2, {1, 2, 3, 4, 5}}, Case{5, 0, {1, 2, 3, 4, 5}}}) {
        vec *m = vector_of({1, 2, 3, 4, 5});
        vec_move(m, c.from, c.to);
        EXPECT_EQ(contents(m), c.want) << "move " << c.from << " to " << c.to;
        vec_destroy(m);
    }
}

TEST_F(VecTest, AppendAllCopyAndSort) {
    v = vector_of({3, 1});
    vec *n = vector_of({2, 3, 2, 4});
    EXPECT_EQ(vec_append_all_unique(v, n), 4u);
    EXPECT_EQ(contents(v), (Items{3, 1, 2, 4}));
    vec_append_unique(v, item(1));
    EXPECT_EQ(vec_append_all(v, v), 4u);
    EXPECT_EQ(contents(v), (Items{3, 1, 2, 4, 3, 1, 2, 4}));
    vec_destroy(n);
    vec_iter_reset(v);
    n = vec_copy(v, __FILE__, __LINE__);
    EXPECT_EQ(n->serial, v->serial);
    EXPECT_EQ(n->iterator, nullptr);
    vec_sort(n, [](const void *a, const void *b) {
        uintptr_t x = num(*static_cast<void *const *>(a)), y = num(*static_cast<void *const *>(b));
        return x < y ? -1 : x > y ? 1 : 0;
    });
    EXPECT_EQ(contents(n), (Items{1, 1, 2, 2, 3, 3, 4, 4}));
    EXPECT_EQ(contents(v), (Items{3, 1, 2, 4, 3, 1, 2, 4}));
    EXPECT_EQ(vec_copy(nullptr, __FILE__, __LINE__), nullptr);
    vec_destroy(n);
}

TEST_F(VecTest, InsertAndRemoveDuringALoopKeepTheNextItem) {
    struct Case {
        const char *what;
        int taken;
        bool insert;
        uint32_t index;
        Items rest;
    };
    for (const Case &c : {
             Case{"no change", 0, false, 9, {10, 11, 12, 13}},
             Case{"insert before the position", 2, true, 0, {12, 13}},
             Case{"insert at the position is not visited", 1, true, 1, {11, 12, 13}},
             Case{"remove the item just handed out", 2, false, 1, {12, 13}},
             Case{"remove at the position", 1, false, 1, {12, 13}},
             Case{"remove before the position", 1, false, 0, {11, 12, 13}},
         }) {
        SCOPED_TRACE(c.what);
        vec *l = vector_of({10, 11, 12, 13});
        void *it = nullptr;
        vec_iter_reset(l);
        for (int i = 0; i < c.taken; ++i)
            loop_step(l, &it);
        c.insert ? (void)vec_insert(l, item(99), c.index) : (void)vec_remove_at(l, c.index);
        EXPECT_EQ(rest_of_loop(l), c.rest);
        EXPECT_EQ(l->iterator, nullptr);
        vec_destroy(l);
    }
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
    vec *empty = vec_create(__FILE__, __LINE__);
    vec_iter_reset(empty);
    EXPECT_EQ(vec_iter_get(empty), nullptr);
    EXPECT_EQ(rest_of_loop(empty), Items{});
    vec_destroy(empty);
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

TEST_F(VecTest, ReportListsLivingVectorsAndSumsLivingAndDeadPerSite) {
    expect_in_fresh_process([] {
        vec *before = vec_create("early.c", 1);
        vec_track(true);
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
        std::string got = capture_debug_out(vec_report);
        char line[200];
        auto living = [&line](const void *p, const char *site, const char *counts) {
            std::snprintf(line, sizeof line, "# %p    %s    %s    Y\n", p, site, counts);
            return std::string(line);
        };
        auto row = [&line](const char *file, int l, const char *counts) {
            std::snprintf(line, sizeof line, "# %35s:%-5d%24s%s\n", file, l, "", counts);
            return std::string(line);
        };
        // Sites appear in the reverse order of their first record (site.c's
        // dead record, 1/10, sorts after other.c's 2/10).
        std::string want = "# Living Vector Master List:\n"
                           "# ptr    file:line    max_count/capacity    alive\n" +
                           living(big, "site.c:10", "11/20") + living(copy, "copy.c:3", "1/10") +
                           living(small, "other.c:7", "2/10") +
                           "# Vector Master List Summary:\n"
                           "#                                                                  "
                           "Living              Dead                Total\n"
                           "#                                file:line                         "
                           "vectors/capacity    vectors/capacity    vectors/capacity\n" +
                           row("other.c", 7, "1/10    0/0    1/10") +
                           row("copy.c", 3, "1/10    0/0    1/10") +
                           row("site.c", 10, "1/20    1/10    2/30") +
                           row("Total Summary", 0, "3/40    1/10    4/50");
        vec_destroy(before);
        return compare_text(got, want);
    });
}

TEST_F(VecTest, ReportCoversVectorsCreatedSinceTrackingWasLastSwitchedOn) {
    expect_in_fresh_process([] {
        vec *untracked = vec_create("off.c", 2);
        std::string never_on = capture_debug_out(vec_report);
        if (!never_on.empty() || untracked->track != nullptr)
            return "tracking never switched on, yet:\n" + never_on;
        vec_track(true);
        vec *r = vec_create("first.c", 1);
        vec_track(false);
        vec_append(r, item(1)); // records already made are still updated
        if (r->track == nullptr)
            return std::string("tracked vector lost its record");
        vec_track(true);
        std::string got = capture_debug_out(vec_report);
        return got.find("first.c") == std::string::npos ? "" : "earlier record reported:\n" + got;
    });
}
