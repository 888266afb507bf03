#include "zvEnvironment.h"

#include <gtest/gtest.h>

TEST(environment, SetThenGetRoundTripsAndEmptyRemoves) {
    ASSERT_TRUE(zv::setEnvironmentVariable(L"ZV_ENV_TEST_X", L"1"));
    zv::string value = L"old";
    EXPECT_TRUE(zv::getEnvironmentVariable(L"ZV_ENV_TEST_X", value));
    EXPECT_EQ(value, L"1");

    ASSERT_TRUE(zv::setEnvironmentVariable(L"ZV_ENV_TEST_X", L""));
    value = L"old";
    EXPECT_FALSE(zv::getEnvironmentVariable(L"ZV_ENV_TEST_X", value));
    EXPECT_TRUE(value.empty());
}

TEST(environment, MissingVariableEmptiesTheValue) {
    zv::string value = L"held text";
    EXPECT_FALSE(zv::getEnvironmentVariable(L"ZV_ENV_TEST_NEVER_SET_4711", value));
    EXPECT_TRUE(value.empty());
}

TEST(environment, NonAsciiValuesSurviveTheRoundTrip) {
    const wchar_t* text = L"caf\u00e9 \u20ac \u65e5\u672c";
    ASSERT_TRUE(zv::setEnvironmentVariable(L"ZV_ENV_TEST_U", text));
    zv::string value;
    EXPECT_TRUE(zv::getEnvironmentVariable(L"ZV_ENV_TEST_U", value));
    EXPECT_EQ(value, text);
    zv::setEnvironmentVariable(L"ZV_ENV_TEST_U", L"");
}

TEST(environment, BadNamesAreRefused) {
    EXPECT_FALSE(zv::setEnvironmentVariable(L"", L"1"));
    EXPECT_FALSE(zv::setEnvironmentVariable(L"A=B", L"1"));
    zv::string value;
    EXPECT_FALSE(zv::getEnvironmentVariable(nullptr, value));
}

TEST(environment, UserAndComputerNamesAreKnown) {
    zv::string user, computer;
    EXPECT_TRUE(zv::getUserName(user));
    EXPECT_FALSE(user.empty());
    EXPECT_TRUE(zv::getComputerName(computer));
    EXPECT_FALSE(computer.empty());
}
