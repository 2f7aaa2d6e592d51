// Helpers shared by the operating-system layer's tests.
#pragma once

#include "common/osdep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace osdep_test {

namespace fs = std::filesystem;

// The heap result as a string (freed); "(null)" for null.
inline std::string take(char *heap) {
    std::string text = heap ? heap : "(null)";
    std::free(heap);
    return text;
}

// A Windows-shaped path from the layer as the host spells it.
inline fs::path host(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// A fresh, empty directory for one test, removed with everything in it at
// the end of the test. Death tests that re-run the test in a new process
// find the same directory again through the environment.
class ScratchDir {
  public:
    ScratchDir() {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string stem =
            "vq4_osdep_" + std::string(info->test_suite_name()) + "_" + info->name() + "_";
        const char *inherited = std::getenv(kVariable);
        if (inherited != nullptr && fs::path(inherited).filename().string().starts_with(stem)) {
            path_ = inherited;
            return;
        }
        path_ = fs::temp_directory_path() / (stem + std::to_string(std::random_device()()));
        fs::create_directories(path_);
        owner_ = true;
        os_setenv(kVariable, path_.string().c_str());
    }
    ~ScratchDir() {
        if (!owner_)
            return;
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        os_setenv(kVariable, "");
    }
    const fs::path &path() const { return path_; }
    std::string str() const { return path_.string(); }
    // The path of name inside the directory, joined with a backslash the
    // way the layer's callers join.
    std::string win(const std::string &name) const { return str() + "\\" + name; }
    bool empty() const { return fs::is_empty(path_); }

  private:
    static constexpr const char *kVariable = "VQ4_OSDEP_SCRATCH";
    fs::path path_;
    bool owner_ = false;
};

// Writes text into a new file at path; false when it cannot be created.
inline bool write_file(const fs::path &path, const std::string &text) {
    std::FILE *f = std::fopen(path.string().c_str(), "w");
    if (f == nullptr)
        return false;
    bool written = std::fputs(text.c_str(), f) >= 0;
    return std::fclose(f) == 0 && written;
}

} // namespace osdep_test

// Inside a death-test child: ends the child with status 1 and a message on
// standard error when cond is false (the parent prints that message).
#define CHILD_CHECK(cond)                                                                          \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "child check failed: %s (line %d)\n", #cond, __LINE__);           \
            std::_Exit(1);                                                                         \
        }                                                                                          \
    } while (0)
