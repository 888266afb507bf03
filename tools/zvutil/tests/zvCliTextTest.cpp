#include "zvCliTestSupport.h"

using namespace zvclitest;

// The plain forms of expr, base64, round and cutoff are in the end-to-end script.
TEST(zvutilExpr, PrintsEachResultOrItsError) {
    EXPECT_EQ(run({"expr", "0.1", "2^-2", "1e20", "1e-5"}).out, "0.1\n0.25\n1e+20\n1e-05\n");
    // Non-ASCII input ends the expression like any other unknown character.
    EXPECT_EQ(run({"expr", "3\xC3\xA9", "\xE4\xB8\x80"}).out, "3\nerror 7: Missing closing parenthesis\n");
    // Seventeen significant digits, exponent form from 1e17 on.
    EXPECT_EQ(zvcli::formatNumber(1e16), "10000000000000000");
    EXPECT_EQ(zvcli::formatNumber(1e17), "1e+17");
}

TEST(zvutilText, Base64StreamsAndStrictRoundArguments) {
    const tempFolder folder;
    EXPECT_EQ(run({"base64", "encode"}, "Man").out, "TWFu\n");
    EXPECT_EQ(run({"base64", "encode", "-"}, "").out, "\n");
    EXPECT_EQ(run({"base64", "decode"}, "TWFu\r\nTWE=\n").out, "ManMa");
    expectCases({
        {{"base64", "encode", folder.at("none.bin")}, 1, ""},
        {{"base64", "encode", "a", "b"}, 2, ""},
        {{"round", "1250", "-2"}, 0, "1300\n"},
        {{"cutoff", "1e300", "8"}, 0, "1e+300\n"},
        {{"round", "inf", "2"}, 0, "inf\n"},
        {{"round", "2,5", "0"}, 2, ""},
        {{"round", "2.5", "x"}, 2, ""},
        {{"round", "2.5"}, 2, ""},
        {{"cutoff", "2.5", "1", "2"}, 2, ""},
    });
}
