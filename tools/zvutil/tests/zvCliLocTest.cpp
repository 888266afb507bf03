#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using zvclitest::run;
using zvclitest::tempFolder;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

} // namespace

TEST(cliLocCheck, CleanFilePrintsTheCounts) {
    tempFolder folder;
    folder.write("common.loc", kBom + "Msg_Hello Hello\n");
    const auto file = folder.write("app.loc", kBom + "#include common.loc\n"
                                                     ";;cmd(replace:::Colour:::Color)\n"
                                                     "Msg_Greet $$Msg_Hello\n"
                                                     "Msg_Text \"Colour [Name]\"\n");
    const auto r = run({"loc", "check", file.string()});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "entries: 3\nincludes: 1\ncommands: 1\naliases: 1\n");
}

TEST(cliLocCheck, ProblemsAreListedByFileAndLine) {
    tempFolder folder;
    const auto file = folder.write("app.loc", kBom + "#include gone.loc\n"
                                                     ";;cmd(shout)\n"
                                                     "Msg_A $$Msg_B\n"
                                                     "Msg_B $$Msg_A\n"
                                                     "Msg_C $$Msg_Nowhere\n");
    const auto r = run({"loc", "check", file.string()});
    EXPECT_EQ(r.rc, 1);
    const std::string name = "app.loc:";
    EXPECT_NE(r.out.find(name + "1: included file \"gone.loc\" not found\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(name + "2: malformed command \"shout\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(name + "3: alias \"Msg_A\" runs in a circle\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(name + "4: alias \"Msg_B\" runs in a circle\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(name + "5: alias \"Msg_C\" names the unknown id \"Msg_Nowhere\"\n"),
              std::string::npos)
        << r.out;

    const auto missing = run({"loc", "check", (folder.path() / "none.loc").string()});
    EXPECT_EQ(missing.rc, 1);
    EXPECT_NE(missing.out.find("none.loc:0: cannot read the file"), std::string::npos) << missing.out;
}

TEST(cliLocCheck, RejectsBadUsage) {
    EXPECT_EQ(run({"loc"}).rc, 2);
    EXPECT_EQ(run({"loc", "check"}).rc, 2);
    EXPECT_EQ(run({"loc", "check", "a", "b"}).rc, 2);
    EXPECT_EQ(run({"loc", "frobnicate"}).rc, 2);
    const auto help = run({"loc", "--help"});
    EXPECT_EQ(help.rc, 0);
    EXPECT_NE(help.out.find("zvutil loc check FILE"), std::string::npos);
}
