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

namespace {

void *item(uintptr_t n) {
    return reinterpret_cast<void *>(n);
}
uintptr_t num(void *p) {
    return reinterpret_cast<uintptr_t>(p);
}

vec *vector_of(std::initializer_list<uintptr_t> items) {
    vec *v = vec_create(__FILE__, __LINE__);
    for (uintptr_t n : items)
        vec_append(v, item(n));
    return v;
}

std::vector<uintptr_t> contents(const vec *v) {
    std::vector<uintptr_t> out;
    for (uint32_t i = 0; i < vec_size(v); ++i)
        out.push_back(num(vec_get(v, i)));
    return out;
}

// Takes the next item the way every loop does; false once the loop has ended.
bool loop_step(vec *v, void **out) {
    int more = vec_iter_valid(v);
    if (more)
        *out = vec_iter_get(v);
    return vec_iter_next(v, more) != 0;
}

int compare_numbers(const void *a, const void *b) {
    uintptr_t x = num(*static_cast<void *const *>(a));
    uintptr_t y = num(*static_cast<void *const *>(b));
    return x < y ? -1 : x > y ? 1 : 0;
}

uint32_t stack_depth(const vec *v) {
    uint32_t depth = 0;
    for (const vec_iter_node *it = v->iterator; it != nullptr; it = it->below)
        ++depth;
    return depth;
}

} // namespace

// ---- Growth ------------------------------------------------------------------

TEST(VecGrowthTest, NewVectorHasNoBufferUntilTheFirstAppend) {
    vec *v = vec_create(__FILE__, __LINE__);
    EXPECT_EQ(v->capacity, 0u);
    EXPECT_EQ(v->data, nullptr);
    EXPECT_EQ(vec_size(v), 0u);
    vec_destroy(v);
}

TEST(VecGrowthTest, CapacityDoublesFromTenAtTheEleventhAndTwentyFirstAppend) {
    struct Step {
        uint32_t appends;
        uint32_t capacity;
    };
    vec *v = vec_create(__FILE__, __LINE__);
    uint32_t done = 0;
    for (Step s : {Step{1, 10}, Step{10, 10}, Step{11, 20}, Step{20, 20}, Step{21, 40}}) {
        for (; done < s.appends; ++done)
            vec_append(v, item(done));
        EXPECT_EQ(v->capacity, s.capacity) << "after " << s.appends << " appends";
    }
    vec_destroy(v);
}

TEST(VecGrowthTest, SizedVectorStartsAtItsOwnCapacity) {
    vec *v = vec_create_sized(3, __FILE__, __LINE__);
    for (uintptr_t i = 1; i <= 3; ++i) {
        vec_append(v, item(i));
        EXPECT_EQ(v->capacity, 3u);
    }
    vec_append(v, item(4));
    EXPECT_EQ(v->capacity, 6u);
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{1, 2, 3, 4}));
    vec_destroy(v);
}

TEST(VecGrowthTest, ReserveMakesCapacityExceedTheWantedSize) {
    vec *v = vec_create(__FILE__, __LINE__);
    vec_reserve(v, 10);
    EXPECT_EQ(v->capacity, 20u);
    vec_reserve(v, 19);
    EXPECT_EQ(v->capacity, 20u);
    vec_reserve(v, 100);
    EXPECT_EQ(v->capacity, 160u);
    vec_destroy(v);
}

// ---- Sparse use and removal ----------------------------------------------------

TEST(VecSetTest, SetOnEmptyVectorLeavesNullGaps) {
    vec *v = vec_create(__FILE__, __LINE__);
    vec_set(v, item(7), 25);
    EXPECT_EQ(vec_size(v), 26u);
    EXPECT_EQ(v->capacity, 40u);
    for (uint32_t i = 0; i < 25; ++i)
        EXPECT_EQ(vec_get(v, i), nullptr) << "slot " << i;
    EXPECT_EQ(num(vec_get(v, 25)), 7u);
    vec_destroy(v);
}

TEST(VecSetTest, SetAfterClearUncoversTheOldItems) {
    vec *v = vector_of({1, 2, 3, 4, 5});
    vec_clear(v);
    EXPECT_EQ(vec_pop(v), nullptr);
    EXPECT_EQ(vec_get(v, 0), nullptr);
    EXPECT_EQ(vec_get(v, 4), nullptr);
    vec_set(v, item(9), 2);
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{1, 2, 9}));
    vec_destroy(v);
}

TEST(VecSetTest, SetWithinTheCountOverwrites) {
    vec *v = vector_of({1, 2, 3});
    vec_set(v, item(8), 1);
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{1, 8, 3}));
    vec_destroy(v);
}

TEST(VecRemoveTest, FindAndRemoveOfAnAbsentItem) {
    vec *v = vector_of({1, 2, 3});
    EXPECT_EQ(vec_find(v, item(4)), 4294967295u);
    EXPECT_EQ(vec_remove(v, item(4)), 0);
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{1, 2, 3}));
    vec_destroy(v);
}

TEST(VecRemoveTest, RemoveTakesTheFirstEqualSlotAndClearsTheFreedSlot) {
    vec *v = vector_of({1, 2, 3, 2});
    EXPECT_EQ(vec_find(v, item(2)), 1u);
    EXPECT_EQ(vec_remove(v, item(2)), 1);
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{1, 3, 2}));
    EXPECT_EQ(v->data[3], nullptr);
    EXPECT_EQ(vec_remove_at(v, 3), 0);
    vec_destroy(v);
}

TEST(VecRemoveTest, PopReturnsTheLastItemAndKeepsItsSlot) {
    vec *v = vector_of({1, 2});
    EXPECT_EQ(num(vec_last(v)), 2u);
    EXPECT_EQ(num(vec_pop(v)), 2u);
    EXPECT_EQ(vec_size(v), 1u);
    EXPECT_EQ(num(v->data[1]), 2u);
    vec_destroy(v);
}

TEST(VecInsertTest, InsertPlacesBeforeTheIndexAndAppendsBeyondTheCount) {
    vec *v = vector_of({1, 2});
    EXPECT_EQ(vec_insert(v, item(5), 0), 0u);
    EXPECT_EQ(vec_insert(v, item(6), 99), 3u);
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{5, 1, 2, 6}));
    vec_destroy(v);
}

TEST(VecMoveTest, MoveShiftsTheItemsBetween) {
    struct Case {
        uint32_t from, to;
        std::vector<uintptr_t> want;
    };
    for (const Case &c : {Case{0, 3, {2, 3, 4, 1, 5}}, Case{3, 0, {4, 1, 2, 3, 5}},
                          Case{2, 2, {1, 2, 3, 4, 5}}, Case{5, 0, {1, 2, 3, 4, 5}}}) {
        vec *v = vector_of({1, 2, 3, 4, 5});
        vec_move(v, c.from, c.to);
        EXPECT_EQ(contents(v), c.want) << "move " << c.from << " to " << c.to;
        vec_destroy(v);
    }
}

// ---- Bulk operations -------------------------------------------------------------

TEST(VecAppendAllTest, AppendsEveryItemAndReturnsTheSourceCount) {
    vec *p = vector_of({1});
    vec *n = vector_of({2, 3, 2});
    EXPECT_EQ(vec_append_all(p, n), 3u);
    EXPECT_EQ(contents(p), (std::vector<uintptr_t>{1, 2, 3, 2}));
    EXPECT_EQ(n->iterator, nullptr);
    vec_destroy(p);
    vec_destroy(n);
}

TEST(VecAppendAllTest, UniqueFormAddsDuplicatesInsideTheSourceOnce) {
    vec *p = vector_of({1, 3});
    vec *n = vector_of({2, 3, 2, 4});
    EXPECT_EQ(vec_append_all_unique(p, n), 4u);
    EXPECT_EQ(contents(p), (std::vector<uintptr_t>{1, 3, 2, 4}));
    vec_append_unique(p, item(1));
    EXPECT_EQ(vec_size(p), 4u);
    vec_destroy(p);
    vec_destroy(n);
}

TEST(VecAppendAllTest, AppendingAVectorToItselfDoublesIt) {
    vec *v = vector_of({1, 2});
    EXPECT_EQ(vec_append_all(v, v), 2u);
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{1, 2, 1, 2}));
    vec_destroy(v);
}

TEST(VecCopyTest, CopyIsShallowIndependentAndKeepsTheSerial) {
    vec *v = vector_of({1, 2, 3});
    vec_iter_reset(v);
    vec *c = vec_copy(v, __FILE__, __LINE__);
    EXPECT_EQ(c->serial, v->serial);
    EXPECT_EQ(c->capacity, v->capacity);
    EXPECT_EQ(c->iterator, nullptr);
    EXPECT_NE(c->data, v->data);
    EXPECT_EQ(contents(c), contents(v));
    vec_append(c, item(4));
    EXPECT_EQ(vec_size(v), 3u);
    EXPECT_EQ(vec_copy(nullptr, __FILE__, __LINE__), nullptr);
    vec_destroy(c);
    vec_destroy(v);
}

TEST(VecSortTest, SortsTheSlotsWithTheComparison) {
    vec *v = vector_of({5, 3, 9, 1, 3});
    vec_sort(v, compare_numbers);
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{1, 3, 3, 5, 9}));
    vec *empty = vec_create(__FILE__, __LINE__);
    vec_sort(empty, compare_numbers);
    EXPECT_EQ(empty->data, nullptr);
    vec_destroy(v);
    vec_destroy(empty);
}

// ---- The iteration protocol -------------------------------------------------------

TEST(VecIterTest, LoopVisitsEveryItemAndPopsItsIterator) {
    vec *v = vector_of({1, 2, 3});
    std::vector<uintptr_t> seen;
    void *it = nullptr;
    vec_iter_reset(v);
    while (loop_step(v, &it))
        seen.push_back(num(it));
    EXPECT_EQ(seen, (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_EQ(v->iterator, nullptr);
    vec_destroy(v);
}

TEST(VecIterTest, EmptyVectorLoopEndsAtOnceAndLeavesNoIterator) {
    vec *v = vec_create(__FILE__, __LINE__);
    vec_iter_reset(v);
    EXPECT_EQ(vec_iter_valid(v), 0);
    EXPECT_EQ(vec_iter_get(v), nullptr);
    EXPECT_EQ(vec_iter_next(v, 0), 0);
    EXPECT_EQ(v->iterator, nullptr);
    vec_destroy(v);
}

TEST(VecIterTest, InsertBeforeTheLoopPositionKeepsTheNextItem) {
    vec *v = vector_of({10, 11, 12, 13});
    void *it = nullptr;
    vec_iter_reset(v);
    loop_step(v, &it);
    loop_step(v, &it);
    ASSERT_EQ(v->iterator->position, 2u);
    vec_insert(v, item(99), 0);
    EXPECT_EQ(v->iterator->position, 3u);
    EXPECT_EQ(num(vec_iter_peek(v)), 12u);
    vec_destroy(v);
}

TEST(VecIterTest, InsertAtTheLoopPositionIsNotVisited) {
    vec *v = vector_of({10, 11, 12});
    void *it = nullptr;
    vec_iter_reset(v);
    loop_step(v, &it);
    vec_insert(v, item(99), 1);
    std::vector<uintptr_t> rest;
    while (loop_step(v, &it))
        rest.push_back(num(it));
    EXPECT_EQ(rest, (std::vector<uintptr_t>{11, 12}));
    vec_destroy(v);
}

TEST(VecIterTest, RemovingTheItemJustHandedOutSkipsNothing) {
    vec *v = vector_of({10, 11, 12, 13});
    std::vector<uintptr_t> seen;
    void *it = nullptr;
    vec_iter_reset(v);
    while (loop_step(v, &it)) {
        seen.push_back(num(it));
        if (num(it) == 11)
            vec_remove_at(v, v->iterator->position - 1);
    }
    EXPECT_EQ(seen, (std::vector<uintptr_t>{10, 11, 12, 13}));
    EXPECT_EQ(contents(v), (std::vector<uintptr_t>{10, 12, 13}));
    vec_destroy(v);
}

TEST(VecIterTest, RemovingAfterTheLoopPositionLeavesItAlone) {
    vec *v = vector_of({10, 11, 12});
    void *it = nullptr;
    vec_iter_reset(v);
    loop_step(v, &it);
    vec_remove_at(v, 1);
    EXPECT_EQ(v->iterator->position, 1u);
    EXPECT_EQ(num(vec_iter_peek(v)), 12u);
    vec_destroy(v);
}

TEST(VecIterTest, NestedLoopsKeepTheirOwnPositionsAndAllAreAdjusted) {
    vec *v = vector_of({1, 2, 3});
    std::vector<std::string> pairs;
    void *outer = nullptr;
    void *inner = nullptr;
    vec_iter_reset(v);
    while (loop_step(v, &outer)) {
        vec_iter_reset(v);
        EXPECT_EQ(stack_depth(v), 2u);
        while (loop_step(v, &inner))
            pairs.push_back(std::to_string(num(outer)) + std::to_string(num(inner)));
    }
    EXPECT_EQ(pairs.size(), 9u);
    EXPECT_EQ(pairs.front(), "11");
    EXPECT_EQ(pairs.back(), "33");

    vec_iter_reset(v);
    vec_iter_get(v);
    vec_iter_reset(v);
    vec_iter_get(v);
    vec_iter_get(v);
    vec_insert(v, item(0), 0);
    EXPECT_EQ(v->iterator->position, 3u);
    EXPECT_EQ(v->iterator->below->position, 2u);
    vec_destroy(v);
}

TEST(VecIterTest, FirstStartsAnIterationThatStaysStarted) {
    vec *v = vector_of({4, 5});
    EXPECT_EQ(num(vec_iter_first(v)), 4u);
    EXPECT_EQ(num(vec_iter_get(v)), 5u);
    EXPECT_EQ(vec_iter_get(v), nullptr);
    EXPECT_EQ(v->iterator->position, 2u);
    vec *empty = vec_create(__FILE__, __LINE__);
    EXPECT_EQ(vec_iter_first(empty), nullptr);
    EXPECT_EQ(stack_depth(empty), 1u);
    vec_destroy(empty);
    vec_destroy(v);
}

TEST(VecIterTest, LoopLeftEarlyKeepsItsIteratorUntilDestroy) {
    vec *v = vector_of({1, 2, 3});
    void *it = nullptr;
    vec_iter_reset(v);
    loop_step(v, &it);
    EXPECT_EQ(stack_depth(v), 1u);
    vec_remove_at(v, 0);
    EXPECT_EQ(v->iterator->position, 0u);
    vec_destroy(v);
}

TEST(VecIterTest, ClearEndsAnActiveIteration) {
    vec *v = vector_of({1, 2});
    vec_iter_reset(v);
    vec_clear(v);
    EXPECT_EQ(vec_iter_valid(v), 0);
    EXPECT_EQ(stack_depth(v), 1u);
    vec_destroy(v);
}

TEST(VecNullTest, OperationsThatAcceptNullDoNothing) {
    vec_destroy(nullptr);
    vec_iter_reset(nullptr);
    EXPECT_EQ(vec_size(nullptr), 0u);
    EXPECT_EQ(vec_iter_valid(nullptr), 0);
    EXPECT_EQ(vec_iter_get(nullptr), nullptr);
    EXPECT_EQ(vec_iter_peek(nullptr), nullptr);
    EXPECT_EQ(vec_iter_first(nullptr), nullptr);
    EXPECT_EQ(vec_iter_next(nullptr, 0), 0);
}

// ---- Assertions ----------------------------------------------------------------------

TEST(VecDeathTest, NullVectorFailsTheNamedAssertion) {
    EXPECT_DEATH(vec_append(nullptr, item(1)), "Assertion failed: p != NULL, file .*vector");
    EXPECT_DEATH(vec_get(nullptr, 0), "Assertion failed: p != NULL");
    EXPECT_DEATH(vec_pop(nullptr), "Assertion failed: p != NULL");
    vec *v = vec_create(__FILE__, __LINE__);
    EXPECT_DEATH(vec_append_all(v, nullptr), "Assertion failed: n != NULL");
    EXPECT_DEATH(vec_append_all_unique(v, nullptr), "Assertion failed: n != NULL");
    vec_destroy(v);
}

TEST(VecDeathTest, IterationWithoutResetFailsTheIteratorAssertion) {
    vec *v = vector_of({1});
    EXPECT_DEATH(vec_iter_valid(v), "Assertion failed: p->iterator != NULL");
    EXPECT_DEATH(vec_iter_get(v), "Assertion failed: p->iterator != NULL");
    EXPECT_DEATH(vec_iter_next(v, 0), "Assertion failed: p->iterator != NULL");
    vec_destroy(v);
}

TEST(VecDeathTest, ContinuingALoopOverNullFails) {
    EXPECT_DEATH(vec_iter_next(nullptr, 1), "Assertion failed: more == 0");
}

// ---- Leak tracking and the master-list report -----------------------------------------

TEST(VecReportTest, NothingIsWrittenWhenTrackingWasNeverOn) {
    expect_in_fresh_process([] {
        vec *v = vec_create(__FILE__, __LINE__);
        vec_append(v, item(1));
        return compare_text("report", capture_debug_out(vec_report), "");
    });
}

TEST(VecReportTest, ListsLivingVectorsAndSumsEachSite) {
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
        std::string want = "# Living Vector Master List:\n"
                           "# ptr    file:line    max_count/capacity    alive\n";
        std::snprintf(line, sizeof line, "# %p    site.c:10    11/20    Y\n",
                      static_cast<void *>(big));
        want += line;
        std::snprintf(line, sizeof line, "# %p    copy.c:3    1/10    Y\n",
                      static_cast<void *>(copy));
        want += line;
        std::snprintf(line, sizeof line, "# %p    other.c:7    2/10    Y\n",
                      static_cast<void *>(small));
        want += line;
        want += "# Vector Master List Summary:\n"
                "#                                                                  Living"
                "              Dead                Total\n"
                "#                                file:line                         "
                "vectors/capacity    vectors/capacity    vectors/capacity\n";
        auto row = [&line](const char *file, int l, const char *counts) {
            std::snprintf(line, sizeof line, "# %35s:%-5d                        %s\n", file, l,
                          counts);
            return std::string(line);
        };
        // Sites appear in the reverse order of their first record (site.c's
        // dead record, 1/10, sorts after other.c's 2/10).
        want += row("other.c", 7, "1/10    0/0    1/10");
        want += row("copy.c", 3, "1/10    0/0    1/10");
        want += row("site.c", 10, "1/20    1/10    2/30");
        want += row("Total Summary", 0, "3/40    1/10    4/50");
        vec_destroy(before);
        return compare_text("vector report", got, want);
    });
}

TEST(VecReportTest, DestroyedVectorIsCountedDeadAndNotListed) {
    expect_in_fresh_process([] {
        vec_track(true);
        vec *v = vec_create("gone.c", 5);
        vec_append(v, item(1));
        vec_destroy(v);
        std::string got = capture_debug_out(vec_report);
        if (got.find("gone.c:5    1/10    Y") != std::string::npos)
            return "dead vector listed among the living:\n" + got;
        std::string want_row = "#                              gone.c:5                            "
                               "0/0    1/10    1/10\n";
        if (got.find(want_row) == std::string::npos)
            return "no dead row for gone.c:\n" + got;
        if (got.find("Total Summary:0                            0/0    1/10    1/10") ==
            std::string::npos)
            return "dead vector missing from the total:\n" + got;
        return std::string();
    });
}

TEST(VecReportTest, SwitchingTrackingOnAgainStartsAnEmptyList) {
    expect_in_fresh_process([] {
        vec_track(true);
        vec *v = vec_create("first.c", 1);
        vec_track(false);
        vec_append(v, item(1)); // records already made are still updated
        if (v->track == nullptr)
            return std::string("tracked vector lost its record");
        vec *untracked = vec_create("off.c", 2);
        if (untracked->track != nullptr)
            return std::string("vector created with tracking off has a record");
        vec_track(true);
        std::string got = capture_debug_out(vec_report);
        if (got.find("first.c") != std::string::npos)
            return "earlier record reported:\n" + got;
        return std::string();
    });
}
