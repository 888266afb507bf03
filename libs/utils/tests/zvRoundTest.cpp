#include "zvRound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace {

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

using roundCase = std::tuple<double, int, double>; // value, decimals, result

TEST(round, HalvesGoAwayFromZeroOnTheStoredValue) {
    // 2.675 and 1.0005 are stored just below the half.
    const roundCase cases[] = {{2.5, 0, 3.0},    {-0.5, 0, -1.0},    {2.4999, 0, 2.0}, {0.125, 2, 0.13},
                               {2.675, 2, 2.67}, {-2.675, 2, -2.67}, {0.96, 1, 1.0},   {1.0005, 3, 1.0},
                               {kMax, 2, kMax},  {-kInf, 2, -kInf},  {0.3, 400, 0.3},  {5.0, -400, 0.0},
                               {1250, -2, 1300}, {-1249, -2, -1200}, {1e-20, 19, 0.0}, {1.5e-20, 20, 2e-20}};
    for (const auto& [value, decimals, expected] : cases)
        EXPECT_EQ(zv::roundImp(value, decimals), expected) << value << " to " << decimals;
    // At or above 2^32 the integer part no longer fits 32 bits.
    EXPECT_EQ(zv::round0(4294967295.5), 4294967296.0);
    EXPECT_EQ(zv::round2(4294967296.125), 4294967296.13);
    EXPECT_EQ(zv::round0(-5e9 - 0.5), -5e9 - 1.0);
    EXPECT_EQ(zv::round8(0.123456785), 0.12345679);
    EXPECT_EQ(zv::roundImp(0.123456789012, 10), 0.1234567890);
    EXPECT_TRUE(std::signbit(zv::round2(-0.001))); // the sign is kept, even for zero
    EXPECT_TRUE(std::isnan(zv::round3(kNan)));
}

TEST(round, CutsTowardZero) {
    // 0.29 * 100 is 28.999999999999996.
    const roundCase cases[] = {{2.789, 1, 2.7},    {-2.789, 1, -2.7},    {1.23456, 3, 1.234},
                               {0.29, 2, 0.28},    {-kMax, 0, -kMax},    {-kInf, -3, -kInf},
                               {0.3, 400, 0.3},    {5.0, -400, 0.0},     {1299, -2, 1200},
                               {-1299, -3, -1000}, {1.9e-20, 20, 1e-20}, {1e300, 8, 1e300}};
    for (const auto& [value, decimals, expected] : cases)
        EXPECT_EQ(zv::cutOffImp(value, decimals), expected) << value << " to " << decimals;
    EXPECT_FALSE(std::signbit(zv::cutOff0(-0.9))); // cut to nothing is +0
    EXPECT_EQ(zv::cutOff8(1.123456789), 1.12345678);
    EXPECT_EQ(zv::cutOff2(3e7 + 0.129), 3e7 + 0.12); // products outside the 32-bit range
    EXPECT_EQ(zv::cutOff0(-1e15 - 0.5), -1e15);
    EXPECT_EQ(zv::cutOffImp(0.123456789019, 11), 0.12345678901);
    EXPECT_TRUE(std::isnan(zv::cutOff3(kNan)));
}

} // namespace
