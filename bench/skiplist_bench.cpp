// Skip list against std::map: inserting and looking up 1e5 integer keys
// (in a scrambled order), side by side.
#include "common/skiplist.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <vector>

namespace {

constexpr uintptr_t kKeys = 100000;

// 1..kKeys in a scrambled but fixed order.
const std::vector<uintptr_t> &keys() {
    static const std::vector<uintptr_t> order = [] {
        std::vector<uintptr_t> v;
        for (uintptr_t i = 0; i < kKeys; ++i)
            v.push_back((i * 40503u) % kKeys + 1);
        return v;
    }();
    return order;
}

void *as_ptr(uintptr_t n) {
    return reinterpret_cast<void *>(n);
}

void skiplist_insert_1e5(benchmark::State &state) {
    for (auto _ : state) {
        skiplist *list = skiplist_create(nullptr, nullptr, nullptr, __FILE__, __LINE__);
        for (uintptr_t k : keys())
            skiplist_insert(list, as_ptr(k), as_ptr(k), __FILE__, __LINE__);
        benchmark::DoNotOptimize(list);
        state.PauseTiming();
        skiplist_destroy(list);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(skiplist_insert_1e5)->Unit(benchmark::kMillisecond);

void map_insert_1e5(benchmark::State &state) {
    for (auto _ : state) {
        auto *map = new std::map<uintptr_t, void *>;
        for (uintptr_t k : keys())
            map->emplace(k, as_ptr(k));
        benchmark::DoNotOptimize(map);
        state.PauseTiming();
        delete map;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(map_insert_1e5)->Unit(benchmark::kMillisecond);

void skiplist_lookup_1e5(benchmark::State &state) {
    skiplist *list = skiplist_create(nullptr, nullptr, nullptr, __FILE__, __LINE__);
    for (uintptr_t k : keys())
        skiplist_insert(list, as_ptr(k), as_ptr(k), __FILE__, __LINE__);
    for (auto _ : state) {
        for (uintptr_t k : keys())
            benchmark::DoNotOptimize(skiplist_lookup(list, as_ptr(k)));
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
    skiplist_destroy(list);
}
BENCHMARK(skiplist_lookup_1e5)->Unit(benchmark::kMillisecond);

void map_lookup_1e5(benchmark::State &state) {
    std::map<uintptr_t, void *> map;
    for (uintptr_t k : keys())
        map.emplace(k, as_ptr(k));
    for (auto _ : state) {
        for (uintptr_t k : keys())
            benchmark::DoNotOptimize(map.find(k)->second);
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(map_lookup_1e5)->Unit(benchmark::kMillisecond);

} // namespace
