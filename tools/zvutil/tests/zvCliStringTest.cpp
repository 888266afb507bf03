#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

using zvclitest::cliResult;
using zvclitest::run;

TEST(zvutilMatch, ExitCodeTellsWhetherThePatternMatches) {
    EXPECT_EQ(run({"match", "*.t?t", "notes.txt"}).rc, zvcli::exitOk);
    const cliResult miss = run({"match", "*.TXT", "notes.txt"});
    EXPECT_EQ(miss.rc, zvcli::exitFailure);
    EXPECT_EQ(miss.out, "no match\n");
    EXPECT_EQ(run({"match", "x"}).rc, zvcli::exitUsage);
    EXPECT_EQ(run({"match", "a", "b", "c"}).rc, zvcli::exitUsage);
}

TEST(zvutilCodePage, PrintsTheBytesOfTheChosenPage) {
#if defined(_WIN32)
    const std::string cafe = "caf\xE9"; // arguments arrive in the ANSI code page
#else
    const std::string cafe = "caf\xC3\xA9";
#endif
    EXPECT_EQ(run({"codepage", "--cp", "1252", cafe}).out, "1252: 63 61 66 e9\n");
    EXPECT_EQ(run({"codepage", cafe, "--cp", "65001"}).out, "65001: 63 61 66 c3 a9\n");
    EXPECT_EQ(run({"codepage", "--cp", "1252", ""}).out, "1252:\n");
    EXPECT_EQ(run({"codepage", "--cp", "4242", "x"}).rc, zvcli::exitFailure);
    EXPECT_EQ(run({"codepage", "--cp", "12a", "x"}).rc, zvcli::exitUsage);
    EXPECT_EQ(run({"codepage", "--cp", "0", "x"}).rc, zvcli::exitUsage);
    EXPECT_EQ(run({"codepage"}).rc, zvcli::exitUsage);
}
