// recording_driver: a compiler driver for the end-to-end tests that records
// what the front end handed it.
//
// Installed under the four driver names in a temporary installation. Each
// run appends to the file named by VQ4_E2E_RECORD:
//
//     run <its own file name>
//     arg <each argument as received>
//     line <each raw line of its "@" command file>
//     parsed <each argument after the suite's own argument reader>
//     end
//
// Behaviour the tests steer through the environment:
// - VQ4_E2E_DRIVER_EXITS: comma-separated exit statuses, one per run in the
//   order of the runs recorded so far (missing: 0);
// - VQ4_E2E_DRIVER_STDERR: a line it writes to its standard error;
// - VQ4_E2E_DRIVER_ERRLINE: a line it appends to every "-E+<file>" it gets.
#include "common/cmdline.h"
#include "common/vector.h"
#include "common/vqdebug.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string base_name(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Number of runs already recorded in the record file.
int runs_recorded(const char *record) {
    std::ifstream in(record);
    std::string line;
    int runs = 0;
    while (std::getline(in, line)) {
        runs += line.rfind("run ", 0) == 0 ? 1 : 0;
    }
    return runs;
}

// The exit status for this run from VQ4_E2E_DRIVER_EXITS.
int exit_status_for_run(int run) {
    const char *list = getenv("VQ4_E2E_DRIVER_EXITS");
    if (list == nullptr) {
        return 0;
    }
    std::stringstream statuses(list);
    std::string status;
    for (int i = 0; std::getline(statuses, status, ','); ++i) {
        if (i == run) {
            return atoi(status.c_str());
        }
    }
    return 0;
}

void record_command_file_lines(FILE *out, const char *argument) {
    if (argument[0] != '@') {
        return;
    }
    // The front end names the file with backslashes, as the suite's paths
    // allow; the host wants slashes.
    std::string path(argument + 1);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        fprintf(out, "line %s\n", line.c_str());
    }
}

} // namespace

extern "C" void cleanup(int status) {
    (void)status;
}

int main(int argc, char **argv) {
    const char *record = getenv("VQ4_E2E_RECORD");
    if (record == nullptr) {
        fprintf(stderr, "recording_driver: VQ4_E2E_RECORD is not set\n");
        return 99;
    }
    int run = runs_recorded(record);
    FILE *out = fopen(record, "a");
    if (out == nullptr) {
        fprintf(stderr, "recording_driver: cannot open %s\n", record);
        return 99;
    }
    fprintf(out, "run %s\n", base_name(argv[0]).c_str());
    for (int i = 1; i < argc; ++i) {
        fprintf(out, "arg %s\n", argv[i]);
        record_command_file_lines(out, argv[i]);
    }
    vec *parsed = cmdline_parse(argc, argv);
    const char *errline = getenv("VQ4_E2E_DRIVER_ERRLINE");
    for (uint32_t i = 0; i < vec_size(parsed); ++i) {
        const auto *arg = static_cast<const char *>(vec_get(parsed, i));
        fprintf(out, "parsed %s\n", arg);
        if (errline != nullptr && strncmp(arg, "-E+", 3) == 0 && arg[3] != '\0') {
            if (FILE *err = fopen(arg + 3, "a")) {
                fprintf(err, "%s\n", errline);
                fclose(err);
            }
        }
    }
    vec_destroy(parsed);
    fprintf(out, "end\n");
    fclose(out);
    if (const char *line = getenv("VQ4_E2E_DRIVER_STDERR")) {
        fprintf(stderr, "%s\n", line);
    }
    return exit_status_for_run(run);
}
