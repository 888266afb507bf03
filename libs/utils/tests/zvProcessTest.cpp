#include "zvProcess.h"

#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iterator>
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

// A harmless process started by the platform's own means, so that the
// library is checked against something it did not make itself. It waits
// (Linux: a private copy of sleep, under a name of its own; Windows: find,
// reading a pipe that is never written) until it is ended; the destructor
// makes sure it is gone.
struct childProcess {
    explicit childProcess(const zvtest::tempFolder& tmp) {
#ifdef _WIN32
        (void)tmp;
        exeName = L"find.exe";
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        if (!::CreatePipe(&m_read, &m_write, &inherit, 0))
            return;
        ::SetHandleInformation(m_write, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = m_read;
        si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        wchar_t system[MAX_PATH] = {};
        ::GetSystemDirectoryW(system, MAX_PATH);
        std::wstring cmd = L"find.exe \"zv-never-matches\"";
        PROCESS_INFORMATION pi{};
        if (::CreateProcessW((std::wstring(system) + L"\\find.exe").c_str(), cmd.data(), nullptr, nullptr,
                             TRUE, 0, nullptr, nullptr, &si, &pi)) {
            ::CloseHandle(pi.hThread);
            m_process = pi.hProcess;
            pid = pi.dwProcessId;
        }
#else
        const std::string name = "zvsleep-" + std::to_string(::getpid());
        const std::filesystem::path exe = tmp.host() / name;
        std::error_code ec;
        std::filesystem::copy_file("/bin/sleep", exe, ec);
        if (ec)
            return;
        exeName = std::wstring(name.begin(), name.end());
        const pid_t started = ::fork();
        if (started == 0) {
            ::execl(exe.c_str(), name.c_str(), "60", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        pid = started > 0 ? static_cast<unsigned long>(started) : 0;
#endif
    }
    ~childProcess() {
#ifdef _WIN32
        if (m_process != nullptr) {
            ::TerminateProcess(m_process, 1);
            ::WaitForSingleObject(m_process, 5000);
            ::CloseHandle(m_process);
        }
        for (HANDLE h : {m_read, m_write})
            if (h != nullptr)
                ::CloseHandle(h);
#else
        if (pid != 0) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            ::waitpid(static_cast<pid_t>(pid), nullptr, 0); // may already be reaped
        }
#endif
    }
    unsigned long pid = 0;
    zv::string exeName;
#ifdef _WIN32
    HANDLE m_process = nullptr, m_read = nullptr, m_write = nullptr;
    static constexpr long killedCode = 0;
#else
    static constexpr long killedCode = 128 + SIGKILL; // no exit code can be forced on a killed process
#endif
};

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
    const unsigned long pid = zv::getCurrentProcessId();
    EXPECT_TRUE(zv::processIsRunning(pid));
    unsigned long other = 0;
    std::thread([&] { other = zv::getCurrentThreadId(); }).join();
    EXPECT_TRUE(other != 0u && other != zv::getCurrentThreadId());
#ifndef _WIN32
    // A thread's id is no process id, although /proc answers for it.
    EXPECT_EQ(zv::getCurrentThreadId(), pid); // the main thread's id is the process's
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
}

TEST(process, ChildIsSeenRunningThenTerminated) {
    zvtest::tempFolder tmp;
    childProcess child(tmp);
    ASSERT_NE(child.pid, 0u) << "the child process could not be started";
    // Until the child has replaced its image it still runs our executable.
    ASSERT_TRUE(zvtest::eventually([&] { return zv::processIsRunning(child.exeName) == child.pid; }));
    // By name: with and without ".exe", ignoring case.
    EXPECT_EQ(zv::processIsRunning(child.exeName.upper()), child.pid);
    EXPECT_EQ(zv::processIsRunningElsewhere(child.exeName), child.pid);
#ifdef _WIN32
    EXPECT_EQ(zv::processIsRunning(zv::string(L"find")), child.pid);
#else
    EXPECT_EQ(zv::processIsRunning(child.exeName + L".exe"), child.pid);
#endif
    void* handle = zv::openProcess(child.pid);
    ASSERT_NE(handle, nullptr);
    long code = 0;
    EXPECT_TRUE(zv::getExitCodeProcess(handle, &code) && code == 259);
    EXPECT_FALSE(zv::getExitCodeProcess(handle, nullptr));

    EXPECT_TRUE(zv::terminateProcess(child.pid));
    EXPECT_TRUE(zvtest::eventually([&] { return !zv::processIsRunning(child.pid); }));
    EXPECT_TRUE(zvtest::eventually([&] { return zv::getExitCodeProcess(handle, &code) && code != 259; }));
    EXPECT_EQ(code, childProcess::killedCode);
    EXPECT_TRUE(zvtest::eventually([&] { return zv::processIsRunning(child.exeName) == 0; }));
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

TEST(process, IdsAreTheCallersAlsoInOtherThreadsAndAfterFork) {
    const unsigned long pid = zv::getCurrentProcessId();
    const unsigned long tid = zv::getCurrentThreadId();
    unsigned long otherPid = 0;
    unsigned long otherTid = 0;
    std::thread([&] {
        otherPid = zv::getCurrentProcessId();
        otherTid = zv::getCurrentThreadId();
    }).join();
    EXPECT_EQ(otherPid, pid);
    EXPECT_NE(otherTid, tid);
    EXPECT_EQ(zv::getCurrentThreadId(), tid);
#ifndef _WIN32
    EXPECT_EQ(pid, static_cast<unsigned long>(::getpid()));
    EXPECT_EQ(tid, static_cast<unsigned long>(::gettid()));
    // The child's only thread is the one that forked, with ids of its own.
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
