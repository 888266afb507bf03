#include "zvCliTestSupport.h"

using namespace zvclitest;

TEST(zvutilCli, HelpListsEveryCommandAndEachHasItsOwn) {
    const auto overview = run({"--help"});
    EXPECT_EQ(overview.rc, 0);
    for (const auto& c : zvcli::commands()) {
        EXPECT_NE(overview.out.find(std::string("  ") + c.name), std::string::npos) << c.name;
        const auto own = run({c.name, "--help"});
        EXPECT_EQ(own.rc, 0) << c.name;
        EXPECT_EQ(own.out.rfind(std::string("usage: zvutil ") + c.name, 0), 0u) << own.out;
    }
    EXPECT_EQ(run({"help", "crc32"}).out, run({"crc32", "--help"}).out);
    expectCases(
        {{{}, 2, ""}, {{"help", "nope"}, 2, ""}, {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"}});
}

// A missing file before a good one is in the end-to-end script; a folder is not a file.
TEST(zvutilCli, Crc32GoesOnPastAFolderAndFails) {
    tempFolder dir;
    const std::string abc = dir.write("abc.txt", "abc"), folder = dir.path().string();
    expectCases({{{"crc32", folder, abc}, 1, "352441c2  " + abc + "\n", "'" + folder + "'"}});
}

TEST(zvutilCli, DemoRunsAndCleansUp) {
    const auto r = run({"demo"});
    EXPECT_EQ(r.rc, 0) << r.err;
    const std::string marker = "working in ";
    const auto at = r.out.find(marker);
    ASSERT_NE(at, std::string::npos);
    EXPECT_FALSE(fs::exists(r.out.substr(at + marker.size(), r.out.find('\n', at) - at - marker.size())));
}
