// cmdline (relaunch): the main routine of a tool that only prepares options
// for another program, and the launch of that program directly or through
// an "@" command file, echoing the command line or swallowing the child's
// output. It never looks inside the options it passes on, and it never
// removes its command files: they lie in the private temporary directory,
// which the exit handler removes with everything in it.
#include "common/alert.h"
#include "common/cmdline.h"
#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The characters a command-file line escapes with a backslash: those the
// command-file reader takes back (a backslash, a blank and the two quotes).
constexpr const char *READER_ESCAPES = "\\ '\"";

constexpr const char *NO_INPUT_FILES = "%s: fatal error: no input files\nprogram terminated.";
constexpr const char *NO_TEMPORARY_NAME = "%s: fatal error: Could not create temporary file";
constexpr const char *NO_COMMAND_FILE = "%s: fatal error: Could not open temporary file";
constexpr const char *NO_REDIRECTION = "%s: fatal error: Could not redirect stdout/stderr";

const char *item(vec *v, uint32_t index) {
    return static_cast<const char *>(vec_get(v, index));
}

// Prints text (a format with one "%s") with the program's name through the
// diagnostics and gives the status of a launch that could not be prepared.
int32_t fail(const char *text) {
    const char *name = cmdline_progname();
    alert_print(text, name != nullptr ? name : sc_basename(plat_pgmptr()));
    return 1;
}

// Items 1.. of options, each after one blank but the first.
std::string joined_arguments(vec *options) {
    std::string joined;
    for (uint32_t i = 1; i < vec_size(options); ++i) {
        joined.append(i > 1 ? " " : "").append(item(options, i));
    }
    return joined;
}

// True when the launch goes through a command file.
bool uses_command_file(uint32_t mode, const char *program, const std::string &joined) {
    switch (mode) {
    case CMDLINE_FILE_ALWAYS:
        return true;
    case CMDLINE_FILE_NEVER:
        return false;
    case CMDLINE_FILE_WHEN_LONG: {
        size_t length = strlen(program) + 1 + joined.size();
        if (os_cmdline_limit() >= length) {
            return false;
        }
        DB_TRACE("Command line length is too long for OS (%u), using command file",
                 unsigned(length));
        return true;
    }
    default:
        DB_ASSERT(false, "0");
        return false;
    }
}

// The launch vector of a direct launch: a copy of options, since the launch
// quotes items in place and adds a null end.
vec *direct_launch(vec *options, const std::string &joined, int32_t level) {
    const char *program = item(options, 0);
    if (level > 0) {
        printf("%s %s\n", program, joined.c_str());
    }
    DB_TRACE("Executing: %s %s", program, joined.c_str());
    return vec_copy(options, __FILE__, __LINE__);
}

// One argument as a command-file line: the reader's escapes added, then
// double quotes around it when it holds white space.
const char *command_file_line(const char *argument) {
    const char *escaped = sc_escape(argument, READER_ESCAPES, '\\');
    return strpbrk(escaped, " \t\n\r") == nullptr ? escaped : sc_quote(escaped, '"');
}

// Writes items 1.. of options into a new file at path, one a line; false
// when the file cannot be created or fully written.
bool write_command_file(const char *path, vec *options) {
    std::string text;
    for (uint32_t i = 1; i < vec_size(options); ++i) {
        const char *line = command_file_line(item(options, i));
        DB_TRACE("Writing option to command file: %s", line);
        text.append(line).push_back('\n');
    }
    FILE *file = plat_fopen(path, "w");
    if (file == nullptr) {
        return false;
    }
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

// The launch vector (program, "@file") of a launch through a new command
// file; null after the failure has been reported.
vec *command_file_launch(vec *options, const std::string &joined, int32_t level) {
    const char *name = sc_adopt(os_tmpfile_name(".cmd"));
    if (name == nullptr) {
        DB_EXIT("cmdline_spawn",
                "vq4cc_spawn could not get a temp file name, exiting with status 1");
        fail(NO_TEMPORARY_NAME);
        return nullptr;
    }
    DB_TRACE("Command file name: \"%s\"", name);
    if (!write_command_file(name, options)) {
        DB_EXIT("cmdline_exe", "Could not create command file \"%s\"", name);
        DB_EXIT("cmdline_spawn", "vq4cc_spawn could not create a temp file, exiting with status 1");
        fail(NO_COMMAND_FILE);
        return nullptr;
    }
    const char *program = item(options, 0);
    const char *at_file = sc_printf("@%s", name);
    vec *launch = vec_create(__FILE__, __LINE__);
    vec_append(launch, const_cast<char *>(program));
    vec_append(launch, const_cast<char *>(at_file));
    if (level > 0) {
        printf("%s %s [ %s ]\n", program, at_file, joined.c_str());
    }
    DB_TRACE("Executing: %s %s [ %s ]", program, at_file, joined.c_str());
    return launch;
}

// Descriptors 1 and 2 sent into a new temporary file around one launch.
// Each step that fails gives its reason; finish() undoes whatever start()
// did, also after a failure, and removes the file.
class OutputCapture {
  public:
    // Null once both descriptors point at the file, else the reason.
    const char *start() {
        if ((saved_out_ = plat_dup(1)) == -1) {
            return "stdout dup failed";
        }
        if ((saved_err_ = plat_dup(2)) == -1) {
            return "stderr dup failed";
        }
        if ((name_ = sc_adopt(os_tmpfile_name_plain())) == nullptr) {
            return "obtaining temp filename failed";
        }
        DB_TRACE("tmpfile = \"%s\"", name_);
        if ((file_ = plat_fopen(name_, "w")) == nullptr) {
            return "fopen to write to tmpfile failed";
        }
        if (plat_dup2(plat_fileno(file_), 1) != 0) {
            return "redirect stdout failed";
        }
        return plat_dup2(plat_fileno(file_), 2) != 0 ? "redirect stderr failed" : nullptr;
    }

    // Closes the file, puts descriptors 1 and 2 back, removes the file.
    // Null, or the reason of the first step that failed.
    const char *finish() {
        if (file_ != nullptr) {
            fclose(file_);
        }
        const char *out = restore(saved_out_, 1, stdout, "dup2 restore stdout failed",
                                  "could not close saved stdout");
        const char *err = restore(saved_err_, 2, stderr, "dup2 restore stderr failed",
                                  "could not close saved stderr");
        if (name_ != nullptr && os_file_exists(name_)) {
            plat_remove(name_);
        }
        return out != nullptr ? out : err;
    }

  private:
    static const char *restore(int saved, int fd, FILE *stream, const char *not_restored,
                               const char *not_closed) {
        if (saved == -1) {
            return nullptr;
        }
        fflush(stream);
        bool restored = plat_dup2(saved, fd) == 0;
        bool closed = plat_close(saved) == 0;
        return !restored ? not_restored : !closed ? not_closed : nullptr;
    }

    int saved_out_ = -1;
    int saved_err_ = -1;
    const char *name_ = nullptr;
    FILE *file_ = nullptr;
};

// Runs the launch with the child's output captured and thrown away; the
// child's status goes to *status. Null, or the reason of the failure.
const char *run_captured(const char *program, vec *launch, int32_t *status) {
    OutputCapture capture;
    const char *failure = capture.start();
    if (failure == nullptr) {
        *status = db_run(program, launch, false);
    }
    const char *undone = capture.finish();
    return failure != nullptr ? failure : undone;
}

} // namespace

extern "C" {

int32_t cmdline_spawn(vec *options, uint32_t mode, int32_t output_level) {
    DB_ENTER("cmdline_spawn", nullptr);
    if (options == nullptr || vec_size(options) == 0) {
        DB_EXIT("cmdline_spawn", "no options were found, exiting with status 1");
        return fail(NO_INPUT_FILES);
    }
    const char *program = item(options, 0);
    DB_TRACE("Executing driver: \"%s\"", program);
    DB_ENTER("cmdline_exe", nullptr);
    std::string joined = joined_arguments(options);
    vec *launch = uses_command_file(mode, program, joined)
                      ? command_file_launch(options, joined, output_level)
                      : direct_launch(options, joined, output_level);
    if (launch == nullptr) {
        return 1;
    }
    fflush(stdout);
    fflush(stderr);
    int32_t status = 0;
    const char *failure = nullptr;
    if (output_level >= 0) {
        status = db_run(program, launch, false);
    } else {
        failure = run_captured(program, launch, &status);
    }
    vec_destroy(launch);
    if (failure != nullptr) {
        DB_EXIT("cmdline_exe", "%s", failure);
        DB_EXIT("cmdline_spawn",
                "vq4cc_spawn could not redirect stdout/stderr, exiting with status 1");
        return fail(NO_REDIRECTION);
    }
    DB_EXIT("cmdline_exe", "Execution returned %d", status);
    DB_EXIT("cmdline_spawn", "Returning status: %d", status);
    return status;
}

int32_t cmdline_driver(int32_t count, const char *const *vector, cmdline_options_fn options_process,
                       uint32_t mode, const int32_t *output_level) {
    DB_ASSERT(options_process != nullptr, "options_process != NULL");
    DB_ASSERT(vector != nullptr, "argv != NULL");
    os_install_signals();
    vec *args = cmdline_build(vector != nullptr ? count : 0, vector, nullptr);
    if (DB_TRACING() && vector != nullptr) {
        db_dump_argv(count, vector);
    }
    DB_ENTER("cmdline_driver", nullptr);
    vec *options = options_process != nullptr ? options_process(args) : nullptr;
    db_set_app("vq4");
    int32_t status = cmdline_spawn(options, mode, output_level != nullptr ? *output_level : 0);
    DB_EXIT("cmdline_driver", "Returning status: %d", status);
    if (options != args) {
        vec_destroy(options);
    }
    vec_destroy(args);
    db_finish();
    return status;
}

} // extern "C"
