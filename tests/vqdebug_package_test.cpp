// The debug package (a zip archive, read back with unzip and Python's zipfile)
// and the launch of programs, directly or under a recording stand-in debugger.
#include "common/hash.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "tests/support.h"

#include <regex>

using namespace test_support;

namespace {

class DebugPackage : public DebugDirTest {
  protected:
    // Each entry as "name|comment|size|compression|flags", one a line, read
    // with Python's zipfile after unzip's and its own integrity tests: the
    // name's bytes, and flags 0x800 (a UTF-8 name) plus twice the deflate
    // sub-type (0: normal, the level 6 asked for).
    static std::string listing(const char *archive) {
        std::string cmd = "unzip -tq " + std::string(archive) +
                          " > /dev/null && python3 -c \"import sys, zipfile\n"
                          "z = zipfile.ZipFile(sys.argv[1])\nassert z.testzip() is None\nfor i in "
                          "z.infolist(): print('%r|%s|%d|%d|%d' % (i.filename.encode('utf-8' if "
                          "i.flag_bits & 0x800 else 'cp437'), i.comment.decode(), len(z.read(i)), "
                          "i.compress_type, i.flag_bits & 0x806))\" " +
                          archive + " > listing.txt 2>&1";
        int rc = std::system(cmd.c_str());
        return rc == 0 ? read_file("listing.txt") : "check failed: " + read_file("listing.txt");
    }
    static std::string add(const char *file, const char *comment = nullptr) {
        return stderr_of([=] { db_package_add(file, comment); });
    }
};

TEST_F(DebugPackage, EntriesAreDeflatedUnderTheirArchiveNamesAndLaterRunsAppend) {
    write_file("a.txt", std::string(5000, 'a'));
    EXPECT_EQ(add("a.txt"), "") << "without a zip option nothing is packaged";
    parse("--vqdebug=zip");
    EXPECT_EQ(add("missing.txt"), "");
    EXPECT_FALSE(fs::exists("vq4_package.zip"));
    for (const char *name : {"C:/work/a.c", "dir/b.txt", "caf\xE9.txt", "caf\xC3\xA9.txt"})
        write_file(name, name); // each holds its own name
    for (const char *name : {"a.txt", "C:\\work\\a.c", "dir\\b.txt"})
        EXPECT_EQ(add(name, "first"), "") << name;
    fs::create_directory("adir"); // cannot be read: not added, the package stays
    EXPECT_EQ(add("adir"), DBW "Unable to add archive \"adir\" (from \"adir\") to package zip "
                               "(vq4_package.zip)\n");

    // A later run appends. Names keep their bytes, flagged UTF-8 only when
    // they are (a Windows ANSI name is not); a file added again replaces its
    // entry, at the level asked for.
    db_reset_for_testing();
    parse("--vqdebug=zip:+vq4_package.zip");
    for (const char *name : {"caf\xE9.txt", "caf\xC3\xA9.txt", "dir\\b.txt"})
        EXPECT_EQ(add(name), "") << name;
    EXPECT_EQ(listing("vq4_package.zip"),
              "b'a.txt'|first|5000|8|0\nb'SYSTEM_ROOT/work/a.c'|first|11|8|0\n"
              "b'caf\\xe9.txt'||8|8|0\nb'caf\\xc3\\xa9.txt'||9|8|2048\nb'dir/b.txt'||9|8|0\n");
}

TEST_F(DebugPackage, ADirectoryWithThePackagesNameIsNeverRemoved) {
    fs::create_directory("p.zip");
    EXPECT_EQ(parse("--vqdebug=zip:p.zip"),
              DBW "Package zip \"p.zip\" already exists and will be over-written\n" DBW
                  "Unable to remove \"p.zip\", it will be updated if possible\n");
    EXPECT_TRUE(fs::is_directory("p.zip"));
}

TEST_F(DebugPackage, UnusablePackageWarnsAndIsNeverMadeWorse) {
    parse("--vqdebug=zip:+p.zip");
    write_file("a.txt", "a");
    // A package cut off in its first entry's header, and one that is no zip.
    for (const std::string &damaged : {std::string("PK\x03\x04\x14\0", 6), std::string("no zip")}) {
        write_file("p.zip", damaged);
        EXPECT_EQ(add("a.txt"),
                  DBW "Unable to open package zip file (p.zip) for reading to append \"a.txt\"\n");
        EXPECT_EQ(read_file("p.zip"), damaged);
    }
    db_reset_for_testing();
    parse("--vqdebug=zip:no/such/dir/p.zip");
    EXPECT_EQ(add("a.txt"),
              DBW "Unable to init package zip file (no/such/dir/p.zip) to add \"a.txt\"\n");
}

TEST_F(DebugPackage, FinishPacksTheDebugOutFileUnlessTheFrontEndSharesThenWritesTheReports) {
    parse("--vqdebug=on,out:shared.out,zip:p.zip");
    db_set_app("vq4-cc");
    db_finish();
    EXPECT_FALSE(fs::exists("p.zip"));
    db_set_app("vq4");
    db_finish();
    EXPECT_EQ(listing("p.zip"), "b'shared.out'||0|8|0\n");

    db_reset_for_testing();
    parse("--vqdebug=adt,zip:q.zip");
    db_set_app("vq4-cc");
    hash_destroy(hash_create(13, nullptr, nullptr, __FILE__, __LINE__)); // a table to report
    db_finish();
    EXPECT_EQ(listing("q.zip"), "b'vq4-1.out'||0|8|0\n");
    const std::regex reports(
        "# Hash Table Master[\\s\\S]*# Skiplist Master[\\s\\S]*# Living Vector");
    EXPECT_TRUE(std::regex_search(read_file("vq4-1.out"), reports)) << read_file("vq4-1.out");
}

// A stand-in debugger, which is also the other program: records its
// arguments, one per line, and the command file it was given (in the current
// directory), then exits with 3.
class DebugLaunch : public DebugPackage {
  protected:
    void SetUp() override {
        DebugPackage::SetUp();
        write_file("other.exe",
                   "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> record.txt; "
                   "done\nif [ \"$1\" = -s ]; then cat \"$2\" > commands.txt; fi\nexit 3\n");
        fs::permissions("other.exe", fs::perms::owner_all);
        stand_in_ = db_lldb;
        stand_in_.program = sc_intern((dir_.path() / "other.exe").string().c_str());
        db_use_debugger_for_testing(&stand_in_);
    }
    db_debugger stand_in_{};
};

TEST_F(DebugLaunch, NamedProgramRunsUnderTheDebugger) {
    parse("--vqdebug=debug:LUMC");
    vec *args = vec_create(__FILE__, __LINE__);
    for (const char *item : {"lumc", "-a", "x.c"})
        vec_append(args, const_cast<char *>(item));
    EXPECT_EQ(db_run("bin/lumc.exe", args, 0), 3);
    std::string record = read_file("record.txt");
    std::string cmdfile = record.substr(3, record.find('\n', 3) - 3);
    EXPECT_EQ(record, "-s\n" + cmdfile + "\n--\nbin/lumc.exe\n-a\nx.c\n");
    EXPECT_EQ(read_file("commands.txt"), "break set --name db_assert\nbreak set --name main\n"
                                         "break command add 2\nexpr gInDebugger=1\nDONE\nrun");
    EXPECT_FALSE(fs::exists(cmdfile));
    EXPECT_EQ(vec_get(args, vec_size(args) - 1), nullptr) << "the null end stays in the vector";
    vec_destroy(args);
}

TEST_F(DebugLaunch, OtherProgramRunsDirectlyUnlessForcedAndAMissingDebuggerIsReportedOnce) {
    parse("--vqdebug=debug:lumc");
    EXPECT_EQ(db_run("other.exe", nullptr, 0), 3); // directly: the stand-in gets no argument
    EXPECT_EQ(db_run("other.exe", nullptr, 1), 3);
    EXPECT_TRUE(std::regex_match(read_file("record.txt"), std::regex("-s\n.+\n--\nother.exe\n")))
        << read_file("record.txt");

    // A missing debugger: the stand-in runs directly (its status shows it).
    db_reset_for_testing();
    stand_in_.program = "/no/such/debugger";
    db_use_debugger_for_testing(&stand_in_);
    EXPECT_EQ(stderr_of([] { EXPECT_EQ(db_run("other.exe", nullptr, 0), 3); }), "");
    parse("--vqdebug=debug:other");
    EXPECT_EQ(stderr_of([] {
                  EXPECT_EQ(db_run("other.exe", nullptr, 0), 3);
                  EXPECT_EQ(db_run("other.exe", nullptr, 0), 3);
              }),
              DBW "Debugger \"/no/such/debugger\" is not available\n");
}

} // namespace
