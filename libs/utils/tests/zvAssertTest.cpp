#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int g_assertLine = 0;

int failingCheck(int value) {
    g_assertLine = __LINE__ + 1;
    ZV_ASSERT(value > 10);
    return value;
}

} // namespace

TEST(assertConvention, ReportsFormattedTextThenThrowsFalse) {
    zvtest::assertCapture capture;
    EXPECT_EQ(failingCheck(11), 11);
    EXPECT_TRUE(capture.messages().empty());
    bool thrown = true;
    try {
        failingCheck(3);
        ADD_FAILURE() << "nothing thrown";
    } catch (bool value) {
        thrown = value;
    }
    EXPECT_FALSE(thrown);
    // Long text is cut to the buffer of 1024 characters.
    EXPECT_THROW(zv::assertFailed(std::string(3000, 'x').c_str(), "file.cpp", 1), bool);

    const auto messages = capture.messages();
    ASSERT_EQ(messages.size(), 2u);
    const std::wstring& text = messages[0];
    EXPECT_EQ(text.rfind(L"Assertion failed:\nvalue > 10\n\nFile: ", 0), 0u)
        << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"zvAssertTest.cpp\nLine: "), std::wstring::npos);
    // The line number is the one of the ZV_ASSERT above, and nothing follows it.
    const std::size_t pos = text.rfind(L"Line: ");
    EXPECT_EQ(std::stoi(text.substr(pos + 6)), g_assertLine);
    EXPECT_EQ(text.find_first_not_of(L"0123456789", pos + 6), std::wstring::npos);
    EXPECT_EQ(messages[1].size(), 1023u);
    EXPECT_EQ(messages[1].rfind(L"Assertion failed:\nxxx", 0), 0u);
}
