#include "common/vq4assert.h"

#include <gtest/gtest.h>

TEST(Vq4AssertDeathTest, FailureNamesTextFileAndLineThenAborts) {
    EXPECT_DEATH(VQ4_ASSERT(1 == 2, "f != ((void *)0)"),
                 "Assertion failed: f != \\(\\(void \\*\\)0\\), file .*vq4assert_test.cpp, line [0-9]+");
}

TEST(Vq4AssertTest, HoldingConditionDoesNothing) {
    VQ4_ASSERT(2 > 1, "never shown");
    SUCCEED();
}
