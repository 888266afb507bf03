#include "zvVersion.h"
#include "zvTestSupport.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

TEST(version, ParseFillsMissingPartsWithZero) {
    zv::version v;
    ASSERT_TRUE(v.parse(L"1.2"));
    EXPECT_EQ(v, zv::version(1, 2, 0, 0));
    EXPECT_EQ(v.asString(), L"1.2.0.0");
    ASSERT_TRUE(v.parse(L"4294967295.0.7.65536"));
    EXPECT_EQ(v.part(0), 4294967295u);
    EXPECT_EQ(v.asString(), L"4294967295.0.7.65536");
}

TEST(version, BadTextLeavesTheVersionUnchanged) {
    zv::version v(9, 8, 7, 6);
    for (const wchar_t* bad : {L"1.2.3.4.5", L"1.x", L"", L"1..2", L"."}) {
        EXPECT_FALSE(v.parse(bad)) << bad;
        EXPECT_EQ(v, zv::version(9, 8, 7, 6)) << bad;
    }
    EXPECT_FALSE(v.parse(nullptr));
}

TEST(version, OrdersPartByPart) {
    EXPECT_LT(zv::version(1, 2, 3, 4), zv::version(1, 2, 4, 0));
    EXPECT_LT(zv::version(1, 9, 9, 9), zv::version(2, 0, 0, 0));
    EXPECT_GT(zv::version::maxVersion(), zv::version(999999, 999999, 999999, 999998));
    EXPECT_EQ(zv::version::minVersion(), zv::version());
    EXPECT_EQ(zv::version::maxVersion().asString(), L"999999.999999.999999.999999");
}

TEST(version, PartOutOfRangeAsserts) {
    zvtest::assertCapture capture;
    zv::version v;
    EXPECT_THROW(v.part(4), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
}

TEST(version, ConvertsThroughTheRegistry) {
    using zv::typeconvert::typeConversionManager;
    zv::version v;
    EXPECT_TRUE(zvtest::gives(typeConversionManager::instance().convert(v, zv::string(L"3.4.5")), v, true,
                              zv::version(3, 4, 5, 0)));
    zv::string text;
    EXPECT_TRUE(zvtest::gives(typeConversionManager::instance().convert(text, zv::version(1, 0, 2, 3)), text,
                              true, L"1.0.2.3"));
    EXPECT_FALSE(typeConversionManager::instance().convert(v, zv::string(L"a.b")));
}
