#include <gtest/gtest.h>

#include "ToString.h"

namespace {

using Vorel::ToString;

TEST(ToString, IntegersArePlainDecimal) {
    EXPECT_EQ(ToString(int32_t{0}), "0");
    EXPECT_EQ(ToString(int32_t{-42}), "-42");
    EXPECT_EQ(ToString(INT32_MIN), "-2147483648");
    EXPECT_EQ(ToString(uint32_t{4294967295u}), "4294967295");
}

TEST(ToString, FloatsUseSixSignificantDigits) {
    EXPECT_EQ(ToString(1.5f), "1.5");
    EXPECT_EQ(ToString(-0.25f), "-0.25");
    EXPECT_EQ(ToString(123456.7f), "123457");
    EXPECT_EQ(ToString(1234567.0f), "1.23457e+06");
    EXPECT_EQ(ToString(0.0001f), "0.0001");
    EXPECT_EQ(ToString(0.00001f), "1e-05");
}

// Speeds are stepped by 0.1: the sums are not exact, but six digits hide it.
TEST(ToString, SumsOfTenthsReadAsTheirDecimalValue) {
    const char* expected[] = {"0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1",
                              "1.1", "1.2", "1.3", "1.4", "1.5", "1.6", "1.7", "1.8", "1.9", "2"};
    float sum = 0.0f;
    for (const char* text : expected) {
        sum += 0.1f;
        EXPECT_EQ(ToString(sum), text);
    }
    float down = 1.0f;
    for (int i = 0; i < 10; ++i)
        down -= 0.1f;
    EXPECT_EQ(ToString(down), "-7.45058e-08") << "the residue is shown, not rounded to 0";
}

}  // namespace
