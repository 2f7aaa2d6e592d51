// The zip adapter loads the zip library only when an archive is first opened
// or created, and makes every open fail cleanly when it cannot be loaded.
// Writing, appending and reading back archives is checked through the debug
// package's tests.
//
// The library stays loaded once a call has loaded it, so every test that
// refuses the load runs in a fresh child process (a death test in
// "threadsafe" style re-runs the test body in a new process) and calls no
// zip operation before its death statement.
#include "common/vqdebug.h"
#include "common/zip_adapter.h"
#include "platform/platform.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace test_support;

namespace fs = std::filesystem;

namespace {

// Which loads a row refuses: the first library name cannot be opened, the
// first library that opens lacks an entry point. The adapter tries the
// versioned name, then the plain one (both present wherever it is built).
struct refused_load {
    const char *what;
    bool open_fails, symbol_missing, loads;
};

constexpr refused_load kRefusedLoads[] = {
    {"nothing refused", false, false, true},
    {"first name cannot be opened", true, false, true},
    {"first library lacks an entry point", false, true, true},
    {"no library with every entry point", true, true, false},
};

// A Windows machine has no zip library unless one was installed beside the
// programs: there no row loads it, and creating a package always fails.
bool library_expected() {
    return !PLAT_HOST_WINDOWS;
}

void refuse(const refused_load &r) {
    if (r.open_fails)
        plat_fail_next(PLAT_CALL_DLOPEN, ENOENT);
    if (r.symbol_missing)
        plat_fail_next(PLAT_CALL_DLSYM, ENOENT);
}

class ZipAdapterLoadDeathTest : public DebugDirTest {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        DebugDirTest::SetUp();
    }
    void TearDown() override {
        plat_fail_reset();
        DebugDirTest::TearDown();
    }
};

// Each child re-runs the fixture's set-up, which makes the test directory
// afresh, so the children check the files themselves and report through
// their exit code.
TEST_F(ZipAdapterLoadDeathTest, CreatingFailsOnlyWhenNoLibraryLoadsAndLeavesNoFile) {
    for (const refused_load &r : kRefusedLoads) {
        EXPECT_EXIT(
            {
                refuse(r);
                mz_zip_archive zip{};
                bool created = mz_zip_writer_init_file(&zip, "new.zip", 0);
                std::exit((created ? 1 : 0) | (fs::exists("new.zip") ? 2 : 0));
            },
            ::testing::ExitedWithCode(r.loads && library_expected() ? 1 : 0), "")
            << r.what;
    }
}

// What a Windows machine without the zip library shows: the package
// cannot be created, and nothing is left in its place.
TEST_F(ZipAdapterLoadDeathTest, WithoutTheLibraryTheFirstAdditionReportsThePackageCannotBeMade) {
    EXPECT_EXIT(
        {
            write_file("a.txt", "a");
            parse("--vqdebug=zip:p.zip");
            refuse(kRefusedLoads[3]);
            db_package_add("a.txt", nullptr);
            std::exit(fs::exists("p.zip") ? 2 : 0);
        },
        ::testing::ExitedWithCode(0),
        "Unable to init package zip file \\(p\\.zip\\) to add \"a\\.txt\"");
}

TEST_F(ZipAdapterLoadDeathTest, PackageIsLeftUntouchedWhenTheLibraryCannotLoad) {
    if (PLAT_HOST_WINDOWS) {
        GTEST_SKIP() << "not on Windows: no zip program to make the package beforehand";
    }
    EXPECT_EXIT(
        {
            write_file("old.txt", "old");
            write_file("a.txt", "a");
            if (std::system("zip -q p.zip old.txt") != 0)
                std::exit(1);
            const std::string before = read_file("p.zip");
            parse("--vqdebug=zip:+p.zip");
            refuse(kRefusedLoads[3]);
            db_package_add("a.txt", nullptr);
            std::exit(read_file("p.zip") == before ? 0 : 2);
        },
        ::testing::ExitedWithCode(0),
        "Unable to open package zip file \\(p\\.zip\\) for reading to append \"a\\.txt\"");
}

} // namespace
