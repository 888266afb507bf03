#include "zvTimer.h"

#include "os/zvOs.h"
#include "zvMutex.h"

#include <algorithm>
#include <deque>
#include <thread>
#include <vector>

namespace zv {

namespace {

struct timerRecord {
    unsigned int id;
    timer::callback cb;
    void* user;
    std::thread::id owner;
};

struct pendingEvent {
    unsigned int id;
    std::thread::id owner;
};

// Process-wide state, created on first use and never destroyed, so that a
// timer in a static object can still be destroyed at exit. The registry
// lock is always taken before the queue lock.
struct timerState {
    mutex registryLock;
    std::vector<timerRecord> registry;
    mutex queueLock;
    std::deque<pendingEvent> queue;
    mutex counterLock;
    unsigned int nextId = 1;
};

timerState& state() {
    static timerState* s = new timerState;
    return *s;
}

// Set while a callback runs further up this thread's stack; events that come
// in meanwhile are queued and dispatched by the outer loop.
thread_local bool t_dispatching = false;

void onTimer(unsigned int id) {
    timerState& s = state();
    const std::thread::id self = std::this_thread::get_id();
    {
        mutexGuard registryGuard(s.registryLock);
        const auto it = std::find_if(s.registry.begin(), s.registry.end(),
                                     [&](const timerRecord& r) { return r.id == id && r.owner == self; });
        if (it == s.registry.end() || !it->cb)
            return;
        mutexGuard queueGuard(s.queueLock);
        s.queue.push_back({id, self});
    }
    if (t_dispatching)
        return;
    t_dispatching = true;
    for (;;) {
        unsigned int next = 0;
        {
            mutexGuard queueGuard(s.queueLock);
            const auto it = std::find_if(s.queue.begin(), s.queue.end(),
                                         [&](const pendingEvent& e) { return e.owner == self; });
            if (it == s.queue.end()) {
                t_dispatching = false;
                return;
            }
            next = it->id;
            s.queue.erase(it);
        }
        timer::callback cb = nullptr;
        void* user = nullptr;
        {
            mutexGuard registryGuard(s.registryLock);
            const auto it = std::find_if(s.registry.begin(), s.registry.end(),
                                         [&](const timerRecord& r) { return r.id == next; });
            if (it == s.registry.end())
                continue; // destroyed while waiting
            cb = it->cb;
            user = it->user;
        }
        try {
            cb(user);
        } catch (...) {
            t_dispatching = false;
            return;
        }
    }
}

} // namespace

timer::timer(callback cb, void* user, unsigned int intervalMs) : m_id(0) {
    timerState& s = state();
    unsigned int proposed = 0;
    {
        mutexGuard guard(s.counterLock);
        proposed = s.nextId++;
        if (s.nextId == 0)
            s.nextId = 1;
    }
    // Registered under the lock before the system can call back.
    mutexGuard registryGuard(s.registryLock);
    m_id = os::startTimer(proposed, intervalMs == 0 ? 1 : intervalMs, &onTimer);
    if (m_id != 0)
        s.registry.push_back({m_id, cb, user, std::this_thread::get_id()});
}

timer::~timer() {
    if (m_id == 0)
        return;
    timerState& s = state();
    mutexGuard registryGuard(s.registryLock);
    s.registry.erase(std::remove_if(s.registry.begin(), s.registry.end(),
                                    [&](const timerRecord& r) { return r.id == m_id; }),
                     s.registry.end());
    os::stopTimer(m_id);
    mutexGuard queueGuard(s.queueLock);
    s.queue.erase(
        std::remove_if(s.queue.begin(), s.queue.end(), [&](const pendingEvent& e) { return e.id == m_id; }),
        s.queue.end());
}

unsigned int timer::pendingCount() {
    timerState& s = state();
    mutexGuard guard(s.queueLock);
    return static_cast<unsigned int>(s.queue.size());
}

void pumpMessages(unsigned int timeoutMs) {
    os::pumpMessages(timeoutMs);
}

} // namespace zv
