// zvMutex.h - the recursive mutex that guards the library's shared state, and
// the atomic counters behind reference counting.
//
//     zv::mutex m;
//     {
//         zv::mutexGuard guard(m);   // lock(); released on every way out
//         ...                        // the owner may lock m again
//     }
//     if (m.lock(50)) { ...; m.release(); }   // wait at most 50 ms
#pragma once

#include "zvDefs.h"

namespace zv {

namespace os {
struct mutexHandle;
}

/// A recursive mutex over one unnamed operating-system mutex object. The
/// owner may lock it again and must release it as often as it locked it.
/// A mutex whose owner thread ended while holding it counts as obtained by
/// the next `lock`.
class ZV_API mutex {
public:
    mutex();
    ~mutex();
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;

    /// Waits without limit; true when the mutex was obtained.
    bool lock();
    /// Waits at most `milliseconds` (0 only tries); false on time-out or failure.
    bool lock(unsigned int milliseconds);
    /// Gives up one level of ownership; a caller that does not own it changes nothing.
    void release();

private:
    os::mutexHandle* m_handle;
};

/// Holds a `zv::mutex` for the lifetime of the guard.
class mutexGuard {
public:
    /// Locks `m` for the guard's lifetime.
    explicit mutexGuard(mutex& m) : m_mutex(m), m_locked(m.lock()) {}
    ~mutexGuard() {
        if (m_locked)
            m_mutex.release();
    }
    mutexGuard(const mutexGuard&) = delete;
    mutexGuard& operator=(const mutexGuard&) = delete;

private:
    mutex& m_mutex;
    bool m_locked;
};

/// Atomically adds one to `*value` and returns the new value.
ZV_API long interlockedIncrement(long* value);
ZV_API unsigned long interlockedIncrement(unsigned long* value);
/// Atomically subtracts one from `*value` and returns the new value.
ZV_API long interlockedDecrement(long* value);
ZV_API unsigned long interlockedDecrement(unsigned long* value);

} // namespace zv
