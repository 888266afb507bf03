#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using zvclitest::cliResult;
using zvclitest::run;

TEST(cliConvert, ConvertsThroughTheRegistryAndShowsFalse) {
    EXPECT_EQ(run({"convert", "--from", "double", "--to", "short", "32767.5"}).out, "32767 (false)\n");
    EXPECT_EQ(run({"convert", "--from", "double", "--to", "short", "32767.5"}).rc, 1);
    const cliResult hex = run({"convert", "--from", "short", "--to", "string", "--hex", "lower", "-1"});
    EXPECT_EQ(hex.rc, 0);
    EXPECT_EQ(hex.out, "ffff\n");
    // Flags also apply when the target is a number shown as text.
    EXPECT_EQ(run({"convert", "--from", "string", "--to", "ushort", "--digits", "5", "42"}).out, "00042\n");
    EXPECT_EQ(run({"convert", "--from", "float", "--to", "double", "0.1"}).out, "0.1\n");
    EXPECT_EQ(run({"convert", "--from", "string", "--to", "string", "caf\xC3\xA9"}).out, "caf\xC3\xA9\n");
}

TEST(cliConvert, RejectsBadArgumentsAndValues) {
    EXPECT_EQ(run({"convert", "--from", "int", "--to", "int"}).rc, 2);
    EXPECT_EQ(run({"convert", "--from", "int", "--to", "int", "1", "2"}).rc, 2);
    EXPECT_EQ(run({"convert", "--from", "int", "--to", "int", "--hex", "middle", "1"}).rc, 2);
    EXPECT_TRUE(zvclitest::failsWith(run({"convert", "--from", "ushort", "--to", "int", "70000"}), 1,
                                     "not a valid ushort"));
}

TEST(cliConvert, UiNumberReformatsTypedNumbers) {
    const cliResult r = run({"uinum", "(1+2)*2", "--decimals", "0"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "6\n");
    EXPECT_EQ(run({"uinum", "2*"}).rc, 1);
    EXPECT_EQ(run({"uinum"}).rc, 2);
}

} // namespace
