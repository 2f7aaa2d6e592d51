// The debug options: parsing, their warnings, the debug-out file they open
// and their regeneration for launched programs.
#include "common/vqdebug.h"
#include "tests/support.h"

#include <cstring>

using namespace test_support;

namespace {

using DebugOptions = DebugDirTest;

std::string gen(uint32_t caller, const char *callee) {
    const char *text = db_gen_options(caller, callee);
    return text != nullptr ? text : "(null)";
}

// One argument parsed at the start of a run: the debug-out file it opens
// (null: none), its regeneration for the driver (which also shows the flags,
// the assertion level and the package it set) and its warnings.
const std::tuple<const char *, const char *, const char *, const char *> kOptionCases[] = {
    {"--vqdebug=on", "vq4-1.out", "--vqdebug=default,on,num:1", ""},
    {"--vqdebug=num:3,on", "vq4-3.out", "--vqdebug=default,on,num:1", ""},
    {"--vqdebug=on,assert:error,debug:lumc", "vq4-1.out", "--vqdebug=default,on,assert:error,num:1",
     ""},
    {"--vqdebug=alerts,dwarf,sdb,on", "vq4-1.out", "--vqdebug=default,on,sdb,dwarf,alerts,num:1",
     ""},
    {"--vqdebug=Defaults,SDBX,outfile:trace.txt", "trace.txt",
     "--vqdebug=default,on,out:+trace.txt,sdb,num:1", ""},
    {"--vqdebug=out:+trace.txt", "trace.txt", "--vqdebug=out:+trace.txt", ""},
    {"--vqdebug=num:2,out:logs", "logs\\vq4-2.out", "--vqdebug=out:+logs\\vq4-2.out", ""},
    {"--anything=,,dwarf,,", "vq4-1.out", "--vqdebug=dwarf,num:1", ""},
    {"--vqdebug=assert:ignore", nullptr, "(null)", ""},
    {"--vqdebug=assert:Fatal", nullptr, "--vqdebug=assert:fatal", ""},
    {"--vqdebug=assert:WARNING", nullptr, "--vqdebug=assert:warning", ""},
    {"--vqdebug=assert", nullptr, "(null)", DBW "option \"assert\", must have an argument\n"},
    {"--vqdebug=assert:", nullptr, "(null)", DBW "option \"assert\", must have an argument\n"},
    {"--vqdebug=assert:Loud", nullptr, "(null)",
     DBW "unknown argument (loud) given to assert option\n"},
    {"--vqdebug=bogus:1", nullptr, "(null)", DBW "unknown option \"bogus:1\"\n"},
    {"--vqdebug=debug", nullptr, "(null)",
     DBW "option \"debug\", must have at least one argument\n"},
    {"--vqdebug=debug:::", nullptr, "(null)",
     DBW "option \"debug\", must have at least one argument\n"},
    {"--vqdebug=debug:lumc18", nullptr, "(null)", ""},
    {"--vqdebug=out:", nullptr, "(null)", DBW "option \"out\", must have a filename argument\n"},
    {"--vqdebug=num:0,num:-4,num,on", "vq4-1.out", "--vqdebug=default,on,num:1",
     DBW "\"num\" option must be a decimal integer > 0, using \"1\"\n" DBW
         "\"num\" option must be a decimal integer > 0, using \"1\"\n" DBW
         "option \"num\", must have an argument\n"},
    // An existing package is replaced unless named with "+".
    {"--vqdebug=zip:+p.zip", nullptr, "--vqdebug=zip:+p.zip", ""},
    {"--vqdebug=zip:p.zip", nullptr, "--vqdebug=zip:+p.zip",
     DBW "Package zip \"p.zip\" already exists and will be over-written\n"},
    {"--vqdebug=zip,zip:b.zip", nullptr, "--vqdebug=zip:+vq4_package.zip",
     DBW "Zip file already set to \"vq4_package.zip\", ignoring addtional zip options\n"},
    {"--vqdebug=out:a.txt,out:b.txt,out:+trace.txt", "trace.txt", "--vqdebug=out:+trace.txt",
     DBW "debug-out file was set to \"a.txt\", resetting to \"b.txt\"\n" DBW
         "debug-out file was set to \"b.txt\", resetting to \"+trace.txt\"\n"},
};

TEST_F(DebugOptions, EachArgumentSetsRegeneratesAndWarnsAsItsRowSays) {
    for (const auto &[arg, out, regenerated, warnings] : kOptionCases) {
        SCOPED_TRACE(arg);
        db_reset_for_testing();
        for (const fs::directory_entry &entry : fs::directory_iterator("."))
            fs::remove_all(entry.path());
        write_file("trace.txt", "old\n");
        write_file("p.zip", "old");
        fs::create_directory("logs");
        EXPECT_EQ(parse(arg), warnings);
        EXPECT_STREQ(db_out_path(), out);
        EXPECT_EQ(gFile != nullptr, out != nullptr);
        EXPECT_EQ(gen(DBC_VQ4, "driver"), regenerated);
        db_puts("new");
        if (out != nullptr) { // only the last file named receives the records, "+" appends
            EXPECT_EQ(read_text(host(out)), std::strstr(arg, "+trace") ? "old\nnew\n" : "new\n");
        }
        EXPECT_EQ(read_file("a.txt") + read_file("b.txt"), "");
        EXPECT_EQ(fs::exists("p.zip"), std::strstr(warnings, "over-written") == nullptr);
        EXPECT_TRUE(out == nullptr || std::strcmp(out, "vq4-1.out") == 0 ||
                    !fs::exists("vq4-1.out"));
    }
}

// The debug names come in the order of the name table's keys.
TEST_F(DebugOptions, OnlyTheFirstArgumentCountsAndNumAndNamesDependOnTheCallee) {
    parse("--vqdebug=on,debug:vq4:VQ4-cc:vq4x:LUMC18:lumc:other");
    EXPECT_EQ(parse("--vqdebug=sdb"), DBW "Ignoring extra --vqdebug options\n");
    EXPECT_EQ(gen(DBC_VQ4, "driver"), "--vqdebug=default,on,debug:vq4x:vq4:VQ4-cc:other,num:1");
    EXPECT_EQ(gen(DBC_VQ4, "driver"), "--vqdebug=default,on,debug:vq4x:vq4:VQ4-cc:other,num:2");
    EXPECT_EQ(gen(DBC_VQ4, "other"), "--vqdebug=default,on,debug:vq4x:vq4:VQ4-cc:other,num:1");
    EXPECT_EQ(gen(DBC_VQ4CC, "x"), "--vqdebug=default,on,debug:LUMC18:lumc:VQ4-cc:other,num:1");
    EXPECT_EQ(gen(DBC_DRIVER, "y"),
              "--vqdebug=default,on,debug:vq4x:vq4:LUMC18:lumc:VQ4-cc:other,num:1");
}

TEST_F(DebugOptions, TenThousandItemsAreAllApplied) {
    std::string arg = "--vqdebug=";
    for (int i = 0; i < 10000; ++i)
        arg += i % 2 == 0 ? "sdb," : "dwarf,";
    EXPECT_EQ(parse(arg.c_str()), "");
    EXPECT_EQ(gDebugFlags, 6u);
    EXPECT_TRUE(fs::exists("vq4-1.out"));
}

TEST_F(DebugOptions, AssertReportsOnlyAboveIgnoreAndGoesOn) {
    EXPECT_EQ(stderr_of([] { db_assert("a == b", "f.c", 3); }), "");
    for (uint32_t level : {2u, 3u}) {
        gAssertLevel = level;
        std::string err = stderr_of([] { db_assert("a == b", "f.c", 3); });
        EXPECT_NE(err.find(std::to_string(1504 - level)), std::string::npos) << err;
        EXPECT_NE(err.find("assertion failure: a == b (f.c:3)"), std::string::npos) << err;
    }
}

using DebugOptionsDeathTest = DebugOptions;

TEST_F(DebugOptionsDeathTest, FatalAssertAndUnopenableDebugOutEndTheProcess) {
    gAssertLevel = 1;
    EXPECT_EXIT(db_assert("a == b", "f.c", 3), ::testing::ExitedWithCode(1),
                "1503.*assertion failure: a == b \\(f.c:3\\)");
    EXPECT_EXIT(db_parse_options("--vqdebug=out:missing/dir/x.out"), ::testing::ExitedWithCode(1),
                "141.*can't open debug-out file \"missing/dir/x.out\"");
    fs::create_directory("vq4-1.out");
    EXPECT_EXIT(db_parse_options("--vqdebug=on"), ::testing::ExitedWithCode(1),
                "141.*can't open debug-out file \"vq4-1.out\"");
}

} // namespace
