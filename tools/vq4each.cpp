// vq4each: compiles every file of a list, one run of the front end per file.
//
// Each argument that begins with '-' is an option that every run gets; each
// other argument is a source file, and each file gets a run of its own, so
// that one failing file neither stops nor hides the others. An "@file"
// argument is read as a command file, so a list file can name the sources
// (and options), one or more a line. vq4each runs vq4 from the bin directory
// of its own installation, or with "--driver=NAME" that compiler driver
// from the installation's lum bin directory.
//
// Its own options are not passed on: "-q" throws the runs' output away (the
// failures are still reported), "-v" echoes each command line, "--help"
// prints the usage. "-E<file>" goes to the first run as it is and to the
// later runs as "-E+<file>", so that the error file collects the
// diagnostics of every run rather than of the last one.
//
// Exit status: 0 when every run exited with 0, else 1; after an interrupt,
// the signal's number.
#include "common/alert.h"
#include "common/cmdline.h"
#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *USAGE =
    "Usage: vq4each [-q | -v] [--driver=NAME] [options] file... [@listfile]\n"
    "Compiles every source file on its own: one run of vq4 (or of the named\n"
    "driver) per file, each with all the options.\n"
    "  -q             quiet: the runs' output is thrown away; failures are\n"
    "                 still reported\n"
    "  -v             echo each command line before it runs\n"
    "  --driver=NAME  run the installation's driver NAME (lumc, lumc18, ...)\n"
    "                 instead of vq4\n"
    "  -E<file>       the front end's error file; it collects every run's\n"
    "                 diagnostics\n"
    "  --help         print this text\n"
    "Every other argument that begins with '-' goes to every run, with its\n"
    "value in the same argument; the others are source files. @listfile\n"
    "reads arguments from a file, one or more a line. The exit status is 0\n"
    "when every run exited with 0, else 1.\n";

// -1 with "-q" (output captured and thrown away), 1 with "-v" (echo).
int32_t output_level = 0;

// What the arguments ask for: the program every run launches, the options
// every run gets, the source files; and how the runs went.
struct Plan {
    const char *program = nullptr;
    vec *options = nullptr;
    vec *files = nullptr;
    uint32_t failed = 0;
} plan;

const char *text_at(vec *v, uint32_t index) {
    return static_cast<const char *>(vec_get(v, index));
}

void read_arguments(vec *args) {
    plan.program = sc_path_join(vqinstdir(VQINSTDIR_BIN), "vq4");
    plan.options = vec_create(__FILE__, __LINE__);
    plan.files = vec_create(__FILE__, __LINE__);
    for (uint32_t i = 0; i < vec_size(args); ++i) {
        const char *arg = text_at(args, i);
        if (strcmp(arg, "-q") == 0 || strcmp(arg, "-v") == 0) {
            output_level = arg[1] == 'q' ? -1 : 1;
        } else if (const char *driver = sc_after_prefix(arg, "--driver=")) {
            const char *path = reg_mkpath(REG_DIR_BIN, driver);
            plan.program = path != nullptr ? path : driver;
        } else {
            vec_append(arg[0] == '-' ? plan.options : plan.files, const_cast<char *>(arg));
        }
    }
}

// An option as the run-th run gets it: an error file that the first run
// empties ("-E<file>") is appended to by every later run.
const char *option_for_run(const char *option, uint32_t run) {
    bool empties_error_file =
        sc_starts_with_nocase(option, "-E") && option[2] != '\0' && option[2] != '+';
    return run > 0 && empties_error_file ? sc_concat("-E+", option + 2) : option;
}

// The option vector of the run-th run: program, options, its file.
vec *run_options(uint32_t run) {
    vec *options = vec_create(__FILE__, __LINE__);
    vec_append(options, const_cast<char *>(plan.program));
    for (uint32_t i = 0; i < vec_size(plan.options); ++i) {
        vec_append(options, const_cast<char *>(option_for_run(text_at(plan.options, i), run)));
    }
    vec_append(options, vec_get(plan.files, run));
    return options;
}

// Reports a run that did not exit with 0 and counts it.
void note_run(uint32_t run, int32_t status) {
    const char *file = text_at(plan.files, run);
    if (status == -1) {
        alert_print("%s: %s: %s could not be started", cmdline_progname(), file, plan.program);
    } else if (status != 0) {
        alert_print("%s: %s: failed with status %d", cmdline_progname(), file, status);
    }
    plan.failed += status != 0 ? 1 : 0;
}

// The callback of cmdline_driver: runs every file but the last here and
// hands the last run back to be launched.
vec *each_file_options(vec *args) {
    read_arguments(args);
    uint32_t files = vec_size(plan.files);
    for (uint32_t run = 0; run + 1 < files; ++run) {
        vec *options = run_options(run);
        note_run(run, cmdline_spawn(options, CMDLINE_FILE_WHEN_LONG, output_level));
        vec_destroy(options);
    }
    return files > 0 ? run_options(files - 1) : nullptr;
}

// Notes the last run's status (that of cmdline_driver) and gives the exit
// status of the tool.
int finish_runs(int32_t last_status) {
    uint32_t files = plan.files != nullptr ? vec_size(plan.files) : 0;
    if (files == 0) {
        return 1;
    }
    note_run(files - 1, last_status);
    if (plan.failed > 0 && files > 1) {
        alert_print("%s: %u of %u files failed", cmdline_progname(), plan.failed, files);
    }
    return plan.failed > 0 ? 1 : 0;
}

bool asks_for_help(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

// The diagnostics call it before a fatal exit.
extern "C" void cleanup(int status) {
    (void)status;
    db_finish();
}

int main(int argc, char **argv) {
    if (asks_for_help(argc, argv)) {
        fputs(USAGE, stdout);
        return 0;
    }
    int32_t last_status =
        cmdline_driver(argc, argv, each_file_options, CMDLINE_FILE_WHEN_LONG, &output_level);
    return finish_runs(last_status);
}
