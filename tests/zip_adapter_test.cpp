// The zip adapter loads the zip library only when an archive is first opened
// or created, and makes every open fail cleanly when it cannot be loaded.
// Writing, appending and reading back archives, and what the debug package
// does when an archive cannot be opened or created, is checked through the
// debug package's tests.
#include "common/zip_adapter.h"
#include "tests/support.h"

#include <cerrno>

using namespace test_support;

namespace {

// The library stays loaded once a call has loaded it, so each row runs in a
// fresh process. A row refuses the first library name's load, or the first
// entry point of the first library that opens; the adapter tries the
// versioned name, then the plain one (both present wherever it is built). A
// Windows machine has no zip library unless one was installed beside the
// programs: there no row opens an archive.
TEST(ZipAdapterLoadDeathTest, OpeningFailsOnlyWhenNoLibraryLoadsAndLeavesTheFilesAlone) {
    // What a row refuses, whether a library then loads and whether it reads.
    const std::tuple<const char *, bool, bool, bool, bool> rows[] = {
        {"nothing", false, false, true, false},
        {"the first name's load", true, false, true, false},
        {"an entry point of the first library", false, true, true, false},
        {"both", true, true, false, false},
        {"both, reading", true, true, false, true},
    };
    ScratchDir dir(true);
    write_file("old.zip", "old");
    for (const auto &row : rows) {
        expect_in_fresh_process([&row] {
            const auto &[refused, open_fails, symbol_missing, loads, read] = row;
            if (open_fails)
                plat_fail_next(PLAT_CALL_DLOPEN, ENOENT);
            if (symbol_missing)
                plat_fail_next(PLAT_CALL_DLSYM, ENOENT);
            mz_zip_archive zip{};
            bool opened = read ? mz_zip_reader_init_file(&zip, "old.zip", 0)
                               : mz_zip_writer_init_file(&zip, "new.zip", 0);
            bool changed = fs::exists("new.zip") || read_file("old.zip") != "old";
            return opened == (loads && !PLAT_HOST_WINDOWS) && !changed ? "" : std::string(refused);
        });
    }
}

} // namespace
