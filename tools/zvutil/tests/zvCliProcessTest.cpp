#include "zvCliTestSupport.h"

#include "zvEnvironment.h"
#include "zvProcess.h"
#include "zvSearchPath.h"

namespace {

using namespace zvclitest;

// Whether the single line a run printed names `expected`.
bool printed(const cliResult& r, const fs::path& expected) {
    std::string line = r.out.substr(0, r.out.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::error_code ec;
    return r.rc == 0 && fs::equivalent(line, expected, ec);
}

} // namespace

// Searching sub-folders, a name found nowhere and the usage are in the end-to-end script.
TEST(zvutilWhich, FindsAlongAGivenPathOrThePathVariable) {
    tempFolder tmp;
    fs::create_directories(tmp.path() / "a");
    const std::string tool = tmp.write("tool.cfg", "t"), prog = tmp.write("prog.exe", "p");
    const std::string a = tmp.at("a"), top = tmp.path().string();
    const std::string sep(1, static_cast<char>(zv::searchPath::pathSeparator));
    // Names ignore case; blanks around a folder do not count.
    const auto r = run({"which", "TOOL.CFG", "--path", a + sep + " " + top});
    EXPECT_TRUE(printed(r, tool)) << r.out << r.err;
    // Another separator; ".exe" is tried for a name without a dot.
    EXPECT_TRUE(printed(run({"which", "prog", "--path", a + "|" + top, "--sep", "|"}), prog));
    expectCodes({"which"},
                {{{"tool.cfg", "--path", ""}, 1}, {{"x", "--sep", "ab"}, 2}, {{"x", "--path"}, 2}});

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
    expectCodes({"ps"}, {{{"0"}, 1}, {{"123456789012345678901234567890"}, 1}, {{"1", "2"}, 2}});
    // By name the calling process never counts.
    zv::file exe;
    ASSERT_TRUE(zv::getModuleFileName(static_cast<void*>(nullptr), exe));
    const std::wstring name = exe.name(0);
    EXPECT_EQ(run({"ps", std::string(name.begin(), name.end())}).out.find(own + "\n"), std::string::npos);
}
