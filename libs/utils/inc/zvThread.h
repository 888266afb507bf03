// zvThread.h - signals, threads with start and end handlers, and the signal
// pool that calls back when a signal is set or a thread ends.
//
//     int work(void* arg) { ...; return 0; }
//
//     zv::refPtr<zv::signal> ready = zv::signal::create(true);      // manual reset
//     zv::refPtr<zv::thread> t = zv::thread::create(true, zv::thread::ePriorityNormal, false, &work, arg);
//     zv::signalPool::singleton().attach(t.get(), &onEnded, user); // called once, when t ends
//     t->wait();
//
// A derived class overrides `execute` instead of passing a work function, and
// calls `start` once it is constructed.
//
// A running thread holds a reference to its own object until its routine has
// ended, so dropping the last outside reference never stops it; the object
// goes when both are gone. A thread that was started suspended and is never
// resumed keeps its object for the life of the process.
//
// Platforms. Windows uses kernel events and threads throughout. On Linux:
// unnamed signals are eventfds; named signals live in shared memory
// ("/dev/shm/zvsig-<uid>-<name>") with a process-shared mutex and condition,
// and are removed with their last handle (a process that crashes leaves
// its share behind). Priorities are recorded and followed by the thread's
// nice value as far as the system allows (raising it needs privileges).
// Stopping a running thread at an arbitrary point is not safe with POSIX
// threads, so `suspend` works only before the routine begins (a thread
// started suspended) or on the calling thread itself, and `terminate` only
// before the routine begins or after it ended; otherwise both fail with
// their error text and errno ENOTSUP (95).
//
// `terminate` on Windows stops the thread and ends it (TerminateThread) at
// a moment when it holds none of the library's mutexes, so no library lock
// is left held or half way through a change; it waits up to 5 seconds for
// such a moment and fails otherwise. No handler or destructor of the ended
// thread runs, and locks outside the library (the C runtime heap's, for
// one) may still stay held for ever. Prefer ending a thread by telling it
// to return.
#pragma once

#include "zvDefs.h"
#include "zvRefObj.h"
#include "zvRefPtr.h"

namespace zv {

namespace os {
struct eventHandle;
}

class thread;

/// An event: set it in one thread, wait for it (or be called back through
/// the `signalPool`) in another. Named signals are shared between processes.
class ZV_API signal : public refObj {
public:
    /// Waits without limit.
    static constexpr unsigned int infinite = 0xFFFFFFFFu;

    /// A new signal (manual or automatic reset, initially set or not). A
    /// name opens the signal of that name when one exists in this or another
    /// process (keeping its reset mode and state) and creates it otherwise.
    /// When the system refuses an event the signal has none (`isValid`
    /// false) and every operation does nothing.
    static refPtr<signal> create(bool manualReset = false, bool initiallySet = false,
                                 const wchar_t* name = nullptr);

    /// Sets the signal, releasing waiters (one waiter for an automatic-reset signal).
    void setSignal();
    /// Clears the signal.
    void resetSignal();
    /// Waits at most `timeoutMs` for the signal; true when it was set. A wait
    /// that sees an automatic-reset signal set clears it.
    bool wait(unsigned int timeoutMs = infinite);
    /// Whether the signal has an event.
    bool isValid() const { return m_event != nullptr; }

private:
    explicit signal(os::eventHandle* event) : m_event(event) {}
    ~signal() override;
    friend class signalPool;
    friend class signalPoolListeningThread;

    os::eventHandle* m_event;
};

/// Called in a new thread before its work, in the order of attachment.
class ZV_API startThreadHandler {
public:
    virtual ~startThreadHandler();
    /// Called in the new thread `t` before its work.
    virtual void threadStarted(thread& t) const = 0;
};

/// Called in a thread after its work, in the reverse order of attachment,
/// with the work's result.
class ZV_API endThreadHandler {
public:
    virtual ~endThreadHandler();
    /// Called in thread `t` after its work, with its result.
    virtual void threadEnded(thread& t, int exitCode) const = 0;
};

/// A thread of the operating system with start and end handlers. Failures
/// throw `zv::unexpectedErrorException`.
class ZV_API thread : public refObj {
public:
    /// Priorities; values outside 0-5 are set as idle. Reading back gives
    /// `ePriorityOther` for idle and for any level not in this list.
    enum ePriority {
        ePriorityTimeCritical = 0,
        ePriorityHighest = 1,
        ePriorityAboveNormal = 2,
        ePriorityNormal = 3,
        ePriorityBelowNormal = 4,
        ePriorityLowest = 5,
        ePriorityIdle = 6,
        ePriorityOther = 7
    };
    /// The work of a thread: takes the start argument, answers the exit code.
    using workFunction = int (*)(void*);
    /// Waits without limit.
    static constexpr unsigned int infinite = 0xFFFFFFFFu;

    /// A new thread object; with `startNow`, `start(work, argument,
    /// startSuspended, priority)` is called at once.
    static refPtr<thread> create(bool startNow = true, ePriority priority = ePriorityNormal,
                                 bool startSuspended = false, workFunction work = nullptr,
                                 void* argument = nullptr);

    /// Starts the thread once: it runs the start handlers, then `work(argument)`
    /// (or `execute()` when `work` is null), whose result is its exit code, then
    /// the end handlers. A work that throws ends with exit code 1.
    void start(workFunction work = nullptr, void* argument = nullptr, bool startSuspended = false,
               ePriority priority = ePriorityNormal);

    /// Whether `start` was called.
    bool isStarted() const;
    /// The suspended flag: set by a suspended start and by `suspend`, cleared
    /// by the `resume` that lets the thread run.
    bool isSuspended() const;
    /// Whether the calling thread is this thread.
    bool isCurrent() const;
    /// Whether the thread has ended (read from its state, not its exit code).
    bool hasFinished() const;
    /// The exit code; 259 while the thread runs.
    int exitCode() const;
    /// Waits at most `timeoutMs` for the thread to end; false when it is
    /// still running (or was never started).
    bool wait(unsigned int timeoutMs = infinite) const;
    /// The system's id of the thread; 0 until it is started.
    unsigned long threadId() const;

    /// Sets the priority (recorded; followed as far as the system allows).
    void setPriority(ePriority priority);
    /// The priority last set.
    ePriority priority() const;

    /// Both return the previous suspend count.
    long suspend();
    /// Lowers the suspend count; the thread runs at 0.
    long resume();
    /// Resumes until the thread runs (a previous count below 2); returns the
    /// last previous count. Throws when the thread was not suspended.
    long immediateResume();
    /// Ends the thread at once with `exitCode` (see the file comment); nothing
    /// happens to a thread that has ended.
    void terminate(int exitCode);

    /// The handler must live as long as the thread may call it.
    void attachStartHandler(const startThreadHandler* handler);
    /// The same for an end handler.
    void attachEndHandler(const endThreadHandler* handler);

protected:
    thread();
    ~thread() override;
    /// The work of a thread started without a work function.
    virtual int execute();

private:
    struct threadData;
    threadData* data() const;
    static unsigned int entry(void* self);
    friend class signalPool;
    friend class signalPoolListeningThread;

    threadData* m_data;
};

/// The process-wide listener: calls back, on its own thread, when an attached
/// signal is set or an attached thread ends. A thread's callbacks are called
/// once, then the thread is no longer watched; a signal stays watched until
/// detached (a manual-reset signal left set is reported again and again,
/// alongside every other signalled object). Objects are held by reference
/// while attached. Callbacks run without the pool's lock, so they may attach
/// and detach; whatever they throw is dropped.
class ZV_API signalPool {
public:
    /// Called when an attached signal is set.
    using signalCallback = void (*)(signal*, void*);
    /// Called when an attached thread ends.
    using threadCallback = void (*)(thread*, void*);

    /// The process-wide pool, created on first use.
    static signalPool& singleton();

    /// The same callback and user pointer may be attached more than once;
    /// each attachment is called.
    void attach(signal* s, signalCallback callback, void* user);
    /// The same for a thread.
    void attach(thread* t, threadCallback callback, void* user);
    /// Removes one attachment of exactly this callback and user pointer.
    void detach(signal* s, signalCallback callback, void* user);
    /// The same for a thread.
    void detach(thread* t, threadCallback callback, void* user);

    signalPool(const signalPool&) = delete;
    signalPool& operator=(const signalPool&) = delete;

    /// The pool's state, known only inside the library.
    struct poolData;

private:
    signalPool();
    ~signalPool() = delete; // lives until the process ends
    poolData* m_data;
};

} // namespace zv
