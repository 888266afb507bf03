#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

namespace {

using zvclitest::failsWith;
using zvclitest::run;

// The normal form, several values of several types and the empty value; the
// plain cases and the exit codes of the common failures are in the end-to-end script.
TEST(cliCond, PrintsTheNormalFormAndTestsValues) {
    EXPECT_EQ(run({"cond", "AND(IsBigger<Int>(\"5\"), not(in<string>(\"9\",\"7\",\"7\")))", "--type", "int",
                   "--value", "8", "--value", "5", "--type", "string", "--value", "7", "--empty"})
                  .out,
              "and(isbigger<int>(\"5\"),not(isin<string>(\"7\",\"9\")))\nint 8: true\nint 5: false\n"
              "string 7: false\nempty: false\n");
    EXPECT_EQ(run({"cond", "!=<double>(\"0.1\")", "--type", "float", "--value", "0.1"}).out,
              "isnotequal<double>(\"0.1\")\nfloat 0.1: true\n");
    EXPECT_TRUE(
        failsWith(run({"cond", "isin<qword>(\"1\")"}), 1, "condition::parse: invalid datatype qword"));
    EXPECT_TRUE(failsWith(run({"cond", "isbigger<int>(\"x\")"}), 1, "does not convert"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"cond"},
                                                 {"cond", "any()", "--type", "qword"},
                                                 {"cond", "any()", "--type", "int", "--value", "x"},
                                                 {"cond", "any()", "--value"},
                                                 {"units", "mm", "inch", "1x"},
                                                 {"units", "mm", "inch"},
                                                 {"password", "rot13", "abc"}})
        EXPECT_EQ(run(args).rc, 2) << args.back();
}

TEST(cliUnits, ConvertsLengthsAndPrintsFactors) {
    EXPECT_EQ(run({"units", "INCH", "mm", "2"}).out,
              "2 inch = 50.8 mm\nlength factor: 25.4\narea factor: 645.16\nvolume factor: 16387.064\n");
    EXPECT_EQ(run({"units", "meter", "meter", "-1.5"}).out.substr(0, 21), "-1.5 meter = -1.5 met");
    EXPECT_TRUE(failsWith(run({"units", "feet", "mm", "1"}), 1, "invalid unitsystemstring \"feet\""));
}

TEST(cliPassword, ScramblesAndUnscramblesWideTexts) {
    const std::string wide = run({"password", "scramble", "\xD0\x96uk"}).out;
    EXPECT_EQ(run({"password", "unscramble", wide.substr(0, wide.size() - 1)}).out, "\xD0\x96uk\n");
    EXPECT_EQ(run({"password", "unscramble", "not base64!"}).rc, 1);
    EXPECT_EQ(run({"password", "unscramble", ""}).out, "\n");
}

} // namespace
