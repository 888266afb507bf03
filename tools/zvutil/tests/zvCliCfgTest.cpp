#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

namespace {

using zvclitest::readAll;
using zvclitest::run;
using zvclitest::tempFolder;

} // namespace

// The dialect follows the extension or --dialect; a trailing backslash is text.
TEST(cliCfg, ShowsEveryDialectAsIniAndWritesNewSections) {
    tempFolder tmp;
    const std::string ini = tmp.write("a.ini", "top=1\n[M]\r\nDir=C:\\x\\\n[E]\n").string();
    EXPECT_EQ(run({"cfg", "show", ini}).out, "top  = 1\n[M]\nDir  = C:\\x\\\n[E]\n");
    const std::string pcf = tmp.write("c.pcf", "\"k\" = \"v 1\"\n[S]\n\"x\" = \"y\"\n").string();
    EXPECT_EQ(run({"cfg", "show", pcf}).out, "k  = v 1\n");
    const std::string txt = tmp.write("d.txt", "**SEC\nk v\n").string();
    EXPECT_EQ(run({"cfg", "show", txt, "--dialect", "cfg"}).out, "[SEC]\nk  = v\n");

    ASSERT_EQ(run({"cfg", "set", ini, "New", "k", "C:\\data\\"}).rc, 0);
    EXPECT_EQ(readAll(ini), "top  = 1\r\n[M]\r\nDir  = C:\\x\\\r\n[E]\r\n[New]\r\nk    = C:\\data\\\r\n");
    const std::string scrambled = (tmp.path() / "s.bin").string();
    ASSERT_EQ(run({"cfg", "scramble", ini, scrambled}).rc, 0);
    EXPECT_EQ(readAll(scrambled).find("data"), std::string::npos);
    EXPECT_EQ(run({"cfg", "show", scrambled, "--scrambled"}).out,
              "top  = 1\n[M]\nDir  = C:\\x\\\n[E]\n[New]\nk    = C:\\data\\\n");
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
        {{"get", f, "None", "k"}, 1},
        {{"set", f, "S", "a=b", "v"}, 2},
        {{"set", f, "S", "[k", "v"}, 2},
        {{"set", f, "S", "", "v"}, 2},
        {{"set", f, "S", "k", "two\nlines"}, 2},
        {{"set", f, "S;", "k", "v"}, 2},
        {{"set", f, "S", "k", " padded"}, 2},
        {{"set", wide, "S", "k", "v"}, 1},
        {{"unscramble", missing, f}, 1},
    };
    for (const auto& [args, rc] : cases) {
        std::vector<std::string> full = {"cfg"};
        full.insert(full.end(), args.begin(), args.end());
        EXPECT_EQ(run(full).rc, rc) << testing::PrintToString(args);
    }
    EXPECT_EQ(readAll(f), "[S]\r\nk=1\r\n");
    EXPECT_EQ(readAll(wide), utf8);
}
