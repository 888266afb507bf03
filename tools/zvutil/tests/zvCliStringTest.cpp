#include "zvCliTestSupport.h"

// The code pages themselves are in the end-to-end script.
TEST(zvutilCodePage, PrintsTheBytesOfTheChosenPage) {
#if defined(_WIN32)
    const std::string cafe = "caf\xE9"; // arguments arrive in the ANSI code page
#else
    const std::string cafe = "caf\xC3\xA9";
#endif
    zvclitest::expectCases({
        {{"codepage", cafe, "--cp", "1252"}, 0, "1252: 63 61 66 e9\n"},
        {{"codepage", "--cp", "1252", ""}, 0, "1252:\n"},
        {{"codepage", "--cp", "12a", "x"}, zvcli::exitUsage, ""},
        {{"codepage", "--cp", "0", "x"}, zvcli::exitUsage, ""},
        {{"match", "a", "b", "c"}, zvcli::exitUsage, ""},
    });
}
