#include "zvCliCaseTable.h"

#include <gtest/gtest.h>

TEST(cliConvert, ConvertsThroughTheRegistryAndRejectsBadArguments) {
    zvclitest::expectCases({
        {{"convert", "--from", "double", "--to", "short", "32767.5"}, 1, "32767 (false)\n"},
        {{"convert", "--from", "short", "--to", "string", "--hex", "lower", "-1"}, 0, "ffff\n"},
        // Flags also apply when the target is a number shown as text.
        {{"convert", "--from", "string", "--to", "ushort", "--digits", "5", "42"}, 0, "00042\n"},
        {{"convert", "--from", "float", "--to", "double", "0.1"}, 0, "0.1\n"},
        {{"convert", "--from", "string", "--to", "string", "caf\xC3\xA9"}, 0, "caf\xC3\xA9\n"},
        {{"convert", "--from", "ushort", "--to", "int", "70000"}, 1, "", "not a valid ushort"},
        {{"convert", "--from", "int", "--to", "int", "1", "2"}, 2, ""},
        {{"convert", "--from", "int", "--to", "int", "--hex", "middle", "1"}, 2, ""},
        {{"uinum"}, 2, ""},
    });
}
