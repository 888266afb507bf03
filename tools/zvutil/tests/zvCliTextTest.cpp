#include "zvCliTestSupport.h"

using namespace zvclitest;

// The plain forms of expr, base64, round, cutoff, convert, codepage, cond,
// units and password are in the end-to-end script.
TEST(zvutilText, ExprBase64StreamsAndStrictRoundArguments) {
    EXPECT_EQ(run({"expr", "0.1", "2^-2", "1e20", "1e-5"}).out, "0.1\n0.25\n1e+20\n1e-05\n");
    // Non-ASCII input ends the expression like any other unknown character.
    EXPECT_EQ(run({"expr", "3\xC3\xA9", "\xE4\xB8\x80"}).out, "3\nerror 7: Missing closing parenthesis\n");
    // Seventeen significant digits, exponent form from 1e17 on.
    EXPECT_EQ(zvcli::formatNumber(1e16), "10000000000000000");
    EXPECT_EQ(zvcli::formatNumber(1e17), "1e+17");
    const tempFolder folder;
    EXPECT_EQ(run({"base64", "encode"}, "Man").out, "TWFu\n");
    EXPECT_EQ(run({"base64", "encode", "-"}, "").out, "\n");
    EXPECT_EQ(run({"base64", "decode"}, "TWFu\r\nTWE=\n").out, "ManMa");
    expectCases({
        {{"base64", "encode", folder.at("none.bin")}, 1, ""},
        {{"round", "1250", "-2"}, 0, "1300\n"},
        {{"cutoff", "1e300", "8"}, 0, "1e+300\n"},
        {{"round", "inf", "2"}, 0, "inf\n"},
        {{"round", "2,5", "0"}, 2, ""},
        {{"round", "2.5", "x"}, 2, ""},
    });
}

TEST(cliConvert, ConvertsThroughTheRegistryAndRejectsBadArguments) {
    expectCases({"convert"},
                {
                    {{"--from", "double", "--to", "short", "32767.5"}, 1, "32767 (false)\n"},
                    {{"--from", "short", "--to", "string", "--hex", "lower", "-1"}, 0, "ffff\n"},
                    // Flags also apply when the target is a number shown as text.
                    {{"--from", "string", "--to", "ushort", "--digits", "5", "42"}, 0, "00042\n"},
                    {{"--from", "float", "--to", "double", "0.1"}, 0, "0.1\n"},
                    {{"--from", "string", "--to", "string", "caf\xC3\xA9"}, 0, "caf\xC3\xA9\n"},
                    {{"--from", "ushort", "--to", "int", "70000"}, 1, "", "not a valid ushort"},
                    {{"--from", "int", "--to", "int", "--hex", "middle", "1"}, 2, ""},
                });
}

TEST(zvutilCodePage, PrintsTheBytesOfTheChosenPage) {
#if defined(_WIN32)
    const std::string cafe = "caf\xE9"; // arguments arrive in the ANSI code page
#else
    const std::string cafe = "caf\xC3\xA9";
#endif
    expectCases({"codepage"}, {
                                  {{cafe, "--cp", "1252"}, 0, "1252: 63 61 66 e9\n"},
                                  {{"--cp", "1252", ""}, 0, "1252:\n"},
                                  {{"--cp", "12a", "x"}, zvcli::exitUsage, ""},
                                  {{"--cp", "0", "x"}, zvcli::exitUsage, ""},
                              });
}

// The normal form, several values of several types and the empty value.
TEST(cliCond, PrintsTheNormalFormAndTestsValues) {
    EXPECT_EQ(run({"cond", "AND(IsBigger<Int>(\"5\"), not(in<string>(\"9\",\"7\",\"7\")))", "--type", "int",
                   "--value", "8", "--value", "5", "--type", "string", "--value", "7", "--empty"})
                  .out,
              "and(isbigger<int>(\"5\"),not(isin<string>(\"7\",\"9\")))\nint 8: true\nint 5: false\n"
              "string 7: false\nempty: false\n");
    expectCases({
        {{"cond", "!=<double>(\"0.1\")", "--type", "float", "--value", "0.1"},
         0,
         "isnotequal<double>(\"0.1\")\nfloat 0.1: true\n"},
        {{"cond", "isbigger<int>(\"x\")"}, 1, "", "does not convert"},
        {{"units", "feet", "mm", "1"}, 1, "", "invalid unitsystemstring \"feet\""},
        {{"password", "unscramble", ""}, 0, "\n"},
        {{"cond"}, 2, ""},
        {{"cond", "any()", "--type", "qword"}, 2, ""},
        {{"cond", "any()", "--type", "int", "--value", "x"}, 2, ""},
        {{"cond", "any()", "--value"}, 2, ""},
        {{"units", "mm", "inch", "1x"}, 2, ""},
        {{"units", "mm", "inch"}, 2, ""},
        {{"password", "rot13", "abc"}, 2, ""},
    });
    const std::string wide = run({"password", "scramble", "\xD0\x96uk"}).out;
    EXPECT_EQ(run({"password", "unscramble", wide.substr(0, wide.size() - 1)}).out, "\xD0\x96uk\n");
}
