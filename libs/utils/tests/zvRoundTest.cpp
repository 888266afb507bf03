#include "zvRound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(round, HalvesGoAwayFromZeroOnTheStoredValue) {
    EXPECT_EQ(zv::round0(2.5), 3.0);
    EXPECT_EQ(zv::round0(-2.5), -3.0);
    EXPECT_EQ(zv::round0(-0.5), -1.0);
    EXPECT_EQ(zv::round0(2.4999), 2.0);
    EXPECT_EQ(zv::round2(0.125), 0.13);
    EXPECT_EQ(zv::round2(2.675), 2.67); // stored just below 2.675
    EXPECT_EQ(zv::round2(-2.675), -2.67);
    EXPECT_EQ(zv::round1(0.96), 1.0);
    EXPECT_EQ(zv::round3(1.0005), 1.0); // 1.0005 is stored as 1.000499999...
    EXPECT_EQ(zv::round8(0.123456785), 0.12345679);
    EXPECT_EQ(zv::roundImp(4294967295.5, 0), 4294967296.0);
    EXPECT_EQ(zv::roundImp(0.1234567894, 9), 0.123456789);
    EXPECT_TRUE(std::signbit(zv::round2(-0.001))); // the sign is kept, even for zero
}

TEST(round, CutsTowardZero) {
    EXPECT_EQ(zv::cutOff1(2.789), 2.7);
    EXPECT_EQ(zv::cutOff1(-2.789), -2.7);
    EXPECT_EQ(zv::cutOff3(1.23456), 1.234);
    EXPECT_EQ(zv::cutOff0(-0.9), 0.0);
    EXPECT_FALSE(std::signbit(zv::cutOff0(-0.9))); // cut to nothing is +0
    EXPECT_EQ(zv::cutOff2(0.29), 0.28);            // 0.29 * 100 is 28.999999999999996
    EXPECT_EQ(zv::cutOff8(1.123456789), 1.12345678);
}

TEST(round, LargeValuesDoNotWrapAround) {
    // At or above 2^32 the integer part no longer fits 32 bits.
    EXPECT_EQ(zv::round2(4294967296.125), 4294967296.13);
    EXPECT_EQ(zv::round0(-5e9 - 0.5), -5e9 - 1.0);
    EXPECT_EQ(zv::round0(1e300), 1e300);
    EXPECT_EQ(zv::round8(-1e20), -1e20);
    EXPECT_EQ(zv::round2(std::numeric_limits<double>::max()), std::numeric_limits<double>::max());
    // Products outside the 32-bit range when cutting.
    EXPECT_EQ(zv::cutOff2(3e7 + 0.129), 3e7 + 0.12);
    EXPECT_EQ(zv::cutOff0(-1e15 - 0.5), -1e15);
    EXPECT_EQ(zv::cutOff8(1e300), 1e300);
    EXPECT_EQ(zv::cutOff0(std::numeric_limits<double>::lowest()), std::numeric_limits<double>::lowest());
}

TEST(round, DecimalsBeyondNineAndNegativeDecimals) {
    EXPECT_EQ(zv::roundImp(0.123456789012, 10), 0.1234567890);
    EXPECT_EQ(zv::roundImp(1e-20, 19), 0.0);
    EXPECT_EQ(zv::roundImp(1.5e-20, 20), 2e-20);
    EXPECT_EQ(zv::cutOffImp(0.123456789019, 11), 0.12345678901);
    EXPECT_EQ(zv::cutOffImp(1e-20 * 1.9, 20), 1e-20);
    EXPECT_EQ(zv::roundImp(0.3, 400), 0.3);
    EXPECT_EQ(zv::cutOffImp(0.3, 400), 0.3);

    EXPECT_EQ(zv::roundImp(1250.0, -2), 1300.0);
    EXPECT_EQ(zv::roundImp(-1249.0, -2), -1200.0);
    EXPECT_EQ(zv::cutOffImp(1299.0, -2), 1200.0);
    EXPECT_EQ(zv::cutOffImp(-1299.0, -3), -1000.0);
    EXPECT_EQ(zv::roundImp(5.0, -400), 0.0);
    EXPECT_EQ(zv::cutOffImp(5.0, -400), 0.0);
}

TEST(round, NanAndInfinitiesComeBackUnchanged) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(zv::round2(inf), inf);
    EXPECT_EQ(zv::round2(-inf), -inf);
    EXPECT_EQ(zv::cutOff2(inf), inf);
    EXPECT_EQ(zv::cutOffImp(-inf, -3), -inf);
    EXPECT_TRUE(std::isnan(zv::round3(nan)));
    EXPECT_TRUE(std::isnan(zv::cutOff3(nan)));
}
