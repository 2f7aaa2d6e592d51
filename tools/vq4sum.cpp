// vq4sum: writes and checks SHA-256 checksum lists of directories.
//
//   vq4sum --write DIR LIST   lists every file below DIR in LIST
//   vq4sum --check LIST [DIR] checks every file LIST names (relative to DIR)
//
// A thin program over the shahash module: the list format and the checks
// are the library's. Arguments go through the suite's argument reader, so
// "@" command files and the debug options work as in every tool. Exit
// status: 0 when the list was written or every file matched, 1 otherwise,
// 2 for a command line it does not understand.
#include "common/cmdline.h"
#include "common/shahash.h"
#include "common/vector.h"
#include "common/vqdebug.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char *kUsage =
    "usage: vq4sum --write DIR LIST\n"
    "       vq4sum --check LIST [DIR]\n"
    "\n"
    "Writes or checks a checksum list: one line per file, the file's SHA-256\n"
    "digest in 64 lowercase hexadecimal digits, \" *\" and the file's path.\n"
    "\n"
    "  --write DIR LIST   list every file below DIR, depth first, in LIST;\n"
    "                     each path starts with DIR as given\n"
    "  --check LIST [DIR] check that every file LIST names exists and has the\n"
    "                     listed digest; with DIR, paths are taken relative\n"
    "                     to DIR. Prints \"<path>: OK\" or \"<path>: FAILED\"\n"
    "                     per file.\n"
    "  --help             show this text\n"
    "\n"
    "Exit status: 0 when the list was written or every file matched, 1 when\n"
    "not, 2 for a command line it does not understand.\n";

const char *arg(vec *args, uint32_t i) {
    return i < vec_size(args) ? static_cast<const char *>(vec_get(args, i)) : nullptr;
}

int write_list(const char *dir, const char *list) {
    if (shahash_write_list_here(dir, list))
        return 0;
    std::fprintf(stderr, "vq4sum: cannot write the checksum list \"%s\"\n", list);
    return 1;
}

int check_list(const char *list, const char *dir) {
    vec *entries = shahash_read_list(list, dir);
    if (entries == nullptr) {
        std::fprintf(stderr, "vq4sum: cannot read the checksum list \"%s\"\n", list);
        return 1;
    }
    uint32_t failed = 0;
    for (uint32_t i = 0; i < vec_size(entries); ++i) {
        auto *entry = static_cast<const shahash_entry *>(vec_get(entries, i));
        bool ok = shahash_check_file(entry->hash, entry->path);
        std::printf("%s: %s\n", entry->path, ok ? "OK" : "FAILED");
        failed += ok ? 0 : 1;
        std::free(vec_get(entries, i));
    }
    if (failed > 0)
        std::fprintf(stderr, "vq4sum: %u of %u files FAILED\n", failed, vec_size(entries));
    vec_destroy(entries);
    return failed > 0 ? 1 : 0;
}

int run(vec *args) {
    const char *command = arg(args, 0);
    uint32_t count = vec_size(args);
    if (command != nullptr && std::strcmp(command, "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command != nullptr && std::strcmp(command, "--write") == 0 && count == 3)
        return write_list(arg(args, 1), arg(args, 2));
    if (command != nullptr && std::strcmp(command, "--check") == 0 && (count == 2 || count == 3))
        return check_list(arg(args, 1), arg(args, 2));
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

// The diagnostics call this before a fatal exit.
extern "C" void cleanup(int) {
    db_finish();
}

int main(int argc, char **argv) {
    vec *args = cmdline_parse(argc, argv);
    int status = run(args);
    vec_destroy(args);
    db_finish();
    return status;
}
