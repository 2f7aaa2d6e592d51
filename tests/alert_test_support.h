// Helpers shared by the installation-layout and diagnostics tests: a
// temporary directory tree removed at the end of each test, paths into it in
// the suite's shape (the host root, then backslash-separated parts), and the
// capture of what a call writes into the debug-out file.
#pragma once

#include "common/vqdebug.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

class TempTree {
  public:
    TempTree() {
        std::filesystem::path base = std::filesystem::temp_directory_path();
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("vq4-") + (info ? info->name() : "test");
        for (char &c : name)
            if (c == '/')
                c = '_';
        for (int i = 0;; ++i) {
            root_ = base / (name + "-" + std::to_string(i));
            if (std::filesystem::create_directory(root_))
                break;
        }
    }
    ~TempTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    // The root in host shape followed by "\part" for each backslash-separated
    // part of relative ("" gives the root itself).
    std::string path(const std::string &relative = "") const {
        return relative.empty() ? root_.string() : root_.string() + "\\" + relative;
    }
    // The same location in host shape, for the standard library.
    std::filesystem::path host(const std::string &relative) const {
        std::string slashed = relative;
        for (char &c : slashed)
            if (c == '\\')
                c = '/';
        return root_ / slashed;
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

// Runs f with gDebugFlags set to flags and a temporary debug-out file in
// place; returns what f wrote into it. The previous stream and flags return.
template <typename F> std::string trace_of(F f, uint32_t flags = 1) {
    FILE *out = std::tmpfile();
    EXPECT_NE(out, nullptr);
    FILE *saved = gFile;
    uint32_t saved_flags = gDebugFlags;
    gFile = out;
    gDebugFlags = flags;
    f();
    gDebugFlags = saved_flags;
    gFile = saved;
    std::rewind(out);
    std::string text;
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, out))
        text.append(buf, n);
    std::fclose(out);
    return text;
}
