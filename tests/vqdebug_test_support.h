// Helpers shared by the debug module's tests: a fixture that runs each test
// in a fresh temporary directory with the debug settings at their start,
// and small file and stderr helpers.
#pragma once

#include "common/vqdebug.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// The prefix of every warning of the debug module.
#define DBW "VQDEBUG (warning): "

namespace vqdebug_test {

inline std::string read_file(const std::filesystem::path &path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

inline void write_file(const std::filesystem::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Runs fn and returns what it wrote on stderr.
template <typename Fn> std::string stderr_of(Fn fn) {
    ::testing::internal::CaptureStderr();
    fn();
    return ::testing::internal::GetCapturedStderr();
}

// Each test starts in its own empty directory, named after the test and the
// process (so that simultaneous runs of the suite never share one), with
// every debug setting at its start; the directory goes away afterwards.
class DebugDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir_ = std::filesystem::temp_directory_path() /
               ("vqdebug_test_" + std::to_string(plat_getpid()) + "_" + name);
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        db_reset_for_testing();
    }
    void TearDown() override {
        db_reset_for_testing();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    // Parses one --vqdebug= argument and returns what it wrote on stderr.
    static std::string parse(const char *arg) {
        return stderr_of([arg] { db_parse_options(arg); });
    }

    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

} // namespace vqdebug_test
