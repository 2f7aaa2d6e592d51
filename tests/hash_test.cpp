#include "common/hash.h"

#include "common/stringcache.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace test_support;

using Items = std::vector<uintptr_t>;

namespace {

// Pointer keys k map to k * 10 in the tables built here; h is destroyed after each test.
class HashTest : public testing::Test {
  protected:
    hash *h = nullptr;
    void TearDown() override { hash_destroy(h); }

    static void *ptr(uintptr_t n) { return reinterpret_cast<void *>(n); }
    static uintptr_t num(const void *p) { return reinterpret_cast<uintptr_t>(p); }
    static Items numbers(vec *v) {
        Items out;
        for (uint32_t i = 0; i < vec_size(v); ++i)
            out.push_back(num(vec_get(v, i)));
        vec_destroy(v);
        return out;
    }
    static hash *table(uint32_t buckets, uintptr_t count, const char *file = __FILE__,
                       int line = 0) {
        hash *t = hash_create(buckets, nullptr, nullptr, file, line);
        for (uintptr_t k = 1; k <= count; ++k)
            hash_insert(t, ptr(k), ptr(k * 10), __FILE__, __LINE__);
        return t;
    }
};
using HashDeathTest = HashTest;

} // namespace

TEST_F(HashTest, StringHashesAndInsertRefusingADuplicateKeyUnderTheTableComparison) {
    h = hash_create(7, hash_string, sc_strcmp, __FILE__, __LINE__);
    EXPECT_EQ(hash_insert(h, "k", ptr(1), __FILE__, __LINE__), 1);
    EXPECT_EQ(hash_insert(h, std::string("k").c_str(), ptr(2), __FILE__, __LINE__), 0);
    EXPECT_EQ(num(hash_lookup(h, "k")), 1u);
    EXPECT_EQ(hash_count(h), 1u);
    hash *by_address = table(5, 0);
    std::string a = "same", b = "same";
    EXPECT_EQ(hash_insert(by_address, a.c_str(), ptr(1), __FILE__, __LINE__), 1);
    EXPECT_EQ(hash_insert(by_address, b.c_str(), ptr(2), __FILE__, __LINE__), 1);
    EXPECT_EQ(num(hash_lookup(by_address, b.c_str())), 2u);
    hash_destroy(by_address);
    // The string hash has known values and a no-case form.
    using Case = std::pair<const char *, uint32_t>;
    for (auto [text, want] : {Case{"", 5381u}, Case{"a", 177670u}, Case{"ab", 177670u * 33 + 98},
                              Case{"\xff", 5381u * 33 - 1}})
        EXPECT_EQ(hash_string(text), want) << "\"" << text << "\"";
    EXPECT_EQ(hash_string_nocase("MixEd.C"), hash_string("mixed.c"));
    EXPECT_EQ(hash_string_nocase("\xc4"), hash_string("\xc4"));
}

TEST_F(HashTest, ReplaceMovesTheEntryToTheChainEndAndRemoveKeepsItAsSpare) {
    h = table(1, 2);
    EXPECT_EQ(hash_replace(h, ptr(1), ptr(11)), 1);
    EXPECT_EQ(numbers(hash_keys(h)), (Items{2, 1}));
    EXPECT_EQ(numbers(hash_values(h)), (Items{20, 11}));
    EXPECT_EQ(hash_replace(h, ptr(3), ptr(30)), 1);
    EXPECT_EQ(hash_count(h), 3u);
    hash_insert(h, ptr(4), nullptr, __FILE__, __LINE__);
    EXPECT_EQ(hash_replace(h, ptr(4), ptr(40)), 0);
    EXPECT_EQ(numbers(hash_keys(h)), (Items{2, 1, 3, 4}));
    EXPECT_EQ(hash_lookup(h, ptr(4)), nullptr);
    EXPECT_EQ(hash_haskey(h, ptr(4)), 1);
    hash_entry *first = h->buckets[0];
    EXPECT_EQ(hash_remove(h, ptr(9)), nullptr);
    EXPECT_EQ(num(hash_remove(h, ptr(2))), 20u);
    EXPECT_EQ(hash_haskey(h, ptr(2)), 0);
    hash_insert(h, ptr(5), ptr(50), __FILE__, __LINE__); // takes the spare entry
    EXPECT_EQ(h->buckets[0]->next->next->next, first);
}

TEST_F(HashTest, CopyAssignForeachAndClear) {
    h = table(2, 5);
    hash *c = hash_copy(h, __FILE__, __LINE__);
    EXPECT_EQ(num(hash_lookup(c, ptr(2))), 20u); // the copy finds its own values
    hash_remove(h, ptr(2));
    hash *dest = hash_assign(table(9, 7), c, __FILE__, __LINE__);
    EXPECT_EQ(dest->size, 2u);
    EXPECT_EQ(numbers(hash_keys(dest)), (Items{2, 4, 1, 3, 5})); // bucket by bucket
    Items visited;
    auto stop_at_three = [](void *ctx, const void *key, void *) {
        static_cast<Items *>(ctx)->push_back(num(key));
        return num(key) == 3 ? 7 : 0;
    };
    EXPECT_EQ(hash_foreach(dest, &visited, stop_at_three), 7);
    EXPECT_EQ(visited, (Items{2, 4, 1, 3}));
    // A callback may remove the entry it is handed: the rest are still
    // visited once each, and no spare entry of another table turns up.
    hash *other = table(3, 2);
    hash_remove(other, ptr(1));
    hash_remove(other, ptr(2));
    hash_destroy(other);
    struct Walk {
        hash *table;
        Items seen;
    } walk{dest, {}};
    auto remove_each = [](void *ctx, const void *key, void *) {
        auto *w = static_cast<Walk *>(ctx);
        w->seen.push_back(num(key));
        hash_remove(w->table, key);
        return 0;
    };
    EXPECT_EQ(hash_foreach(dest, &walk, remove_each), 0);
    EXPECT_EQ(walk.seen, (Items{2, 4, 1, 3, 5}));
    EXPECT_EQ(hash_count(dest), 0u);
    EXPECT_EQ(hash_assign(dest, nullptr, __FILE__, __LINE__), nullptr); // destroys dest
    hash_clear(c);
    EXPECT_TRUE(c->buckets[0] == nullptr && c->buckets[1] == nullptr);
    hash_destroy(c);
}

TEST_F(HashDeathTest, ZeroBucketsFailTheSizeAssertion) {
    EXPECT_DEATH(hash_create(0, nullptr, nullptr, __FILE__, __LINE__),
                 "Assertion failed: size != 0, file .*hash");
}

TEST_F(HashTest, TrackingCountsAndTracesEveryClashAndTheBucketsInUse) {
    expect_in_fresh_process([] {
        hash *untracked = table(3, 1);
        std::string never_on = debug_out_of(hash_report);
        if (!never_on.empty() || untracked->track != nullptr)
            return "tracking never switched on, yet:\n" + never_on;
        hash_track(true);
        hash *h = table(1, 0, "one.c", 4);
        hash *use = table(4, 3);
        hash_track(false);
        hash_remove(use, ptr(1));
        std::string seen = std::to_string(use->track->buckets_in_use) + "/" +
                           std::to_string(use->track->max_utilisation) + " ";
        hash_clear(use);
        gDebugFlags = 1; // this process ends with the check
        std::string trace = debug_out_of([h] {
            for (uintptr_t k = 1; k <= 5; ++k)
                hash_insert(h, ptr(k), ptr(k * 2), "caller.c", 77);
        });
        const hash_track_record *rec = h->track;
        seen += std::to_string(use->track->buckets_in_use) + " " + std::to_string(rec->clashes) +
                " " + std::to_string(rec->max_usage) + "/" + std::to_string(rec->max_utilisation);
        if (seen != "2/3 0 10 5/1")
            return "buckets in use/max utilisation, clashes, max usage/max utilisation: " + seen;
        char want[128];
        std::snprintf(want, sizeof want, "HASH @ one.c:4 (5/1) clashed 4 times inserting (%p,%p)",
                      ptr(5), ptr(10));
        if (trace.find(want) == std::string::npos ||
            trace.find("clashed 0 times") != std::string::npos)
            return "clash trace lacks \"" + std::string(want) + "\":\n" + trace;
        return std::string();
    });
}

TEST_F(HashTest, ReportListsTablesMostClashesFirstWithTheirFlags) {
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
        std::string got = debug_out_of(hash_report);
        char line[200];
        auto row = [&line](const void *p, const char *fields) {
            std::snprintf(line, sizeof line, "# %p    %s\n", p, fields);
            return std::string(line);
        };
        std::string calm_line = row(calm, "calm.c:5    1/13    1/13    0    n    n    Y");
        std::string gone_line = row(gone_address, "gone.c:3    0/2    0/2    0    n    Y    n");
        // Equal clashes: the record at the higher address comes first.
        std::string want =
            "# Hash Table Master List:\n"
            "# ptr    file:line    max_util/capacity    max_usage/capacity    "
            "clashes    voidcmp    voidhash    alive\n" +
            row(busy, "busy.c:9    1/1    3/1    3    Y    Y    Y") +
            (calm->track > gone_record ? calm_line + gone_line : gone_line + calm_line);
        hash_destroy(copy);
        return lacks(got, want);
    });
}
