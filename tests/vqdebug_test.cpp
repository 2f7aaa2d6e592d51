// The debug options: parsing, their warnings, the debug-out file they open
// and their regeneration for launched programs.
#include "common/skiplist.h"
#include "common/vqdebug.h"
#include "vqdebug_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

using vqdebug_test::DebugDirTest;
using vqdebug_test::read_file;
using vqdebug_test::write_file;
namespace fs = std::filesystem;

namespace {

class DebugOptions : public DebugDirTest {};

std::string gen(uint32_t caller, const char *callee) {
    const char *text = db_gen_options(caller, callee);
    return text != nullptr ? text : "(null)";
}

TEST_F(DebugOptions, OnOpensVq4Dash1OutInCurrentDirectory) {
    EXPECT_EQ(parse("--vqdebug=on"), "");
    EXPECT_EQ(gDebugFlags, 1u);
    ASSERT_NE(gFile, nullptr);
    EXPECT_STREQ(db_out_path(), "vq4-1.out");
    EXPECT_TRUE(fs::exists("vq4-1.out"));
}

TEST_F(DebugOptions, NumBeforeOnNamesTheDefaultFile) {
    parse("--vqdebug=num:3,on");
    EXPECT_STREQ(db_out_path(), "vq4-3.out");
    EXPECT_TRUE(fs::exists("vq4-3.out"));
}

TEST_F(DebugOptions, FrontEndExampleRegeneratesForTheDriver) {
    parse("--vqdebug=on,assert:error,debug:lumc");
    EXPECT_EQ(gen(DBC_VQ4, "driver"), "--vqdebug=default,on,assert:error,num:1");
    EXPECT_TRUE(fs::exists("vq4-1.out"));
}

TEST_F(DebugOptions, OutWithPlusAppendsAndRegeneratesWithoutNum) {
    write_file("trace.txt", "old\n");
    EXPECT_EQ(parse("--vqdebug=out:+trace.txt"), "");
    EXPECT_EQ(gDebugFlags, 0u);
    db_puts("new");
    EXPECT_EQ(read_file("trace.txt"), "old\nnew\n");
    EXPECT_EQ(gen(DBC_VQ4, "driver"), "--vqdebug=out:+trace.txt");
}

TEST_F(DebugOptions, OutWithoutPlusReplacesTheFile) {
    write_file("trace.txt", "old\n");
    parse("--vqdebug=on,out:trace.txt");
    db_puts("new");
    EXPECT_EQ(read_file("trace.txt"), "new\n");
    EXPECT_FALSE(fs::exists("vq4-1.out"));
}

TEST_F(DebugOptions, OutNamingADirectoryUsesTheDefaultNameInside) {
    fs::create_directory("logs");
    parse("--vqdebug=num:2,out:logs");
    db_puts("x");
    EXPECT_EQ(read_file("logs/vq4-2.out"), "x\n");
}

TEST_F(DebugOptions, RepeatedOutReopensAndWarns) {
    std::string err = parse("--vqdebug=out:a.txt,out:b.txt,out:+c.txt");
    EXPECT_NE(err.find("VQDEBUG (warning): debug-out file was set to \"a.txt\", resetting to "
                       "\"b.txt\"\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("debug-out file was set to \"b.txt\", resetting to \"+c.txt\""),
              std::string::npos)
        << err;
    db_puts("last");
    EXPECT_EQ(read_file("a.txt"), "");
    EXPECT_EQ(read_file("b.txt"), "");
    EXPECT_EQ(read_file("c.txt"), "last\n");
    EXPECT_EQ(gen(DBC_DRIVER, "x"), "--vqdebug=out:+c.txt");
}

TEST_F(DebugOptions, SecondArgumentOnlyWarns) {
    parse("--vqdebug=on");
    EXPECT_EQ(parse("--vqdebug=sdb"), "VQDEBUG (warning): Ignoring extra --vqdebug options\n");
    EXPECT_EQ(gDebugFlags, 1u);
}

TEST_F(DebugOptions, UnknownOptionWarnsAndSetsNothing) {
    EXPECT_EQ(parse("--vqdebug=bogus:1"), "VQDEBUG (warning): unknown option \"bogus:1\"\n");
    EXPECT_EQ(gDebugFlags, 0u);
    EXPECT_EQ(gFile, nullptr);
    EXPECT_EQ(db_gen_options(DBC_VQ4, "driver"), nullptr);
}

TEST_F(DebugOptions, NamesMatchAsCaseInsensitivePrefixesOfItems) {
    parse("--vqdebug=Defaults,SDBX,outfile:x.txt");
    EXPECT_EQ(gDebugFlags, 3u);
    EXPECT_STREQ(db_out_path(), "x.txt");
}

TEST_F(DebugOptions, EmptyItemsVanishAndTextBeforeEqualsIsIgnored) {
    EXPECT_EQ(parse("--anything=,,dwarf,,"), "");
    EXPECT_EQ(gDebugFlags, 4u);
}

TEST_F(DebugOptions, FlagOptionsRegenerateInTableOrder) {
    parse("--vqdebug=alerts,dwarf,sdb,on");
    EXPECT_EQ(gen(DBC_DRIVER, "lumc"), "--vqdebug=default,on,sdb,dwarf,alerts,num:1");
}

struct AssertCase {
    const char *item;
    uint32_t level;
    const char *warning;
};

class AssertOption : public DebugDirTest, public ::testing::WithParamInterface<AssertCase> {};

TEST_P(AssertOption, SetsLevelOrWarns) {
    const AssertCase &c = GetParam();
    std::string err = parse((std::string("--vqdebug=") + c.item).c_str());
    EXPECT_EQ(gAssertLevel, c.level);
    EXPECT_EQ(err, c.warning[0] ? std::string("VQDEBUG (warning): ") + c.warning + "\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Words, AssertOption,
    ::testing::Values(AssertCase{"assert:ignore", 0, ""}, AssertCase{"assert:Fatal", 1, ""},
                      AssertCase{"assert:error", 2, ""}, AssertCase{"assert:WARNING", 3, ""},
                      AssertCase{"assert", 0, "option \"assert\", must have an argument"},
                      AssertCase{"assert:", 0, "option \"assert\", must have an argument"},
                      AssertCase{"assert:Loud", 0,
                                 "unknown argument (loud) given to assert option"}));

TEST_F(DebugOptions, AssertRegeneratesItsWordOnlyAboveIgnore) {
    parse("--vqdebug=assert:warning");
    EXPECT_EQ(gen(DBC_VQ4, "driver"), "--vqdebug=assert:warning");
}

TEST_F(DebugOptions, SecondZipIsRefusedNamingTheFirst) {
    std::string err = parse("--vqdebug=zip,zip:b.zip");
    EXPECT_EQ(err, "VQDEBUG (warning): Zip file already set to \"vq4_package.zip\", ignoring "
                   "addtional zip options\n");
    EXPECT_STREQ(gZipPath, "vq4_package.zip");
    EXPECT_EQ(gen(DBC_VQ4, "driver"), "--vqdebug=zip:+vq4_package.zip");
}

TEST_F(DebugOptions, ZipRemovesAnExistingPackageWithAWarning) {
    write_file("p.zip", "old");
    EXPECT_EQ(parse("--vqdebug=zip:p.zip"),
              "VQDEBUG (warning): Package zip \"p.zip\" already exists and will be over-written\n");
    EXPECT_FALSE(fs::exists("p.zip"));
}

TEST_F(DebugOptions, ZipWithPlusKeepsAnExistingPackage) {
    write_file("p.zip", "old");
    EXPECT_EQ(parse("--vqdebug=zip:+p.zip"), "");
    EXPECT_STREQ(gZipPath, "p.zip");
    EXPECT_EQ(read_file("p.zip"), "old");
}

TEST_F(DebugOptions, DebugWithoutNamesWarns) {
    for (const char *arg : {"--vqdebug=debug", "--vqdebug=debug:::"}) {
        db_reset_for_testing();
        EXPECT_EQ(parse(arg), "VQDEBUG (warning): option \"debug\", must have at least one "
                              "argument\n");
        EXPECT_EQ(db_gen_options(DBC_DRIVER, "x"), nullptr);
    }
}

// The names of a regenerated "debug" option, in any order.
std::set<std::string> debug_names(const std::string &option) {
    std::set<std::string> names;
    std::string prefix = "--vqdebug=debug";
    if (option.rfind(prefix, 0) != 0)
        return names;
    std::stringstream rest(option.substr(prefix.size()));
    std::string name;
    while (std::getline(rest, name, ':'))
        if (!name.empty())
            names.insert(name);
    return names;
}

TEST_F(DebugOptions, DebugNamesAreFilteredByCallerKind) {
    parse("--vqdebug=debug:vq4:VQ4-cc:vq4x:LUMC18:lumc:other");
    EXPECT_EQ(debug_names(gen(DBC_VQ4CC, "x")),
              (std::set<std::string>{"VQ4-cc", "LUMC18", "lumc", "other"}));
    EXPECT_EQ(debug_names(gen(DBC_VQ4, "x")),
              (std::set<std::string>{"vq4", "VQ4-cc", "vq4x", "other"}));
    EXPECT_EQ(debug_names(gen(DBC_DRIVER, "x")).size(), 6u);
}

TEST_F(DebugOptions, DebugWithOnlyFilteredNamesRegeneratesNothing) {
    parse("--vqdebug=debug:lumc18");
    EXPECT_EQ(db_gen_options(DBC_VQ4, "driver"), nullptr);
}

TEST_F(DebugOptions, NumCountsLaunchesPerCallee) {
    parse("--vqdebug=on");
    EXPECT_EQ(gen(DBC_VQ4, "driver"), "--vqdebug=default,on,num:1");
    EXPECT_EQ(gen(DBC_VQ4, "driver"), "--vqdebug=default,on,num:2");
    EXPECT_EQ(gen(DBC_VQ4, "other"), "--vqdebug=default,on,num:1");
}

TEST_F(DebugOptions, NumRejectsValuesBelowOne) {
    EXPECT_EQ(parse("--vqdebug=num:0,num:-4,num,on"),
              "VQDEBUG (warning): \"num\" option must be a decimal integer > 0, using \"1\"\n"
              "VQDEBUG (warning): \"num\" option must be a decimal integer > 0, using \"1\"\n"
              "VQDEBUG (warning): option \"num\", must have an argument\n");
    EXPECT_EQ(gNum, 1u);
    EXPECT_STREQ(db_out_path(), "vq4-1.out");
}

TEST_F(DebugOptions, OutWithoutFileWarns) {
    EXPECT_EQ(parse("--vqdebug=out:"),
              "VQDEBUG (warning): option \"out\", must have a filename argument\n");
    EXPECT_EQ(gFile, nullptr);
}

TEST_F(DebugOptions, TenThousandItemsAreAllApplied) {
    std::string arg = "--vqdebug=";
    for (int i = 0; i < 10000; ++i)
        arg += i % 2 == 0 ? "sdb," : "dwarf,";
    EXPECT_EQ(parse(arg.c_str()), "");
    EXPECT_EQ(gDebugFlags, 6u);
    EXPECT_TRUE(fs::exists("vq4-1.out"));
}

TEST_F(DebugOptions, AdtTracksSkipListsCreatedAfterwards) {
    parse("--vqdebug=adt");
    skiplist *list = skiplist_create(nullptr, nullptr, nullptr, "made_here.c", 77);
    skiplist_report();
    skiplist_destroy(list);
    EXPECT_NE(read_file("vq4-1.out").find("made_here.c:77"), std::string::npos);
}

TEST_F(DebugOptions, AssertAtLevelZeroReportsNothing) {
    ::testing::internal::CaptureStderr();
    db_assert("a == b", "f.c", 3);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(DebugOptions, AssertAtErrorLevelReportsAndGoesOn) {
    gAssertLevel = 2;
    ::testing::internal::CaptureStderr();
    db_assert("a == b", "f.c", 3);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("1502"), std::string::npos) << err;
    EXPECT_NE(err.find("assertion failure: a == b (f.c:3)"), std::string::npos) << err;
}

using DebugOptionsDeathTest = DebugOptions;

TEST_F(DebugOptionsDeathTest, AssertAtFatalLevelEndsTheProcess) {
    gAssertLevel = 1;
    EXPECT_EXIT(db_assert("a == b", "f.c", 3), ::testing::ExitedWithCode(1),
                "assertion failure: a == b \\(f.c:3\\)");
}

TEST_F(DebugOptionsDeathTest, DebugOutInMissingDirectoryIsFatal141) {
    EXPECT_EXIT(db_parse_options("--vqdebug=out:missing/dir/x.out"), ::testing::ExitedWithCode(1),
                "141.*can't open debug-out file \"missing/dir/x.out\"");
}

TEST_F(DebugOptionsDeathTest, UnopenableDefaultDebugOutIsFatal141) {
    fs::create_directory("vq4-1.out");
    EXPECT_EXIT(db_parse_options("--vqdebug=on"), ::testing::ExitedWithCode(1),
                "141.*can't open debug-out file \"vq4-1.out\"");
}

} // namespace
