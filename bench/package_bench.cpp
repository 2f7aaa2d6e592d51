// Adding a 1 MiB trace to a debug package that already holds 50 entries:
// db_package_add against the "zip -6" command doing the same, side by side.
// Each iteration starts from a fresh copy of the 50-entry package.
#include "common/vqdebug.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Workspace {
    fs::path dir = fs::temp_directory_path() / "vq4_package_bench";
    Workspace() {
        fs::remove_all(dir);
        fs::create_directories(dir / "entries");
        fs::current_path(dir);
        write_trace();
        std::string cmd = "zip -6 -q base.zip";
        for (int i = 0; i < 50; ++i) {
            std::string name = "entries/vq4-" + std::to_string(i + 1) + ".out";
            std::ofstream(name) << std::string(2000 + 37 * i, static_cast<char>('a' + i % 26));
            cmd += " " + name;
        }
        if (std::system(cmd.c_str()) != 0)
            std::abort();
        db_parse_options("--vqdebug=zip:+work.zip");
    }
    // 1 MiB of trace lines of the kind the debug-out file holds.
    static void write_trace() {
        std::string text;
        char line[128];
        for (unsigned n = 0; text.size() < (1u << 20); ++n) {
            std::snprintf(line, sizeof line, "vector.c:%-12u>     ENTER vec_append(%u)\n",
                          100 + n % 900, n * 2654435761u);
            text += line;
        }
        text.resize(1u << 20);
        std::ofstream("trace.out") << text;
    }
    static void fresh_package() {
        fs::copy_file("base.zip", "work.zip", fs::copy_options::overwrite_existing);
    }
};

Workspace &workspace() {
    static Workspace w;
    return w;
}

void db_package_add_1MiB_to_50(benchmark::State &state) {
    workspace();
    for (auto _ : state) {
        state.PauseTiming();
        Workspace::fresh_package();
        state.ResumeTiming();
        db_package_add("trace.out", nullptr);
    }
}
BENCHMARK(db_package_add_1MiB_to_50)->Unit(benchmark::kMillisecond)->UseRealTime();

void zip_command_1MiB_to_50(benchmark::State &state) {
    workspace();
    for (auto _ : state) {
        state.PauseTiming();
        Workspace::fresh_package();
        state.ResumeTiming();
        if (std::system("zip -6 -q work.zip trace.out") != 0)
            state.SkipWithError("zip failed");
    }
}
BENCHMARK(zip_command_1MiB_to_50)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
