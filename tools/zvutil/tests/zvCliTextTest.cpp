#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

using zvclitest::cliResult;
using zvclitest::run;

namespace fs = std::filesystem;

} // namespace

TEST(zvutilExpr, PrintsEachResultOrItsError) {
    const auto ok = run({"expr", "1+2*3", "0.1", "2^-2", "1e20", "1e-5"});
    EXPECT_EQ(ok.rc, 0);
    EXPECT_EQ(ok.out, "7\n0.1\n0.25\n1e+20\n1e-05\n");

    const auto bad = run({"expr", "1/0", "4"});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_EQ(bad.out, "error 9: Division by zero error\n4\n");
    EXPECT_EQ(run({"expr"}).rc, 2);
    // Non-ASCII input ends the expression like any other unknown character.
    EXPECT_EQ(run({"expr", "3\xC3\xA9", "\xE4\xB8\x80"}).out, "3\nerror 7: Missing closing parenthesis\n");
}

TEST(zvutilExpr, FormatsLikeSeventeenSignificantDigits) {
    EXPECT_EQ(zvcli::formatNumber(1e16), "10000000000000000");
    EXPECT_EQ(zvcli::formatNumber(1e17), "1e+17");
    EXPECT_EQ(zvcli::formatNumber(0.0001), "0.0001");
    EXPECT_EQ(zvcli::formatNumber(98.0 / 15.0), "6.533333333333333");
    EXPECT_EQ(zvcli::formatNumber(-2.5), "-2.5");
}

TEST(zvutilBase64, EncodesAndDecodesStreamsAndFiles) {
    EXPECT_EQ(run({"base64", "encode"}, "Man").out, "TWFu\n");
    EXPECT_EQ(run({"base64", "encode", "-"}, "").out, "\n");
    EXPECT_EQ(run({"base64", "decode"}, "TWFu\r\nTWE=\n").out, "ManMa");
    EXPECT_EQ(run({"base64", "decode"}, "TW!u").out, "M");

    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes += static_cast<char>(i * 7);
    const auto encoded = run({"base64", "encode"}, bytes);
    EXPECT_EQ(run({"base64", "decode"}, encoded.out).out, bytes);

    std::random_device rd;
    const fs::path file = fs::temp_directory_path() / ("zvutil-b64-" + std::to_string(rd()));
    std::ofstream(file, std::ios::binary) << "Ma";
    EXPECT_EQ(run({"base64", "encode", file.string()}).out, "TWE=\n");
    fs::remove(file);
    EXPECT_EQ(run({"base64", "encode", file.string()}).rc, 1);
    EXPECT_EQ(run({"base64"}).rc, 2);
    EXPECT_EQ(run({"base64", "encode", "a", "b"}).rc, 2);
}

TEST(zvutilRound, RoundsAndCutsWithStrictArguments) {
    EXPECT_EQ(run({"round", "2.675", "2"}).out, "2.67\n");
    EXPECT_EQ(run({"round", "1250", "-2"}).out, "1300\n");
    EXPECT_EQ(run({"cutoff", "-2.789", "1"}).out, "-2.7\n");
    EXPECT_EQ(run({"cutoff", "1e300", "8"}).out, "1e+300\n");
    EXPECT_EQ(run({"round", "inf", "2"}).out, "inf\n");
    EXPECT_EQ(run({"round", "2,5", "0"}).rc, 2);
    EXPECT_EQ(run({"round", "2.5", "x"}).rc, 2);
    EXPECT_EQ(run({"round", "2.5"}).rc, 2);
    EXPECT_EQ(run({"cutoff", "2.5", "1", "2"}).rc, 2);
}
