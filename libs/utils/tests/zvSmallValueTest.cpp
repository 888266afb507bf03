#include "zvAngle.h"
#include "zvException.h"
#include "zvGenericValue.h"
#include "zvRgbColor.h"
#include "zvTestSupport.h"
#include "zvUnitConv.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <vector>

using zv::angle;

TEST(angle, NormalisedFormsInDegrees) {
    const std::tuple<double, double, double> rows[] = {
        {270, -90, 270},   {-90, -90, 270}, {0, 0, 0},         {360, 0, 0},         {720 + 45, 45, 45},
        {-180, -180, 180}, {180, 180, 180}, {-540, -180, 180}, {-1e-15, -1e-15, 0}, // 2 pi itself is 0
    };
    for (const auto& [degree, minusPiToPi, zeroToTwoPi] : rows) {
        const angle a = angle::fromDegree(degree);
        EXPECT_NEAR(a.degreeBetweenMinusPiAndPi(), minusPiToPi, 1e-9) << degree;
        EXPECT_NEAR(a.degreeBetweenZeroAndTwoPi(), zeroToTwoPi, 1e-9) << degree;
        EXPECT_NEAR(a.radiansBetweenZeroAndTwoPi(), zeroToTwoPi * angle::kPi / 180, 1e-9) << degree;
    }
    // The tiniest negative angles would round up to exactly 2 pi.
    for (double r : {-1e-17, -std::numeric_limits<double>::denorm_min(), -2 * angle::kPi - 1e-16}) {
        EXPECT_LT(angle::fromRadians(r).radiansBetweenZeroAndTwoPi(), 2 * angle::kPi) << r;
        EXPECT_LT(angle::fromRadians(r).degreeBetweenZeroAndTwoPi(), 360.0) << r;
    }
    angle a = angle::fromDegree(450);
    EXPECT_DOUBLE_EQ(a.degree(), 450);
    EXPECT_NEAR(a.normIt().degree(), 90, 1e-12);
    EXPECT_DOUBLE_EQ(angle::fromDegree(180).radians(), angle::kPi);
}

TEST(angle, ComparisonAndArcs) {
    const auto deg = [](double d) { return angle::fromDegree(d); };
    EXPECT_TRUE(deg(360) == deg(0) && deg(-90) == deg(270));
    EXPECT_FALSE(deg(180) == deg(-180) || deg(180) < deg(-180) || deg(-180) < deg(180)); // pi, -pi apart
    EXPECT_FALSE(deg(350) < deg(-400));                                                  // -400 is 320
    EXPECT_TRUE(deg(10) < deg(-10));
    // With raw values compared, 0 and 360 differ.
    EXPECT_TRUE(deg(1).isEqualTo(deg(1.5), 0.01, false) && !deg(0).isEqualTo(deg(360), 1e-6, true));
    for (double v : {0.0, 355.0, 350.0, 10.0, -5.0})
        EXPECT_TRUE(deg(v).isBetween(deg(350), deg(10), 0)) << v;
    for (double v : {180.0, 349.0, 11.0})
        EXPECT_FALSE(deg(v).isBetween(deg(350), deg(10), 0)) << v;
    EXPECT_TRUE(deg(45).isBetween(deg(10), deg(90), 123) && !deg(100).isBetween(deg(10), deg(90), 123));

    angle a = deg(90);
    a /= 2;
    EXPECT_THROW(a /= 1e-13, zv::divisionByZeryException);
    EXPECT_THROW(a /= -0.0, zv::divisionByZeryException);
    EXPECT_DOUBLE_EQ(a.degree(), 45);
    EXPECT_DOUBLE_EQ((deg(30) + deg(15) - deg(5)).degree(), 40);
}

TEST(rgbColor, ChannelsValueAndText) {
    const zv::rgbColor c(0x00FF8040u);
    EXPECT_EQ((std::vector<int>{c.red(), c.green(), c.blue()}), (std::vector<int>{0x40, 0x80, 0xFF}));
    EXPECT_EQ(zv::rgbColor(0xAB000001u).colorValue(), 0x00000001u); // the high byte is dropped
    unsigned char triple[3];
    c.asRgbTriple(triple);
    EXPECT_EQ((std::vector<int>{triple[0], triple[1], triple[2]}), (std::vector<int>{0x40, 0x80, 0xFF}));
    EXPECT_EQ(zv::rgbColor().colorValue(), 0x00FFFFFFu);

    zv::rgbColor color;
    EXPECT_TRUE(zv::dtconvert(color, zv::string(L" 1, 2 ,3")));
    EXPECT_EQ(color.colorValue(), 0x030201u);
    for (const wchar_t* bad : {L"1,2", L"1,2,256", L"1,2,3,4", L"1,2,", L"", L"a,b,c", L"4294967301,0,0",
                               L"-1,0,0", L"18446744073709551617,0,0"}) {
        EXPECT_FALSE(zv::dtconvert(color, zv::string(bad))) << std::wstring(bad);
        EXPECT_EQ(color.colorValue(), 0x030201u); // untouched
    }

    // Registered: a generic value holding a colour reads and writes it as text.
    zv::genericValue g(c);
    zv::string viaRegistry;
    EXPECT_TRUE(zvtest::gives(g.get(viaRegistry), viaRegistry, true, L"64,128,255"));
    EXPECT_TRUE(g.set(zv::string(L"1,2,3")) && !g.set(zv::string(L"1,2,300")));
    EXPECT_EQ(g.valueIf<zv::rgbColor>()->colorValue(), 0x030201u);
}

TEST(unitconv, FactorsAndNames) {
    const std::tuple<zv::eUnitSystem, zv::eUnitSystem, double> rows[] = {
        {zv::mm, zv::mm, 1},
        {zv::mm, zv::inch, 1 / 25.4},
        {zv::mm, zv::meter, 0.001},
        {zv::inch, zv::mm, 25.4},
        {zv::inch, zv::meter, 0.0254},
        {zv::meter, zv::mm, 1000},
        {zv::meter, zv::inch, 39.37007874015748},
        {static_cast<zv::eUnitSystem>(3), zv::mm, 1},
        {zv::inch, static_cast<zv::eUnitSystem>(-1), 1},
    };
    for (const auto& [from, to, length] : rows) {
        const zv::unitconv u(from, to);
        EXPECT_DOUBLE_EQ(u.lengthFactor(), length);
        EXPECT_DOUBLE_EQ(u.areaFactor(), length * length);
        EXPECT_DOUBLE_EQ(u.volumeFactor(), length * length * length);
    }
    EXPECT_EQ(zv::unitSystemFromString(L"MM"), zv::mm);
    EXPECT_EQ(zv::unitSystemFromString(L"Inch"), zv::inch);
    EXPECT_EQ(zv::unitSystemString(zv::inch), L"inch");
    EXPECT_THROW(zv::unitSystemFromString(L"Feet"), zv::unexpectedErrorException);
    EXPECT_THROW(zv::unitSystemString(static_cast<zv::eUnitSystem>(7)), zv::unexpectedErrorException);
    EXPECT_EQ(zvtest::errorText([] { zv::unitSystemFromString(L"Feet"); }),
              L"Unexpected error occurred (unitSystemString: invalid unitsystemstring \"Feet\" given)");
    EXPECT_EQ(zvtest::errorText([] { zv::unitSystemString(static_cast<zv::eUnitSystem>(7)); }),
              L"Unexpected error occurred (unitSystemString: invalid unitsystem 7 given)");
}
