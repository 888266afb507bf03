#include "zvProcess.h"

#include "zvChildTestSupport.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// A harmless process that waits until it is ended: on Linux a private copy of
// sleep, under a name of its own; on Windows find, reading a pipe nobody writes.
std::unique_ptr<zvtest::childProcess> startWaiting(const zvtest::tempFolder& tmp, zv::string& exeName) {
#ifdef _WIN32
    (void)tmp;
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::filesystem::path exe = std::filesystem::path(system) / L"find.exe";
    const std::vector<std::string> args{"\"zv-never-matches\""};
#else
    const std::filesystem::path exe = tmp.host() / ("zvsleep-" + std::to_string(::getpid()));
    std::error_code ec;
    std::filesystem::copy_file("/bin/sleep", exe, ec);
    const std::vector<std::string> args{"60"};
#endif
    exeName = exe.filename().wstring();
    return std::make_unique<zvtest::childProcess>(exe, args, "ZV_TEST_WAITING", "1");
}
#ifdef _WIN32
constexpr long killedCode = 0;
#else
constexpr long killedCode = 128 + SIGKILL; // no exit code can be forced on a killed process
#endif

// The executable (null) or this library's file, found without the library's help.
std::filesystem::path moduleOnHost(bool library) {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n =
        ::GetModuleFileNameW(library ? ::GetModuleHandleW(L"zvutils.dll") : nullptr, buffer, MAX_PATH);
    return std::filesystem::path(std::wstring(buffer, n));
#else
    Dl_info info{};
    if (!library)
        return std::filesystem::read_symlink("/proc/self/exe");
    if (::dladdr(reinterpret_cast<void*>(&zv::getCurrentProcessId), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return std::filesystem::canonical(info.dli_fname);
#endif
}

// Whether the library's name `name` and the host's `path` name the same entry.
bool same(const zv::fsEntryName& name, const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::path(name.hostPath().c_str()), path, ec);
}

} // namespace

TEST(process, OwnIdsAndMissingProcesses) {
    const unsigned long pid = zv::getCurrentProcessId(), tid = zv::getCurrentThreadId();
    EXPECT_TRUE(zv::processIsRunning(pid));
    unsigned long otherPid = 0, otherTid = 0;
    std::thread([&] {
        otherPid = zv::getCurrentProcessId();
        otherTid = zv::getCurrentThreadId();
    }).join();
    EXPECT_TRUE(otherPid == pid && otherTid != 0u && otherTid != tid);
#ifndef _WIN32
    // The main thread's id is the process's; another thread's is no process id,
    // although /proc answers for it.
    EXPECT_TRUE(pid == static_cast<unsigned long>(::getpid()) && tid == pid);
    std::thread([&] { EXPECT_FALSE(zv::processIsRunning(zv::getCurrentThreadId())); }).join();
    EXPECT_EQ(zv::mainHWND(), nullptr);
    EXPECT_FALSE(zv::processToTop(pid));
#endif
    // Id 0 is never "every process of the group"; ids above every real one
    // (and, on Linux, ones that would turn negative) name nothing.
    long code = 0;
    const bool answers[] = {zv::processIsRunning(0ul),
                            zv::terminateProcess(0ul),
                            zv::processIsRunning(0x7FFFFFF0ul),
                            zv::terminateProcess(static_cast<unsigned long>(-1)),
                            zv::openProcess(0x7FFFFFF0ul) != nullptr,
                            zv::closeHandle(nullptr),
                            zv::getExitCodeProcess(nullptr, &code),
                            zv::processIsRunning(zv::string(L"zv-no-such-program.exe")) != 0ul,
                            zv::processIsRunning(zv::string()) != 0ul,
                            zv::processToTop(0x7FFFFFF0ul)};
    for (std::size_t i = 0; i < std::size(answers); ++i)
        EXPECT_FALSE(answers[i]) << "answer " << i;
    // By name the calling process counts, but never elsewhere.
    zv::file exe;
    ASSERT_TRUE(zv::getModuleFileName(static_cast<void*>(nullptr), exe));
    EXPECT_NE(zv::processIsRunning(exe.name(0)), 0ul);
    EXPECT_NE(zv::processIsRunningElsewhere(exe.name(0)), pid);
#ifndef _WIN32
    // A forked child's only thread is the one that forked, with ids of its own.
    const pid_t child = ::fork();
    if (child == 0) {
        const auto own = static_cast<unsigned long>(::getpid());
        ::_exit(zv::getCurrentProcessId() == own && zv::getCurrentThreadId() == own && own != pid ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

TEST(process, ChildIsSeenRunningThenTerminated) {
    zvtest::tempFolder tmp;
    zv::string exeName;
    const std::unique_ptr<zvtest::childProcess> child = startWaiting(tmp, exeName);
    const unsigned long pid = child->pid();
    ASSERT_NE(pid, 0u) << "the child process could not be started";
    // Until the child has replaced its image it still runs our executable.
    ASSERT_TRUE(zvtest::eventually([&] { return zv::processIsRunning(exeName) == pid; }));
    // By name: with and without ".exe", ignoring case.
    EXPECT_EQ(zv::processIsRunning(exeName.upper()), pid);
    EXPECT_EQ(zv::processIsRunningElsewhere(exeName), pid);
#ifdef _WIN32
    EXPECT_EQ(zv::processIsRunning(zv::string(L"find")), pid);
#else
    EXPECT_EQ(zv::processIsRunning(exeName + L".exe"), pid);
#endif
    void* handle = zv::openProcess(pid);
    ASSERT_NE(handle, nullptr);
    long code = 0;
    EXPECT_TRUE(zv::getExitCodeProcess(handle, &code) && code == 259);
    EXPECT_FALSE(zv::getExitCodeProcess(handle, nullptr));

    EXPECT_TRUE(zv::terminateProcess(pid));
    EXPECT_TRUE(zvtest::eventually([&] { return !zv::processIsRunning(pid); }));
    EXPECT_TRUE(zvtest::eventually([&] { return zv::getExitCodeProcess(handle, &code) && code != 259; }));
    EXPECT_EQ(code, killedCode);
    EXPECT_TRUE(zvtest::eventually([&] { return zv::processIsRunning(exeName) == 0; }));
    EXPECT_TRUE(zv::closeHandle(handle));
#ifndef _WIN32
    EXPECT_FALSE(zv::closeHandle(handle)); // already released: refused, not trusted
    int local = 0;
    EXPECT_FALSE(zv::closeHandle(&local) || zv::getExitCodeProcess(&local, &code));
#endif
}

TEST(module, OwnModuleAndExecutableAndUnknownOnes) {
    const std::filesystem::path library = moduleOnHost(true), executable = moduleOnHost(false);
    ASSERT_FALSE(library.empty());
    zv::directory dir, byName;
    zv::file f, again, exe;
    ASSERT_TRUE(zv::getModulePath(zv::string(), dir));
    EXPECT_EQ(dir.back(), L'\\');
    EXPECT_TRUE(same(zv::fsEntryName(dir, zv::string()), library.parent_path()));
    ASSERT_TRUE(zv::getModuleFileName(zv::string(), f));
    EXPECT_TRUE(same(f, library));
    // The same module by its handle and by its file name, ignoring case.
    void* own = zv::getModuleHandle(zv::string());
    EXPECT_EQ(zv::getModuleHandle(f.name(0).upper()), own);
    EXPECT_TRUE(zv::getModuleFileName(own, again) && again == f);
    EXPECT_TRUE(zv::getModulePath(f.name(0), byName) && byName == dir);

    ASSERT_TRUE(zv::getModuleFileName(static_cast<void*>(nullptr), exe));
    EXPECT_TRUE(same(exe, executable));
    ASSERT_TRUE(zv::getModulePath(static_cast<void*>(nullptr), dir));
    EXPECT_TRUE(same(zv::fsEntryName(dir, zv::string()), executable.parent_path()));
    EXPECT_NE(zv::getModuleHandle(exe.name(0)), nullptr);

    // Unknown modules leave the answer alone.
    EXPECT_EQ(zv::getModuleHandle(zv::string(L"zv-no-such-module.dll")), nullptr);
    EXPECT_FALSE(zv::getModulePath(zv::string(L"zv-no-such-module.dll"), dir));
    EXPECT_FALSE(zv::getModuleFileName(zv::string(L"zv-no-such-module.dll"), f));
    EXPECT_TRUE(same(zv::fsEntryName(dir, zv::string()), executable.parent_path()));
    EXPECT_EQ(f, again);
#ifndef _WIN32
    int local = 0;
    EXPECT_FALSE(zv::getModuleFileName(static_cast<void*>(&local), f)); // not a module: refused
#endif
}
