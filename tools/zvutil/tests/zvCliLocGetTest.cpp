#include "zvCliCaseTable.h"

#include "zvCli.h"
#include "zvException.h"
#include "zvFile.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

TEST(cliLocGet, SaysWhatIsNotFound) {
    const zvclitest::tempFolder folder;
    const zvclitest::tempFolder elsewhere;
    folder.write("plain.loc", "\xEF\xBB\xBFMsg_CliPlain plain text\n");
    elsewhere.write("far.loc", "\xEF\xBB\xBFMsg_CliFar far text\n");
    const std::string far = (elsewhere.path() / "far.loc").string();
    const std::string path = folder.path().string();
    zvclitest::expectCases({
        // A file outside the search path, given by its path.
        {{"loc", "get", "--path", path, "--file", far, "Msg_CliFar"}, 0, "far text\n"},
        // An id nobody translates, without a default text.
        {{"loc", "get", "--path", path, "--file", "plain.loc", "Msg_CliNobody"},
         1,
         "",
         "'Msg_CliNobody' not found in "},
        {{"loc", "get", "--path", path, "--file", far, "Msg_CliNobody"}, 1, "", "not found in "},
        {{"loc", "get", "--path", path, "Msg_CliPlain"}, 1, "", "not found (no localization file found)"},
        // A file that is nowhere; a default text does not hide that.
        {{"loc", "get", "--path", path, "--file", "none.loc", "Msg_X|Default"},
         1,
         "",
         "'none.loc' not found"},
        // A default text is what an application shows.
        {{"loc", "get", "--path", path, "--file", "plain.loc", "Msg_CliNobody|Shown anyway"},
         0,
         "Shown anyway\n"},
        {{"loc", "get"}, 2, ""},
        {{"loc", "get", "--lang"}, 2, ""},
        {{"loc", "get", "--bogus", "x", "Msg_X"}, 2, ""},
        {{"loc", "get", "Msg_X", "Msg_Y"}, 2, ""},
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
