#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using zvclitest::run;

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
    EXPECT_EQ(run({}).rc, 2);
    EXPECT_TRUE(zvclitest::failsWith(run({"frobnicate"}), 2, "unknown command 'frobnicate'"));
    EXPECT_EQ(run({"help", "nope"}).rc, 2);
}

TEST(zvutilCli, Crc32GoesOnPastAMissingFileOrAFolderAndFails) {
    zvclitest::tempFolder dir;
    const auto abc = dir.write("abc.txt", "abc");
    const std::string missing = (dir.path() / "missing.txt").string();
    const auto r = run({"crc32", missing, abc.string(), dir.path().string()});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "352441c2  " + abc.string() + "\n");
    EXPECT_NE(r.err.find("'" + missing + "'"), std::string::npos);
    EXPECT_NE(r.err.find("'" + dir.path().string() + "'"), std::string::npos); // a folder is not a file
}

TEST(zvutilCli, DemoRunsAndCleansUp) {
    const auto r = run({"demo"});
    EXPECT_EQ(r.rc, 0) << r.err;
    for (const char* line : {"crc32(\"abc\")            = 352441c2", "refused at once",
                             "4 threads x 10000 incs  : 40000", "demo finished"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
    const std::string marker = "working in ";
    const auto at = r.out.find(marker);
    ASSERT_NE(at, std::string::npos);
    const std::string folder = r.out.substr(at + marker.size(), r.out.find('\n', at) - at - marker.size());
    EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
}
