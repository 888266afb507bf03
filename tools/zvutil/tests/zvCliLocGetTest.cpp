#include "zvCliTestSupport.h"

#include "zvCli.h"
#include "zvException.h"
#include "zvFile.h"

#include <gtest/gtest.h>

#include <sstream>

#include <string>
#include <vector>

using zvclitest::run;
using zvclitest::tempFolder;

namespace {

const char* const kBom = "\xEF\xBB\xBF";

std::string hostDir(const tempFolder& folder) {
    return folder.path().string();
}

} // namespace

TEST(cliLocGet, PrintsTheTranslationOrTheDefault) {
    tempFolder folder;
    std::filesystem::create_directories(folder.path() / "de");
    folder.write("de/app.loc", std::string(kBom) + "Msg_CliHello Hallo [Who]\n");
    folder.write("plain.loc", std::string(kBom) + "Msg_CliPlain plain text\n");

    // A persistent form with parameters, translated in the given language.
    auto r = run({"loc", "get", "--lang", "de", "--path", hostDir(folder),
                  "Msg_CliHello|Hello [Who]|app.loc|Who:=Ada"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Hallo Ada\n");

    // No translation in the default language: the default text.
    r = run({"loc", "get", "--path", hostDir(folder), "Msg_CliHello|Hello [Who]|app.loc|Who:=Ada"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "Hello Ada\n");

    // A bare id with --file names the file.
    r = run({"loc", "get", "--path", hostDir(folder), "--file", "plain.loc", "Msg_CliPlain"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "plain text\n");
}

TEST(cliLocGet, SaysWhatIsNotFound) {
    tempFolder folder;
    tempFolder elsewhere;
    folder.write("plain.loc", std::string(kBom) + "Msg_CliPlain plain text\n");
    elsewhere.write("far.loc", std::string(kBom) + "Msg_CliFar far text\n");
    const std::string far = (elsewhere.path() / "far.loc").string();
    const std::string path = hostDir(folder);

    const struct {
        std::vector<std::string> args;
        int rc;
        const char* out;
        const char* err; // a part of the error output
    } cases[] = {
        // A file outside the search path, given by its path.
        {{"loc", "get", "--path", path, "--file", far, "Msg_CliFar"}, 0, "far text\n", ""},
        // An id nobody translates, without a default text.
        {{"loc", "get", "--path", path, "--file", "plain.loc", "Msg_CliNobody"},
         1,
         "",
         "'Msg_CliNobody' not found in "},
        {{"loc", "get", "--path", path, "--file", far, "Msg_CliNobody"}, 1, "", "not found in "},
        {{"loc", "get", "--path", path, "Msg_CliPlain"}, 1, "", "not found (no localization file found)"},
        // A file that is nowhere; a default text does not hide that.
        {{"loc", "get", "--path", path, "--file", "none.loc", "Msg_CliPlain"}, 1, "", "'none.loc' not found"},
        {{"loc", "get", "--path", path, "--file", "none.loc", "Msg_X|Default"},
         1,
         "",
         "'none.loc' not found"},
        // A default text is what an application shows.
        {{"loc", "get", "--path", path, "--file", "plain.loc", "Msg_CliNobody|Shown anyway"},
         0,
         "Shown anyway\n",
         ""},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args.back() << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args.back();
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

TEST(cliLocGet, RejectsBadUsage) {
    EXPECT_EQ(run({"loc", "get"}).rc, 2);
    EXPECT_EQ(run({"loc", "get", "--lang"}).rc, 2);
    EXPECT_EQ(run({"loc", "get", "--bogus", "x", "Msg_X"}).rc, 2);
    EXPECT_EQ(run({"loc", "get", "Msg_X", "Msg_Y"}).rc, 2);
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
