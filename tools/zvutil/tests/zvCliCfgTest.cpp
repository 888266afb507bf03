#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using zvclitest::cliResult;
using zvclitest::readAll;
using zvclitest::run;
using zvclitest::tempFolder;

namespace fs = std::filesystem;

} // namespace

TEST(cliCfg, ShowsEveryDialectAsIni) {
    tempFolder tmp;
    const struct {
        const char* name;
        std::string content;
        const char* dialect;
        std::string expected;
    } cases[] = {
        {"a.ini", "top=1\n[M]\r\nSpeed = 1200 ; rpm\r\n\r\nDir=C:\\x\\\n[E]\n", nullptr,
         "top    = 1\n[M]\nSpeed  = 1200\nDir    = C:\\x\\\n[E]\n"},
        {"c.pcf", "\"k\" = \"v 1\"\n[S]\n\"x\" = \"y\"\n", nullptr, "k  = v 1\n"},
        {"d.txt", "**SEC\nk v\n", "cfg", "[SEC]\nk  = v\n"},
        {"e.ini", "\xEF\xBB\xBF[S]\nk=v\n", nullptr, "[S]\nk  = v\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"cfg", "show", tmp.write(c.name, c.content).string()};
        if (c.dialect)
            args.insert(args.end(), {"--dialect", c.dialect});
        const cliResult r = run(args);
        EXPECT_EQ(r.rc, 0) << c.name << r.err;
        EXPECT_EQ(r.out, c.expected) << c.name;
    }
}

TEST(cliCfg, SetsKeysIgnoringCaseAndReadsScrambledFiles) {
    tempFolder tmp;
    const std::string f =
        tmp.write("app.ini", "; settings\r\ntop=1\r\n[Machine]\r\nSpeed=1200\r\nTool=drill\r\n[B]\r\n")
            .string();
    EXPECT_EQ(run({"cfg", "get", f, "MACHINE", "speed"}).out, "1200\n");
    EXPECT_EQ(run({"cfg", "get", f, "", "top"}).out, "1\n");
    ASSERT_EQ(run({"cfg", "set", f, "machine", "SPEED", "1500"}).rc, 0);
    ASSERT_EQ(run({"cfg", "set", f, "New", "k", "v"}).rc, 0);
    EXPECT_EQ(readAll(f),
              "top    = 1\r\n[Machine]\r\nSpeed  = 1500\r\nTool   = drill\r\n[B]\r\n[New]\r\nk      = v\r\n");
    const std::string created = (tmp.path() / "created.ini").string();
    ASSERT_EQ(run({"cfg", "set", created, "S", "k", "C:\\data\\"}).rc, 0);
    EXPECT_EQ(run({"cfg", "get", created, "S", "k"}).out, "C:\\data\\\n");

    const std::string scrambled = (tmp.path() / "s.bin").string(), back = (tmp.path() / "b.ini").string();
    ASSERT_EQ(run({"cfg", "scramble", f, scrambled}).rc, 0);
    EXPECT_EQ(readAll(scrambled).find("drill"), std::string::npos);
    EXPECT_EQ(run({"cfg", "show", scrambled, "--scrambled"}).out,
              "top    = 1\n[Machine]\nSpeed  = 1500\nTool   = drill\n[B]\n[New]\nk      = v\n");
    EXPECT_EQ(run({"cfg", "get", scrambled, "machine", "TOOL", "--scrambled"}).out, "drill\n");
    ASSERT_EQ(run({"cfg", "unscramble", scrambled, back}).rc, 0);
    EXPECT_EQ(readAll(back), readAll(f));
}

// Texts an INI line would change, and files it cannot hold, are refused; the file stays.
TEST(cliCfg, RefusesBadCallsAndLeavesTheFileAlone) {
    tempFolder tmp;
    const std::string f = tmp.write("app.ini", "[S]\r\nk=1\r\n").string();
    const std::string missing = (tmp.path() / "missing.ini").string();
    const std::string utf8 = "\xEF\xBB\xBF[S]\r\nname=\xE4\xB8\xAD\r\n";
    const std::string wide = tmp.write("wide.ini", utf8).string();
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"show", missing}, 1},
        {{"show"}, 2},
        {{"show", f, "--dialect", "xml"}, 2},
        {{"frobnicate"}, 2},
        {{"get", f, "S", "none"}, 1},
        {{"get", f, "None", "k"}, 1},
        {{"set", f, "S", "k", "a;b"}, 2},
        {{"set", f, "S", "a=b", "v"}, 2},
        {{"set", f, "S", "[k", "v"}, 2},
        {{"set", f, "S", "", "v"}, 2},
        {{"set", f, "S", "k", "two\nlines"}, 2},
        {{"set", f, "S;", "k", "v"}, 2},
        {{"set", f, "S", "k", " padded"}, 2},
        {{"set", f, "S", "k"}, 2},
        {{"set", wide, "S", "k", "v"}, 1},
        {{"unscramble", missing, f}, 1},
        {{"scramble", f}, 2},
    };
    for (const auto& [args, rc] : cases) {
        std::vector<std::string> full = {"cfg"};
        full.insert(full.end(), args.begin(), args.end());
        EXPECT_EQ(run(full).rc, rc) << testing::PrintToString(args);
    }
    EXPECT_EQ(readAll(f), "[S]\r\nk=1\r\n");
    EXPECT_EQ(readAll(wide), utf8);
}
