// Runs one test of this test binary in a child process, started by the
// platform's own means so that the library is checked against something it
// did not make itself. The child sees `variable`=`value` in its environment
// and runs only the test `filter`; its output goes to the null device.
#pragma once

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
extern char** environ;
#endif

namespace zvtest {

class childTest {
public:
    childTest(const std::string& filter, const std::string& variable, const std::string& value) {
        const std::string option = "--gtest_filter=" + filter;
#ifdef _WIN32
        const std::wstring wideVariable(variable.begin(), variable.end());
        ::SetEnvironmentVariableW(wideVariable.c_str(), std::wstring(value.begin(), value.end()).c_str());
        wchar_t exe[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring cmd = L"\"" + std::wstring(exe) + L"\" " + std::wstring(option.begin(), option.end());
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        m_null = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        si.hStdOutput = si.hStdError = m_null;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION pi{};
        if (::CreateProcessW(exe, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            ::CloseHandle(pi.hThread);
            m_process = pi.hProcess;
        }
        ::SetEnvironmentVariableW(wideVariable.c_str(), nullptr);
#else
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        env.push_back(variable + "=" + value);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string exe = "/proc/self/exe";
        std::string filterOption = option;
        char* argv[] = {exe.data(), filterOption.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data()) == 0)
            m_pid = pid;
        posix_spawn_file_actions_destroy(&actions);
#endif
    }
    ~childTest() {
        kill();
        wait(10000);
#ifdef _WIN32
        if (m_process != nullptr)
            ::CloseHandle(m_process);
        if (m_null != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_null);
#endif
    }
    childTest(const childTest&) = delete;
    childTest& operator=(const childTest&) = delete;

    bool started() const {
#ifdef _WIN32
        return m_process != nullptr;
#else
        return m_pid > 0;
#endif
    }

    /// The child's exit code, or -1 when it did not end within `timeoutMs`.
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
#ifdef _WIN32
    HANDLE m_process = nullptr;
    HANDLE m_null = INVALID_HANDLE_VALUE;
#else
    pid_t m_pid = 0;
    int m_status = -1;
#endif
};

} // namespace zvtest
