#include "zvCliTestSupport.h"

#include "zvEnvironment.h"
#include "zvProcess.h"
#include "zvSearchPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using zvclitest::run;
namespace fs = std::filesystem;

// Whether the single line a run printed names `expected`.
bool printed(const zvclitest::cliResult& r, const fs::path& expected) {
    std::string line = r.out.substr(0, r.out.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::error_code ec;
    return r.rc == 0 && fs::equivalent(line, expected, ec);
}

} // namespace

TEST(zvutilWhich, FindsAlongAGivenPathOrThePathVariable) {
    zvclitest::tempFolder tmp;
    fs::create_directories(tmp.path() / "a");
    const fs::path tool = tmp.write("tool.cfg", "t"), prog = tmp.write("prog.exe", "p");
    const std::string a = (tmp.path() / "a").string(), top = tmp.path().string();
    const std::string sep(1, static_cast<char>(zv::searchPath::pathSeparator));

    // Names ignore case; blanks around a folder do not count.
    const auto r = run({"which", "TOOL.CFG", "--path", a + sep + " " + top});
    EXPECT_TRUE(printed(r, tool)) << r.out << r.err;
    // Another separator; ".exe" is tried for a name without a dot.
    EXPECT_TRUE(printed(run({"which", "prog", "--path", a + "|" + top, "--sep", "|"}), prog));
    EXPECT_EQ(run({"which", "tool.cfg", "--path", ""}).rc, 1);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"which", "x", "--sep", "ab"}, {"which", "x", "y"}, {"which", "x", "--path"}})
        EXPECT_EQ(run(args).rc, 2) << args.back();

    zv::string old;
    const bool had = zv::getEnvironmentVariable(L"PATH", old);
    const std::wstring value = tmp.path().wstring() + std::wstring(1, zv::searchPath::pathSeparator) + old;
    ASSERT_TRUE(zv::setEnvironmentVariable(L"PATH", value.c_str()));
    const auto byPath = run({"which", "tool.cfg"});
    zv::setEnvironmentVariable(L"PATH", had ? old.c_str() : L"");
    EXPECT_TRUE(printed(byPath, tool)) << byPath.out << byPath.err;
}

TEST(zvutilPs, ProcessIdsAndNames) {
    const std::string own = std::to_string(zv::getCurrentProcessId());
    EXPECT_EQ(run({"ps", own}).out, own + "\n");
    EXPECT_EQ(run({"ps", "0"}).rc, 1);
    EXPECT_EQ(run({"ps", "123456789012345678901234567890"}).rc, 1);
    EXPECT_EQ(run({"ps", "1", "2"}).rc, 2);

    // By name the calling process never counts.
    zv::file exe;
    ASSERT_TRUE(zv::getModuleFileName(static_cast<void*>(nullptr), exe));
    const std::wstring name = exe.name(0);
    EXPECT_EQ(run({"ps", std::string(name.begin(), name.end())}).out.find(own + "\n"), std::string::npos);
}
