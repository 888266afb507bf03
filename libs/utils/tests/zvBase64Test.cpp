#include "zvBase64.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::string encode(const std::string& bytes) {
    std::string out;
    zv::base64_encode(reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<unsigned>(bytes.size()), out);
    return out;
}

std::string decode(const std::string& text) {
    std::string out;
    zv::base64_decode(text, out);
    return out;
}

} // namespace

TEST(base64, EncodesGroupsAndPadsTheLastOne) {
    EXPECT_EQ(encode("Man"), "TWFu");
    EXPECT_EQ(encode("M"), "TQ==");
    EXPECT_EQ(encode("Ma"), "TWE=");
    EXPECT_EQ(encode(""), "");
    EXPECT_EQ(encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(encode(std::string("\xFB\xEF\xFF", 3)), "++//");
    EXPECT_EQ(encode(std::string("\0\0\0\0", 4)), "AAAAAA==");
}

TEST(base64, AppendsToTheOutput) {
    std::string out = "x:";
    zv::base64_encode(reinterpret_cast<const unsigned char*>("Man"), 3, out);
    EXPECT_EQ(out, "x:TWFu");
    zv::base64_decode("TWE=", out);
    EXPECT_EQ(out, "x:TWFuMa");
    zv::base64_encode(nullptr, 0, out);
    EXPECT_EQ(out, "x:TWFuMa");
}

TEST(base64, NullDataWithALengthIsAnAssertion) {
    zvtest::assertCapture capture;
    std::string out;
    EXPECT_THROW(zv::base64_encode(nullptr, 3, out), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
    EXPECT_TRUE(out.empty());
}

TEST(base64, DecodingStopsAtTheFirstCharacterOutsideTheAlphabet) {
    EXPECT_EQ(decode("TWFu"), "Man");
    EXPECT_EQ(decode("TW!u"), "M"); // two characters read give one byte
    EXPECT_EQ(decode("TWE="), "Ma");
    EXPECT_EQ(decode("TWE"), "Ma");
    EXPECT_EQ(decode("TQ=="), "M");
    EXPECT_EQ(decode("T"), "");        // a lone character gives nothing
    EXPECT_EQ(decode("TWFuT"), "Man"); // nor after whole groups
    EXPECT_EQ(decode("TWFu=TWFu"), "Man");
    EXPECT_EQ(decode("TWFu\nTWFu"), "Man");
    EXPECT_EQ(decode("TWFuTW-u"), "ManM");
    EXPECT_EQ(decode(std::string("TW\0u", 4)), "M");
    EXPECT_EQ(decode("\xC3\xA9TWFu"), "");
    EXPECT_EQ(decode(""), "");
    EXPECT_EQ(decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(decode("-_-_"), ""); // the URL alphabet is not this one
}

TEST(base64, RoundTripsEveryLengthAndByte) {
    std::mt19937 gen(7);
    for (unsigned length = 0; length < 300; ++length) {
        std::string bytes(length, '\0');
        for (auto& b : bytes)
            b = static_cast<char>(gen());
        const std::string text = encode(bytes);
        ASSERT_EQ(text.size(), (length + 2) / 3 * 4);
        ASSERT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        ASSERT_EQ(decode(text), bytes) << length;
    }
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(decode(encode(all)), all);
}
