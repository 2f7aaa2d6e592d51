// Helpers shared by the installation-layout and diagnostics tests: a
// temporary directory tree removed at the end of each test, paths into it in
// the suite's shape (the host root, then backslash-separated parts), and the
// capture of what a call writes into the debug-out file.
#pragma once

#include "tests/debug_out_capture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

class TempTree {
  public:
    TempTree() {
        auto base = std::filesystem::temp_directory_path();
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        int i = 0;
        do
            root_ = base / ("vq4-" + name + "-" + std::to_string(i++));
        while (!std::filesystem::create_directory(root_));
    }
    ~TempTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    // The root in host shape followed by "\part" for each part of relative.
    std::string path(const std::string &relative = "") const {
        return relative.empty() ? root_.string() : root_.string() + "\\" + relative;
    }
    // The same location in host shape, for the standard library.
    std::filesystem::path host(std::string relative) const {
        std::replace(relative.begin(), relative.end(), '\\', '/');
        return root_ / relative;
    }
    void mkdir(const std::string &relative) const {
        std::filesystem::create_directories(host(relative));
    }
    // Writes content (bytes as given) to the file, creating its directories.
    std::string write(const std::string &relative, const std::string &content) const {
        std::filesystem::create_directories(host(relative).parent_path());
        std::ofstream(host(relative), std::ios::binary) << content;
        return path(relative);
    }

  private:
    std::filesystem::path root_;
};
