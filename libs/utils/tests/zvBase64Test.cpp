#include "zvBase64.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string encode(const std::string& bytes, std::string out = std::string()) {
    zv::base64_encode(reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<unsigned>(bytes.size()), out);
    return out;
}

std::string decode(const std::string& text, std::string out = std::string()) {
    zv::base64_decode(text, out);
    return out;
}

} // namespace

// Both directions append to the output; decoding stops at the first
// character outside the alphabet, and a lone character gives nothing.
TEST(base64, EncodesPadsAndDecodesUpToTheFirstForeignCharacter) {
    const std::pair<std::string, std::string> encoded[] = {
        {"Man", "TWFu"},
        {"M", "TQ=="},
        {"Ma", "TWE="},
        {std::string("\xFB\xEF\xFF", 3), "++//"},
        {std::string(4, '\0'), "AAAAAA=="},
    };
    for (const auto& [bytes, text] : encoded)
        EXPECT_EQ(encode(bytes), text) << text;
    const std::pair<std::string, std::string> decoded[] = {
        {"TW!u", "M"},
        {"TWE", "Ma"},
        {"T", ""},
        {"TWFuT", "Man"},
        {"TWFu=TWFu", "Man"},
        {"TWFuTW-u", "ManM"},
        {std::string("TW\0u", 4), "M"},
        {"\xC3\xA9TWFu", ""},
        {"-_-_", ""}, // the URL alphabet is not this one
    };
    for (const auto& [text, bytes] : decoded)
        EXPECT_EQ(decode(text), bytes) << text;
    EXPECT_EQ(decode("TWE=", encode("Man", "x:")), "x:TWFuMa");
    zvtest::assertCapture capture;
    std::string out;
    EXPECT_THROW(zv::base64_encode(nullptr, 3, out), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
    zv::base64_encode(nullptr, 0, out);
    EXPECT_TRUE(out.empty());
}
