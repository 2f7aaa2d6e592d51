// support: what the unit tests share. A scratch directory per test, file
// contents in and out, the captures of standard output, standard error and
// the debug-out file, checks run in a fresh copy of the test program, and
// heap strings taken over. Everything is in namespace test_support.
#pragma once

#include "common/vqdebug.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

namespace test_support {

namespace fs = std::filesystem;

// Every test program runs with TEMP naming an absolute directory: without
// it the private temporary directory is named relative to the current
// directory, and a test that changes directory would lose it for the tests
// after it in the same process.
//
// Death tests run in a fresh copy of the program: a forked child would run
// the parent's exit handler and remove the private temporary directory that
// the tests after it still use.
class TestProcess : public ::testing::Environment {
  public:
    void SetUp() override {
        if (std::getenv("TEMP") == nullptr)
            plat_putenv(("TEMP=" + fs::temp_directory_path().string()).c_str());
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};
inline ::testing::Environment *const test_process =
    ::testing::AddGlobalTestEnvironment(new TestProcess);

// ---- Files ------------------------------------------------------------------------

// The bytes of a file as they are; "" when it cannot be read.
inline std::string read_file(const fs::path &path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// The text of a file written in text mode, with each line end read as "\n"
// (the Windows runtime writes "\r\n").
inline std::string read_text(const fs::path &path) {
    std::string bytes = read_file(path);
    if (PLAT_HOST_WINDOWS) {
        std::string text;
        for (size_t i = 0; i < bytes.size(); ++i)
            if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
                text += bytes[i];
        return text;
    }
    return bytes;
}

// Writes bytes into a new file at path, creating its directories; false
// when the file cannot be written.
inline bool write_file(const fs::path &path, const std::string &bytes) {
    std::error_code ignored;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

// A path in the suite's shape as the host spells it ('\\' becomes '/').
inline fs::path host(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The text of a heap string from the library, which is freed; "(null)"
// for null.
inline std::string take(char *heap) {
    std::string text = heap != nullptr ? heap : "(null)";
    std::free(heap);
    return text;
}

// A fresh, empty directory for one test, named after the test, removed with
// everything in it at the end. A death test that runs the test again in a
// new process finds the same directory again (through the environment).
// With enter set it is the current directory while it lives.
class ScratchDir {
  public:
    explicit ScratchDir(bool enter = false) {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string stem =
            "vq4-" + std::string(info->test_suite_name()) + "-" + info->name() + "-";
        std::replace(stem.begin(), stem.end(), '/', '_');
        const char *inherited = std::getenv(kVariable);
        if (inherited != nullptr && fs::path(inherited).filename().string().starts_with(stem)) {
            path_ = inherited;
        } else {
            path_ = fs::temp_directory_path() / (stem + std::to_string(std::random_device()()));
            fs::create_directories(path_);
            owner_ = true;
            plat_putenv((std::string(kVariable) + "=" + path_.string()).c_str());
        }
        if (enter) {
            previous_ = fs::current_path();
            fs::current_path(path_);
        }
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!previous_.empty())
            fs::current_path(previous_, ignored);
        if (!owner_)
            return;
        fs::remove_all(path_, ignored);
        plat_putenv((std::string(kVariable) + "=").c_str());
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const fs::path &path() const { return path_; }
    std::string str() const { return path_.string(); }
    // The path of relative (parts separated by '\\') inside the directory,
    // joined with a backslash the way the suite joins paths.
    std::string win(const std::string &relative = "") const {
        return relative.empty() ? str() : str() + "\\" + relative;
    }
    // The same location as the host spells it.
    fs::path host(const std::string &relative) const { return path_ / test_support::host(relative); }
    // Writes bytes into relative (creating its directories) and returns its
    // path in the suite's shape.
    std::string write(const std::string &relative, const std::string &bytes) const {
        write_file(host(relative), bytes);
        return win(relative);
    }
    void mkdir(const std::string &relative) const { fs::create_directories(host(relative)); }
    bool empty() const { return fs::is_empty(path_); }

  private:
    static constexpr const char *kVariable = "VQ4_TEST_SCRATCH";
    fs::path path_;
    fs::path previous_;
    bool owner_ = false;
};

// ---- Captures -------------------------------------------------------------------------

// What f writes on standard output / standard error.
template <typename F> std::string stdout_of(F f) {
    ::testing::internal::CaptureStdout();
    f();
    return ::testing::internal::GetCapturedStdout();
}
template <typename F> std::string stderr_of(F f) {
    ::testing::internal::CaptureStderr();
    f();
    return ::testing::internal::GetCapturedStderr();
}

// Runs f with gDebugFlags set to flags (unchanged by default) and the
// debug-out stream pointed at a temporary file; returns what f wrote there.
// The previous stream and flags are put back.
template <typename F> std::string debug_out_of(F f, uint32_t flags = gDebugFlags) {
    FILE *out = std::tmpfile(), *saved = gFile;
    uint32_t saved_flags = gDebugFlags;
    gFile = out;
    gDebugFlags = flags;
    f();
    gDebugFlags = saved_flags;
    gFile = saved;
    std::string text(static_cast<size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    return text;
}

// "" when got holds want, else both texts for a failure message.
inline std::string lacks(const std::string &got, const std::string &want) {
    return got.find(want) != std::string::npos ? "" : "--- got:\n" + got + "--- lacks:\n" + want;
}

// ---- A fresh process --------------------------------------------------------------------

// Runs check in a newly started copy of the test program, so that
// process-wide state (master lists, tracking flags, the cache) starts from
// scratch. check returns "" on success, else a description of the fault.
inline void expect_in_fresh_process(const std::function<std::string()> &check) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::string fault = check();
            std::fputs(fault.c_str(), stderr);
            std::fflush(stderr);
            std::_Exit(fault.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// ---- The debug module ----------------------------------------------------------------

// The prefix of every warning of the debug module.
#define DBW "VQDEBUG (warning): "

// Each test runs in its own empty current directory with every debug setting
// at its start, and puts them back at the end.
class DebugDirTest : public ::testing::Test {
  protected:
    void SetUp() override { db_reset_for_testing(); }
    void TearDown() override { db_reset_for_testing(); }
    // Parses one --vqdebug= argument; what it wrote on standard error.
    static std::string parse(const char *arg) {
        return stderr_of([arg] { db_parse_options(arg); });
    }
    ScratchDir dir_{true};
};

} // namespace test_support

// Inside a death-test child: ends the child with status 1 and a message on
// standard error when cond is false (the parent prints that message).
#define CHILD_CHECK(cond)                                                                          \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "child check failed: %s (line %d)\n", #cond, __LINE__);           \
            std::_Exit(1);                                                                         \
        }                                                                                          \
    } while (0)
