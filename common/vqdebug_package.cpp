// vqdebug_package: the debug package, the end-of-run work and the launch of
// programs (under the debugger when the "debug" option names them).
//
// The package is opened, extended by one file and closed within each
// db_package_add, so that the processes of one run add to it one after
// another. Every package failure is a warning; the run goes on.
#include "common/hash.h"
#include "common/osdep.h"
#include "common/skiplist.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug_internal.h"
#include "common/zip_adapter.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>

const db_debugger db_lldb = {
    "/usr/bin/lldb", "--", "-s",
    "break set --name db_assert\nbreak set --name main\nbreak command add 2\n"
    "expr gInDebugger=1\nDONE\nrun"};
const db_debugger db_gdb = {"/usr/bin/gdb", "--args", "-x",
                            "break db_assert\nbreak main\ncommands 2\nset gInDebugger=1\nend\nrun"};

namespace {

// Deflate level 6 and the zip library's flag 0x100.
constexpr mz_uint kLevelAndFlags = 262;
constexpr const char *kSystemRoot = "SYSTEM_ROOT";

const char *gAppName = kFrontEndName;
// -1 not probed yet, 0 the debugger program is missing, 1 it exists.
int32_t gDebuggerState = -1;
const db_debugger *gDebugger = &db_lldb;

// The name a file is stored under: an absolute path has its first three
// characters ("C:\" or "\\x") replaced by SYSTEM_ROOT; backslashes become '/'.
const char *archive_name(const char *file) {
    const char *name = os_path_is_absolute(file) ? sc_path_join(kSystemRoot, file + 3) : file;
    return sc_translate(name, "\\", "/");
}

// Opens the package for adding file: appends to an existing package or
// creates a new one. False (after a warning) when nothing can be added.
bool open_package(mz_zip_archive *zip, const char *file) {
    if (!os_file_exists(gZipPath)) {
        if (mz_zip_writer_init_file(zip, gZipPath, 0))
            return true;
        db_warning("Unable to init package zip file (%s) to add \"%s\"", gZipPath, file);
        return false;
    }
    if (!mz_zip_reader_init_file(zip, gZipPath, 0)) {
        db_warning("Unable to open package zip file (%s) for reading to append \"%s\"", gZipPath,
                   file);
        return false;
    }
    if (!mz_zip_writer_init_from_reader(zip, gZipPath))
        db_warning("Unable to covert package zip file (%s) reader to a writer to append \"%s\"",
                   gZipPath, file);
    return true;
}

// Whether db_run should start the program under the debugger.
bool wants_debugger(const char *app, int force) {
    if (gDebugNames == nullptr && !force)
        return false;
    const char *name = sc_strip_ext(sc_basename(app));
    if (gDebuggerState == -1) {
        gDebuggerState = os_file_exists(gDebugger->program) ? 1 : 0;
        if (gDebuggerState == 0)
            db_warning("Debugger \"%s\" is not available", gDebugger->program);
    }
    return gDebuggerState == 1 &&
           (force || (gDebugNames != nullptr && hash_haskey(gDebugNames, name)));
}

// Writes the debugger's command file; returns its interned name, or null.
const char *write_command_file() {
    char *tmp = os_tmpfile_name_plain();
    const char *cmdfile = sc_intern(tmp);
    std::free(tmp);
    DB_ASSERT(cmdfile != nullptr, "cmdfile != NULL");
    if (cmdfile == nullptr)
        return nullptr;
    FILE *fp = plat_fopen(cmdfile, "w");
    DB_ASSERT(fp != nullptr, "fp != NULL");
    if (fp != nullptr) {
        std::fputs(gDebugger->commands, fp);
        std::fclose(fp);
    }
    return cmdfile;
}

int32_t spawn(const char *program, vec *args) {
    vec_append(args, nullptr);
    return os_spawn(program, vec_argv(args));
}

// Runs app under the debugger: the vector becomes app, the command-file
// option, the command file, the separator, app and the program's arguments.
int32_t run_under_debugger(const char *app, vec *args) {
    const char *cmdfile = write_command_file();
    auto *path = const_cast<char *>(sc_intern(app));
    vec_insert(args, path, 0);
    vec_insert(args, const_cast<char *>(gDebugger->separator), 1);
    vec_set(args, path, 2);
    // The debugger opens the command file itself: give it the name with '/'
    // separators, which every host understands.
    const char *cmdfile_arg = cmdfile != nullptr ? sc_translate(cmdfile, "\\", "/") : nullptr;
    vec_insert(args, const_cast<char *>(cmdfile_arg), 1);
    vec_insert(args, const_cast<char *>(gDebugger->cmdfile_option), 1);
    int32_t status = spawn(gDebugger->program, args);
    if (cmdfile != nullptr)
        plat_remove(cmdfile);
    return status;
}

} // namespace

void db_package_add(const char *file, const char *comment) {
    if (gZipPath == nullptr)
        return;
    DB_ASSERT(file != nullptr, "file != NULL");
    if (file == nullptr || !os_file_exists(file))
        return;
    auto comment_size = static_cast<mz_uint16>(comment != nullptr ? std::strlen(comment) : 0);
    const char *name = archive_name(file);
    mz_zip_archive zip{};
    if (!open_package(&zip, file))
        return;
    if (!mz_zip_writer_add_file(&zip, name, file, comment, comment_size, kLevelAndFlags))
        db_warning("Unable to add archive \"%s\" (from \"%s\") to package zip (%s)", name, file,
                   gZipPath);
    if (!mz_zip_writer_finalize_archive(&zip))
        db_warning("Unable to finalize package zip (%s) after adding \"%s\"", gZipPath, file);
    if (!mz_zip_writer_end(&zip))
        db_warning("Unable to end package zip (%s) after adding \"%s\"", gZipPath, file);
}

void db_package_add_file(const char *file) {
    db_package_add(file, nullptr);
}

void db_set_app(const char *name) {
    gAppName = sc_intern(name);
}

void db_finish(void) {
    bool shared_out = std::strcmp(gAppName, kFrontEndName) != 0 && !gDefaultOut;
    if (!shared_out && gFilePath != nullptr) {
        DB_ASSERT(gFile != nullptr, "gFile != NULL");
        db_package_add(gFilePath, nullptr);
    }
    if ((gDebugFlags & DB_FLAG_ADT) != 0) {
        hash_report();
        skiplist_report();
        vec_report();
        sc_report();
    }
}

int32_t db_run(const char *app, vec *args, int force) {
    DB_ASSERT(app != nullptr, "app != NULL");
    if (app == nullptr)
        return -1;
    vec *own = args == nullptr ? vec_create(__FILE__, __LINE__) : nullptr;
    vec *argv = own != nullptr ? own : args;
    int32_t status = wants_debugger(app, force) ? run_under_debugger(app, argv) : spawn(app, argv);
    vec_destroy(own);
    return status;
}

void db_use_debugger_for_testing(const db_debugger *desc) {
    gDebugger = desc != nullptr ? desc : &db_lldb;
    gDebuggerState = -1;
}

void db_reset_package_state(void) {
    gAppName = kFrontEndName;
    gDebuggerState = -1;
    gDebugger = &db_lldb;
}
