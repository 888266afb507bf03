#include "zvCliTestSupport.h"

#include "zvException.h"
#include "zvFile.h"

using namespace zvclitest;

// A clean file, a missing include and translations along --path are in the end-to-end script.
TEST(cliLocCheck, ProblemsAreListedByFileAndLine) {
    const tempFolder folder;
    const auto file = folder.write("app.loc", "\xEF\xBB\xBF;;cmd(shout)\nMsg_A $$Msg_B\nMsg_B $$Msg_A\n");
    const cliResult r = run({"loc", "check", file});
    EXPECT_EQ(r.rc, 1);
    for (const char* line :
         {"entries: 2\nincludes: 0\ncommands: 1\naliases: 2\n",
          "app.loc:1: malformed command \"shout\" (expected replace:::OLD:::NEW)\n",
          "app.loc:2: alias \"Msg_A\" runs in a circle\n", "app.loc:3: alias \"Msg_B\" runs in a circle\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    const cliResult missing = run({"loc", "check", folder.at("none.loc")});
    EXPECT_EQ(missing.rc, 1);
    EXPECT_NE(missing.out.find("none.loc:0: cannot read the file"), std::string::npos) << missing.out;
}

TEST(cliLocGet, SaysWhatIsNotFound) {
    const tempFolder folder, elsewhere;
    folder.write("plain.loc", "\xEF\xBB\xBFMsg_CliPlain plain text\n");
    const std::string far = elsewhere.write("far.loc", "\xEF\xBB\xBFMsg_CliFar far text\n");
    expectCases({"loc", "get", "--path", folder.path().string()},
                {

                    // An id nobody translates, without a default text.
                    {{"--file", "plain.loc", "Msg_CliNobody"}, 1, "", "'Msg_CliNobody' not found in "},
                    {{"--file", far, "Msg_CliNobody"}, 1, "", "not found in "},
                    {{"Msg_CliPlain"}, 1, "", "not found (no localization file found)"},
                    // A file that is nowhere; a default text does not hide that.
                    {{"--file", "none.loc", "Msg_X|Default"}, 1, "", "'none.loc' not found"},
                    // A default text is what an application shows.
                    {{"--file", "plain.loc", "Msg_CliNobody|Shown anyway"}, 0, "Shown anyway\n"},
                    {{"--lang"}, 2, ""},

                });
}

TEST(cliLocGet, ExceptionsArePrintedWithTheirCauses) {
    // Commands let library exceptions through to the dispatcher, which
    // prints them as here: the message, then each cause on its own line.
    const zv::fileNotFoundException inner(zv::file(L"C:\\data\\in.txt"));
    const zv::readFileException outer(zv::file(L"C:\\data\\in.txt"), &inner);
    std::ostringstream err;
    zvcli::printException(err, "demo", outer);
    EXPECT_EQ(err.str(), "zvutil demo: Error reading file C:\\data\\in.txt\n"
                         "  File C:\\data\\in.txt not found!\n");
}
