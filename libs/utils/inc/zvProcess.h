// zvProcess.h - the current process, thread and modules, and a look at
// other processes.
//
//     zv::directory dir;
//     if (zv::getModulePath(zv::string(), dir)) { ... }   // this library's folder
//     if (zv::processIsRunning(pid)) zv::terminateProcess(pid);
//
// Thin over the operating system: every function answers failure through its
// `bool` result or a zero id and never throws.
//
// The empty module name stands for this library's own module on both
// targets (its module handle on Windows, `dladdr` on one of its own
// functions on Linux), so that callers find files installed beside the
// library whichever executable loaded it.
//
// On Linux there are no windows: `mainHWND` answers null and `processToTop`
// false. Other Linux adaptations: the thread id is the kernel's (`gettid`);
// a process that has ended but is not yet reaped (a zombie) no longer runs;
// `terminateProcess` sends SIGKILL, so the parent sees a killed process and
// no exit code 0 can be forced; executables are listed from /proc (the file
// behind /proc/<pid>/exe, else the first word of the command line).
#pragma once

#include "zvDefs.h"
#include "zvString.h"

#include <vector>

namespace zv {

class file;
class directory;
class configSet;

/// Suspends the calling thread for `milliseconds`.
ZV_API void sleep(unsigned int milliseconds);
ZV_API unsigned long getCurrentProcessId();
ZV_API unsigned long getCurrentThreadId();

/// A handle for querying the process `pid` with `getExitCodeProcess`, also
/// after the process has ended; close it with `closeHandle`. Null when there
/// is no such process. On Linux the handle is an object of this library
/// (the process id and, where the kernel offers one, a pidfd), so that a
/// recycled id is not taken for the process.
ZV_API void* openProcess(unsigned long pid);
/// Closes a process handle obtained from this library (or, on Windows, any
/// kernel handle); false for null or an unknown handle.
ZV_API bool closeHandle(void* handle);
/// The exit code of the process behind `handle`; 259 while it still runs.
/// On Linux only a child of the calling process leaves a code (128 + the
/// signal number when a signal ended it); for another process that has
/// ended the answer is false.
ZV_API bool getExitCodeProcess(void* handle, long* exitCode);

/// True when the process can be queried and has not ended; false for 0 and
/// for ids no process has (on Linux also for the id of a thread).
ZV_API bool processIsRunning(unsigned long pid);
/// Ends the process with exit code 0; false when it does not exist or
/// cannot be ended.
ZV_API bool terminateProcess(unsigned long pid);
/// The id of a running process whose executable has the file name `name`
/// (compared ignoring case, with or without ".exe"; a folder in `name` is
/// ignored); 0 when there is none. The lowest id wins when several run it;
/// the calling process may be the answer.
ZV_API unsigned long processIsRunning(const zv::string& name);
/// Like `processIsRunning(name)`, but never answers the calling process:
/// "is another instance running?". Other processes of the same executable
/// count.
ZV_API unsigned long processIsRunningElsewhere(const zv::string& name);

/// The main window of the calling process; null on Linux.
ZV_API void* mainHWND();
/// Brings the main window of `pid` to the foreground; false on Linux.
ZV_API bool processToTop(unsigned long pid);

/// The handle of a loaded module by file name (ignoring case); the empty
/// name gives this library's own module. On Linux the executable is found
/// by its file name too. Null when no such module is loaded.
ZV_API void* getModuleHandle(const zv::string& module);
/// The full name of a loaded module (null: the executable), in the
/// library's form ("C:\usr\lib\x.so" for "/usr/lib/x.so" on Linux). False
/// for a pointer that is not a loaded module's handle; `file` is then left
/// alone.
ZV_API bool getModuleFileName(void* module, zv::file& file);
ZV_API bool getModuleFileName(const zv::string& module, zv::file& file);
/// The folder of a loaded module (null: the executable).
ZV_API bool getModulePath(void* module, zv::directory& dir);
ZV_API bool getModulePath(const zv::string& module, zv::directory& dir);

// ---- starting processes ---------------------------------------------------

/// Flags of `startProcess`; one priority at most (the first of the list
/// wins), one window state at most.
enum eStartFlags : int {
    startOneInstance = 0x1,   ///< when the program runs already, raise it instead
    startWait = 0x2,          ///< wait until the process has ended
    startNoInputIdle = 0x4,   ///< do not wait until it is ready for input
    startRealTime = 0x10,     ///< real-time class, time-critical main thread
    startHigh = 0x20,         ///< high class, highest main thread
    startAboveNormal = 0x40,  ///< above-normal class and main thread
    startNormal = 0x80,       ///< normal class and main thread
    startBelowNormal = 0x100, ///< below-normal class and main thread
    startLowest = 0x200,      ///< below-normal class, lowest main thread
    startIdle = 0x400,        ///< idle class and main thread
    startMinimized = 0x1000,  ///< minimised window (Windows only)
    startHidden = 0x2000      ///< hidden window (Windows only)
};

/// The longest wait, in milliseconds, for a started program to become ready
/// for input.
constexpr unsigned int startInputIdleTimeout = 10000;

/// Starts `executable` (used as named when that file exists, else searched
/// along PATH, also with ".exe") with the argument text `arguments` (split
/// into arguments by the Windows runtime's rules on Linux), in the
/// executable's folder, with exactly the variables of `environment` (the
/// caller's when the set is empty; a name given twice takes its last value,
/// empty names and names holding "=" are left out), as `flags` say.
/// `pid` receives the id of the process started (or of the running one with
/// `startOneInstance`); `process` and `thread` receive its handles for
/// `getExitCodeProcess` and `closeHandle`; a handle nobody asked for is
/// closed (and the child reaped on Linux when it ends). With
/// `startOneInstance` and the program already running, the answer is that
/// of `processToTop` (always false on Linux). On Linux priorities become
/// nice values (raising one needs privileges, so it may stay unchanged),
/// the window flags are ignored, there is no console of its own and no
/// main-thread handle (`thread` is null). False when it cannot be started.
ZV_API bool startProcess(const zv::string& executable, const zv::string& arguments,
                         const zv::configSet& environment, int flags, unsigned long* pid = nullptr,
                         void** process = nullptr, void** thread = nullptr);
/// `startProcess` with the caller's environment.
ZV_API bool startProcess(const zv::string& executable, const zv::string& arguments, int flags,
                         unsigned long* pid = nullptr, void** process = nullptr, void** thread = nullptr);
/// Opens `file` in "notepad.exe"; on Linux in the editor named by $VISUAL,
/// else $EDITOR, else with xdg-open (false when none can be found). With
/// `wait` the call returns when the program has ended.
ZV_API bool startNotepad(const zv::string& file, bool wait);
/// Opens `file` in "write.exe"; on Linux as `startNotepad` does.
ZV_API bool startWrite(const zv::string& file, bool wait);

namespace detail {
/// Splits an argument text as the Windows runtime splits a command line
/// after the program name (blanks separate, double quotes group, backslashes
/// escape only before a double quote, "" inside quotes is one quote).
ZV_API std::vector<zv::string> splitArguments(const zv::string& text);
/// One argument quoted so that `splitArguments` gives it back unchanged.
ZV_API zv::string quoteArgument(const zv::string& argument);
} // namespace detail

} // namespace zv
