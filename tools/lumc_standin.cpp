// lumc_standin: a stand-in for the suite's compiler drivers.
//
// Installed as lumc, lumc18, lumcd and lumc18d, it lets the front end be
// installed and tried before the real drivers exist. It compiles nothing:
// it reads its arguments (normally one "@file" written by the front end)
// as a driver must (tools/driver_args.h), prints one line naming itself and
// the chip and saying that it is a stand-in, then one line per source file
// it would compile. A named source file that does not exist, or a command
// file it cannot read, is an error, written to the "-E+<file>" error file
// when one was given, else to standard error; it makes the stand-in exit
// with 1. Otherwise it exits 0.
#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vqdebug.h"
#include "platform/platform.h"
#include "tools/driver_args.h"

#include <cstdio>
#include <cstring>

namespace {

struct Request {
    const char *chip = nullptr;
    const char *error_file = nullptr;
    vec *sources = nullptr;         // files it would compile
    vec *unread_commands = nullptr; // "@" arguments the reader left unexpanded
};

// Options begin with '-' (the chip and the "-E+<file>" error file are
// noted); an '@' argument that is left names a command file that could not
// be read; everything else is a source file.
Request read_request(vec *args) {
    Request request;
    request.sources = vec_create(__FILE__, __LINE__);
    request.unread_commands = vec_create(__FILE__, __LINE__);
    for (uint32_t i = 0; i < vec_size(args); ++i) {
        const auto *arg = static_cast<const char *>(vec_get(args, i));
        if (sc_starts_with_nocase(arg, "--chip=")) {
            request.chip = arg + 7;
        } else if (strncmp(arg, "-E+", 3) == 0 && arg[3] != '\0') {
            request.error_file = arg + 3;
        } else if (arg[0] == '@') {
            vec_append(request.unread_commands, const_cast<char *>(arg + 1));
        } else if (arg[0] != '-') {
            vec_append(request.sources, const_cast<char *>(arg));
        }
    }
    return request;
}

// Writes "<self>: error: <text>" to the error file (appending) or, without
// one, to stderr.
void report_error(const char *self, const Request &request, const char *text) {
    FILE *out = request.error_file != nullptr ? plat_fopen(request.error_file, "a") : nullptr;
    fprintf(out != nullptr ? out : stderr, "%s: error: %s\n", self, text);
    if (out != nullptr) {
        fclose(out);
    }
}

} // namespace

extern "C" void cleanup(int status) {
    (void)status;
    db_finish();
}

int main(int argc, char **argv) {
    vec *args = driver_args(argc, argv);
    const char *self = sc_strip_ext(sc_basename(argv[0]));
    Request request = read_request(args);
    printf("%s: stand-in compiler driver (compiles nothing), chip %s\n", self,
           request.chip != nullptr && request.chip[0] != '\0' ? request.chip : "not given");
    int status = 0;
    for (uint32_t i = 0; i < vec_size(request.unread_commands); ++i) {
        const auto *name = static_cast<const char *>(vec_get(request.unread_commands, i));
        report_error(self, request, sc_printf("command file \"%s\" cannot be read", name));
        status = 1;
    }
    for (uint32_t i = 0; i < vec_size(request.sources); ++i) {
        const auto *source = static_cast<const char *>(vec_get(request.sources, i));
        if (os_file_exists(source)) {
            printf("%s: would compile %s\n", self, source);
        } else {
            report_error(self, request, sc_printf("source file \"%s\" does not exist", source));
            status = 1;
        }
    }
    fflush(stdout);
    db_finish();
    vec_destroy(request.sources);
    vec_destroy(request.unread_commands);
    vec_destroy(args);
    return status;
}
