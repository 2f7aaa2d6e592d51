// Launch cost of os_spawn (argument quoting, the Windows command-line round
// trip of the platform layer, the wait) against the host's own
// posix_spawn + waitpid of the same no-op program, 1,000 children each.
// BM_SpawnRatio runs both side by side and reports os_spawn's time per child
// divided by the direct launch's as the counter "ratio" (target: at most
// 1.15; read the median of the five rounds).
#include "common/osdep.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

constexpr int kChildren = 1000;

// A program that does nothing and exits with 0.
const char *noop_program() {
    static const char *const candidates[] = {"/bin/true", "/usr/bin/true"};
    for (const char *c : candidates)
        if (std::filesystem::exists(c))
            return c;
    return candidates[0];
}

int launch_with_os_spawn(const char *program) {
    const char *argv[] = {program, "some", "argument words", nullptr};
    return os_spawn(program, argv);
}

int launch_directly(const char *program) {
    const char *argv[] = {program, "some", "argument words", nullptr};
    pid_t pid;
    if (posix_spawn(&pid, program, nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) == -1) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_OsSpawn(benchmark::State &state) {
    const char *program = noop_program();
    for (auto _ : state)
        benchmark::DoNotOptimize(launch_with_os_spawn(program));
}
BENCHMARK(BM_OsSpawn)->Iterations(kChildren)->Unit(benchmark::kMicrosecond);

void BM_PosixSpawnWaitpid(benchmark::State &state) {
    const char *program = noop_program();
    for (auto _ : state)
        benchmark::DoNotOptimize(launch_directly(program));
}
BENCHMARK(BM_PosixSpawnWaitpid)->Iterations(kChildren)->Unit(benchmark::kMicrosecond);

// Alternates the two launches so that both see the same machine load.
void BM_SpawnRatio(benchmark::State &state) {
    using clock = std::chrono::steady_clock;
    const char *program = noop_program();
    clock::duration ours{}, direct{};
    for (auto _ : state) {
        auto t0 = clock::now();
        benchmark::DoNotOptimize(launch_with_os_spawn(program));
        auto t1 = clock::now();
        benchmark::DoNotOptimize(launch_directly(program));
        auto t2 = clock::now();
        ours += t1 - t0;
        direct += t2 - t1;
    }
    state.counters["ratio"] =
        std::chrono::duration<double>(ours).count() / std::chrono::duration<double>(direct).count();
}
// Five rounds of 1,000 pairs; the median ratio is the figure to read, since
// other processes on the machine disturb single rounds.
BENCHMARK(BM_SpawnRatio)
    ->Iterations(kChildren)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

} // namespace
