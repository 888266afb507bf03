#include "zvVersion.h"
#include "zvTestSupport.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

TEST(version, ParseFillsMissingPartsAndBadTextLeavesItUnchanged) {
    zv::version v;
    ASSERT_TRUE(v.parse(L"1.2"));
    EXPECT_EQ(v.asString(), L"1.2.0.0");
    ASSERT_TRUE(v.parse(L"4294967295.0.7.65536"));
    EXPECT_EQ(v.part(0), 4294967295u);
    EXPECT_EQ(v.asString(), L"4294967295.0.7.65536");
    v = zv::version(9, 8, 7, 6);
    for (const wchar_t* bad :
         {L"1.2.3.4.5", L"1.x", L"", L"1..2", L".", static_cast<const wchar_t*>(nullptr)}) {
        EXPECT_FALSE(v.parse(bad)) << (bad ? bad : L"null");
        EXPECT_EQ(v, zv::version(9, 8, 7, 6));
    }
    zvtest::assertCapture capture;
    EXPECT_THROW(v.part(4), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
}

TEST(version, OrdersPartByPartAndConvertsThroughTheRegistry) {
    EXPECT_LT(zv::version(1, 2, 3, 4), zv::version(1, 2, 4, 0));
    EXPECT_LT(zv::version(1, 9, 9, 9), zv::version(2, 0, 0, 0));
    EXPECT_GT(zv::version::maxVersion(), zv::version(999999, 999999, 999999, 999998));
    EXPECT_EQ(zv::version::maxVersion().asString(), L"999999.999999.999999.999999");
    auto& registry = zv::typeconvert::typeConversionManager::instance();
    zv::version v;
    EXPECT_TRUE(zvtest::gives(registry.convert(v, zv::string(L"3.4.5")), v, true, zv::version(3, 4, 5, 0)));
    zv::string text;
    EXPECT_TRUE(zvtest::gives(registry.convert(text, zv::version(1, 0, 2, 3)), text, true, L"1.0.2.3"));
    EXPECT_FALSE(registry.convert(v, zv::string(L"a.b")));
}
