#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

namespace {

using zvclitest::cliResult;
using zvclitest::run;

TEST(cliCond, PrintsTheNormalFormAndTestsValues) {
    const cliResult r =
        run({"cond", "AND(IsBigger<Int>(\"5\"), not(in<string>(\"9\",\"7\",\"7\")))", "--type", "int",
             "--value", "8", "--value", "5", "--type", "string", "--value", "7", "--empty"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "and(isbigger<int>(\"5\"),not(isin<string>(\"7\",\"9\")))\n"
                     "int 8: true\n"
                     "int 5: false\n"
                     "string 7: false\n"
                     "empty: false\n");
    EXPECT_EQ(run({"cond", "!=<double>(\"0.1\")", "--type", "float", "--value", "0.1"}).out,
              "isnotequal<double>(\"0.1\")\nfloat 0.1: true\n");
}

TEST(cliCond, ReportsMalformedTextsUnconvertibleOperandsAndBadOptions) {
    EXPECT_TRUE(
        zvclitest::failsWith(run({"cond", "and(any())"}), 1, "condition::parse: invalid condition-format"));
    EXPECT_TRUE(zvclitest::failsWith(run({"cond", "isin<qword>(\"1\")"}), 1,
                                     "condition::parse: invalid datatype qword"));
    EXPECT_TRUE(zvclitest::failsWith(run({"cond", "isbigger<int>(\"x\")"}), 1, "does not convert"));
    EXPECT_EQ(run({"cond"}).rc, 2);
    EXPECT_EQ(run({"cond", "any()", "--type", "qword"}).rc, 2);
    EXPECT_EQ(run({"cond", "any()", "--type", "int", "--value", "x"}).rc, 2);
    EXPECT_EQ(run({"cond", "any()", "--value"}).rc, 2);
}

TEST(cliUnits, ConvertsLengthsAndPrintsFactors) {
    const cliResult r = run({"units", "INCH", "mm", "2"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out,
              "2 inch = 50.8 mm\nlength factor: 25.4\narea factor: 645.16\nvolume factor: 16387.064\n");
    EXPECT_EQ(run({"units", "meter", "meter", "-1.5"}).out.substr(0, 21), "-1.5 meter = -1.5 met");
    EXPECT_TRUE(
        zvclitest::failsWith(run({"units", "feet", "mm", "1"}), 1, "invalid unitsystemstring \"feet\""));
    EXPECT_EQ(run({"units", "mm", "inch", "1x"}).rc, 2);
    EXPECT_EQ(run({"units", "mm", "inch"}).rc, 2);
}

TEST(cliPassword, ScramblesAndUnscrambles) {
    EXPECT_EQ(run({"password", "scramble", "abc"}).out, "FVoN\n");
    EXPECT_EQ(run({"password", "unscramble", "FVoN"}).out, "abc\n");
    const cliResult wide = run({"password", "scramble", "\xD0\x96uk"});
    EXPECT_EQ(run({"password", "unscramble", wide.out.substr(0, wide.out.size() - 1)}).out, "\xD0\x96uk\n");
    EXPECT_EQ(run({"password", "unscramble", "not base64!"}).rc, 1);
    EXPECT_EQ(run({"password", "unscramble", ""}).out, "\n");
    EXPECT_EQ(run({"password", "rot13", "abc"}).rc, 2);
}

} // namespace
