// vq4 front end: option translation, driver choice and launch, diagnostic
// stream. The program's main (vq4.cpp) strings these together.
#include "frontend/vq4.h"

#include "common/alert.h"
#include "common/alert_numbers.h"
#include "common/osdep.h"
#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vqdebug.h"
#include "common/vqinstdir.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

int32_t verbosity = 1;
const char *driver_suffix = "";
uint8_t two_pass = 0;
uint8_t echo_suppressed = 0;
const char *error_file = nullptr;
uint8_t error_file_append = 0;
const c_extension *selected_extension = nullptr;
FILE *error_stream = nullptr;
int32_t saved_stderr = 0;

namespace {

constexpr const char *NO_OPTIONS[] = {nullptr};
constexpr const char *EJM_OPTIONS[] = {"--ccmode=ejm", nullptr};
constexpr const char *IAR_OPTIONS[] = {"--ccmode=iar", nullptr};

constexpr c_extension C_EXTENSIONS[] = {
    {1, "VQ4", NO_OPTIONS},
    {2, "EJM", EJM_OPTIONS},
    {3, "IAR", IAR_OPTIONS},
    {0, nullptr, nullptr},
};

// Line buffers of standard output and standard error once redirected.
char stdout_buffer[512];
char stderr_buffer[512];

// Every vector the front end makes lives until the process ends; this list
// keeps them reachable (a leak checker sees them as still in use).
vec *kept_vectors = nullptr;

// A duplicate of fd that is not descriptor 0: when the process was started
// without a standard input, the first duplicate lands on 0, which
// saved_stderr cannot hold (0 means "not saved"); it stays taken and a
// second one is made.
int dup_not_zero(int fd) {
    int copy = plat_dup(fd);
    return copy == 0 ? plat_dup(fd) : copy;
}

// The front end's writer of diagnostic lines while descriptor 2 is the
// error file: a line the file cannot take (its disk is full) goes to the
// standard error the front end was started with instead of nowhere.
int write_diagnostic(const char *line) {
    std::fputs(line, stderr);
    if (std::fflush(stderr) == 0 && !std::ferror(stderr)) {
        return 1;
    }
    std::clearerr(stderr);
    if (saved_stderr != 0 && error_stream != nullptr && plat_dup2(saved_stderr, 2) == 0) {
        std::fputs(line, stderr);
        std::fflush(stderr);
        plat_dup2(plat_fileno(error_stream), 2);
    }
    return 1;
}

bool equals_nocase(const char *item, const char *word) {
    return sc_stricmp(item, word) == 0;
}

void append(vec *list, const char *text) {
    vec_append(list, const_cast<char *>(text));
}

// Sets the error file from an item that begins with "-E" or "-e" and
// appends what the driver must see.
void take_error_file_option(const char *item, vec *driver_args) {
    const char *rest = sc_intern(item + 2);
    size_t length = strlen(rest);
    error_file = rest;
    if (length == 0 || strcmp(rest, "+") == 0) {
        error_file = nullptr;
        append(driver_args, "-E");
    } else if (length == 1) {
        append(driver_args, sc_concat("-E+", rest));
    } else if (rest[0] == '+') {
        error_file = sc_intern(rest + 1);
        error_file_append = 1;
        append(driver_args, item);
    } else {
        // The front end truncates the file; the driver appends to it.
        append(driver_args, sc_concat("-E+", rest));
    }
}

// Items 1.. of argv joined by single blanks.
std::string join_arguments(vec *argv) {
    std::string joined;
    for (uint32_t i = 1; i < vec_size(argv); ++i) {
        if (i > 1) {
            joined += ' ';
        }
        joined += static_cast<const char *>(vec_get(argv, i));
    }
    return joined;
}

// The length of the command line argv would make: item 0, then each further
// item after one blank.
size_t command_line_length(vec *argv) {
    size_t length = 0;
    for (uint32_t i = 0; i < vec_size(argv); ++i) {
        length += (i > 0 ? 1 : 0) + strlen(static_cast<const char *>(vec_get(argv, i)));
    }
    return length;
}

// One argument as a command-file line: double quotes escaped, then the
// whole quoted when it holds white space. An argument with neither is its
// own line.
const char *command_file_line(const char *argument) {
    if (strpbrk(argument, "\" \t\n\r") == nullptr) {
        return argument;
    }
    const char *escaped = sc_escape(argument, "\"", '\\');
    if (strpbrk(escaped, " \t\n\r") != nullptr) {
        return sc_quote(escaped, '"');
    }
    return escaped;
}

// A new temporary name (interned) with the given extension (null: none);
// null when the private directory cannot be made.
const char *temporary_name(const char *extension) {
    char *name = os_tmpfile_name(extension);
    const char *interned = sc_intern(name);
    free(name);
    return interned;
}

// A request to end the front end (SIGTERM, SIGHUP) that arrived while the
// driver ran was passed on to the driver; now that it has ended, the front
// end ends too, with status 1, after the usual clean-up.
void end_if_asked_to_terminate() {
    if (plat_termination_requested()) {
        cleanup(1);
        exit(1);
    }
}

} // namespace

extern "C" {

vec *vq4_keep(vec *v) {
    if (kept_vectors == nullptr) {
        kept_vectors = vec_create(__FILE__, __LINE__);
    }
    vec_append(kept_vectors, v);
    return v;
}

// The option walk: translates or consumes the front end's options and
// passes every other item to the driver's list unchanged.
vq4_walk vq4_walk_options(vec *args, vec *driver_args, vec *extensions) {
    vq4_walk walk{"lumc", false, nullptr};
    bool summary_dir_pending = false;
    void *slot = nullptr;
    vec_iter_reset(args);
    while (vec_iter_next(args, vec_iter_valid(args) ? (slot = vec_iter_get(args), 1) : 0)) {
        const auto *item = static_cast<const char *>(slot);
        if (strncmp(item, "--vqdebug=", 10) == 0) {
            continue;
        }
        if (strcmp(item, "--vq4cc") == 0) {
            db_set_app("vq4-cc");
        }
        if (sc_starts_with_nocase(item, "--chip=18")) {
            walk.base_name = "lumc18";
            walk.chip_seen = true;
        }
        if (summary_dir_pending && item[0] == '-') {
            summary_dir_pending = false;
        }
        if (summary_dir_pending) {
            append(driver_args, sc_printf("--summarydir=%s", item));
            summary_dir_pending = false;
            continue;
        }
        if (sc_starts_with_nocase(item, "--wubtoxna")) {
            two_pass = 1;
        } else if (sc_starts_with_nocase(item, "--bins=debug")) {
            driver_suffix = "d";
        } else if (sc_starts_with_nocase(item, "--bins=release")) {
            driver_suffix = "";
        } else if (sc_starts_with_nocase(item, "--chip=")) {
            append(driver_args, item);
            walk.chip_seen = true;
        } else if (equals_nocase(item, "-v")) {
            ++verbosity;
            append(driver_args, item);
        } else if (equals_nocase(item, "-q") || equals_nocase(item, "--ver")) {
            verbosity = 0;
            append(driver_args, item);
        } else if (equals_nocase(item, "--memorysummary")) {
            append(driver_args, "--summary=+xml");
            summary_dir_pending = true;
        } else if (equals_nocase(item, "--ejm")) {
            append(extensions, "ejm");
        } else if (sc_starts_with_nocase(item, "--ext=")) {
            append(extensions, sc_intern(item + 6));
        } else if (sc_starts_with_nocase(item, "--std=")) {
            reg_set_c_stdlib(item + 6);
            append(driver_args, item);
        } else if (item[0] == '@') {
            walk.command_file = item + 1;
            append(driver_args, item);
        } else if (!sc_starts_with_nocase(item, "-E")) {
            append(driver_args, item);
        } else {
            take_error_file_option(item, driver_args);
        }
    }
    return walk;
}

// The base name an unexpanded command file asks for through its first line
// that holds a chip option (case ignored); base_name when it holds none or
// cannot be opened. Only a regular file is read: a pipe would block and a
// device might never end.
const char *vq4_chip_from_command_file(const char *path, const char *base_name) {
    FILE *file = plat_fopen_regular(path, "r");
    if (file == nullptr) {
        return base_name;
    }
    while (const char *line = sc_readline(file)) {
        const char *lower = sc_lower(line);
        if (strstr(lower, "--chip=18") != nullptr) {
            base_name = "lumc18";
            break;
        }
        if (strstr(lower, "--chip=") != nullptr) {
            base_name = "lumc";
            break;
        }
    }
    fclose(file);
    return base_name;
}

// Writes items 1.. of argv into path; false when it cannot be created.
bool vq4_write_command_file(const char *path, vec *argv) {
    FILE *file = plat_fopen(path, "w");
    if (file == nullptr) {
        return false;
    }
    static char buffer[64 * 1024];
    setvbuf(file, buffer, _IOFBF, sizeof buffer);
    for (uint32_t i = 1; i < vec_size(argv); ++i) {
        const char *line = command_file_line(static_cast<const char *>(vec_get(argv, i)));
        DB_TRACE("Writing option to command file: %s", line);
        fputs(line, file);
        fputc('\n', file);
    }
    bool written = std::ferror(file) == 0;
    return plat_fclose(file) == 0 && written;
}

// The quiet first run of the two-pass mode: its diagnostics go into a
// temporary file whose name the real run then gets with "--summarycmp=".
void vq4_run_first_pass(const char *driver_name, vec *driver_args) {
    vec *first = vq4_keep(vec_copy(driver_args, __FILE__, __LINE__));
    append(first, "--wubtoxna");
    append(first, "-q");
    const char *summary = temporary_name(nullptr);
    if (summary == nullptr) {
        alert_msg(MSG_CANT_CREATE_TEMP); // fatal: the process ends here
        return;
    }
    append(first, sc_printf("-E%s", summary));
    echo_suppressed = 1;
    run_driver(driver_name, first);
    echo_suppressed = 0;
    append(driver_args, sc_printf("--summarycmp=%s", summary));
}

void select_extension(const char *name, vec *driver_args) {
    const c_extension *row = C_EXTENSIONS;
    while (row->id != 0 && sc_stricmp(row->name, name) != 0) {
        ++row;
    }
    if (row->id == 0) {
        alert_msg(MSG_UNKNOWN_EXTENSION, name);
        return;
    }
    if (selected_extension == row) {
        return;
    }
    if (selected_extension != nullptr) {
        alert_msg(MSG_RESPECIFIED_EXTENSION, selected_extension->name, row->name);
        return;
    }
    selected_extension = row;
    for (const char *const *option = row->options; *option != nullptr; ++option) {
        append(driver_args, sc_intern(*option));
    }
}

void redirect_stderr(void) {
    if (error_stream == nullptr && error_file != nullptr) {
        if (error_file_append) {
            error_stream = plat_fopen(error_file, "r+");
            if (error_stream != nullptr) {
                fseek(error_stream, 0, SEEK_END);
            }
        }
        if (error_stream == nullptr) {
            error_stream = plat_fopen(error_file, "w");
            if (error_stream == nullptr) {
                alert_msg(MSG_CANT_OPEN_FILE, "error", error_file);
            } else {
                error_file_append = 1;
            }
        }
    }
    if (saved_stderr == 0) {
        int saved = dup_not_zero(2);
        if (saved < 0) {
            // Without a copy the original could never be given back to the
            // driver: descriptor 2 is left as it is.
            alert_print("vq4: can't save standard error (%s); diagnostics stay on it",
                        strerror(errno));
            return;
        }
        saved_stderr = saved;
    }
    fflush(stdout);
    fflush(stderr);
    if (plat_dup2(error_stream != nullptr ? plat_fileno(error_stream) : 1, 2) != 0) {
        alert_print("vq4: can't redirect standard error (%s); diagnostics stay on it",
                    strerror(errno));
    }
    setvbuf(stdout, stdout_buffer, _IOLBF, sizeof stdout_buffer);
    setvbuf(stderr, stderr_buffer, _IOLBF, sizeof stderr_buffer);
    if (error_stream != nullptr && alert_get_output() == nullptr) {
        alert_set_output(write_diagnostic);
    }
}

int32_t vq4_spawn(vec *argv) {
    DB_ENTER("vq4_spawn", nullptr);
    const char *program = static_cast<const char *>(vec_get(argv, 0));
    DB_TRACE("Forced use of command file");
    // Measured only for the trace: the launch always takes a command file.
    if (DB_TRACING_LINES()) {
        size_t length = command_line_length(argv);
        if (os_cmdline_limit() < length) {
            DB_TRACE("Command line length is too long for OS (%u), using command file",
                     unsigned(length));
        }
    }
    const char *name = temporary_name(".cmd");
    if (name == nullptr) {
        alert_msg(MSG_CANT_CREATE_TEMP);
    }
    DB_TRACE("Command file name: \"%s\"", name);
    if (!vq4_write_command_file(name, argv)) {
        DB_EXIT("vq4_spawn", "Could not create command file \"%s\"", name);
        return -1;
    }
    vec *launch = vq4_keep(vec_create(__FILE__, __LINE__));
    append(launch, program);
    const char *at_file = sc_printf("@%s", name);
    append(launch, at_file);
    bool echo = !echo_suppressed && verbosity != 0;
    if (echo || DB_TRACING_LINES()) {
        // Joined only when it is shown: it is as long as the command file.
        std::string joined = join_arguments(argv);
        if (echo) {
            printf("%s %s [ %s ]\n", program, at_file, joined.c_str());
        }
        DB_TRACE("Executing: %s %s [ %s ]", program, at_file, joined.c_str());
    }
    fflush(stdout);
    fflush(stderr);
    int32_t status = db_run(program, launch, false);
    DB_EXIT("vq4_spawn", "Execution returned %d", status);
    return status;
}

bool run_driver(const char *driver_name, vec *args) {
    vec *argv = vq4_keep(vec_copy(args, __FILE__, __LINE__));
    const char *path = reg_mkpath(REG_DIR_BIN, driver_name);
    // Without an installation the bare name is tried, so that the failure
    // names the driver that was looked for.
    path = sc_intern(path != nullptr ? path : driver_name);
    vec_insert(argv, const_cast<char *>(path), 0);
    if (saved_stderr != 0) {
        fflush(stderr);
        if (plat_dup2(saved_stderr, 2) != 0) {
            // The driver would write into the error file or standard output.
            alert_print("vq4: can't give the driver the original standard error (%s)",
                        strerror(errno));
            alert_msg(MSG_EXEC_FAILED, path);
        }
    }
    if (error_stream != nullptr) {
        fclose(error_stream);
        error_stream = nullptr;
    }
    int32_t status = vq4_spawn(argv);
    int spawn_error = errno;
    redirect_stderr();
    if (status == -1) {
        alert_msg(MSG_EXEC_FAILED, path, strerror(spawn_error));
    } else if (status != 0) {
        alert_msg(MSG_EXIT_STATUS, status);
    }
    end_if_asked_to_terminate();
    return status == 0;
}

void cleanup(int status) {
    (void)status;
    DB_ENTER("cleanup", nullptr);
    db_finish();
}

void vq4_reset_for_testing(void) {
    fflush(stderr);
    if (saved_stderr != 0) {
        plat_dup2(saved_stderr, 2);
        plat_close(saved_stderr);
    }
    if (error_stream != nullptr) {
        fclose(error_stream);
    }
    if (alert_get_output() == write_diagnostic) {
        alert_set_output(nullptr);
    }
    verbosity = 1;
    driver_suffix = "";
    two_pass = 0;
    echo_suppressed = 0;
    error_file = nullptr;
    error_file_append = 0;
    selected_extension = nullptr;
    error_stream = nullptr;
    saved_stderr = 0;
}

} // extern "C"
