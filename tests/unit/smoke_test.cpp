#include <gtest/gtest.h>

#include "util/strings.h"

TEST(Smoke, NumToStr) { EXPECT_EQ(NumToStr(-7), "-7"); }
