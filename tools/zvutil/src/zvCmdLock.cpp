// zvutil lock: runs a command while holding the lock file of a file or
// folder (zv::fsEntryMutex).
#include "zvCli.h"

#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsEntryMutex.h"
#include "zvFsEntryName.h"

#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace zvcli {

namespace {

constexpr int kCannotRun = 127; // as shells report a command they cannot start

#if defined(_WIN32)
// One argument quoted for the command line that CreateProcessW splits again.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    for (auto it = arg.begin();; ++it) {
        std::size_t slashes = 0;
        while (it != arg.end() && *it == L'\\') {
            ++it;
            ++slashes;
        }
        if (it == arg.end()) {
            line.append(slashes * 2, L'\\'); // doubled before the closing quote
            break;
        }
        line.append(*it == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        line += *it;
    }
    line += L'"';
}

// Runs the command and waits; its exit code, or -1 when it cannot start.
int runCommand(const std::vector<std::string>& command) {
    std::wstring line;
    for (const std::string& arg : command) {
        if (!line.empty())
            line += L' ';
        appendQuoted(line, wideFromArgument(arg));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process))
        return -1;
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
#else
int runCommand(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}
#endif

} // namespace

int cmdLock(context& ctx) {
    std::string path;
    bool timed = false;
    unsigned int timeoutMs = 0;
    std::size_t i = 0;
    for (; i < ctx.args.size() && ctx.args[i] != "--"; ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--timeout" && i + 1 < ctx.args.size()) {
            const std::string& value = ctx.args[++i];
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), timeoutMs);
            if (ec != std::errc() || end != value.data() + value.size() || timeoutMs == 0xFFFFFFFFu) {
                ctx.err << "zvutil lock: '" << value << "' is no time-out in milliseconds\n";
                return exitUsage;
            }
            timed = true;
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            ctx.err << "zvutil lock: unexpected '" << a << "' (see 'zvutil lock --help')\n";
            return exitUsage;
        }
    }
    if (path.empty() || i + 1 >= ctx.args.size()) {
        ctx.err << "zvutil lock: expected PATH [--timeout MS] -- COMMAND [ARGS...]\n";
        return exitUsage;
    }
    const std::vector<std::string> command(ctx.args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                           ctx.args.end());

    const zv::fsEntryName name = zv::fsEntryName::fromHostPath(wideFromArgument(path));
    std::unique_ptr<zv::fsEntryMutex> mutex;
    if (zv::file(name).exists())
        mutex = std::make_unique<zv::fsEntryMutex>(zv::file(name));
    else if (zv::directory(name).exists())
        mutex = std::make_unique<zv::fsEntryMutex>(zv::directory(name));
    else {
        ctx.err << "zvutil lock: '" << path << "' does not exist\n";
        return exitFailure;
    }
    if (!(timed ? mutex->lock(timeoutMs) : mutex->lock())) {
        ctx.err << "zvutil lock: '" << path << "' is locked by another holder (gave up after " << timeoutMs
                << " ms; lock file " << hostOf(zv::fsEntryName(mutex->lockFileName())) << ")\n";
        return exitFailure;
    }
    ctx.out.flush();
    std::cout.flush();
    const int rc = runCommand(command);
    mutex->release();
    if (rc < 0) {
        ctx.err << "zvutil lock: cannot run '" << command[0] << "'\n";
        return kCannotRun;
    }
    return rc;
}

} // namespace zvcli
