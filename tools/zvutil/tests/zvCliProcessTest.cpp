#include "zvCliTestSupport.h"

#include "zvEnvironment.h"
#include "zvProcess.h"
#include "zvSearchPath.h"
#include "zvThread.h"

#include <set>

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
    expectCases(
        {"which"},
        {{{"tool.cfg", "--path", ""}, 1, ""}, {{"x", "--sep", "ab"}, 2, ""}, {{"x", "--path"}, 2, ""}});

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
    expectCases({"ps"}, {{{"0"}, 1, ""}, {{"123456789012345678901234567890"}, 1, ""}});
    // By name the calling process never counts.
    zv::file exe;
    ASSERT_TRUE(zv::getModuleFileName(static_cast<void*>(nullptr), exe));
    const std::wstring name = exe.name(0);
    EXPECT_EQ(run({"ps", std::string(name.begin(), name.end())}).out.find(own + "\n"), std::string::npos);
}

// Waiting released by another process and the plain time-out are checked end to end.
TEST(cliSignal, ManualResetSignalsAndUsage) {
    const std::string name = "zvclitest-signal-" + std::to_string(zv::getCurrentProcessId());
    // A manual-reset signal held here stays set for every waiter until reset.
    auto held = zv::signal::create(true, false, std::wstring(name.begin(), name.end()).c_str());
    const args wait = {"wait", name, "--timeout", "0"};
    expectCases({"signal"}, {{{"wait", name, "--timeout", "20"}, 1, "", "was not set in time"},
                             {{"set", name}, 0, ""},
                             {wait, 0, ""},
                             {wait, 0, ""},
                             {{"reset", name}, 0, ""},
                             {wait, 1, ""},
                             {{"set", ""}, 2, ""},
                             {{"wait", name, "--timeout", "soon"}, 2, ""},
                             {{"wait", name, "--timeout", "4294967295"}, 2, ""},
                             {{"set", name, "--manual"}, 2, ""}});
}

// The format of new identities and checking texts are in the end-to-end script.
TEST(zvutilGuid, PrintsDistinctIdentitiesAndRejectsBadUsage) {
    const cliResult many = run({"guid", "-n", "50"});
    EXPECT_EQ(many.rc, 0);
    std::istringstream in(many.out);
    std::set<std::string> ids;
    for (std::string line; std::getline(in, line);)
        EXPECT_TRUE(ids.insert(line).second && line.size() == 36) << line;
    EXPECT_EQ(ids.size(), 50u);
    for (const args& a : {args{"-n"}, {"-n", "x"}, {"-n", "-3"}, {"--check"}, {"extra"}, {"-n", "99999999"}})
        expectCases({"guid"}, {{a, 2, "", "zvutil guid: "}});
}

// A protocol under a given name and its content are in the end-to-end script.
TEST(zvutilSelfTest, WithoutANameWritesANewProtocolInTheTemporaryFolder) {
    const auto r = run({"selftest"});
    EXPECT_EQ(r.out.rfind("selftest: 2 classes, 0 failed, 0 errors, ", 0), 0u) << r.out << r.err;
    const std::size_t at = r.out.find("; protocol ");
    ASSERT_TRUE(r.rc == 0 && at != std::string::npos) << r.out;
    const fs::path written = r.out.substr(at + 11, r.out.size() - at - 12);
    EXPECT_NE(readAll(written).find("    (libs/utils/src/zvSelfTests.cpp ("), std::string::npos)
        << "sources are named relative to the tree, not the build machine's folders";
    fs::remove(written);
}
