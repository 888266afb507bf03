// zvOsThread.h - the part of the OS layer that deals with events (the
// library's signals), threads and waiting on many of them at once. Included
// by zvOs.h.
//
// Events: on Windows kernel event objects. On Linux an unnamed event is an
// eventfd; a named one lives in shared memory (a process-shared mutex and
// condition over the state), so that processes using the same name share it.
//
// Threads: on Windows kernel threads. On Linux POSIX threads with an eventfd
// that becomes readable when the routine has returned. Linux has no safe way
// to stop a thread at an arbitrary point: a thread may be suspended before its
// routine begins or by itself, and terminated only before its routine begins
// (or after it ended); otherwise those calls fail with `ENOTSUP`.
#pragma once

#include <cstddef>
#include <vector>

namespace zv::os {

/// The last error code of the calling thread (`GetLastError`, `errno`).
long lastErrorCode();

// ---- events --------------------------------------------------------------

struct eventHandle;

/// A new event (manual or automatic reset, initially set or not). A non-null
/// `name` opens the event of that name when one exists (its own reset mode
/// and state are kept) and creates it otherwise. Null on failure.
eventHandle* createEvent(bool manualReset, bool initiallySet, const wchar_t* name);
void destroyEvent(eventHandle* handle);
bool setEvent(eventHandle* handle);
bool resetEvent(eventHandle* handle);
/// Waits at most `timeoutMs` (`waitForever`: no limit) until the event is
/// set; an automatic-reset event is cleared by the wait that sees it set.
bool waitEvent(eventHandle* handle, unsigned int timeoutMs);

// ---- threads -------------------------------------------------------------

struct threadHandle;
using threadRoutine = unsigned int (*)(void* argument);

/// Starts `routine(argument)` on a new thread that waits, suspended once,
/// for `resumeThread`. `id` receives the system's thread id. Null on failure.
threadHandle* createSuspendedThread(threadRoutine routine, void* argument, unsigned long& id);
/// Gives up the caller's hold of the thread; a thread still running goes on
/// on its own.
void closeThread(threadHandle* handle);

/// Both return the previous suspend count, -1 on failure (see `lastErrorCode`).
long suspendThread(threadHandle* handle);
long resumeThread(threadHandle* handle);

/// The Windows priority levels: time critical, highest, above normal,
/// normal, below normal, lowest, idle.
constexpr int priorityTimeCritical = 15;
constexpr int priorityHighest = 2;
constexpr int priorityAboveNormal = 1;
constexpr int priorityNormal = 0;
constexpr int priorityBelowNormal = -1;
constexpr int priorityLowest = -2;
constexpr int priorityIdle = -15;
/// Sets one of the levels above. On Linux the level is recorded and the
/// thread's nice value follows it as far as the system allows (raising it
/// needs privileges).
bool setThreadPriority(threadHandle* handle, int level);
/// The thread's level; false on failure.
bool threadPriority(threadHandle* handle, int& level);

/// What `terminateThread` did.
enum class terminateResult { ended, busy, failed };
/// Ends the thread with `exitCode` (see the file comment for Linux). On
/// Windows the thread is stopped first and ended only when `mayEnd(context)`
/// agrees; otherwise it goes on and the answer is `busy`.
terminateResult terminateThread(threadHandle* handle, unsigned int exitCode, bool (*mayEnd)(void*),
                                void* context);
/// The exit code (`stillActive` while the thread runs); false on failure.
bool threadExitCode(threadHandle* handle, long& exitCode);
/// Waits at most `timeoutMs` for the thread to end; true when it has ended.
bool waitThread(threadHandle* handle, unsigned int timeoutMs);

// ---- waiting on many -----------------------------------------------------

/// One object to wait for: an event or a thread.
struct waitItem {
    eventHandle* event = nullptr;
    threadHandle* thread = nullptr;
};

/// Waits at most `timeoutMs` until at least one item is signalled and puts
/// the indexes of all items found signalled, in ascending order, into
/// `signalled` (automatic-reset events among them are cleared, as by a
/// wait). There is no limit on the number of items. False on time-out or
/// failure (`signalled` empty then).
bool waitAny(const std::vector<waitItem>& items, unsigned int timeoutMs, std::vector<std::size_t>& signalled);

} // namespace zv::os
