// Processes, threads and modules on Linux: /proc for the process list and
// states, signals for termination, the dynamic linker for modules.
#include "../zvOs.h"
#include "zvOsPosixPath.h"
#include "zvOsPosixProcess.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <dirent.h>
#include <dlfcn.h>
#include <fstream>
#include <link.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <set>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zv::os {

namespace {

// ---- /proc -------------------------------------------------------------

// A pid_t that the kernel takes as one process (0 and values that would turn
// negative address groups of processes instead).
bool validPid(unsigned long pid) {
    return pid > 0 && pid <= static_cast<unsigned long>(INT_MAX);
}

// The state letter of the process and whether `pid` is a process rather
// than one of a process's other threads.
bool readState(unsigned long pid, char& state) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    if (!status)
        return false;
    bool isProcess = false;
    bool haveState = false;
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("State:", 0) == 0) {
            const std::size_t at = line.find_first_not_of(" \t", 6);
            if (at != std::string::npos) {
                state = line[at];
                haveState = true;
            }
        } else if (line.rfind("Tgid:", 0) == 0) {
            isProcess = std::strtoul(line.c_str() + 5, nullptr, 10) == pid;
        }
    }
    return haveState && isProcess;
}

bool ended(char state) {
    return state == 'Z' || state == 'X' || state == 'x';
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string readLink(const std::string& path) {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return std::string();
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        if (buffer.size() > (1u << 20))
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

// The executable's file name: the target of /proc/<pid>/exe where the
// caller may read it, else the first word of the command line, else the
// (possibly shortened) command name.
std::string executableName(const std::string& procDir) {
    std::string exe = readLink(procDir + "/exe");
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
        exe.resize(exe.size() - deleted.size());
    if (!exe.empty())
        return baseName(exe);
    std::ifstream cmdline(procDir + "/cmdline", std::ios::binary);
    std::string argv0;
    if (cmdline && std::getline(cmdline, argv0, '\0') && !argv0.empty())
        return baseName(argv0);
    std::ifstream comm(procDir + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// ---- process handles ---------------------------------------------------

struct processHandle {
    pid_t pid = 0;
    int pidfd = -1;
    bool reaped = false;
    bool child = false; // started by us: reaped when the handle goes first
    long exitCode = 0;
};

std::mutex& handlesMutex() {
    static std::mutex m;
    return m;
}
std::set<processHandle*>& handles() {
    static std::set<processHandle*> s;
    return s;
}

int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    return fd < 0 ? -1 : static_cast<int>(fd);
#else
    (void)pid;
    return -1;
#endif
}

// The exit code of a child of ours that has ended (reaping it); false while
// it runs or when it is no child of ours.
bool reapChild(processHandle& h) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(h.pid), &info, WEXITED | WNOHANG) != 0 || info.si_pid == 0)
        return false;
    h.reaped = true;
    h.exitCode = info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
    return true;
}

// Whether the process behind the handle has ended, as far as can be seen
// from outside.
bool hasEnded(const processHandle& h) {
    if (h.pidfd >= 0) {
        pollfd p{h.pidfd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    char state = 0;
    return !readState(static_cast<unsigned long>(h.pid), state) || ended(state);
}

// ---- modules -----------------------------------------------------------

std::string hostOfExecutable() {
    return readLink("/proc/self/exe");
}

std::wstring libraryName(const std::string& host) {
    return libraryPathFromHost(posix::fromUtf8(host));
}

std::string absoluteHost(const char* name) {
    if (name == nullptr || *name == '\0')
        return std::string();
    if (char* real = ::realpath(name, nullptr)) {
        std::string out(real);
        std::free(real);
        return out;
    }
    return name;
}

bool equalIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
}

// The names of the loaded modules as the dynamic linker holds them; the
// executable comes first, with an empty name.
int collectModule(dl_phdr_info* info, std::size_t, void* data) {
    static_cast<std::vector<std::string>*>(data)->emplace_back(info->dlpi_name != nullptr ? info->dlpi_name
                                                                                          : "");
    return 0;
}

std::vector<std::string> loadedModules() {
    std::vector<std::string> names;
    ::dl_iterate_phdr(&collectModule, &names);
    return names;
}

// The handle `dlopen` gives for an already loaded module, without adding a
// reference that would outlive the call.
void* handleOfLoaded(const char* hostName) {
    void* handle = ::dlopen(hostName, RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr)
        ::dlclose(handle);
    return handle;
}

} // namespace

// ---- processes and threads ---------------------------------------------

void sleepMs(unsigned int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Both ids are asked of the kernel once: each is a system call, and every
// log line wants them. Only fork changes them, in the child, which then
// forgets them (the forking thread is the child's only thread).
namespace {
std::atomic<unsigned long> g_processId{0};
std::atomic<unsigned> g_forks{0};
thread_local unsigned long t_threadId = 0;
thread_local unsigned t_threadIdForks = 0;

void forgetIdsInChild() {
    g_processId.store(0, std::memory_order_relaxed);
    g_forks.fetch_add(1, std::memory_order_relaxed);
}

[[maybe_unused]] const int g_forgetRegistered = ::pthread_atfork(nullptr, nullptr, forgetIdsInChild);
} // namespace

unsigned long currentProcessId() {
    unsigned long pid = g_processId.load(std::memory_order_relaxed);
    if (pid == 0) {
        pid = static_cast<unsigned long>(::getpid());
        g_processId.store(pid, std::memory_order_relaxed);
    }
    return pid;
}

unsigned long currentThreadId() {
    const unsigned forks = g_forks.load(std::memory_order_relaxed);
    if (t_threadId == 0 || t_threadIdForks != forks) {
        t_threadId = static_cast<unsigned long>(::gettid());
        t_threadIdForks = forks;
    }
    return t_threadId;
}

void* openProcess(unsigned long pid) {
    char state = 0;
    if (!validPid(pid) || !readState(pid, state))
        return nullptr;
    auto* h = new processHandle;
    h->pid = static_cast<pid_t>(pid);
    h->pidfd = openPidfd(h->pid);
    std::lock_guard<std::mutex> lock(handlesMutex());
    handles().insert(h);
    return h;
}

bool closeHandle(void* handle) {
    auto* h = static_cast<processHandle*>(handle);
    {
        std::lock_guard<std::mutex> lock(handlesMutex());
        if (handle == nullptr || handles().erase(h) == 0)
            return false;
    }
    if (h->child && !h->reaped && !reapChild(*h)) {
        // Nobody will ask for its code any more; wait for it aside.
        const pid_t pid = h->pid;
        try {
            std::thread([pid] {
                int status = 0;
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        } catch (const std::system_error&) {
        }
    }
    if (h->pidfd >= 0)
        ::close(h->pidfd);
    delete h;
    return true;
}

bool processExitCode(void* handle, long& exitCode) {
    std::lock_guard<std::mutex> lock(handlesMutex());
    auto* h = static_cast<processHandle*>(handle);
    if (handle == nullptr || handles().count(h) == 0)
        return false;
    if (h->reaped || reapChild(*h)) {
        exitCode = h->exitCode;
        return true;
    }
    if (hasEnded(*h))
        return false; // someone else's process: its code is not ours to learn
    exitCode = stillActive;
    return true;
}

void* posix::adoptChild(int pid) {
    if (pid <= 0)
        return nullptr;
    auto* h = new processHandle;
    h->pid = pid;
    h->pidfd = openPidfd(pid);
    h->child = true;
    std::lock_guard<std::mutex> lock(handlesMutex());
    handles().insert(h);
    return h;
}

bool posix::waitEnded(void* handle, unsigned int timeoutMs) {
    int pidfd = -1;
    {
        std::lock_guard<std::mutex> lock(handlesMutex());
        auto* h = static_cast<processHandle*>(handle);
        if (handle == nullptr || handles().count(h) == 0)
            return false;
        if (h->reaped || reapChild(*h))
            return true;
        pidfd = h->pidfd;
    }
    // Wait on the pidfd where there is one, else look every 20 ms.
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        ::poll(&p, 1, timeoutMs > INT_MAX ? INT_MAX : static_cast<int>(timeoutMs));
    } else {
        ::usleep(1000u * (timeoutMs < 20 ? timeoutMs : 20));
    }
    std::lock_guard<std::mutex> lock(handlesMutex());
    auto* h = static_cast<processHandle*>(handle);
    if (handles().count(h) == 0)
        return false;
    if (h->reaped || reapChild(*h))
        return true;
    return !h->child && hasEnded(*h);
}

bool processIsRunning(unsigned long pid) {
    char state = 0;
    return validPid(pid) && readState(pid, state) && !ended(state);
}

bool terminateProcess(unsigned long pid) {
    if (!processIsRunning(pid))
        return false;
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

bool listProcesses(std::vector<processEntry>& processes) {
    processes.clear();
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return false;
    while (dirent* entry = ::readdir(proc)) {
        const char* name = entry->d_name;
        if (*name == '\0' || std::strspn(name, "0123456789") != std::strlen(name))
            continue;
        const unsigned long pid = std::strtoul(name, nullptr, 10);
        char state = 0;
        if (!readState(pid, state) || ended(state))
            continue;
        const std::string exe = executableName(std::string("/proc/") + name);
        if (!exe.empty())
            processes.push_back({pid, posix::fromUtf8(exe)});
    }
    ::closedir(proc);
    std::sort(processes.begin(), processes.end(),
              [](const processEntry& a, const processEntry& b) { return a.pid < b.pid; });
    return true;
}

void* mainWindow(unsigned long) {
    return nullptr;
}

bool bringToFront(void*) {
    return false;
}

// ---- modules -----------------------------------------------------------

void* ownModule() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ownModule), &info) == 0 || info.dli_fname == nullptr)
        return nullptr;
    return handleOfLoaded(info.dli_fname);
}

void* findModule(const wchar_t* fileName) {
    if (fileName == nullptr || *fileName == L'\0')
        return nullptr;
    const std::wstring wanted(fileName);
    const bool withFolder = wanted.find_first_of(L"\\/") != std::wstring::npos;
    std::string wantedHost;
    if (withFolder) {
        if (!posix::mapToHost(fileName, wantedHost))
            return nullptr;
        wantedHost = absoluteHost(wantedHost.c_str());
    }
    for (const std::string& module : loadedModules()) {
        const bool isExecutable = module.empty();
        const std::string host = isExecutable ? hostOfExecutable() : absoluteHost(module.c_str());
        if (host.empty())
            continue;
        const bool match =
            withFolder ? wantedHost == host : equalIgnoringCase(posix::fromUtf8(baseName(host)), wanted);
        if (match)
            return handleOfLoaded(isExecutable ? nullptr : module.c_str());
    }
    return nullptr;
}

bool moduleFileName(void* module, std::wstring& name) {
    name.clear();
    std::string host;
    if (module == nullptr) {
        host = hostOfExecutable();
    } else {
        // Only handles of loaded modules are looked into; anything else is
        // refused rather than handed to the linker.
        for (const std::string& loaded : loadedModules()) {
            const bool isExecutable = loaded.empty();
            if (handleOfLoaded(isExecutable ? nullptr : loaded.c_str()) != module)
                continue;
            host = isExecutable ? hostOfExecutable() : absoluteHost(loaded.c_str());
            break;
        }
    }
    if (host.empty())
        return false;
    name = libraryName(host);
    return !name.empty();
}

void* loadModule(const wchar_t* libraryPath) {
    if (libraryPath == nullptr || *libraryPath == L'\0')
        return nullptr;
    const std::wstring path(libraryPath);
    std::string host;
    if (path.find_first_of(L"\\/") == std::wstring::npos)
        host = posix::toUtf8(path);
    else if (!posix::mapToHost(libraryPath, host))
        return nullptr;
    return ::dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* moduleSymbol(void* module, const char* name) {
    if (module == nullptr || name == nullptr)
        return nullptr;
    return ::dlsym(module, name);
}

bool unloadModule(void* module) {
    return module != nullptr && ::dlclose(module) == 0;
}

} // namespace zv::os
