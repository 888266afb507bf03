#include "zvCliCaseTable.h"

#include <gtest/gtest.h>

#include <string>

TEST(cliLocCheck, ProblemsAreListedByFileAndLineAndBadUsageRejected) {
    const zvclitest::tempFolder folder;
    const auto file = folder.write("app.loc", "\xEF\xBB\xBF;;cmd(shout)\nMsg_A $$Msg_B\nMsg_B $$Msg_A\n");
    const auto r = zvclitest::run({"loc", "check", file.string()});
    EXPECT_EQ(r.rc, 1);
    for (const char* line :
         {"entries: 2\nincludes: 0\ncommands: 1\naliases: 2\n",
          "app.loc:1: malformed command \"shout\" (expected replace:::OLD:::NEW)\n",
          "app.loc:2: alias \"Msg_A\" runs in a circle\n", "app.loc:3: alias \"Msg_B\" runs in a circle\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    const auto missing = zvclitest::run({"loc", "check", (folder.path() / "none.loc").string()});
    EXPECT_EQ(missing.rc, 1);
    EXPECT_NE(missing.out.find("none.loc:0: cannot read the file"), std::string::npos) << missing.out;
    zvclitest::expectCases({
        {{"loc"}, 2, ""},
        {{"loc", "check", "a", "b"}, 2, ""},
        {{"loc", "frobnicate"}, 2, ""},
    });
    EXPECT_NE(zvclitest::run({"loc", "--help"}).out.find("zvutil loc check FILE"), std::string::npos);
}
