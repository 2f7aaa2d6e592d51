// recording_driver: the compiler driver of the end-to-end tests, installed
// under the four driver names. Each run appends to the file named by
// VQ4_E2E_RECORD "run <its file name>", then "line <line>" for each raw
// line of an "@" command file and "parsed <argument>" for each argument as
// a driver reads it (line feeds in it shown as "\n").
// The tests steer it through the environment:
// - VQ4_E2E_DRIVER_EXITS: comma-separated exit statuses, one per run in the
//   order of the runs recorded so far (missing: 0);
// - VQ4_E2E_DRIVER_STDERR: a line it writes to its standard error;
// - VQ4_E2E_DRIVER_ERRLINE: a line it appends to every "-E+<file>" it gets;
// - VQ4_E2E_DRIVER_WAIT: a file it creates once it has recorded its run,
//   then waits (a minute at most) until the test has removed it.
#include "common/vector.h"
#include "tools/driver_args.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

extern "C" void cleanup(int) {}

int main(int argc, char **argv) {
    const char *record = getenv("VQ4_E2E_RECORD");
    FILE *out = record != nullptr ? fopen(record, "a+") : nullptr;
    if (out == nullptr) {
        fprintf(stderr, "recording_driver: cannot open the file VQ4_E2E_RECORD names\n");
        return 99;
    }
    std::ifstream previous(record);
    std::string line;
    int run = 0;
    while (std::getline(previous, line))
        run += line.rfind("run ", 0) == 0 ? 1 : 0;
    std::string self(argv[0]);
    fprintf(out, "run %s\n", self.substr(self.find_last_of("/\\") + 1).c_str());
    for (int i = 1; i < argc; ++i) {
        // The front end may name the file with backslashes; the host wants
        // slashes. The file is text: its lines as the host writes them.
        std::string path(argv[i][0] == '@' ? argv[i] + 1 : "");
        std::replace(path.begin(), path.end(), '\\', '/');
        std::ifstream in(path);
        while (!path.empty() && std::getline(in, line))
            fprintf(out, "line %s\n", line.c_str());
    }
    vec *parsed = driver_args(argc, argv);
    const char *errline = getenv("VQ4_E2E_DRIVER_ERRLINE");
    for (uint32_t i = 0; i < vec_size(parsed); ++i) {
        const auto *arg = static_cast<const char *>(vec_get(parsed, i));
        std::string shown = arg;
        for (size_t at = shown.find('\n'); at != std::string::npos; at = shown.find('\n', at))
            shown.replace(at, 1, "\\n");
        fprintf(out, "parsed %s\n", shown.c_str());
        if (FILE *err =
                errline != nullptr && strncmp(arg, "-E+", 3) == 0 ? fopen(arg + 3, "a") : nullptr) {
            fprintf(err, "%s\n", errline);
            fclose(err);
        }
    }
    vec_destroy(parsed);
    fclose(out);
    if (const char *text = getenv("VQ4_E2E_DRIVER_STDERR"))
        fprintf(stderr, "%s\n", text);
    if (const char *marker = getenv("VQ4_E2E_DRIVER_WAIT")) {
        std::ofstream{marker};
        for (int i = 0; i < 1200 && std::filesystem::exists(marker); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const char *exits = getenv("VQ4_E2E_DRIVER_EXITS");
    std::stringstream statuses(exits != nullptr ? exits : "");
    for (int i = 0; i <= run; ++i)
        if (!std::getline(statuses, line, ','))
            return 0;
    return atoi(line.c_str());
}
