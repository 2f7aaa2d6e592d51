// Launch cost of the host seam: plat_spawnv (the Windows command-line round
// trip, fresh signal state) against the host's plain launch of the same
// no-op program, one child per iteration. Compare the two times per
// iteration; the seam should add little to the cost of starting a process.
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

// A program that does nothing and exits with 0.
const char *noop_program() {
    static const char *const candidates[] = {"/bin/true", "/usr/bin/true"};
    for (const char *c : candidates)
        if (std::filesystem::exists(c))
            return c;
    return candidates[0];
}

void BM_PlatSpawnv(benchmark::State &state) {
    const char *program = noop_program();
    const char *argv[] = {program, "some", "argument words", nullptr};
    for (auto _ : state)
        benchmark::DoNotOptimize(plat_spawnv(PLAT_P_WAIT, program, argv));
}
BENCHMARK(BM_PlatSpawnv)->Iterations(1000)->Unit(benchmark::kMicrosecond);

void BM_HostSpawnDirect(benchmark::State &state) {
    const char *program = noop_program();
    const char *argv[] = {program, "some", "argument words", nullptr};
    for (auto _ : state)
        benchmark::DoNotOptimize(plat_spawn_direct(program, argv));
}
BENCHMARK(BM_HostSpawnDirect)->Iterations(1000)->Unit(benchmark::kMicrosecond);

} // namespace
