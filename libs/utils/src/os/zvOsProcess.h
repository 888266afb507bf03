// zvOsProcess.h - the part of the OS layer that deals with processes,
// threads and loadable modules. Included by zvOs.h.
//
// Process handles: on Windows a process handle is the kernel's. On Linux it
// is an object of this layer made by `openProcess` (the process id plus a
// pidfd where the kernel offers one, so that a recycled id is not mistaken
// for the process); `closeHandle` releases it, and any other pointer is
// refused rather than trusted.
//
// Module handles: on Windows the HMODULE; on Linux the handle `dlopen`
// gives (the dynamic linker's own record of the module).
//
// Names of files are in the library's form (see zvOsFileSystem.h).
#pragma once

#include <string>
#include <vector>

namespace zv::os {

// ---- processes and threads ---------------------------------------------

/// The exit code a process reports while it still runs.
constexpr long stillActive = 259;

void sleepMs(unsigned int milliseconds);
unsigned long currentProcessId();
/// The system's id of the calling thread (on Linux the kernel's thread id,
/// not the pthread handle).
unsigned long currentThreadId();

/// A handle for querying the process `pid` (also after it has ended, as
/// long as the handle is open); null when there is no such process.
void* openProcess(unsigned long pid);
/// Releases a handle of `openProcess` (on Windows: any kernel handle);
/// false for null or a pointer that is not such a handle.
bool closeHandle(void* handle);
/// The exit code of the process behind `handle`, `stillActive` while it
/// runs. On Linux the code of a process that was not started by the calling
/// process cannot be learnt once it has ended: false then. A child ended by
/// a signal reports 128 + the signal number, as shells do.
bool processExitCode(void* handle, long& exitCode);

/// True when a process with this id exists and has not ended (on Linux a
/// zombie, ended but not yet reaped, counts as ended; a thread id that is
/// not a process id is no process).
bool processIsRunning(unsigned long pid);
/// Ends the process at once: exit code 0 on Windows; on Linux SIGKILL (its
/// parent then sees it as killed, no exit code can be forced). False when
/// there is no such process or it may not be ended.
bool terminateProcess(unsigned long pid);

/// One running process: its id and the file name (without folder) of its
/// executable.
struct processEntry {
    unsigned long pid = 0;
    std::wstring exeName;
};
/// The processes the system lets the caller see, zombies left out; false
/// when the list cannot be had.
bool listProcesses(std::vector<processEntry>& processes);

/// The first visible top-level window without owner of the process `pid`;
/// null where there is none (always on Linux, which has no windows).
void* mainWindow(unsigned long pid);
/// Restores and raises `window`; false when that fails (always on Linux).
bool bringToFront(void* window);

// ---- modules -----------------------------------------------------------

/// This library's own module.
void* ownModule();
/// A loaded module whose file name (without folder) equals `fileName`
/// ignoring case; a name with a folder must name the module's file. On
/// Linux the executable is among the modules too. Null when none matches.
void* findModule(const wchar_t* fileName);
/// The full name of a loaded module (null: the executable), in the
/// library's form; false for a pointer that is not a loaded module.
bool moduleFileName(void* module, std::wstring& name);

/// Loads the module at `libraryPath` (the library's form, mapped to the
/// host on Linux; a bare name without folder is left to the system's own
/// search). Null on failure. Each successful call is matched by one
/// `unloadModule`.
void* loadModule(const wchar_t* libraryPath);
/// The address of the exported `name`; null when there is none.
void* moduleSymbol(void* module, const char* name);
/// Gives up one reference taken by `loadModule`.
bool unloadModule(void* module);

} // namespace zv::os
