#include "zvCliTestSupport.h"

#include "zvCli.h"
#include "zvException.h"
#include "zvFile.h"

#include <gtest/gtest.h>

#include <sstream>

#include <string>

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

    // A bare id nobody translates has no default text.
    r = run({"loc", "get", "--path", hostDir(folder), "--file", "plain.loc", "Msg_CliNobody"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "\n");
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
