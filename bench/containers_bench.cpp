// The containers and the string cache side by side with the standard
// library's counterparts:
//   - vec_append of 1e6 items vs std::vector::push_back (target: at most 1.5x);
//   - one full loop with the iteration protocol over 1e6 items vs an index
//     loop over std::vector (target: at most 3x);
//   - sc_intern of an already-interned string, 5,000 distinct strings cached,
//     vs std::unordered_set<std::string>::find (target: at most 1.5x);
//   - sc_intern of strings not cached yet vs std::unordered_set::insert
//     (the miss path; a figure, no target).
#include "common/stringcache.h"
#include "common/vector.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr uint32_t kItems = 1000000;
constexpr int kCachedStrings = 5000;
constexpr int kFreshStrings = 20000;

void *item(uint32_t n) {
    return reinterpret_cast<void *>(static_cast<uintptr_t>(n) + 1);
}

std::vector<std::string> numbered(const char *prefix, int count) {
    std::vector<std::string> out;
    out.reserve(count);
    char text[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, "%s%d-some/typical\\path.c", prefix, i);
        out.emplace_back(text);
    }
    return out;
}

// ---- Appending ----------------------------------------------------------------

void BM_VecAppend(benchmark::State &state) {
    for (auto _ : state) {
        vec *v = vec_create(__FILE__, __LINE__);
        for (uint32_t i = 0; i < kItems; ++i)
            vec_append(v, item(i));
        benchmark::DoNotOptimize(v->data);
        vec_destroy(v);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_VecAppend)->Unit(benchmark::kMillisecond);

void BM_StdVectorPushBack(benchmark::State &state) {
    for (auto _ : state) {
        std::vector<void *> v;
        for (uint32_t i = 0; i < kItems; ++i)
            v.push_back(item(i));
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_StdVectorPushBack)->Unit(benchmark::kMillisecond);

// ---- Iterating --------------------------------------------------------------------

void BM_VecIterationProtocol(benchmark::State &state) {
    vec *v = vec_create(__FILE__, __LINE__);
    for (uint32_t i = 0; i < kItems; ++i)
        vec_append(v, item(i));
    for (auto _ : state) {
        void *it = nullptr;
        int more;
        vec_iter_reset(v);
        do {
            more = vec_iter_valid(v);
            if (more) {
                it = vec_iter_get(v);
                benchmark::DoNotOptimize(it);
            }
        } while (vec_iter_next(v, more));
    }
    state.SetItemsProcessed(state.iterations() * kItems);
    vec_destroy(v);
}
BENCHMARK(BM_VecIterationProtocol)->Unit(benchmark::kMillisecond);

// Marks a value as used without making the compiler forget what it holds in
// memory (unlike benchmark::DoNotOptimize, which also clobbers memory).
template <typename T> inline void use_value(T value) {
#if defined(__GNUC__)
    asm volatile("" : : "r"(value));
#else
    benchmark::DoNotOptimize(value);
#endif
}

void BM_VecIterationProtocolLightBody(benchmark::State &state) {
    vec *v = vec_create(__FILE__, __LINE__);
    for (uint32_t i = 0; i < kItems; ++i)
        vec_append(v, item(i));
    for (auto _ : state) {
        void *it = nullptr;
        int more;
        vec_iter_reset(v);
        do {
            more = vec_iter_valid(v);
            if (more) {
                it = vec_iter_get(v);
                use_value(it);
            }
        } while (vec_iter_next(v, more));
    }
    state.SetItemsProcessed(state.iterations() * kItems);
    vec_destroy(v);
}
BENCHMARK(BM_VecIterationProtocolLightBody)->Unit(benchmark::kMillisecond);

void BM_StdVectorIndexLoopLightBody(benchmark::State &state) {
    std::vector<void *> v;
    for (uint32_t i = 0; i < kItems; ++i)
        v.push_back(item(i));
    for (auto _ : state) {
        for (size_t i = 0; i < v.size(); ++i)
            use_value(v[i]);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_StdVectorIndexLoopLightBody)->Unit(benchmark::kMillisecond);

void BM_StdVectorIndexLoop(benchmark::State &state) {
    std::vector<void *> v;
    for (uint32_t i = 0; i < kItems; ++i)
        v.push_back(item(i));
    for (auto _ : state) {
        for (size_t i = 0; i < v.size(); ++i) {
            void *it = v[i];
            benchmark::DoNotOptimize(it);
        }
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_StdVectorIndexLoop)->Unit(benchmark::kMillisecond);

// ---- Interning: hits ------------------------------------------------------------------

void BM_ScInternHit(benchmark::State &state) {
    std::vector<std::string> keys = numbered("hit-", kCachedStrings);
    for (const std::string &k : keys)
        sc_intern(k.c_str());
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sc_intern(keys[i].c_str()));
        if (++i == keys.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScInternHit);

void BM_StdUnorderedSetFind(benchmark::State &state) {
    std::vector<std::string> keys = numbered("hit-", kCachedStrings);
    std::unordered_set<std::string> set(keys.begin(), keys.end());
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(set.find(keys[i]));
        if (++i == keys.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StdUnorderedSetFind);

// ---- Interning: misses ------------------------------------------------------------------
// Each iteration interns a string the cache has not seen; a run adds 20,000
// strings to the cache's fixed 5,077 buckets.

void BM_ScInternMiss(benchmark::State &state) {
    // A new prefix for every run, so that repetitions miss as well.
    static int run = 0;
    std::string prefix = "miss-" + std::to_string(run++) + "-";
    std::vector<std::string> keys = numbered(prefix.c_str(), kFreshStrings);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(sc_intern(keys[i++].c_str()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScInternMiss)->Iterations(kFreshStrings);

void BM_StdUnorderedSetInsert(benchmark::State &state) {
    std::vector<std::string> keys = numbered("miss-", kFreshStrings);
    std::unordered_set<std::string> set(keys.begin(), keys.begin() + kCachedStrings);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(set.insert(keys[i++]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StdUnorderedSetInsert)->Iterations(kFreshStrings);

} // namespace
