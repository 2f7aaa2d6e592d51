// The debug package (zip archive) and the launch of programs, directly or
// under a debugger. Packages are read back with standard tools (unzip and
// Python's zipfile); the debugger is replaced by a recording script.
#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "vqdebug_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

using vqdebug_test::DebugDirTest;
using vqdebug_test::read_file;
using vqdebug_test::write_file;
namespace fs = std::filesystem;

namespace {

class DebugPackage : public DebugDirTest {
  protected:
    // Each entry of the archive as "name|comment|compression|size", one per
    // line, read with Python's zipfile after its own integrity test.
    static std::string listing(const char *archive) {
        std::string cmd = std::string("python3 -c \"import sys, zipfile\n"
                                      "z = zipfile.ZipFile(sys.argv[1])\n"
                                      "assert z.testzip() is None\n"
                                      "for i in z.infolist(): print('%s|%s|%d|%d' % (i.filename, "
                                      "i.comment.decode(), i.compress_type, len(z.read(i))))\" ") +
                          archive + " > listing.txt 2>&1";
        int rc = std::system(cmd.c_str());
        std::string text = read_file("listing.txt");
        return rc == 0 ? text : "python failed: " + text;
    }
    static bool unzip_tests_ok(const char *archive) {
        return std::system((std::string("unzip -tq ") + archive + " > /dev/null").c_str()) == 0;
    }
    static std::string add(const char *file, const char *comment = nullptr) {
        ::testing::internal::CaptureStderr();
        db_package_add(file, comment);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(DebugPackage, WithoutZipOptionNothingIsAdded) {
    write_file("a.txt", "a");
    EXPECT_EQ(add("a.txt"), "");
    EXPECT_FALSE(fs::exists("vq4_package.zip"));
}

TEST_F(DebugPackage, NewPackageHoldsTheFileDeflatedWithItsComment) {
    parse("--vqdebug=zip");
    write_file("a.txt", std::string(5000, 'a'));
    EXPECT_EQ(add("a.txt", "from the test"), "");
    EXPECT_TRUE(unzip_tests_ok("vq4_package.zip"));
    EXPECT_EQ(listing("vq4_package.zip"), "a.txt|from the test|8|5000\n");
}

TEST_F(DebugPackage, ArchiveNamesOfAbsoluteAndRelativePaths) {
    parse("--vqdebug=zip:p.zip");
    fs::create_directories("C:/work");
    fs::create_directories("dir");
    write_file("C:/work/a.c", "int a;");
    write_file("dir/b.txt", "b");
    EXPECT_EQ(add("C:\\work\\a.c"), "");
    EXPECT_EQ(add("dir\\b.txt"), "");
    EXPECT_EQ(listing("p.zip"), "SYSTEM_ROOT/work/a.c||8|6\ndir/b.txt||8|1\n");
}

TEST_F(DebugPackage, AddingAMissingFileChangesNothing) {
    parse("--vqdebug=zip:p.zip");
    EXPECT_EQ(add("missing.txt"), "");
    EXPECT_FALSE(fs::exists("p.zip"));
}

TEST_F(DebugPackage, AddingToAnExistingPackageKeepsItsEntries) {
    parse("--vqdebug=zip:+p.zip");
    write_file("a.txt", "first");
    write_file("b.txt", "second");
    add("a.txt");
    std::string err = add("b.txt", "c");
    EXPECT_EQ(err, "");
    EXPECT_TRUE(unzip_tests_ok("p.zip"));
    EXPECT_EQ(listing("p.zip"), "a.txt||8|5\nb.txt|c|8|6\n");
    ASSERT_EQ(std::system("unzip -p p.zip b.txt > b.out"), 0);
    EXPECT_EQ(read_file("b.out"), "second");
}

TEST_F(DebugPackage, PackageThatIsNotAZipIsLeftAlone) {
    write_file("p.zip", "this is not an archive");
    write_file("a.txt", "a");
    parse("--vqdebug=zip:+p.zip");
    EXPECT_EQ(add("a.txt"), "VQDEBUG (warning): Unable to open package zip file (p.zip) for "
                            "reading to append \"a.txt\"\n");
    EXPECT_EQ(read_file("p.zip"), "this is not an archive");
}

TEST_F(DebugPackage, TruncatedPackageIsLeftAlone) {
    parse("--vqdebug=zip:+p.zip");
    write_file("a.txt", std::string(3000, 'x'));
    write_file("b.txt", "b");
    add("a.txt");
    add("b.txt");
    std::string whole = read_file("p.zip");
    std::string cut = whole.substr(0, whole.size() / 2);
    write_file("p.zip", cut);
    EXPECT_EQ(add("a.txt"), "VQDEBUG (warning): Unable to open package zip file (p.zip) for "
                            "reading to append \"a.txt\"\n");
    EXPECT_EQ(read_file("p.zip"), cut);
}

TEST_F(DebugPackage, PackageThatCannotBeCreatedWarns) {
    parse("--vqdebug=zip:no/such/dir/p.zip");
    write_file("a.txt", "a");
    EXPECT_EQ(add("a.txt"), "VQDEBUG (warning): Unable to init package zip file "
                            "(no/such/dir/p.zip) to add \"a.txt\"\n");
}

TEST_F(DebugPackage, FinishAddsTheDebugOutFile) {
    parse("--vqdebug=on,zip:p.zip");
    tracef("t.c", 1, "hello");
    db_finish();
    EXPECT_EQ(listing("p.zip"),
              "vq4-1.out||8|" + std::to_string(read_file("vq4-1.out").size()) + "\n");
}

TEST_F(DebugPackage, FinishOfAnotherAppLeavesASharedOutFileToTheFrontEnd) {
    parse("--vqdebug=on,out:shared.out,zip:p.zip");
    db_set_app("vq4-cc");
    db_finish();
    EXPECT_FALSE(fs::exists("p.zip"));
    db_set_app("vq4");
    db_finish();
    EXPECT_EQ(listing("p.zip"), "shared.out||8|0\n");
}

TEST_F(DebugPackage, FinishWithAdtWritesTheContainerReports) {
    parse("--vqdebug=adt");
    db_finish();
    std::string out = read_file("vq4-1.out");
    EXPECT_NE(out.find("# Skiplist Master List:"), std::string::npos) << out;
}

// A stand-in debugger: records its arguments, one per line, and the command
// file it was given, then exits with 3.
class DebugLaunch : public DebugPackage {
  protected:
    void SetUp() override {
        DebugPackage::SetUp();
        recorder_ = (dir_ / "recorder").string();
        write_file(recorder_, "#!/bin/sh\n"
                              "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                                  (dir_ / "record.txt").string() +
                                  "'; done\n"
                                  "if [ \"$1\" = -s ]; then cat \"$2\" > '" +
                                  (dir_ / "commands.txt").string() +
                                  "'; fi\n"
                                  "exit 3\n");
        fs::permissions(recorder_, fs::perms::owner_all);
        fs::copy_file(recorder_, "other.exe");
        ensure_private_temp_dir_here();
        stand_in_ = db_lldb;
        stand_in_.program = recorder_.c_str();
        db_use_debugger_for_testing(&stand_in_);
    }
    // Without TEMP the process's private temporary directory is relative to
    // the directory it was first made in; make sure it exists here too, so
    // that the command file can be written after this test's chdir.
    static void ensure_private_temp_dir_here() {
        char *probe = os_tmpfile_name_plain();
        ASSERT_NE(probe, nullptr);
        std::string dir = sc_dirname(probe);
        std::free(probe);
        std::replace(dir.begin(), dir.end(), '\\', '/');
        fs::create_directories(dir);
    }
    static vec *args_of(std::initializer_list<const char *> items) {
        vec *v = vec_create(__FILE__, __LINE__);
        for (const char *item : items)
            vec_append(v, const_cast<char *>(item));
        return v;
    }
    std::string recorder_;
    db_debugger stand_in_{};
};

TEST_F(DebugLaunch, NamedProgramRunsUnderTheDebugger) {
    parse("--vqdebug=debug:LUMC");
    vec *args = args_of({"lumc", "-a", "x.c"});
    std::string path = (dir_ / "bin" / "lumc.exe").string();
    EXPECT_EQ(db_run(path.c_str(), args, 0), 3);
    std::string record = read_file("record.txt");
    std::string cmdfile = record.substr(3, record.find('\n', 3) - 3);
    EXPECT_EQ(record, "-s\n" + cmdfile + "\n--\n" + path + "\n-a\nx.c\n");
    EXPECT_EQ(read_file("commands.txt"), db_lldb.commands);
    EXPECT_EQ(std::string(db_lldb.commands).size(), 96u);
    EXPECT_FALSE(fs::exists(cmdfile));
    EXPECT_EQ(vec_size(args), 8u) << "the null end stays in the caller's vector";
    EXPECT_EQ(vec_get(args, 7), nullptr);
    vec_destroy(args);
}

TEST_F(DebugLaunch, OtherProgramRunsDirectly) {
    parse("--vqdebug=debug:lumc");
    vec *args = args_of({"other", "-b"});
    EXPECT_EQ(db_run("other.exe", args, 0), 3);
    EXPECT_EQ(read_file("record.txt"), "-b\n");
    EXPECT_EQ(vec_size(args), 3u);
    vec_destroy(args);
}

TEST_F(DebugLaunch, ForceRunsUnderTheDebuggerWithoutDebugOption) {
    EXPECT_EQ(db_run("other.exe", nullptr, 1), 3);
    std::string record = read_file("record.txt");
    EXPECT_EQ(record.substr(0, 3), "-s\n");
    EXPECT_NE(record.find("\n--\nother.exe\n"), std::string::npos) << record;
}

TEST_F(DebugLaunch, MissingDebuggerWarnsOnceAndRunsDirectly) {
    db_debugger missing = db_lldb;
    missing.program = "/no/such/debugger";
    db_use_debugger_for_testing(&missing);
    parse("--vqdebug=debug:other");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(db_run("other.exe", nullptr, 0), 3);
    EXPECT_EQ(db_run("other.exe", nullptr, 0), 3);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "VQDEBUG (warning): Debugger \"/no/such/debugger\" is not available\n");
    EXPECT_EQ(read_file("record.txt"), "");
}

TEST_F(DebugLaunch, WithoutDebugOptionTheDebuggerIsNeverProbed) {
    db_debugger missing = db_lldb;
    missing.program = "/no/such/debugger";
    db_use_debugger_for_testing(&missing);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(db_run("other.exe", nullptr, 0), 3);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(DebugLaunch, ProgramThatCannotStartGivesMinusOne) {
    EXPECT_EQ(db_run("no_such_program", nullptr, 0), -1);
}

} // namespace
