// alert_init with the built-in catalogue (what every process pays on its
// first diagnostic) beside a plain read of the same text from a file, so
// the ratio of parsing and merging to reading is visible. alert_init runs
// once per process; the test-only reset returns the module to its start
// between iterations, outside the timed region.
#include "common/alert.h"
#include "common/alert_catalogue.h"
#include "common/osdep.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int discard(const char *) {
    return 1;
}

void BM_AlertInitBuiltInCatalogue(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        alert_reset_for_tests();
        alert_set_output(discard);
        state.ResumeTiming();
        alert_init();
        benchmark::DoNotOptimize(alert_msg_file());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            alert_builtin_catalogue_size);
}
BENCHMARK(BM_AlertInitBuiltInCatalogue)->Unit(benchmark::kMicrosecond);

// Reference: open, read and close a file holding the same text.
void BM_PlainReadOfTheSameText(benchmark::State &state) {
    char *path = os_tmpfile_name(".msgs");
    FILE *out = plat_fopen(path, "wb");
    std::fwrite(alert_builtin_catalogue, 1, alert_builtin_catalogue_size, out);
    std::fclose(out);
    std::string content;
    content.reserve(alert_builtin_catalogue_size);
    for (auto _ : state) {
        content.clear();
        FILE *in = plat_fopen(path, "r");
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0)
            content.append(chunk, n);
        std::fclose(in);
        benchmark::DoNotOptimize(content.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            alert_builtin_catalogue_size);
    std::free(path);
}
BENCHMARK(BM_PlainReadOfTheSameText)->Unit(benchmark::kMicrosecond);

} // namespace
