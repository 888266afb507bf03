// Child processes started by the platform's own means, so that the library is
// checked against something it did not make itself. Their output goes to the
// null device (on Windows their input is a pipe nobody writes); they are ended when
// their object goes.
//
//   zvtest::childTest child("suite.Test", "ZV_TEST_X", "value"); // one test of this binary
//   EXPECT_EQ(child.wait(30000), 0);
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace zvtest {

class childProcess {
public:
    /// Starts `exe` with `args` (quoted as the caller wants them on Windows), and
    /// `variable`=`value` added to its environment.
    childProcess(const std::filesystem::path& exe, std::vector<std::string> args, const std::string& variable,
                 const std::string& value) {
#ifdef _WIN32
        const std::wstring wideVariable(variable.begin(), variable.end());
        ::SetEnvironmentVariableW(wideVariable.c_str(), std::wstring(value.begin(), value.end()).c_str());
        std::wstring cmd = L"\"" + exe.wstring() + L"\"";
        for (const std::string& arg : args)
            cmd += L" " + std::wstring(arg.begin(), arg.end());
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        m_null = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        ::CreatePipe(&m_input, &m_inputWriter, &inherit, 0);
        ::SetHandleInformation(m_inputWriter, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = m_null;
        si.hStdInput = m_input;
        PROCESS_INFORMATION pi{};
        if (::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                             &pi)) {
            ::CloseHandle(pi.hThread);
            m_process = pi.hProcess;
            m_id = pi.dwProcessId;
        }
        ::SetEnvironmentVariableW(wideVariable.c_str(), nullptr);
#else
        std::string assignment = variable + "=" + value, path = exe.string();
        std::vector<char*> argv{path.data()}, envp;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        for (char** e = environ; *e; ++e)
            envp.push_back(*e);
        envp.push_back(assignment.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0)
            m_pid = m_id = pid;
        posix_spawn_file_actions_destroy(&actions);
#endif
    }
    ~childProcess() {
        kill();
        wait(10000);
#ifdef _WIN32
        for (HANDLE h : {m_process, m_null, m_input, m_inputWriter})
            if (h != nullptr && h != INVALID_HANDLE_VALUE)
                ::CloseHandle(h);
#endif
    }
    childProcess(const childProcess&) = delete;
    childProcess& operator=(const childProcess&) = delete;

    bool started() const {
        return m_id != 0;
    }
    /// The child's process id, 0 when it could not be started.
    unsigned long pid() const {
        return m_id;
    }

    /// The child's exit code, or -1 when it did not end within `timeoutMs` (or was reaped elsewhere).
    int wait(unsigned int timeoutMs) {
#ifdef _WIN32
        if (m_process == nullptr || ::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(m_process, &code);
        return static_cast<int>(code);
#else
        if (m_pid <= 0)
            return m_status;
        for (unsigned int waited = 0;; waited += 10) {
            int status = 0;
            const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_pid = 0;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return m_status;
            }
            if (r < 0 || waited >= timeoutMs)
                return -1;
            ::usleep(10000);
        }
#endif
    }

    /// Ends the child at once, as a crash would.
    void kill() {
#ifdef _WIN32
        if (m_process != nullptr)
            ::TerminateProcess(m_process, 99);
#else
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL);
#endif
    }

private:
    unsigned long m_id = 0;
#ifdef _WIN32
    HANDLE m_process = nullptr, m_null = INVALID_HANDLE_VALUE, m_input = nullptr, m_inputWriter = nullptr;
#else
    pid_t m_pid = 0;
    int m_status = -1;
#endif
};

/// This test binary, run with only the test `filter` and `variable`=`value` in its environment.
class childTest : public childProcess {
public:
    childTest(const std::string& filter, const std::string& variable, const std::string& value)
        : childProcess(self(), {"--gtest_filter=" + filter}, variable, value) {}

private:
    static std::filesystem::path self() {
#ifdef _WIN32
        wchar_t exe[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        return exe;
#else
        return "/proc/self/exe";
#endif
    }
};

} // namespace zvtest
