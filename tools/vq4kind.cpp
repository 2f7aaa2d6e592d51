// vq4kind: prints what the suite's tools take each file for.
//
// For every file named on the command line it prints one line: the name, a
// colon, the kind set that file identification gives it in hexadecimal,
// and the names of the set's bits ("none" for an empty set). Arguments are
// read with the suite's argument reader, so "@file" command files and the
// "--vqdebug=" options work as in every tool (with tracing on, the
// identification's steps go into the debug-out file). "--help" prints the
// usage. Exit status 0, or 1 when no file was named.
#include "common/cmdline.h"
#include "common/fileutils.h"
#include "common/vector.h"
#include "common/vqdebug.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kUsage =
    "Usage: vq4kind [--help] [--vqdebug=OPTIONS] FILE...\n"
    "Prints, for each FILE, the kind the suite's tools take it for: the kind set in\n"
    "hexadecimal and the names of its bits (for example \"main.c: 0x1203 SOURCE C TEXT\n"
    "MISSING\"). The name decides for most files; objects, intermediate code,\n"
    "libraries and ELF images are also recognised by their content.\n";

void print_kind(const char *path) {
    uint64_t kind = fileid(path);
    std::printf("%s: 0x%llx", path, static_cast<unsigned long long>(kind));
    if (kind == 0)
        std::printf(" none");
    for (uint64_t bit = 1; bit != 0; bit <<= 1) {
        if ((kind & bit) != 0) {
            const char *name = fileid_bit_name(bit);
            std::printf(" %s", name != nullptr ? name : "?");
        }
    }
    std::printf("\n");
}

} // namespace

// A fatal message still finishes the debug-out file and package.
extern "C" void cleanup(int) {
    db_finish();
}

int main(int argc, char **argv) {
    vec *args = cmdline_parse(argc, argv);
    vec *files = vec_create(__FILE__, __LINE__);
    bool help = false;
    for (uint32_t i = 0; i < vec_size(args); ++i) {
        auto *arg = static_cast<char *>(vec_get(args, i));
        if (std::strcmp(arg, "--help") == 0)
            help = true;
        else if (std::strncmp(arg, "--vqdebug", 9) != 0)
            vec_append(files, arg);
    }
    int status = 0;
    if (help) {
        std::fputs(kUsage, stdout);
    } else if (vec_size(files) == 0) {
        std::fputs(kUsage, stderr);
        status = 1;
    }
    for (uint32_t i = 0; i < vec_size(files) && !help; ++i)
        print_kind(static_cast<const char *>(vec_get(files, i)));
    std::fflush(stdout);
    db_finish();
    vec_destroy(files);
    vec_destroy(args);
    return status;
}
