// Helpers shared by the debug module's tests: a fixture that runs each test
// in a fresh temporary directory with the debug settings at their start,
// and small file helpers.
#pragma once

#include "common/vqdebug.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vqdebug_test {

inline std::string read_file(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void write_file(const std::filesystem::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Each test starts in its own empty directory, with every debug setting at
// its start; the directory goes away afterwards.
class DebugDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char &c : name)
            if (c == '/')
                c = '_';
        dir_ = std::filesystem::temp_directory_path() / ("vqdebug_test_" + name);
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
        ::testing::internal::CaptureStderr();
        db_parse_options(arg);
        return ::testing::internal::GetCapturedStderr();
    }

    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

} // namespace vqdebug_test
