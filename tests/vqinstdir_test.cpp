// Installation directory discovery from the program's path, the directory
// kinds, the path modifications and the library variant.
#include "common/vqinstdir.h"

#include "common/stringcache.h"
#include "common/vqdebug.h"
#include "tests/alert_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// An installation <root>\vq4\v9.9 with the "lum" directory the discovery
// requires.
class InstallTree : public testing::Test {
  protected:
    void SetUp() override { tree.mkdir("vq4\\v9.9\\lum"); }
    void TearDown() override { vqinstdir_reset(nullptr); }

    std::string version() const { return tree.path("vq4\\v9.9"); }
    // Runs the discovery as if the program were <version>\<bin_dir>\vq4.
    void run_from(const std::string &bin_dir) {
        vqinstdir_reset((version() + "\\" + bin_dir + "\\vq4").c_str());
    }

    TempTree tree;
};

struct BinCase {
    const char *bin_dir;
};

class DiscoveryFromBin : public InstallTree, public testing::WithParamInterface<BinCase> {};

TEST_P(DiscoveryFromBin, FindsVersionAndInstallationDirectories) {
    run_from(GetParam().bin_dir);
    ASSERT_TRUE(set_vqinstall_paths());
    EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_VERSION)), version());
    EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_INSTALL)), tree.path("vq4"));
}

INSTANTIATE_TEST_SUITE_P(BinDirectories, DiscoveryFromBin,
                         testing::Values(BinCase{"bin"}, BinCase{"Bin"}, BinCase{"BIN"},
                                         BinCase{"bin\\."}, BinCase{"bin\\.\\."},
                                         BinCase{"lum\\bin"}, BinCase{"LUM\\Bin"},
                                         BinCase{"lum-as\\bin"}, BinCase{"lum.x\\bin"}));

TEST_F(InstallTree, ProgramOutsideBinFindsNothing) {
    run_from("bin2");
    EXPECT_FALSE(set_vqinstall_paths());
    EXPECT_EQ(vqinstdir(VQINSTDIR_VERSION), nullptr);
    EXPECT_EQ(vqinstdir(VQINSTDIR_INSTALL), nullptr);
    EXPECT_EQ(reg_instdir(REG_DIR_BIN), nullptr);
    EXPECT_EQ(reg_instdir(REG_DIR_BASE), nullptr);
}

TEST_F(InstallTree, VersionDirectoryWithoutLumFindsNothing) {
    tree.mkdir("vq4\\v2.0\\bin");
    vqinstdir_reset(tree.path("vq4\\v2.0\\bin\\vq4").c_str());
    EXPECT_FALSE(set_vqinstall_paths());
    EXPECT_EQ(vqinstdir(VQINSTDIR_BIN), nullptr);
}

TEST_F(InstallTree, ProgramWithoutDirectoryFindsNothing) {
    vqinstdir_reset("vq4");
    EXPECT_FALSE(set_vqinstall_paths());
}

TEST_F(InstallTree, BinAtTheTopIsNotDeepEnough) {
    vqinstdir_reset("bin\\vq4");
    EXPECT_FALSE(set_vqinstall_paths());
}

TEST_F(InstallTree, KindsJoinTheirNamesToTheVersionDirectory) {
    run_from("bin");
    const char *names[] = {"bin", "docs", "include", "etc", "lum", "kesta", "tolvex", "lum-as"};
    for (int kind = VQINSTDIR_BIN; kind < VQINSTDIR_LAST; ++kind)
        EXPECT_EQ(std::string(vqinstdir(kind)), version() + "\\" + names[kind - VQINSTDIR_BIN]);
}

TEST_F(InstallTree, SetVersionDirectoryReplacesTheDiscovery) {
    tree.mkdir("other\\v1");
    std::string v1 = tree.path("other\\v1");
    EXPECT_EQ(vqinstdir_set(v1.c_str()), 0);
    EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_VERSION)), v1);
    EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_INSTALL)), tree.path("other"));
}

TEST_F(InstallTree, SetVersionDirectoryRefusesMissingPath) {
    run_from("bin");
    std::string missing = tree.path("nowhere");
    EXPECT_EQ(vqinstdir_set(missing.c_str()), 1);
    EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_VERSION)), version());
}

TEST_F(InstallTree, InstdirKindsLieUnderLum) {
    run_from("lum\\bin");
    std::string lum = version() + "\\lum";
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_BASE)), lum);
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_BIN)), lum + "\\bin");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_DAT)), lum + "\\dat");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_LIB)), lum + "\\lib");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_LIBINCLUDE)), lum + "\\include");
    reg_set_c_stdlib("c90");
    EXPECT_STREQ(reg_get_c_stdlib(), "c90");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_LIB)), lum + "\\lib\\c90");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_SOURCES)), lum + "\\sources\\c90");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_LIBINCLUDE)), lum + "\\include\\c90");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_INCLUDE)), lum + "\\include");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_BIN)), lum + "\\bin");
}

TEST_F(InstallTree, InstdirFallsBackToTheVersionDirectoryWithoutLum) {
    tree.mkdir("plain\\v3");
    std::string v3 = tree.path("plain\\v3");
    ASSERT_EQ(vqinstdir_set(v3.c_str()), 0);
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_DAT)), v3 + "\\dat");
}

struct CreatePathCase {
    int kind;
    const char *without_library;
    const char *with_library;
};

TEST(RegCreatePath, JoinsTheKindsSubdirectory) {
    const CreatePathCase cases[] = {
        {REG_DIR_BASE, "B", "B"},
        {REG_DIR_BIN, "B\\bin", "B\\bin"},
        {REG_DIR_LIB, "B\\lib", "B\\lib\\c99"},
        {REG_DIR_HELP, "B\\help", "B\\help"},
        {REG_DIR_INCLUDE, "B\\include", "B\\include"},
        {REG_DIR_DAT, "B\\dat", "B\\dat"},
        {REG_DIR_SOURCES, "B\\sources", "B\\sources\\c99"},
        {REG_DIR_RESOURCES, "B\\resources", "B\\resources"},
        {REG_DIR_DOCS, "B\\docs", "B\\docs"},
        {REG_DIR_LIBINCLUDE, "B\\include", "B\\include\\c99"},
    };
    vqinstdir_reset(nullptr);
    for (const CreatePathCase &c : cases)
        EXPECT_STREQ(reg_create_path("B", c.kind), c.without_library) << c.kind;
    reg_set_c_stdlib("c99");
    for (const CreatePathCase &c : cases)
        EXPECT_STREQ(reg_create_path("B", c.kind), c.with_library) << c.kind;
    vqinstdir_reset(nullptr);
}

TEST_F(InstallTree, SetPathAcceptsOnlyTheOverrideKinds) {
    run_from("bin2");
    std::string d = tree.path();
    for (int kind : {0, 3, 7, 8, 9, 10, 11})
        EXPECT_EQ(reg_set_path(kind, d.c_str()), 0) << kind;
    EXPECT_EQ(reg_instdir(REG_DIR_HELP), nullptr);
    for (int kind : {1, 2, 4, 5, 6})
        EXPECT_EQ(reg_set_path(kind, d.c_str()), 1) << kind;
}

TEST_F(InstallTree, OverridesServeTheirKindsWithoutAnInstallation) {
    run_from("bin2");
    tree.mkdir("over");
    std::string d = tree.path("over");
    reg_set_c_stdlib("c90");
    for (int kind : {1, 2, 4, 5, 6})
        ASSERT_EQ(reg_set_path(kind, d.c_str()), 1);
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_BIN)), d + "\\bin");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_LIB)), d + "\\lib\\c90");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_INCLUDE)), d + "\\include");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_DAT)), d + "\\dat");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_SOURCES)), d + "\\sources\\c90");
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_LIBINCLUDE)), d + "\\include\\c90");
    EXPECT_EQ(reg_instdir(REG_DIR_HELP), nullptr);
}

TEST_F(InstallTree, SetPathRefusesMissingDirectoryAndFiles) {
    run_from("bin");
    tree.write("file.txt", "x");
    EXPECT_EQ(reg_set_path(REG_DIR_DAT, tree.path("missing").c_str()), 0);
    EXPECT_EQ(reg_set_path(REG_DIR_DAT, tree.path("file.txt").c_str()), 0);
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_DAT)), version() + "\\lum\\dat");
}

TEST_F(InstallTree, ClearingAnOverrideFallsBackToTheInstallation) {
    run_from("bin");
    std::string d = tree.path();
    ASSERT_EQ(reg_set_path(REG_DIR_DAT, d.c_str()), 1);
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_DAT)), d + "\\dat");
    EXPECT_EQ(reg_set_path(REG_DIR_DAT, nullptr), 1);
    EXPECT_EQ(std::string(reg_instdir(REG_DIR_DAT)), version() + "\\lum\\dat");
}

TEST_F(InstallTree, ResultsAreInterned) {
    run_from("bin");
    EXPECT_EQ(reg_instdir(REG_DIR_BIN), sc_intern(reg_instdir(REG_DIR_BIN)));
    EXPECT_EQ(vqinstdir(VQINSTDIR_DOCS), sc_intern((version() + "\\docs").c_str()));
}

TEST_F(InstallTree, FailuresAreTracedWithTheirReasons) {
    run_from("bin2");
    std::string trace = trace_of([] { reg_instdir(REG_DIR_BIN); });
    EXPECT_NE(trace.find("ERROR - the application is not running from a 'bin' directory"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("Could not locate installation directory"), std::string::npos) << trace;
    vqinstdir_reset("vq4");
    EXPECT_NE(trace_of([] {
                  set_vqinstall_paths();
              }).find("ERROR - couldn't get a path based on progname"),
              std::string::npos);
    vqinstdir_reset("bin\\vq4");
    EXPECT_NE(trace_of([] { set_vqinstall_paths(); }).find("ERROR - path not deep enough?"),
              std::string::npos);
}

TEST(VqinstdirDeathTest, KindOutsideTheRangeIsAnAssertionFailure) {
    EXPECT_EXIT(
        {
            gAssertLevel = 1;
            vqinstdir(VQINSTDIR_LAST);
        },
        testing::ExitedWithCode(1),
        "assertion failure: \\(path >= VQINSTDIR_FIRST\\) && \\(path < VQINSTDIR_LAST\\)");
    EXPECT_EQ(vqinstdir(VQINSTDIR_LAST), nullptr);
}

} // namespace
