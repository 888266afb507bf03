#include "zvCliTestSupport.h"

using namespace zvclitest;

// The normal form, several values of several types and the empty value; the
// plain cases and the exit codes of the common failures are in the end-to-end script.
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
        {{"cond", "isin<qword>(\"1\")"}, 1, "", "condition::parse: invalid datatype qword"},
        {{"cond", "isbigger<int>(\"x\")"}, 1, "", "does not convert"},
        {{"units", "feet", "mm", "1"}, 1, "", "invalid unitsystemstring \"feet\""},
        {{"units", "INCH", "mm", "2"},
         0,
         "2 inch = 50.8 mm\nlength factor: 25.4\narea factor: 645.16\nvolume factor: 16387.064\n"},
        {{"password", "unscramble", ""}, 0, "\n"},
        {{"password", "unscramble", "not base64!"}, 1, ""},
    });
    expectCodes({}, {{{"cond"}, 2},
                     {{"cond", "any()", "--type", "qword"}, 2},
                     {{"cond", "any()", "--type", "int", "--value", "x"}, 2},
                     {{"cond", "any()", "--value"}, 2},
                     {{"units", "mm", "inch", "1x"}, 2},
                     {{"units", "mm", "inch"}, 2},
                     {{"password", "rot13", "abc"}, 2}});
    const std::string wide = run({"password", "scramble", "\xD0\x96uk"}).out;
    EXPECT_EQ(run({"password", "unscramble", wide.substr(0, wide.size() - 1)}).out, "\xD0\x96uk\n");
}
