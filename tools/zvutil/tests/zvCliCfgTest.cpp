#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    struct testCase {
        const char* name;
        std::string content;
        std::vector<std::string> extra;
        std::string expected;
    };
    const std::vector<testCase> cases = {
        {"a.ini",
         "top=1\n[M]\r\nSpeed = 1200 ; rpm\r\n\r\nDir=C:\\x\\\n[E]\n",
         {},
         "top    = 1\n[M]\nSpeed  = 1200\nDir    = C:\\x\\\n[E]\n"},
        {"b.cfg", "**SEC\nkey  value one\n**END SEC\n", {}, "[SEC]\nkey  = value one\n"},
        {"c.pcf", "\"k\" = \"v 1\"\n[S]\n\"x\" = \"y\"\n", {}, "k  = v 1\n"},
        {"d.txt", "**SEC\nk v\n", {"--dialect", "cfg"}, "[SEC]\nk  = v\n"},
        {"e.ini", "\xEF\xBB\xBF[S]\nk=v\n", {}, "[S]\nk  = v\n"},
    };
    for (const testCase& c : cases) {
        std::vector<std::string> args = {"cfg", "show", tmp.write(c.name, c.content).string()};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const cliResult r = run(args);
        EXPECT_EQ(r.rc, 0) << c.name << r.err;
        EXPECT_EQ(r.out, c.expected) << c.name;
    }
    EXPECT_EQ(run({"cfg", "show", (tmp.path() / "missing.ini").string()}).rc, 1);
    EXPECT_EQ(run({"cfg", "show"}).rc, 2);
    EXPECT_EQ(run({"cfg", "show", "x.ini", "--dialect", "xml"}).rc, 2);
    EXPECT_EQ(run({"cfg", "frobnicate"}).rc, 2);
}

TEST(cliCfg, GetsAndSetsKeys) {
    tempFolder tmp;
    const fs::path f =
        tmp.write("app.ini", "; settings\r\ntop=1\r\n[Machine]\r\nSpeed=1200\r\nTool=drill\r\n[B]\r\n");
    cliResult r = run({"cfg", "get", f.string(), "MACHINE", "speed"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "1200\n");
    EXPECT_EQ(run({"cfg", "get", f.string(), "", "top"}).out, "1\n");
    EXPECT_EQ(run({"cfg", "get", f.string(), "Machine", "none"}).rc, 1);
    EXPECT_EQ(run({"cfg", "get", f.string(), "None", "Speed"}).rc, 1);

    ASSERT_EQ(run({"cfg", "set", f.string(), "machine", "SPEED", "1500"}).rc, 0);
    ASSERT_EQ(run({"cfg", "set", f.string(), "New", "k", "v"}).rc, 0);
    EXPECT_EQ(readAll(f),
              "top    = 1\r\n[Machine]\r\nSpeed  = 1500\r\nTool   = drill\r\n[B]\r\n[New]\r\nk      = v\r\n");

    const fs::path created = tmp.path() / "created.ini";
    ASSERT_EQ(run({"cfg", "set", created.string(), "S", "k", "C:\\data\\"}).rc, 0);
    EXPECT_EQ(run({"cfg", "get", created.string(), "S", "k"}).out, "C:\\data\\\n");

    // Texts an INI line would change are refused; the file stays.
    const std::string before = readAll(f);
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{"S", "k", "a;b"},
                                                                                     {"S", "a=b", "v"},
                                                                                     {"S", "[k", "v"},
                                                                                     {"S", "", "v"},
                                                                                     {"S", "k", "two\nlines"},
                                                                                     {"S;", "k", "v"},
                                                                                     {"S", "k", " padded"}}) {
        EXPECT_EQ(run({"cfg", "set", f.string(), bad[0], bad[1], bad[2]}).rc, 2) << bad[1] << bad[2];
    }
    EXPECT_EQ(run({"cfg", "set", f.string(), "S", "k"}).rc, 2);
    EXPECT_EQ(readAll(f), before);

    // A UTF-8 file whose text the ANSI code page cannot hold is not rewritten.
    const std::string utf8 = "\xEF\xBB\xBF[S]\r\nname=\xE4\xB8\xAD\r\n";
    const fs::path wide = tmp.write("wide.ini", utf8);
    EXPECT_EQ(run({"cfg", "set", wide.string(), "S", "k", "v"}).rc, 1);
    EXPECT_EQ(readAll(wide), utf8);
}

TEST(cliCfg, ScramblesAndShowsScrambledFiles) {
    tempFolder tmp;
    const std::string text = "[S]\r\nk = secret\r\n";
    const fs::path plain = tmp.write("p.ini", text);
    const fs::path scrambled = tmp.path() / "s.bin";
    const fs::path back = tmp.path() / "b.ini";
    ASSERT_EQ(run({"cfg", "scramble", plain.string(), scrambled.string()}).rc, 0);
    EXPECT_EQ(readAll(scrambled).size(), text.size());
    EXPECT_EQ(readAll(scrambled).find("secret"), std::string::npos);
    const cliResult shown = run({"cfg", "show", scrambled.string(), "--scrambled"});
    EXPECT_EQ(shown.rc, 0) << shown.err;
    EXPECT_EQ(shown.out, "[S]\nk  = secret\n");
    EXPECT_EQ(run({"cfg", "get", scrambled.string(), "s", "K", "--scrambled"}).out, "secret\n");
    ASSERT_EQ(run({"cfg", "unscramble", scrambled.string(), back.string()}).rc, 0);
    EXPECT_EQ(readAll(back), text);
    EXPECT_EQ(run({"cfg", "unscramble", (tmp.path() / "missing").string(), back.string()}).rc, 1);
    EXPECT_EQ(run({"cfg", "scramble", plain.string()}).rc, 2);
}
