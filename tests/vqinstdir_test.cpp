// Installation directory discovery from the program's path, the directory
// kinds, the path modifications and the library variant.
#include "common/vqinstdir.h"

#include "tests/support.h"

using namespace test_support;

namespace {

// An installation <root>\vq4\v9.9 with the "lum" directory the discovery
// requires, and a version directory v2.0 without it.
class InstallTree : public testing::Test {
  protected:
    void SetUp() override {
        tree.mkdir("vq4\\v9.9\\lum");
        tree.mkdir("vq4\\v2.0\\bin");
    }
    void TearDown() override { vqinstdir_reset(nullptr); }
    // Runs the discovery as if the program were <version>\<bin_dir>\vq4.
    void run_from(const std::string &bin_dir) {
        vqinstdir_reset((version + "\\" + bin_dir + "\\vq4").c_str());
    }
    static std::string dir(int kind) {
        const char *path = reg_instdir(kind);
        return path ? path : "(null)";
    }
    ScratchDir tree;
    std::string version = tree.win("vq4\\v9.9"), lum = version + "\\lum";
};

TEST_F(InstallTree, DiscoveryFromBinFindsVersionAndInstallation) {
    for (const char *bin_dir : {"bin", "Bin", "BIN", "bin\\.", "bin\\.\\.", "lum\\bin", "LUM\\Bin",
                                "lum-as\\bin", "lum.x\\bin"}) {
        run_from(bin_dir);
        ASSERT_TRUE(set_vqinstall_paths()) << bin_dir;
        EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_VERSION)), version) << bin_dir;
        EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_INSTALL)), tree.win("vq4")) << bin_dir;
    }
    const std::pair<std::string, const char *> failures[] = {
        // program, its trace
        {version + "\\bin2\\vq4", "ERROR - the application is not running from a 'bin' directory"},
        {tree.win("vq4\\v2.0\\bin\\vq4"), ""}, // no "lum" in the version directory
        {"vq4", "ERROR - couldn't get a path based on progname"},
        {"bin\\vq4", "ERROR - path not deep enough?"},
    };
    for (const auto &[program, expected] : failures) {
        vqinstdir_reset(program.c_str());
        std::string trace = debug_out_of([] { EXPECT_FALSE(set_vqinstall_paths()); }, 1);
        EXPECT_EQ(lacks(trace, expected), "") << program;
        EXPECT_TRUE(vqinstdir(VQINSTDIR_VERSION) == nullptr &&
                    vqinstdir(VQINSTDIR_INSTALL) == nullptr && reg_instdir(REG_DIR_BASE) == nullptr)
            << program;
    }
    std::string trace = debug_out_of([] { reg_instdir(REG_DIR_BIN); }, 1);
    EXPECT_EQ(lacks(trace, "Could not locate installation directory"), "");
}

// vqinstdir_set takes an existing directory only, "lum" in it or not.
TEST_F(InstallTree, KindsJoinTheirNamesToTheVersionDirectoryWhichSetReplaces) {
    run_from("bin");
    const char *names[] = {"bin", "docs", "include", "etc", "lum", "kesta", "tolvex", "lum-as"};
    for (int kind = VQINSTDIR_BIN; kind < VQINSTDIR_LAST; ++kind)
        EXPECT_EQ(std::string(vqinstdir(kind)), version + "\\" + names[kind - VQINSTDIR_BIN]);
    EXPECT_EQ(vqinstdir_set(tree.win("nowhere").c_str()), 1);
    EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_VERSION)), version);
    tree.mkdir("plain\\v3");
    std::string v3 = tree.win("plain\\v3"); // vqinstdir_set keeps the string itself
    EXPECT_EQ(vqinstdir_set(v3.c_str()), 0);
    EXPECT_EQ(dir(REG_DIR_DAT), v3 + "\\dat");
    EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_VERSION)), v3);
    EXPECT_EQ(std::string(vqinstdir(VQINSTDIR_INSTALL)), tree.win("plain"));
}

// Every kind from 0 to 10 (9 is none), without and with a library variant.
TEST(RegCreatePath, JoinsTheKindsSubdirectory) {
    auto all_kinds = [] {
        std::string paths;
        for (int kind = 0; kind <= 10; ++kind) {
            const char *path = reg_create_path("B", kind);
            paths += std::string(kind > 0 ? " " : "") + (path != nullptr ? path : "-");
        }
        return paths;
    };
    vqinstdir_reset(nullptr);
    EXPECT_EQ(all_kinds(), "B B\\bin B\\lib B\\help B\\include B\\dat B\\sources B\\resources "
                           "B\\docs - B\\include");
    reg_set_c_stdlib("c99");
    EXPECT_EQ(all_kinds(), "B B\\bin B\\lib\\c99 B\\help B\\include B\\dat B\\sources\\c99 "
                           "B\\resources B\\docs - B\\include\\c99");
    vqinstdir_reset(nullptr);
}

TEST_F(InstallTree, SetPathOverridesOnlyItsKindsAndOnlyWithADirectory) {
    run_from("bin2");
    tree.write("file.txt", "x");
    std::string d = tree.win();
    for (int kind : {0, 3, 7, 8, 9, 10, 11})
        EXPECT_EQ(reg_set_path(kind, d.c_str()), 0) << kind;
    for (const char *bad : {"missing", "file.txt"})
        EXPECT_EQ(reg_set_path(REG_DIR_DAT, tree.win(bad).c_str()), 0) << bad;
    reg_set_c_stdlib("c90");
    for (int kind : {1, 2, 4, 5, 6})
        ASSERT_EQ(reg_set_path(kind, d.c_str()), 1) << kind;
    EXPECT_EQ(dir(REG_DIR_BIN), d + "\\bin");
    EXPECT_EQ(dir(REG_DIR_LIB), d + "\\lib\\c90");
    EXPECT_EQ(dir(REG_DIR_INCLUDE), d + "\\include");
    EXPECT_EQ(dir(REG_DIR_DAT), d + "\\dat");
    EXPECT_EQ(dir(REG_DIR_SOURCES), d + "\\sources\\c90");
    EXPECT_EQ(dir(REG_DIR_LIBINCLUDE), d + "\\include\\c90");
    EXPECT_EQ(reg_instdir(REG_DIR_HELP), nullptr);
    run_from("lum\\bin");
    EXPECT_EQ(dir(REG_DIR_BASE), lum);
    ASSERT_EQ(reg_set_path(REG_DIR_DAT, d.c_str()), 1);
    EXPECT_EQ(dir(REG_DIR_DAT), d + "\\dat");
    EXPECT_EQ(reg_set_path(REG_DIR_DAT, nullptr), 1);
    EXPECT_EQ(dir(REG_DIR_DAT), lum + "\\dat");
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
