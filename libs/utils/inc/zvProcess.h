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

namespace zv {

class file;
class directory;

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

} // namespace zv
