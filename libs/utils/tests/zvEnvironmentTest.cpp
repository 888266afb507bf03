#include "zvEnvironment.h"

#include <gtest/gtest.h>

TEST(environment, SetGetRemoveAndBadNames) {
    for (const wchar_t* text : {L"1", L"caf\u00e9 \u20ac \u65e5\u672c"}) {
        ASSERT_TRUE(zv::setEnvironmentVariable(L"ZV_ENV_TEST_X", text));
        zv::string value = L"old";
        EXPECT_TRUE(zv::getEnvironmentVariable(L"ZV_ENV_TEST_X", value));
        EXPECT_EQ(value, text);
    }
    // An empty value removes the variable; a missing one empties the answer.
    ASSERT_TRUE(zv::setEnvironmentVariable(L"ZV_ENV_TEST_X", L""));
    for (const wchar_t* name : {L"ZV_ENV_TEST_X", L"ZV_ENV_TEST_NEVER_SET_4711"}) {
        zv::string value = L"held text";
        EXPECT_FALSE(zv::getEnvironmentVariable(name, value));
        EXPECT_TRUE(value.empty());
    }
    EXPECT_FALSE(zv::setEnvironmentVariable(L"", L"1"));
    EXPECT_FALSE(zv::setEnvironmentVariable(L"A=B", L"1"));
    zv::string value;
    EXPECT_FALSE(zv::getEnvironmentVariable(nullptr, value));
    EXPECT_TRUE(zv::getUserName(value) && !value.empty());
    EXPECT_TRUE(zv::getComputerName(value) && !value.empty());
}
