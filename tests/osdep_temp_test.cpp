// The private temporary directory, temporary names and their removal at
// exit, directory creation and removal, and file queries.
//
// The private directory is process-wide state made once, so every test of
// it runs in a fresh child process (a death test in "threadsafe" style
// re-runs the test in a new process) and the parent looks afterwards.
#include "common/osdep.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

using namespace test_support;

using ::testing::ExitedWithCode;

namespace {

// The directory part of a name from the layer.
std::string dir_of(const std::string &name) {
    return name.substr(0, name.rfind('\\'));
}

std::set<std::string> listing(const fs::path &dir) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

// True when dir is base's private directory "vq" letter and a unique tail.
bool is_private_dir_of(const std::string &dir, const std::string &base, char letter) {
    std::string head = base + "\\vq" + letter;
    return dir.starts_with(head) && dir.size() > head.size() &&
           dir.find_first_of("\\/", head.size()) == std::string::npos;
}

} // namespace

// The base is TEMP, else TMP, else the current directory (a backslash that
// ends it is not doubled). Before the first name, a TEMP that names a file
// gives no name (and uses up no number); a later request tries again.
// Status 1 is how a fatal message ends the process; a failed removal at exit
// is ignored and the other removals still happen.
TEST(OsTempDeathTest, NamesFollowTheLayoutAndAllTemporariesGoAtExitUnlessKept) {
    ScratchDir scratch;
    const std::string base = scratch.str(), with_backslash = base + "\\";
    struct Row {
        const char *temp, *tmp, *made_in;
        int status;
        bool keep, fail_removal;
        size_t left; // entries left in the scratch directory
    } rows[] = {{base.c_str(), nullptr, base.c_str(), 0, false, false, 0},
                {nullptr, base.c_str(), base.c_str(), 1, false, true, 1},
                {nullptr, nullptr, ".", 0, false, false, 0},
                {with_backslash.c_str(), nullptr, base.c_str(), 0, true, false, 3}};
    for (const Row &row : rows) {
        EXPECT_EXIT(
            {
                os_setenv("TEMP", scratch.write("file", "x").c_str());
                CHILD_CHECK(os_tmpfile_name(".cmd") == nullptr && os_tmpdir_name() == nullptr);
                os_setenv("TEMP", row.temp);
                os_setenv("TMP", row.tmp);
                CHILD_CHECK(plat_chdir(base.c_str()) == 0);
                os_keep_temps(row.keep);
                std::string first = take(os_tmpfile_name(".cmd"));
                std::string dir = dir_of(first);
                CHILD_CHECK(is_private_dir_of(dir, row.made_in, 'A'));
                CHILD_CHECK(first == dir + "\\vq4_tmp_0.cmd");
                CHILD_CHECK(take(os_tmpfile_name("cmd")) == dir + "\\vq4_tmp_1.cmd");
                CHILD_CHECK(fs::is_directory(host(dir)) && !fs::exists(host(first)));
                CHILD_CHECK(write_file(host(first), "command file"));
                std::string sub = take(os_tmpdir_name());
                CHILD_CHECK(sub == dir + "\\vq4_tmp_2" && fs::is_directory(host(sub)));
                CHILD_CHECK(write_file(host(sub) / "inner", "x"));
                scratch.write("dir\\sub\\f", "x");
                os_remove_at_exit(nullptr);
                os_remove_dir_at_exit(nullptr);
                os_remove_at_exit(scratch.win("file").c_str());
                os_remove_dir_at_exit(scratch.win("dir").c_str());
                os_remove_at_exit(scratch.win("never_made").c_str());
                if (row.fail_removal) // the first removal at exit: "file"
                    plat_fail_next(PLAT_CALL_REMOVE, EACCES);
                std::exit(row.status);
            },
            ExitedWithCode(row.status), "");
        std::set<std::string> names = listing(scratch.path());
        EXPECT_EQ(names.size(), row.left) << "TEMP " << (row.temp ? row.temp : "(unset)");
        // Kept: "dir", "file" and the private directory, last in order.
        EXPECT_TRUE(!row.keep || fs::exists(scratch.path() / *names.rbegin() / "vq4_tmp_0.cmd"));
    }
}

TEST(OsTempDeathTest, ExistingCandidatesAreSkippedForTheNextLetter) {
    ScratchDir scratch;
    EXPECT_EXIT(
        {
            os_setenv("TEMP", scratch.str().c_str());
            // The layer's next host-unique name follows the one taken here.
            std::string taken = plat_tmpnam(nullptr);
            size_t dot = taken.rfind('.');
            std::string tail =
                taken.substr(1, dot) + std::to_string(std::stoul(taken.substr(dot + 1)) + 1);
            scratch.write("vqA" + tail, "a file");
            scratch.write("vqB" + tail + "\\keep", "inside");
            fs::create_symlink(scratch.host("nowhere"), scratch.host("vqC" + tail));
            scratch.write("target\\keep", "target");
            fs::create_directory_symlink(scratch.host("target"), scratch.host("vqD" + tail));
            CHILD_CHECK(dir_of(take(os_tmpfile_name_plain())) == scratch.win("vqE" + tail));
            std::exit(0);
        },
        ExitedWithCode(0), "");
    std::string letters; // "target", then the four planted candidates
    for (const std::string &name : listing(scratch.path()))
        letters += name.starts_with("vq") ? name.substr(2, 1) : "-";
    EXPECT_EQ(letters, "-ABCD");
    EXPECT_TRUE(fs::exists(scratch.path() / "target" / "keep"));
}

TEST(OsRmdirTest, RemovesATreeWithoutFollowingLinksAndStopsAtTheFirstFailure) {
    ScratchDir scratch;
    const fs::path &s = scratch.path();
    scratch.write("t\\a\\b\\f", "x");
    scratch.mkdir("t\\empty");
    scratch.write("outside\\precious", "x");
    scratch.write("file", "x");
    fs::create_directory_symlink(s / "outside", s / "t" / "link");
    fs::create_symlink(s / "gone", s / "t" / "dangling");
    EXPECT_EQ(os_rmdir_r(scratch.win("t").c_str()), 0);
    EXPECT_EQ(listing(s), (std::set<std::string>{"file", "outside"}));
    EXPECT_TRUE(fs::exists(s / "outside" / "precious"));
    EXPECT_EQ(os_rmdir_r(scratch.win("t").c_str()), -1);
    EXPECT_EQ(os_rmdir_r(scratch.win("file").c_str()), -1);
    EXPECT_EQ(os_rmdir_r(nullptr), -1);
    // The first failing removal stops the walk; an unreadable directory is left.
    scratch.write("t\\f", "x");
    plat_fail_next(PLAT_CALL_REMOVE, EACCES);
    EXPECT_EQ(os_rmdir_r(scratch.win("t").c_str()), -1);
    plat_fail_reset();
    plat_fail_next(PLAT_CALL_OPENDIR, EACCES);
    EXPECT_EQ(os_rmdir_r(scratch.win("t").c_str()), 0);
    plat_fail_reset();
}

TEST(OsFileQueryTest, ExistenceKindSizeExactCaseAndDirectoriesMadeByLevels) {
    ScratchDir scratch;
    std::string file = scratch.write("Five.TXT", "12345"), missing = scratch.win("missing"),
                dir = scratch.str();
    const char *f = file.c_str(), *d = dir.c_str();
    EXPECT_TRUE(os_file_exists(f) && !os_is_dir(f) && os_file_exists_exact(f));
    EXPECT_TRUE(os_file_exists(d) && os_is_dir(d) && os_file_exists_exact(d));
    EXPECT_EQ(os_file_size(f), 5);
    EXPECT_FALSE(os_file_exists_exact(scratch.win("five.txt").c_str()));
    for (const char *absent : {missing.c_str(), static_cast<const char *>(nullptr)}) {
        EXPECT_FALSE(os_file_exists(absent) || os_is_dir(absent) || os_file_exists_exact(absent));
        EXPECT_EQ(os_file_size(absent), 0);
        EXPECT_EQ(os_short_path(absent), nullptr);
    }
    // Windows gives the short (8.3) names of the components; POSIX has none.
    std::string shortened = take(os_short_path(f));
    EXPECT_TRUE(PLAT_HOST_WINDOWS ? fs::equivalent(shortened, file) : shortened == file)
        << shortened;
    // Directories are made up to three missing levels deep.
    std::string deep = scratch.win("a\\b\\c");
    EXPECT_EQ(os_mkdir_p(deep.c_str()), 0);
    EXPECT_EQ(os_mkdir_p(deep.c_str()), 1);
    EXPECT_EQ(os_mkdir_p((file + "\\x\\y").c_str()), 1);
    EXPECT_EQ(os_ensure_dir(nullptr), -1);
    EXPECT_EQ(os_ensure_dir("C:"), 0);
    EXPECT_EQ(os_ensure_dir(d), 0);
    EXPECT_EQ(os_ensure_dir(f), 1);
    EXPECT_EQ(os_ensure_dir(scratch.win("new\\dir").c_str()), 0);
    EXPECT_TRUE(fs::is_directory(scratch.path() / "new" / "dir"));
}
