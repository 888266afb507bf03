#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using zvclitest::cliResult;
using zvclitest::readAll;
using zvclitest::run;
using zvclitest::tempFolder;

namespace fs = std::filesystem;

} // namespace

TEST(cliCdoc, CreatesListsExtractsAndAdds) {
    tempFolder tmp;
    const std::string doc = (tmp.path() / "d.zvc").string();
    const std::string binary("\0\1\2\xFF", 4);
    tmp.write("bin", binary);
    tmp.write("text", "hello");
    ASSERT_EQ(run({"cdoc", "create", doc, "b=" + (tmp.path() / "bin").string(),
                   "a=" + (tmp.path() / "text").string()})
                  .rc,
              0);
    EXPECT_EQ(run({"cdoc", "ls", doc}).out, "           5  a\n           4  b\n");
    EXPECT_EQ(run({"cdoc", "cat", doc, "b"}).out, binary);

    const cliResult added = run({"cdoc", "add", doc, "c", "-"}, "from stdin");
    ASSERT_EQ(added.rc, 0) << added.err;
    EXPECT_EQ(run({"cdoc", "cat", doc, "c"}).out, "from stdin");
    EXPECT_EQ(run({"cdoc", "cat", doc, "a"}).out, "hello");
    EXPECT_EQ(run({"cdoc", "ls", doc}).out, "           5  a\n           4  b\n          10  c\n");

    ASSERT_EQ(run({"cdoc", "create", (tmp.path() / "empty.zvc").string()}).rc, 0);
    EXPECT_EQ(readAll(tmp.path() / "empty.zvc").size(), 42u);
}

TEST(cliCdoc, FailsCleanlyAndKeepsTheOldDocument) {
    tempFolder tmp;
    const std::string doc = (tmp.path() / "d.zvc").string();
    tmp.write("text", "hello");
    const std::string text = (tmp.path() / "text").string();
    ASSERT_EQ(run({"cdoc", "create", doc, "a=" + text}).rc, 0);
    const std::string before = readAll(doc);

    struct failing {
        std::vector<std::string> args;
        int rc;
        const char* message;
    } cases[] = {
        {{"cdoc", "add", doc, "a", text}, 1, "holds a block 'a' already"},
        {{"cdoc", "add", doc, std::string(129, 'n'), text}, 1, "longer than 128 bytes"},
        {{"cdoc", "create", doc, "x=" + text, "=" + text}, 1, "datablock name is empty"},
        {{"cdoc", "create", doc, "x=" + text, "y=" + (tmp.path() / "missing").string()}, 1, "cannot read"},
        {{"cdoc", "create", doc, "noequals"}, 2, "is not NAME=SRC"},
        {{"cdoc", "cat", doc, "zz"}, 1, "no block 'zz'"},
        {{"cdoc", "ls", text}, 1, "Invalid file format"},
        {{"cdoc", "ls", (tmp.path() / "missing").string()}, 1, "Error reading file"},
        {{"cdoc", "ls"}, 2, "expected ls FILE"},
        {{"cdoc", "frobnicate", doc}, 2, "expected ls FILE"},
    };
    for (const failing& c : cases) {
        const cliResult r = run(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(readAll(doc), before) << c.message;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()),
              2); // no temporaries
}

TEST(cliLock, RunsTheCommandUnderTheLockAndPassesItsExitCode) {
    tempFolder tmp;
    const fs::path target = tmp.write("job.dat", "x");
    const fs::path lockFile = tmp.path() / "job.dat$$lock$$";
#if defined(_WIN32)
    const std::vector<std::string> exit3 = {"cmd", "/c", "exit 3"};
#else
    const std::vector<std::string> exit3 = {"sh", "-c", "exit 3"};
#endif
    std::vector<std::string> args = {"lock", target.string(), "--timeout", "1000", "--"};
    args.insert(args.end(), exit3.begin(), exit3.end());
    EXPECT_EQ(run(args).rc, 3);
    EXPECT_FALSE(fs::exists(lockFile));

    // A held lock: the command does not run and the tool says why.
    tmp.write("job.dat$$lock$$", "");
    EXPECT_TRUE(
        zvclitest::failsWith(run(args = {"lock", target.string(), "--timeout", "150", "--", exit3[0]}), 1,
                             "is locked by another holder"));
    EXPECT_TRUE(fs::exists(lockFile));
    fs::remove(lockFile);

    EXPECT_EQ(run({"lock", target.string(), "--", "no-such-command-zv"}).rc, 127);
    EXPECT_EQ(run({"lock", (tmp.path() / "missing").string(), "--", exit3[0]}).rc, 1);
    EXPECT_EQ(run({"lock", target.string(), exit3[0]}).rc, 2);
    EXPECT_EQ(run({"lock", target.string(), "--timeout", "soon", "--", exit3[0]}).rc, 2);
    EXPECT_EQ(run({"lock", target.string(), "--"}).rc, 2);
    EXPECT_FALSE(fs::exists(lockFile));
}
