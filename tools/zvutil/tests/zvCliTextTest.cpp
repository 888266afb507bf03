#include "zvCliCaseTable.h"

#include <gtest/gtest.h>

using zvclitest::run;

TEST(zvutilExpr, PrintsEachResultOrItsError) {
    EXPECT_EQ(run({"expr", "0.1", "2^-2", "1e20", "1e-5"}).out, "0.1\n0.25\n1e+20\n1e-05\n");
    // Non-ASCII input ends the expression like any other unknown character.
    EXPECT_EQ(run({"expr", "3\xC3\xA9", "\xE4\xB8\x80"}).out, "3\nerror 7: Missing closing parenthesis\n");
    // Seventeen significant digits, exponent form from 1e17 on.
    EXPECT_EQ(zvcli::formatNumber(1e16), "10000000000000000");
    EXPECT_EQ(zvcli::formatNumber(1e17), "1e+17");
    EXPECT_EQ(zvcli::formatNumber(98.0 / 15.0), "6.533333333333333");
}

TEST(zvutilText, Base64StreamsAndStrictRoundArguments) {
    const zvclitest::tempFolder folder;
    EXPECT_EQ(run({"base64", "encode"}, "Man").out, "TWFu\n");
    EXPECT_EQ(run({"base64", "encode", "-"}, "").out, "\n");
    EXPECT_EQ(run({"base64", "decode"}, "TWFu\r\nTWE=\n").out, "ManMa");
    zvclitest::expectCases({
        {{"base64", "encode", (folder.path() / "none.bin").string()}, 1, ""},
        {{"base64"}, 2, ""},
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
