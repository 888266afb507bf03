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
    EXPECT_EQ(encode("Man"), "TWFu");
    EXPECT_EQ(encode("M"), "TQ==");
    EXPECT_EQ(encode("Ma"), "TWE=");
    EXPECT_EQ(encode("\xFB\xEF\xFF"), "++//");
    EXPECT_EQ(encode(std::string(4, '\0')), "AAAAAA==");
    EXPECT_EQ(decode("TW!u"), "M");
    EXPECT_EQ(decode("TWE"), "Ma");
    EXPECT_EQ(decode("T"), "");
    EXPECT_EQ(decode("TWFuT"), "Man");
    EXPECT_EQ(decode("TWFu=TWFu"), "Man");
    EXPECT_EQ(decode("TWFuTW-u"), "ManM");
    EXPECT_EQ(decode(std::string("TW\0u", 4)), "M");
    EXPECT_EQ(decode("\xC3\xA9TWFu"), "");
    EXPECT_EQ(decode("-_-_"), ""); // the URL alphabet is not this one
    EXPECT_EQ(decode("TWE=", encode("Man", "x:")), "x:TWFuMa");
    zvtest::assertCapture capture;
    std::string out;
    EXPECT_THROW(zv::base64_encode(nullptr, 3, out), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
    zv::base64_encode(nullptr, 0, out);
    EXPECT_TRUE(out.empty());
}
