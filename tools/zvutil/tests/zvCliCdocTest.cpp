#include "zvCliTestSupport.h"

using namespace zvclitest;

// Listing, extracting, adding and the plain failures are in the end-to-end script.
TEST(cliCdoc, KeepsBinaryBlocksAndFailsCleanlyKeepingTheOldDocument) {
    tempFolder tmp;
    const std::string doc = tmp.at("d.zvc"), text = tmp.write("text", "hello"), missing = tmp.at("missing");
    const std::string binary("\0\1\2\xFF", 4);
    ASSERT_EQ(run({"cdoc", "create", tmp.at("empty.zvc")}).rc, 0);
    EXPECT_EQ(readAll(tmp.at("empty.zvc")).size(), 42u);
    ASSERT_EQ(run({"cdoc", "create", doc, "a=" + text, "b=" + tmp.write("bin", binary)}).rc, 0);
    EXPECT_EQ(run({"cdoc", "cat", doc, "b"}).out, binary);
    const std::string before = readAll(doc);
    const std::vector<cliCase> cases = {
        {{"add", doc, "a", text}, 1, "", "holds a block 'a' already"},
        {{"add", doc, std::string(129, 'n'), text}, 1, "", "longer than 128 bytes"},
        {{"create", doc, "x=" + text, "=" + text}, 1, "", "datablock name is empty"},
        {{"create", doc, "x=" + text, "y=" + missing}, 1, "", "cannot read"},
        {{"create", doc, "noequals"}, 2, "", "is not NAME=SRC"},
        {{"cat", doc, "zz"}, 1, "", "no block 'zz'"},
        {{"ls", text}, 1, "", "Invalid file format"},
        {{"ls", missing}, 1, "", "Error reading file"},
        {{"frobnicate", doc}, 2, "", "expected ls FILE"},
    };
    expectCases({"cdoc"}, cases);
    EXPECT_EQ(readAll(doc), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 4)
        << "a temporary file was left behind";
}

TEST(cliLock, ReportsAHeldLockAndRefusesBadCalls) {
    tempFolder tmp;
    const std::string target = tmp.write("job.dat", "x"), lockFile = tmp.write("job.dat$$lock$$", "");
    EXPECT_TRUE(failsWith(run({"lock", target, "--timeout", "150", "--", "no-such-command-zv"}), 1,
                          "is locked by another holder"));
    EXPECT_TRUE(fs::exists(lockFile));
    fs::remove(lockFile);
    expectCodes({"lock", target}, {{{"--", "no-such-command-zv"}, 127},
                                   {{"--timeout", "soon", "--", "no-such-command-zv"}, 2},
                                   {{"--"}, 2}});
    EXPECT_FALSE(fs::exists(lockFile));
}
