#include "zvCliTestSupport.h"

TEST(cliConvert, ConvertsThroughTheRegistryAndRejectsBadArguments) {
    zvclitest::expectCases({"convert"},
                           {
                               {{"--from", "double", "--to", "short", "32767.5"}, 1, "32767 (false)\n"},
                               {{"--from", "short", "--to", "string", "--hex", "lower", "-1"}, 0, "ffff\n"},
                               // Flags also apply when the target is a number shown as text.
                               {{"--from", "string", "--to", "ushort", "--digits", "5", "42"}, 0, "00042\n"},
                               {{"--from", "float", "--to", "double", "0.1"}, 0, "0.1\n"},
                               {{"--from", "string", "--to", "string", "caf\xC3\xA9"}, 0, "caf\xC3\xA9\n"},
                               {{"--from", "ushort", "--to", "int", "70000"}, 1, "", "not a valid ushort"},
                               {{"--from", "int", "--to", "int", "1", "2"}, 2, ""},
                               {{"--from", "int", "--to", "int", "--hex", "middle", "1"}, 2, ""},
                           });
}
