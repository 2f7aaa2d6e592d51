// Helpers shared by the container and string cache tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace container_test {

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
