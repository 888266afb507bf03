#include "zvProcess.h"

#include "zvConfigSet.h"
#include "zvEnvironment.h"
#include "zvFile.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

zv::file ownExecutable() {
    zv::file exe;
    zv::getModuleFileName(static_cast<void*>(nullptr), exe);
    return exe;
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string("<unset>") : std::string(value);
}

// What a started and awaited program left: "<exit code>:<the text in `out`>".
std::string outcome(bool started, void* process, const std::filesystem::path& out = {}) {
    long code = -1;
    EXPECT_TRUE(started && zv::getExitCodeProcess(process, &code));
    zv::closeHandle(process);
    return std::to_string(code) + ":" + (out.empty() ? std::string() : zvtest::readAll(out));
}

} // namespace

TEST(startProcess, ArgumentsSplitAsTheWindowsRuntimeDoes) {
    const std::pair<const wchar_t*, std::vector<zv::string>> rows[] = {
        {L"", {}},
        {L"  a\tb  c ", {L"a", L"b", L"c"}},
        {L"\"a b\" c", {L"a b", L"c"}},
        {L"a\"b c\"d", {L"ab cd"}},
        {L"\\\\server\\share \"C:\\dir\\\\\"", {L"\\\\server\\share", L"C:\\dir\\"}},
        {L"a\\\"b", {L"a\"b"}},         // odd backslashes before a quote: a literal quote
        {L"a\\\\\"b c\"", {L"a\\b c"}}, // even: half of them, and the quote groups
        {L"\"say \"\"hi\"\"\"", {L"say \"hi\""}},
        {L"\"\" x", {L"", L"x"}},
        {L"\"open", {L"open"}},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(zv::detail::splitArguments(text), expected) << text;

    // Quoting gives every argument back unchanged.
    for (const wchar_t* arg : {L"", L"plain", L"two words", L"C:\\dir\\", L"say \"hi\"", L"tab\there",
                               L"\\\\\"", L"end\\\\", L"\u00e9t\u00e9"}) {
        const zv::string line = zv::detail::quoteArgument(arg) + L" " + zv::detail::quoteArgument(L"next");
        EXPECT_EQ(zv::detail::splitArguments(line), (std::vector<zv::string>{arg, L"next"}));
    }
}

// Run by the tests below as the started program: reports what it sees into
// the file ZV_TEST_REPORT and exits with ZV_TEST_EXIT.
TEST(startChild, Report) {
    const char* report = std::getenv("ZV_TEST_REPORT");
    if (report == nullptr)
        GTEST_SKIP() << "runs only as a program started by the startProcess tests";
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the caller must wait for this
    std::ofstream(report) << env("ZV_A") << "|" << env("ZV_TEST_INHERITED") << "|" << env("ZV_B") << "|"
                          << std::filesystem::current_path().string();
    std::exit(std::atoi(env("ZV_TEST_EXIT").c_str()));
}

TEST(startProcess, WaitsForTheEndWithAnExplicitEnvironmentOrTheCallers) {
    zvtest::tempFolder tmp;
    const std::filesystem::path report = tmp.host() / "report.txt";
    const zv::file exe = ownExecutable();
    ASSERT_FALSE(exe.empty());
    const std::string folder =
        std::filesystem::canonical(zv::fsEntryName(exe.path(zv::fsEntryName::withDrive)).hostPath().c_str())
            .string();
    const wchar_t* filter = L"--gtest_filter=startChild.Report";
    // Set here, seen only by the second form.
    const zvtest::envGuard inherited(L"ZV_TEST_INHERITED", L"yes"), a(L"ZV_A", L"inherited"),
        toReport(L"ZV_TEST_REPORT", report.wstring());
    // A name twice: the last value wins; no name and names holding "=" are skipped.
    zv::configSet set;
    for (const std::wstring entry :
         {L"ZV_A=first", L"ZV_TEST_EXIT=7", L"ZV_A=last", L"=no name", L"ZV_B=1=bad"}) {
        const std::size_t cut = entry.rfind(L'=');
        set.setValue(entry.substr(0, cut).c_str(), entry.substr(cut + 1).c_str(), true, 1);
    }
    set.setValue(L"ZV_TEST_REPORT", report.wstring().c_str(), true, 1);
#ifdef _WIN32
    zv::string root;
    if (zv::getEnvironmentVariable(L"SystemRoot", root))
        set.setValue(L"SystemRoot", root, true, 1);
#endif
    unsigned long pid = 0;
    void* process = nullptr;
    void* thread = nullptr;
    const bool started = zv::startProcess(exe, filter, set, zv::startWait, &pid, &process, &thread);
    EXPECT_NE(pid, 0u);
    EXPECT_TRUE(thread == nullptr || zv::closeHandle(thread));
    EXPECT_EQ(outcome(started, process, report), "7:last|<unset>|<unset>|" + folder)
        << "returns only after the end";

    // The second form inherits the caller's environment.
    const bool inheriting = zv::startProcess(exe, filter, zv::startWait, nullptr, &process);
    EXPECT_EQ(outcome(inheriting, process, report), "0:inherited|yes|<unset>|" + folder);
}

TEST(startProcess, MissingProgramsAndOneInstance) {
    unsigned long pid = 12345;
    EXPECT_FALSE(zv::startProcess(L"zv-no-such-program", L"", 0, &pid) ||
                 zv::startProcess(L"", L"", 0, &pid));
    EXPECT_EQ(pid, 12345u);
    // This program runs: nothing is started, its id comes back, and raising
    // a process without a window fails.
    pid = 0;
    EXPECT_FALSE(zv::startProcess(ownExecutable(), L"--gtest_filter=none", zv::startOneInstance, &pid));
    EXPECT_NE(pid, 0u);
}

TEST(startProcess, EnvironmentOfTheProcess) {
    const zvtest::envGuard listed(L"ZV_TEST_ENV_LIST", L"a=b");
    zv::configSet set;
    set.setValue(L"ZV_TEST_ENV_LIST", L"old", true, 1);
    zv::getEnvironmentVariables(set);
    zv::string value;
    EXPECT_TRUE(set.getValue(L"ZV_TEST_ENV_LIST", value, true));
    EXPECT_EQ(value, zv::string(L"a=b")); // replaced, and the value may hold "="
    EXPECT_TRUE(set.getValue(L"PATH", value, false));
    zv::string key;
    for (unsigned int i = 0; set.getKeyAndValue(i, key, value); ++i)
        EXPECT_FALSE(key.empty() || key[0] == L'=');
}

#ifndef _WIN32
TEST(startProcess, LinuxArgumentsPriorityAndReaping) {
    zvtest::tempFolder tmp;
    const std::filesystem::path out = tmp.host() / "args.txt";
    // The script looks at its nice value a moment later: it is set just after the start.
    const zv::string script = L"printf '%s|' \"$@\" > \"$0\"; sleep 0.2; nice >> \"$0\"";
    const zv::string args = L"-c " + zv::detail::quoteArgument(script) + L" " +
                            zv::detail::quoteArgument(out.wstring()) + L" \"a b\" c\\\"d";
    void* process = nullptr;
    const bool started = zv::startProcess(L"/bin/sh", args, zv::startWait | zv::startIdle, nullptr, &process);
    EXPECT_EQ(outcome(started, process, out), "0:a b|c\"d|19\n");

    // Nobody holds its handle: it is reaped when it ends, not left a zombie.
    unsigned long pid = 0;
    ASSERT_TRUE(zv::startProcess(L"/bin/sh", L"-c \"exit 3\"", 0, &pid));
    EXPECT_TRUE(
        zvtest::eventually([&] { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }));
}

TEST(startProcess, LinuxEditorForNotepad) {
    zvtest::tempFolder tmp;
    const std::filesystem::path script = tmp.host() / "editor.sh", out = tmp.host() / "opened.txt";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << out.string() << "'\n";
    ::chmod(script.c_str(), 0755);
    const zv::file doc = tmp.write(L"my doc.txt", "text");

    const zvtest::envGuard visual(L"VISUAL", script.wstring() + L" --flag"), editor(L"EDITOR", L"");
    EXPECT_TRUE(zv::startNotepad(doc, true));
    EXPECT_EQ(zvtest::readAll(out), "--flag|" + (tmp.host() / "my doc.txt").string() + "|");

    // $VISUAL names nothing that exists: $EDITOR comes next; then nothing.
    std::filesystem::remove(out);
    zv::setEnvironmentVariable(L"VISUAL", L"zv-no-such-editor");
    zv::setEnvironmentVariable(L"EDITOR", script.wstring().c_str());
    EXPECT_TRUE(zv::startWrite(L"\"" + doc + L"\"", true));
    EXPECT_EQ(zvtest::readAll(out), (tmp.host() / "my doc.txt").string() + "|");
    zv::setEnvironmentVariable(L"EDITOR", L"");
    const zvtest::envGuard path(L"PATH", tmp.host().wstring()); // no xdg-open there
    EXPECT_FALSE(zv::startNotepad(doc, false));
}
#else
TEST(startProcess, WindowsExitCode259IsNotRunning) {
    void* process = nullptr;
    const bool started =
        zv::startProcess(L"cmd.exe", L"/c exit 259", zv::startWait | zv::startHidden, nullptr, &process);
    EXPECT_EQ(outcome(started, process), "259:");
}
#endif
