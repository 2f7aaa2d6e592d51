#include "common/hash.h"

#include "common/stringcache.h"
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

void *ptr(uintptr_t n) {
    return reinterpret_cast<void *>(n);
}
uintptr_t num(const void *p) {
    return reinterpret_cast<uintptr_t>(p);
}

std::vector<uintptr_t> numbers(vec *v) {
    std::vector<uintptr_t> out;
    for (uint32_t i = 0; i < vec_size(v); ++i)
        out.push_back(num(vec_get(v, i)));
    vec_destroy(v);
    return out;
}

hash *string_table(uint32_t size) {
    return hash_create(size, hash_string, sc_strcmp, __FILE__, __LINE__);
}

} // namespace

// ---- String hashes -------------------------------------------------------------

TEST(HashStringTest, KnownValues) {
    struct Case {
        const char *text;
        uint32_t want;
    };
    for (const Case &c : {Case{"", 5381u}, Case{"a", 177670u}, Case{"ab", 177670u * 33 + 98},
                          Case{"\xff", 5381u * 33 - 1}}) {
        EXPECT_EQ(hash_string(c.text), c.want) << "\"" << c.text << "\"";
    }
}

TEST(HashStringTest, NoCaseHashIgnoresLetterCaseOnly) {
    EXPECT_EQ(hash_string_nocase("A"), hash_string("a"));
    EXPECT_EQ(hash_string_nocase("MixEd.C"), hash_string("mixed.c"));
    EXPECT_EQ(hash_string_nocase("\xc4"), hash_string("\xc4"));
}

// ---- Entries -----------------------------------------------------------------------

TEST(HashInsertTest, DuplicateKeyIsRefusedAndKeepsTheOldValue) {
    hash *h = string_table(7);
    EXPECT_EQ(hash_insert(h, "k", ptr(1), __FILE__, __LINE__), 1);
    EXPECT_EQ(hash_insert(h, std::string("k").c_str(), ptr(2), __FILE__, __LINE__), 0);
    EXPECT_EQ(num(hash_lookup(h, "k")), 1u);
    EXPECT_EQ(hash_count(h), 1u);
    hash_destroy(h);
}

TEST(HashInsertTest, ReplaceSwapsTheValueAndMovesTheEntryToTheChainEnd) {
    hash *h = hash_create(1, nullptr, nullptr, __FILE__, __LINE__);
    hash_insert(h, ptr(1), ptr(10), __FILE__, __LINE__);
    hash_insert(h, ptr(2), ptr(20), __FILE__, __LINE__);
    EXPECT_EQ(hash_replace(h, ptr(1), ptr(11)), 1);
    EXPECT_EQ(numbers(hash_keys(h)), (std::vector<uintptr_t>{2, 1}));
    EXPECT_EQ(numbers(hash_values(h)), (std::vector<uintptr_t>{20, 11}));
    EXPECT_EQ(hash_replace(h, ptr(3), ptr(30)), 1);
    EXPECT_EQ(hash_count(h), 3u);
    hash_destroy(h);
}

TEST(HashInsertTest, ReplaceOfAKeyHeldWithNullValueChangesNothing) {
    hash *h = hash_create(1, nullptr, nullptr, __FILE__, __LINE__);
    hash_insert(h, ptr(1), nullptr, __FILE__, __LINE__);
    hash_insert(h, ptr(2), ptr(20), __FILE__, __LINE__);
    EXPECT_EQ(hash_replace(h, ptr(1), ptr(11)), 0);
    EXPECT_EQ(numbers(hash_keys(h)), (std::vector<uintptr_t>{1, 2}));
    EXPECT_EQ(hash_lookup(h, ptr(1)), nullptr);
    EXPECT_EQ(hash_haskey(h, ptr(1)), 1);
    hash_destroy(h);
}

TEST(HashInsertTest, DefaultComparisonTreatsEqualTextsAsDifferentKeys) {
    hash *h = hash_create(5, nullptr, nullptr, __FILE__, __LINE__);
    std::string a = "same", b = "same";
    EXPECT_EQ(hash_insert(h, a.c_str(), ptr(1), __FILE__, __LINE__), 1);
    EXPECT_EQ(hash_insert(h, b.c_str(), ptr(2), __FILE__, __LINE__), 1);
    EXPECT_EQ(num(hash_lookup(h, b.c_str())), 2u);
    hash_destroy(h);
}

TEST(HashRemoveTest, RemoveReturnsTheValueOrNull) {
    hash *h = string_table(3);
    hash_insert(h, "x", ptr(5), __FILE__, __LINE__);
    EXPECT_EQ(hash_remove(h, "y"), nullptr);
    EXPECT_EQ(num(hash_remove(h, "x")), 5u);
    EXPECT_EQ(hash_haskey(h, "x"), 0);
    EXPECT_EQ(hash_count(h), 0u);
    hash_destroy(h);
}

TEST(HashRemoveTest, RemovedEntryIsReusedByTheNextInsertion) {
    hash *h = hash_create(1, nullptr, nullptr, __FILE__, __LINE__);
    hash_insert(h, ptr(1), ptr(10), __FILE__, __LINE__);
    hash_entry *first = h->buckets[0];
    hash_remove(h, ptr(1));
    hash_insert(h, ptr(2), ptr(20), __FILE__, __LINE__);
    EXPECT_EQ(h->buckets[0], first);
    hash_destroy(h);
}

TEST(HashWalkTest, KeysAndValuesCorrespond) {
    hash *h = hash_create(3, nullptr, nullptr, __FILE__, __LINE__);
    for (uintptr_t k = 1; k <= 9; ++k)
        hash_insert(h, ptr(k), ptr(k * 100), __FILE__, __LINE__);
    std::vector<uintptr_t> keys = numbers(hash_keys(h));
    std::vector<uintptr_t> values = numbers(hash_values(h));
    ASSERT_EQ(keys.size(), 9u);
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(values[i], keys[i] * 100);
    EXPECT_EQ(keys, (std::vector<uintptr_t>{3, 6, 9, 1, 4, 7, 2, 5, 8}));
    hash_destroy(h);
}

TEST(HashWalkTest, ForeachStopsAtTheFirstNonZeroResult) {
    hash *h = hash_create(1, nullptr, nullptr, __FILE__, __LINE__);
    for (uintptr_t k = 1; k <= 4; ++k)
        hash_insert(h, ptr(k), ptr(k), __FILE__, __LINE__);
    std::vector<uintptr_t> visited;
    auto stop_at_three = [](void *ctx, const void *key, void *) {
        static_cast<std::vector<uintptr_t> *>(ctx)->push_back(num(key));
        return num(key) == 3 ? 7 : 0;
    };
    EXPECT_EQ(hash_foreach(h, &visited, stop_at_three), 7);
    EXPECT_EQ(visited, (std::vector<uintptr_t>{1, 2, 3}));
    auto never = [](void *, const void *, void *) { return 0; };
    EXPECT_EQ(hash_foreach(h, nullptr, never), 0);
    hash_destroy(h);
}

// ---- Copies and clearing -----------------------------------------------------------

TEST(HashCopyTest, CopyKeepsBucketsAndOrderAndIsIndependent) {
    hash *h = hash_create(2, nullptr, nullptr, __FILE__, __LINE__);
    for (uintptr_t k = 1; k <= 5; ++k)
        hash_insert(h, ptr(k), ptr(k + 10), __FILE__, __LINE__);
    hash *c = hash_copy(h, __FILE__, __LINE__);
    EXPECT_EQ(c->size, 2u);
    EXPECT_EQ(hash_count(c), 5u);
    EXPECT_EQ(numbers(hash_keys(c)), numbers(hash_keys(h)));
    hash_remove(c, ptr(2));
    EXPECT_EQ(num(hash_lookup(h, ptr(2))), 12u);
    hash_destroy(c);
    hash_destroy(h);
}

TEST(HashCopyTest, AssignTakesTheSourceSizeAndEntries) {
    hash *src = hash_create(4, nullptr, nullptr, __FILE__, __LINE__);
    hash *dest = hash_create(9, nullptr, nullptr, __FILE__, __LINE__);
    hash_insert(src, ptr(1), ptr(2), __FILE__, __LINE__);
    hash_insert(dest, ptr(7), ptr(8), __FILE__, __LINE__);
    EXPECT_EQ(hash_assign(dest, src, __FILE__, __LINE__), dest);
    EXPECT_EQ(dest->size, 4u);
    EXPECT_EQ(hash_count(dest), 1u);
    EXPECT_EQ(hash_haskey(dest, ptr(7)), 0);
    EXPECT_EQ(num(hash_lookup(dest, ptr(1))), 2u);
    hash *fresh = hash_assign(nullptr, src, __FILE__, __LINE__);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(hash_count(fresh), 1u);
    EXPECT_EQ(hash_assign(fresh, nullptr, __FILE__, __LINE__), nullptr);
    EXPECT_EQ(hash_assign(nullptr, nullptr, __FILE__, __LINE__), nullptr);
    hash_destroy(dest);
    hash_destroy(src);
}

TEST(HashCopyTest, ClearEmptiesEveryBucket) {
    hash *h = hash_create(3, nullptr, nullptr, __FILE__, __LINE__);
    for (uintptr_t k = 1; k <= 6; ++k)
        hash_insert(h, ptr(k), ptr(k), __FILE__, __LINE__);
    hash_clear(h);
    EXPECT_EQ(hash_count(h), 0u);
    for (uint32_t b = 0; b < h->size; ++b)
        EXPECT_EQ(h->buckets[b], nullptr);
    EXPECT_EQ(hash_insert(h, ptr(1), ptr(1), __FILE__, __LINE__), 1);
    hash_destroy(h);
    hash_destroy(nullptr);
}

TEST(HashDeathTest, ZeroBucketsFailTheSizeAssertion) {
    EXPECT_DEATH(hash_create(0, nullptr, nullptr, __FILE__, __LINE__),
                 "Assertion failed: size != 0, file .*hash");
}

// ---- Tracking ------------------------------------------------------------------------

TEST(HashTrackTest, OneBucketTableCountsAndTracesEveryClash) {
    expect_in_fresh_process([] {
        hash_track(true);
        hash *h = hash_create(1, nullptr, nullptr, "one.c", 4);
        hash_track(false);
        uint32_t save_flags = gDebugFlags;
        gDebugFlags = 1;
        std::string trace = capture_debug_out([h] {
            for (uintptr_t k = 1; k <= 5; ++k)
                hash_insert(h, ptr(k), ptr(k * 2), "caller.c", 77);
        });
        gDebugFlags = save_flags;
        const hash_track_record *rec = h->track;
        if (rec->clashes != 10 || rec->max_usage != 5 || rec->max_utilisation != 1)
            return "statistics " + std::to_string(rec->clashes) + " " +
                   std::to_string(rec->max_usage) + " " + std::to_string(rec->max_utilisation);
        char want[128];
        std::snprintf(want, sizeof want, "HASH @ one.c:4 (5/1) clashed 4 times inserting (%p,%p)",
                      ptr(5), ptr(10));
        if (trace.find(want) == std::string::npos ||
            trace.find("clashed 0 times") != std::string::npos)
            return "clash trace lacks \"" + std::string(want) + "\":\n" + trace;
        return std::string();
    });
}

TEST(HashTrackTest, BucketsInUseFollowRemovalAndClearing) {
    expect_in_fresh_process([] {
        hash_track(true);
        hash *h = hash_create(4, nullptr, nullptr, "use.c", 1);
        for (uintptr_t k = 0; k < 3; ++k)
            hash_insert(h, ptr(k), ptr(1), __FILE__, __LINE__);
        hash_remove(h, ptr(1));
        std::string seen = std::to_string(h->track->buckets_in_use) + "/" +
                           std::to_string(h->track->max_utilisation);
        hash_clear(h);
        seen += " " + std::to_string(h->track->buckets_in_use);
        return compare_text("buckets in use / max utilisation", seen + "\n", "2/3 0\n");
    });
}

TEST(HashReportTest, NothingIsWrittenWhenTrackingWasNeverOn) {
    expect_in_fresh_process([] {
        hash *h = hash_create(3, nullptr, nullptr, __FILE__, __LINE__);
        hash_insert(h, ptr(1), ptr(1), __FILE__, __LINE__);
        return compare_text("report", capture_debug_out(hash_report), "");
    });
}

TEST(HashReportTest, ListsTablesMostClashesFirstWithTheirFlags) {
    expect_in_fresh_process([] {
        hash_track(true);
        hash *calm = hash_create(13, hash_string, sc_strcmp, "calm.c", 5);
        hash *busy = hash_create(1, nullptr, nullptr, "busy.c", 9);
        hash *gone = hash_create(2, nullptr, sc_strcmp, "gone.c", 3);
        hash_insert(calm, "a", ptr(1), __FILE__, __LINE__);
        for (uintptr_t k = 1; k <= 3; ++k)
            hash_insert(busy, ptr(k), ptr(k), __FILE__, __LINE__);
        const hash_track_record *gone_record = gone->track;
        void *gone_address = gone;
        hash_destroy(gone);
        hash *copy = hash_copy(busy, "copy.c", 1); // copies are never reported
        std::string got = capture_debug_out(hash_report);

        char line[200];
        std::string want = "# Hash Table Master List:\n"
                           "# ptr    file:line    max_util/capacity    max_usage/capacity    "
                           "clashes    voidcmp    voidhash    alive\n";
        std::snprintf(line, sizeof line, "# %p    busy.c:9    1/1    3/1    3    Y    Y    Y\n",
                      static_cast<void *>(busy));
        want += line;
        std::snprintf(line, sizeof line, "# %p    calm.c:5    1/13    1/13    0    n    n    Y\n",
                      static_cast<void *>(calm));
        std::string calm_line = line;
        std::snprintf(line, sizeof line, "# %p    gone.c:3    0/2    0/2    0    n    Y    n\n",
                      gone_address);
        std::string gone_line = line;
        // Equal clashes: the record at the higher address comes first.
        want += calm->track > gone_record ? calm_line + gone_line : gone_line + calm_line;
        hash_destroy(copy);
        return compare_text("hash report", got, want);
    });
}
