// The front end in-process: the option walk's settings, the command-file
// writer, the chip scan, and the failure paths of the diagnostic stream and
// the driver launch, reached with the platform layer's fault switch. The
// driver is the test child program (or a program that fails), named by its
// absolute path, which the launch takes as it is.
#include "frontend/vq4.h"

#include "common/alert.h"
#include "common/alert_numbers.h"
#include "common/cmdline.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

vec *vector_of(const Lines &items) {
    vec *v = vec_create(__FILE__, __LINE__);
    for (const std::string &item : items)
        vec_append(v, const_cast<char *>(sc_intern(item.c_str())));
    return v;
}

Lines lines_of(vec *v) {
    Lines out;
    for (uint32_t i = 0; i < vec_size(v); ++i)
        out.emplace_back(static_cast<const char *>(vec_get(v, i)));
    return out;
}

std::string read_file(const fs::path &path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Each test starts with the front end's settings at their start, in its own
// scratch directory, and with no pending failure.
class FrontEndUnit : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vq4-frontend-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        plat_fail_reset();
        vq4_reset_for_testing();
        fs::remove_all(dir_);
    }
    std::string path(const std::string &name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

using FrontEndUnitDeathTest = FrontEndUnit;

struct WalkCase {
    Lines args;
    Lines driver_args;
    int32_t verbosity;
    const char *error_file; // null: none
    uint8_t append, two_pass;
    const char *suffix, *base_name;
};

TEST_F(FrontEndUnit, TheWalkSetsTheSettingsItsOptionsName) {
    const WalkCase cases[] = {
        {{"-v", "-V", "a.c"}, {"-v", "-V", "a.c"}, 3, nullptr, 0, 0, "", "lumc"},
        {{"-e", "-Elog"}, {"-E", "-E+log"}, 1, "log", 0, 0, "", "lumc"},
        {{"-e+log", "-q"}, {"-e+log", "-q"}, 0, "log", 1, 0, "", "lumc"},
        {{"--WUBTOXNA", "--bins=Debug", "--chip=18F2"},
         {"--chip=18F2"},
         1,
         nullptr,
         0,
         1,
         "d",
         "lumc18"},
        {{"--vqdebug=off", "--memorysummary", "dir"},
         {"--summary=+xml", "--summarydir=dir"},
         1,
         nullptr,
         0,
         0,
         "",
         "lumc"},
    };
    for (const WalkCase &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        vq4_reset_for_testing();
        vec *driver_args = vec_create(__FILE__, __LINE__);
        vec *extensions = vec_create(__FILE__, __LINE__);
        vq4_walk walk = vq4_walk_options(vector_of(c.args), driver_args, extensions);
        EXPECT_EQ(lines_of(driver_args), c.driver_args);
        EXPECT_EQ(verbosity, c.verbosity);
        EXPECT_STREQ(error_file, c.error_file);
        EXPECT_EQ(error_file_append, c.append);
        EXPECT_EQ(two_pass, c.two_pass);
        EXPECT_STREQ(driver_suffix, c.suffix);
        EXPECT_STREQ(walk.base_name, c.base_name);
    }
}

TEST_F(FrontEndUnit, TheChipScanStopsAtTheFirstLineWithAChipOption) {
    const std::pair<std::string, const char *> cases[] = {
        {"a.c\n--chip=16f84\n--chip=18f452\n", "lumc"}, // the first chip line decides
        {"x -DCHIP=--CHIP=18F452 y\n--chip=16f84\n", "lumc18"},
        {"a.c\nb.c\n", "base"},
    };
    for (const auto &[text, want] : cases) {
        std::ofstream(path("chips.cmd")) << text;
        EXPECT_STREQ(vq4_chip_from_command_file(path("chips.cmd").c_str(), "base"), want) << text;
    }
    EXPECT_STREQ(vq4_chip_from_command_file(dir_.c_str(), "base"), "base"); // a directory
}

TEST_F(FrontEndUnit, TheCommandFileWriterReportsAFailedOpenOrClose) {
    vec *argv = vector_of({"prog", "plain", "two words", "say\"hi\""});
    ASSERT_TRUE(vq4_write_command_file(path("ok.cmd").c_str(), argv));
    EXPECT_EQ(read_file(path("ok.cmd")), "plain\n\"two words\"\nsay\\\"hi\\\"\n");
    for (plat_call call : {PLAT_CALL_FOPEN, PLAT_CALL_FCLOSE}) {
        plat_fail_next(call, EIO);
        EXPECT_FALSE(vq4_write_command_file(path("failed.cmd").c_str(), argv)) << call;
    }
}

// A failed duplicate of descriptor 2 leaves it as it was: diagnostics then
// go to the original standard error, never lost, and the driver gets it.
TEST_F(FrontEndUnit, RedirectionThatCannotSaveOrMoveDescriptorTwoLeavesItAlone) {
    for (plat_call call : {PLAT_CALL_DUP, PLAT_CALL_DUP2}) {
        SCOPED_TRACE(call);
        vq4_reset_for_testing();
        plat_fail_next(call, EMFILE);
        ::testing::internal::CaptureStderr();
        redirect_stderr();
        std::fputs("still on standard error\n", stderr);
        std::fflush(stderr);
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(call == PLAT_CALL_DUP ? "can't save standard error"
                                                 : "can't redirect standard error"),
                  std::string::npos)
            << err;
        EXPECT_NE(err.find("still on standard error"), std::string::npos);
    }
}

// A full disk under the error file must not swallow the front end's own
// diagnostics: /dev/full refuses every write as such a disk does.
TEST_F(FrontEndUnit, ALineTheErrorFileCannotTakeGoesToTheOriginalStandardError) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "this host has no /dev/full";
    }
    error_file = "/dev/full";
    ::testing::internal::CaptureStderr();
    redirect_stderr();
    alert_msg(MSG_EXIT_STATUS, 3);
    vq4_reset_for_testing();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "(908) exit status = 3\n");
}

TEST_F(FrontEndUnit, ADriverRunGivesTrueOnlyForStatusZero) {
    vec *args = vector_of({"a.c"});
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(run_driver(VQ4_TEST_CHILD, args));
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(std::string(VQ4_TEST_CHILD) + " @"), std::string::npos) << out;
    EXPECT_EQ(lines_of(args), Lines{"a.c"}); // the caller's list is not changed
    verbosity = 0;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(run_driver("/bin/false", args));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "(908) exit status = 1\n");
}

TEST_F(FrontEndUnitDeathTest, LaunchFailuresAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        plat_call call;
        const char *message; // on standard error
    } cases[] = {
        {PLAT_CALL_SPAWNV, "\\(900\\) exec failed: "},
        {PLAT_CALL_FOPEN, "\\(900\\) exec failed: "}, // the command file
        {PLAT_CALL_TMPNAM, "\\(2082\\) can't create temporary file"},
    };
    for (const auto &c : cases) {
        EXPECT_EXIT(
            {
                plat_dup2(2, 1); // the front end's own diagnostics go to standard output
                plat_fail_next(c.call, EIO);
                run_driver(VQ4_TEST_CHILD, vector_of({"a.c"}));
            },
            ::testing::ExitedWithCode(1), c.message)
            << c.call;
    }
    // The standard error the process was started with cannot be given back:
    // the driver is not run, since it would write into the wrong stream.
    EXPECT_EXIT(
        {
            plat_dup2(2, 1);
            redirect_stderr();
            plat_fail_next(PLAT_CALL_DUP2, EIO);
            run_driver("/bin/echo", vector_of({"driver ran"}));
        },
        ::testing::ExitedWithCode(1),
        "can't give the driver the original standard error \\(.*\\)\n\\(900\\) exec failed");
}

} // namespace
