#include "zvCliTestSupport.h"

using namespace zvclitest;

// The dialect follows the extension or --dialect; a trailing backslash is text.
// Getting, the CFG dialect and scrambling round trips are in the end-to-end script.
TEST(cliCfg, ShowsEveryDialectAsIniAndWritesNewSections) {
    tempFolder tmp;
    const std::string ini = tmp.write("a.ini", "top=1\n[M]\r\nDir=C:\\x\\\n[E]\n");
    EXPECT_EQ(run({"cfg", "show", ini}).out, "top  = 1\n[M]\nDir  = C:\\x\\\n[E]\n");
    const std::string pcf = tmp.write("c.pcf", "\"k\" = \"v 1\"\n[S]\n\"x\" = \"y\"\n");
    EXPECT_EQ(run({"cfg", "show", pcf}).out, "k  = v 1\n");
    EXPECT_EQ(run({"cfg", "show", tmp.write("d.txt", "**SEC\nk v\n"), "--dialect", "cfg"}).out,
              "[SEC]\nk  = v\n");
    ASSERT_EQ(run({"cfg", "set", ini, "New", "k", "C:\\data\\"}).rc, 0);
    EXPECT_EQ(readAll(ini), "top  = 1\r\n[M]\r\nDir  = C:\\x\\\r\n[E]\r\n[New]\r\nk    = C:\\data\\\r\n");
}

// Texts an INI line would change, and files it cannot hold, are refused; the file stays.
TEST(cliCfg, RefusesBadCallsAndLeavesTheFileAlone) {
    tempFolder tmp;
    const std::string f = tmp.write("app.ini", "[S]\r\nk=1\r\n"), missing = tmp.at("missing.ini");
    const std::string utf8 = "\xEF\xBB\xBF[S]\r\nname=\xE4\xB8\xAD\r\n";
    const std::string wide = tmp.write("wide.ini", utf8);
    expectCodes({"cfg"}, {
                             {{"show", missing}, 1},
                             {{"show", f, "--dialect", "xml"}, 2},
                             {{"set", f, "S", "a=b", "v"}, 2},
                             {{"set", f, "S", "[k", "v"}, 2},
                             {{"set", f, "S", "", "v"}, 2},
                             {{"set", f, "S", "k", "two\nlines"}, 2},
                             {{"set", f, "S;", "k", "v"}, 2},
                             {{"set", f, "S", "k", " padded"}, 2},
                             {{"set", wide, "S", "k", "v"}, 1},
                             {{"unscramble", missing, f}, 1},
                         });
    EXPECT_EQ(readAll(f), "[S]\r\nk=1\r\n");
    EXPECT_EQ(readAll(wide), utf8);
}
