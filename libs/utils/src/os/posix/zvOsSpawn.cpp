// Starting processes on Linux: posix_spawn with the argument list, the
// working folder and the environment; priorities as nice values.
#include "../zvOsSpawn.h"
#include "../zvOs.h"
#include "zvOsPosixPath.h"
#include "zvOsPosixProcess.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/resource.h>
#include <unistd.h>

extern char** environ;

namespace zv::os {

namespace {

int niceValue(spawnRequest::ePriority priority) {
    switch (priority) {
    case spawnRequest::realTime:
        return -20;
    case spawnRequest::high:
        return -10;
    case spawnRequest::aboveNormal:
        return -5;
    case spawnRequest::normal:
        return 0;
    case spawnRequest::belowNormal:
        return 5;
    case spawnRequest::lowest:
        return 10;
    case spawnRequest::idle:
        return 19;
    default:
        return 0;
    }
}

// Frees the spawn attributes however the start ends.
struct spawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    spawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~spawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    spawnSetup(const spawnSetup&) = delete;
    spawnSetup& operator=(const spawnSetup&) = delete;
};

} // namespace

bool spawnProcess(const spawnRequest& request, unsigned long& pid, void*& process, void*& thread) {
    pid = 0;
    process = thread = nullptr;
    std::string exe, folder;
    if (!posix::mapToHost(request.executable.c_str(), exe))
        return false;
    if (!request.workingFolder.empty() && !posix::mapToHost(request.workingFolder.c_str(), folder))
        return false;

    std::vector<std::string> args{exe};
    for (const std::wstring& a : request.argv)
        args.push_back(posix::toUtf8(a));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> env;
    std::vector<char*> envp;
    if (!request.inheritEnvironment) {
        for (const auto& [name, value] : request.environment)
            env.push_back(posix::toUtf8(name) + "=" + posix::toUtf8(value));
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
    }

    spawnSetup setup;
    if (!folder.empty() && posix_spawn_file_actions_addchdir_np(&setup.actions, folder.c_str()) != 0)
        return false;
    // The child starts with no blocked signals and the default for SIGPIPE,
    // whatever this process does with them.
    sigset_t none, pipeSignal;
    sigemptyset(&none);
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &pipeSignal);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t child = 0;
    if (posix_spawn(&child, exe.c_str(), &setup.actions, &setup.attributes, argv.data(),
                    request.inheritEnvironment ? environ : envp.data()) != 0)
        return false;
    if (request.priority != spawnRequest::priorityUnchanged)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(child),
                      niceValue(request.priority)); // as far as allowed
    pid = static_cast<unsigned long>(child);
    process = posix::adoptChild(child);
    return process != nullptr;
}

bool waitProcessEnd(void* process, unsigned long) {
    if (process == nullptr)
        return false;
    // Timers of this thread keep running while it waits.
    for (;;) {
        long code = 0;
        if (!processExitCode(process, code))
            return false;
        if (posix::waitEnded(process, 100))
            return true;
        pumpMessages(0);
    }
}

environmentList environmentVariables() {
    environmentList list;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::size_t eq = entry.find('=');
        if (eq == 0 || eq == std::string::npos)
            continue;
        list.emplace_back(posix::fromUtf8(entry.substr(0, eq)), posix::fromUtf8(entry.substr(eq + 1)));
    }
    return list;
}

} // namespace zv::os
