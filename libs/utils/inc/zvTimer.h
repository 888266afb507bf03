// zvTimer.h - periodic callbacks on the thread that created the timer.
//
//     void tick(void* user) { ++*static_cast<int*>(user); }
//
//     int count = 0;
//     {
//         zv::timer t(&tick, &count, 100);   // every 100 ms
//         zv::pumpMessages(1000);            // tick runs here, on this thread
//     }                                      // stopped; no call after this
//
// A timer's callback runs only on the thread that created it, and only from
// that thread's message loop: the application's own loop on Windows, or
// `zv::pumpMessages` on any platform. A thread that never pumps never sees
// its callbacks. Like system timers, a late timer fires once, not once per
// missed interval.
//
// Callbacks of one thread run one at a time: a timer event that arrives
// while a callback is running on that thread (because the callback pumps
// messages itself) waits in a queue and is dispatched after it returns.
// Destroying a timer drops its waiting events, so its callback is never
// called after the destructor has returned on the creating thread. A
// callback may create and destroy timers; an exception thrown by a callback
// is swallowed and ends the current dispatch (waiting events stay queued).
#pragma once

#include "zvDefs.h"

namespace zv {

/// Periodic callbacks on the creating thread, run from its message loop.
class ZV_API timer {
public:
    /// The function called on each tick, with the user's pointer.
    using callback = void (*)(void* user);

    /// Starts a periodic timer for the calling thread; `intervalMs` of 0 counts as 1.
    timer(callback cb, void* user, unsigned int intervalMs);
    /// Stops the timer and drops its waiting events.
    ~timer();
    timer(const timer&) = delete;
    timer& operator=(const timer&) = delete;

    /// The identifier of the timer (0 when the system refused one).
    unsigned int id() const { return m_id; }
    /// The number of timer events of all threads waiting to be dispatched.
    static unsigned int pendingCount();

private:
    unsigned int m_id;
};

/// Runs the calling thread's message loop for `timeoutMs` milliseconds and
/// returns: due timer callbacks of this thread run inside it. On Windows it
/// dispatches every message of the thread's queue (a `WM_QUIT` ends it early
/// and is posted again for the application's loop).
ZV_API void pumpMessages(unsigned int timeoutMs);

} // namespace zv
