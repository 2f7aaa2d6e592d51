// Helpers shared by the container and string cache tests.
#pragma once

#include "common/vqdebug.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace container_test {

// Runs report (or any writer of the debug-out file) with the debug-out
// stream pointed at a temporary file and returns what it wrote.
inline std::string capture_debug_out(const std::function<void()> &report) {
    FILE *saved = gFile;
    gFile = std::tmpfile();
    report();
    std::string text;
    std::rewind(gFile);
    for (int c; (c = std::fgetc(gFile)) != EOF;)
        text.push_back(static_cast<char>(c));
    std::fclose(gFile);
    gFile = saved;
    return text;
}

// Runs check in a newly started copy of the test program, so that process-wide
// state (master lists, tracking flags, the cache limit) starts from scratch.
// check returns an empty string on success, else a description of the fault.
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

// "" when got holds want, else both texts for the failure message.
inline std::string lacks(const std::string &got, const std::string &want) {
    return got.find(want) != std::string::npos ? "" : "--- got:\n" + got + "--- lacks:\n" + want;
}

} // namespace container_test
