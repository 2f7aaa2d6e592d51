// The zip adapter: archives it writes pass unzip's test and can be appended
// to, and the zip library, loaded only when an archive is first opened or
// created, makes every open fail cleanly when it cannot be loaded.
//
// The library stays loaded once a call has loaded it, so every test that
// refuses the load runs in a fresh child process (a death test in
// "threadsafe" style re-runs the test body in a new process) and calls no
// zip operation before its death statement.
#include "common/vqdebug.h"
#include "common/zip_adapter.h"
#include "platform/platform.h"
#include "vqdebug_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

using vqdebug_test::DebugDirTest;
using vqdebug_test::read_file;
using vqdebug_test::write_file;
namespace fs = std::filesystem;

namespace {

bool unzip_tests_ok(const std::string &archive) {
    return std::system(("unzip -tq " + archive + " > /dev/null").c_str()) == 0;
}

std::string unzip_entry(const std::string &archive, const std::string &entry) {
    if (std::system(("unzip -p " + archive + " " + entry + " > entry.out").c_str()) != 0)
        return "unzip failed";
    return read_file("entry.out");
}

// Writes the files (archive name = file name) into a new archive, or
// appends them to the existing one; false when any step fails.
bool write_archive(const char *archive, std::initializer_list<const char *> files, mz_uint level) {
    mz_zip_archive zip{};
    bool opened = fs::exists(archive) ? mz_zip_reader_init_file(&zip, archive, 0) &&
                                            mz_zip_writer_init_from_reader(&zip, archive)
                                      : mz_zip_writer_init_file(&zip, archive, 0);
    bool ok = opened;
    for (const char *file : files)
        ok = ok && mz_zip_writer_add_file(&zip, file, file, "note", 4, level);
    ok = ok && mz_zip_writer_finalize_archive(&zip);
    mz_zip_writer_end(&zip);
    return ok;
}

using ZipAdapter = DebugDirTest;

TEST_F(ZipAdapter, WrittenArchivePassesUnzipAndReadsBack) {
    write_file("stored.txt", "kept as it is");
    write_file("packed.txt", std::string(5000, 'z'));
    ASSERT_TRUE(write_archive("a.zip", {"stored.txt"}, 0));
    ASSERT_TRUE(write_archive("a.zip", {"packed.txt"}, 6));
    EXPECT_TRUE(unzip_tests_ok("a.zip"));
    EXPECT_EQ(unzip_entry("a.zip", "stored.txt"), "kept as it is");
    EXPECT_EQ(unzip_entry("a.zip", "packed.txt"), std::string(5000, 'z'));
    EXPECT_LT(fs::file_size("a.zip"), 1000u);

    mz_zip_archive zip{};
    ASSERT_TRUE(mz_zip_reader_init_file(&zip, "a.zip", 0));
    EXPECT_EQ(zip.m_total_files, 2u);
    EXPECT_FALSE(mz_zip_writer_end(&zip));
}

// Which loads a test refuses: the first library name cannot be opened, the
// first library that opens lacks an entry point. The adapter tries the
// versioned name, then the plain one (both present wherever it is built).
struct refused_load {
    const char *what;
    bool open_fails;
    bool symbol_missing;
    bool loads;
};

constexpr refused_load kRefusedLoads[] = {
    {"nothing refused", false, false, true},
    {"first name cannot be opened", true, false, true},
    {"first library lacks an entry point", false, true, true},
    {"no library with every entry point", true, true, false},
};

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
            ::testing::ExitedWithCode(r.loads ? 1 : 0), "")
            << r.what;
    }
}

TEST_F(ZipAdapterLoadDeathTest, LoadIsRetriedAfterAFailure) {
    EXPECT_EXIT(
        {
            refuse(kRefusedLoads[3]);
            mz_zip_archive zip{};
            if (mz_zip_writer_init_file(&zip, "new.zip", 0))
                std::exit(1);
            write_file("a.txt", "a");
            bool written = mz_zip_writer_init_file(&zip, "new.zip", 0) &&
                           mz_zip_writer_add_file(&zip, "a.txt", "a.txt", nullptr, 0, 6) &&
                           mz_zip_writer_finalize_archive(&zip);
            std::exit(written && unzip_tests_ok("new.zip") ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ZipAdapterLoadDeathTest, PackageIsLeftUntouchedWhenTheLibraryCannotLoad) {
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
