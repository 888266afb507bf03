#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

namespace {

using zvclitest::failsWith;
using zvclitest::readAll;
using zvclitest::run;
using zvclitest::tempFolder;

namespace fs = std::filesystem;

} // namespace

TEST(cliCdoc, KeepsBinaryBlocksAndWritesAnEmptyDocument) {
    tempFolder tmp;
    const std::string doc = (tmp.path() / "d.zvc").string();
    const std::string binary("\0\1\2\xFF", 4);
    ASSERT_EQ(run({"cdoc", "create", doc, "b=" + tmp.write("bin", binary).string()}).rc, 0);
    EXPECT_EQ(run({"cdoc", "cat", doc, "b"}).out, binary);
    ASSERT_EQ(run({"cdoc", "create", (tmp.path() / "empty.zvc").string()}).rc, 0);
    EXPECT_EQ(readAll(tmp.path() / "empty.zvc").size(), 42u);
}

TEST(cliCdoc, FailsCleanlyAndKeepsTheOldDocument) {
    tempFolder tmp;
    const std::string doc = (tmp.path() / "d.zvc").string();
    const std::string text = tmp.write("text", "hello").string(), missing = (tmp.path() / "missing").string();
    ASSERT_EQ(run({"cdoc", "create", doc, "a=" + text}).rc, 0);
    const std::string before = readAll(doc);
    const struct {
        std::vector<std::string> args;
        int rc;
        const char* message;
    } cases[] = {
        {{"cdoc", "add", doc, "a", text}, 1, "holds a block 'a' already"},
        {{"cdoc", "add", doc, std::string(129, 'n'), text}, 1, "longer than 128 bytes"},
        {{"cdoc", "create", doc, "x=" + text, "=" + text}, 1, "datablock name is empty"},
        {{"cdoc", "create", doc, "x=" + text, "y=" + missing}, 1, "cannot read"},
        {{"cdoc", "create", doc, "noequals"}, 2, "is not NAME=SRC"},
        {{"cdoc", "cat", doc, "zz"}, 1, "no block 'zz'"},
        {{"cdoc", "ls", text}, 1, "Invalid file format"},
        {{"cdoc", "ls", missing}, 1, "Error reading file"},
        {{"cdoc", "ls"}, 2, "expected ls FILE"},
        {{"cdoc", "frobnicate", doc}, 2, "expected ls FILE"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(failsWith(run(c.args), c.rc, c.message)) << c.message;
        EXPECT_EQ(readAll(doc), before) << c.message;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 2)
        << "a temporary file was left behind";
}

TEST(cliLock, ReportsAHeldLockAndRefusesBadCalls) {
    tempFolder tmp;
    const std::string target = tmp.write("job.dat", "x").string();
    const fs::path lockFile = tmp.write("job.dat$$lock$$", "");
    EXPECT_TRUE(failsWith(run({"lock", target, "--timeout", "150", "--", "no-such-command-zv"}), 1,
                          "is locked by another holder"));
    EXPECT_TRUE(fs::exists(lockFile));
    fs::remove(lockFile);
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"lock", target, "--", "no-such-command-zv"}, 127},
        {{"lock", target, "no-such-command-zv"}, 2},
        {{"lock", target, "--timeout", "soon", "--", "no-such-command-zv"}, 2},
        {{"lock", target, "--"}, 2},
    };
    for (const auto& [args, rc] : cases)
        EXPECT_EQ(run(args).rc, rc) << testing::PrintToString(args);
    EXPECT_FALSE(fs::exists(lockFile));
}
