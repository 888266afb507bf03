// zvOsSpawn.h - the part of the OS layer that starts processes and reads the
// whole environment.
//
// Windows starts the command line as it is, suspended with a new console,
// sets the priority and resumes it. Linux starts the argument list through
// posix_spawn (no console, no windows: the window state is ignored) and sets
// the priority as a nice value right after the start, so threads the child
// starts at once may keep the caller's value.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zv::os {

using environmentList = std::vector<std::pair<std::wstring, std::wstring>>;

/// How a process is to be started.
struct spawnRequest {
    std::wstring executable;        ///< full name, the library's form
    std::wstring commandLine;       ///< Windows: the whole command line
    std::vector<std::wstring> argv; ///< Linux: the arguments after the program
    std::wstring workingFolder;     ///< the library's form
    bool inheritEnvironment = true; ///< else exactly `environment`
    environmentList environment;    ///< valid names, each once
    enum eWindow { windowDefault, windowMinimized, windowHidden } window = windowDefault;
    enum ePriority {
        priorityUnchanged,
        realTime,
        high,
        aboveNormal,
        normal,
        belowNormal,
        lowest,
        idle
    } priority = priorityUnchanged;
    unsigned int inputIdleTimeoutMs = 0; ///< 0: do not wait until the program is ready for input
};

/// Starts the process; `process` is a handle for `getExitCodeProcess`,
/// `closeHandle` and `waitProcessEnd`, `thread` the main thread's handle
/// (null on Linux). False when it could not be started.
bool spawnProcess(const spawnRequest& request, unsigned long& pid, void*& process, void*& thread);
/// Waits until the process behind `process` has ended, keeping the calling
/// thread's messages (and timers) going; on Windows the child's window is
/// raised when the caller's own comes to the front. False for a bad handle.
bool waitProcessEnd(void* process, unsigned long pid);
/// Every variable of the process environment, in its order; entries
/// without a name (Windows' "=C:" bookkeeping) are left out.
environmentList environmentVariables();

} // namespace zv::os
