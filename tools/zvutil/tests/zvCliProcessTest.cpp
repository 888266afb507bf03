#include "zvCliTestSupport.h"

#include "zvEnvironment.h"
#include "zvProcess.h"
#include "zvSearchPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using zvclitest::run;
using zvclitest::tempFolder;

namespace fs = std::filesystem;

// The last component of the single line the tool printed.
std::string leafOf(const std::string& out) {
    std::string line = out.substr(0, out.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line.substr(line.find_last_of("/\\") + 1);
}

// The folder of the single line the tool printed, compared as the host
// spells it (case ignored on Windows).
bool printedIn(const std::string& out, const fs::path& dir) {
    std::string line = out.substr(0, out.find('\n'));
    const fs::path printed(line);
    return fs::equivalent(printed.parent_path(), dir);
}

std::string sep() {
    return std::string(1, static_cast<char>(zv::searchPath::pathSeparator));
}

} // namespace

TEST(zvutilWhich, FindsAlongAGivenPathFirstFolderFirst) {
    tempFolder tmp;
    fs::create_directories(tmp.path() / "a" / "sub");
    fs::create_directories(tmp.path() / "b");
    tmp.write("b/tool.cfg", "b");
    tmp.write("a/sub/tool.cfg", "a");
    tmp.write("b/prog.exe", "p");
    const std::string a = (tmp.path() / "a").string();
    const std::string b = (tmp.path() / "b").string();

    auto r = run({"which", "tool.cfg", "--path", a + sep() + " " + b});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(leafOf(r.out), "tool.cfg");
    EXPECT_TRUE(printedIn(r.out, tmp.path() / "b"));

    // Subfolders of the first folder come before the second folder.
    r = run({"which", "TOOL.CFG", "--path", a + sep() + b, "--recursive"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(printedIn(r.out, tmp.path() / "a" / "sub")) << r.out;

    // Another separator; ".exe" is tried for a name without a dot.
    r = run({"which", "prog", "--path", a + "|" + b, "--sep", "|"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(leafOf(r.out), "prog.exe");

    EXPECT_EQ(run({"which", "missing.cfg", "--path", a + sep() + b, "--recursive"}).rc, 1);
    EXPECT_EQ(run({"which", "tool.cfg", "--path", ""}).rc, 1);
}

TEST(zvutilWhich, DefaultsToThePathVariable) {
    tempFolder tmp;
    tmp.write("zv-which-probe.txt", "x");
    zv::string old;
    const bool had = zv::getEnvironmentVariable(L"PATH", old);
    const std::wstring value = tmp.path().wstring() + std::wstring(1, zv::searchPath::pathSeparator) + old;
    ASSERT_TRUE(zv::setEnvironmentVariable(L"PATH", value.c_str()));
    const auto r = run({"which", "zv-which-probe.txt"});
    zv::setEnvironmentVariable(L"PATH", had ? old.c_str() : L"");
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(printedIn(r.out, tmp.path())) << r.out;
}

TEST(zvutilWhich, UsageErrors) {
    EXPECT_EQ(run({"which"}).rc, 2);
    EXPECT_EQ(run({"which", "x", "--sep", "ab"}).rc, 2);
    EXPECT_EQ(run({"which", "x", "y"}).rc, 2);
    EXPECT_EQ(run({"which", "x", "--path"}).rc, 2);
}

TEST(zvutilPs, ProcessIdsAndNames) {
    const std::string own = std::to_string(zv::getCurrentProcessId());
    auto r = run({"ps", own});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, own + "\n");

    EXPECT_EQ(run({"ps", "2147483000"}).rc, 1);
    EXPECT_EQ(run({"ps", "0"}).rc, 1);
    EXPECT_EQ(run({"ps", "123456789012345678901234567890"}).rc, 1);
    EXPECT_EQ(run({"ps", "zv-no-such-program"}).rc, 1);

    // By name the calling process never counts.
    zv::file exe;
    ASSERT_TRUE(zv::getModuleFileName(static_cast<void*>(nullptr), exe));
    std::string name;
    for (wchar_t c : exe.name(0))
        name.push_back(static_cast<char>(c));
    r = run({"ps", name});
    EXPECT_EQ(r.out.find(own + "\n"), std::string::npos);

    EXPECT_EQ(run({"ps"}).rc, 2);
    EXPECT_EQ(run({"ps", "1", "2"}).rc, 2);
}
