// Timers without a system message loop: each timer belongs to the thread
// that started it, and that thread's `pumpMessages` calls its procedure when
// it is due. Like the system timers of Windows, a late timer fires once and
// is then due again one interval later; events never pile up.
#include "../zvOs.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zv::os {

namespace {

using clock = std::chrono::steady_clock;

struct timerEntry {
    unsigned int id;
    std::chrono::milliseconds interval;
    clock::time_point due;
    timerProcedure procedure;
    std::thread::id owner;
};

struct timerTable {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<timerEntry> timers;
};

timerTable& table() {
    static timerTable* t = new timerTable; // outlives every static timer
    return *t;
}

} // namespace

unsigned int startTimer(unsigned int id, unsigned int intervalMs, timerProcedure procedure) {
    if (id == 0 || !procedure)
        return 0;
    timerTable& t = table();
    {
        std::lock_guard<std::mutex> guard(t.lock);
        const auto interval = std::chrono::milliseconds(intervalMs == 0 ? 1 : intervalMs);
        t.timers.push_back({id, interval, clock::now() + interval, procedure, std::this_thread::get_id()});
    }
    t.changed.notify_all();
    return id;
}

void stopTimer(unsigned int id) {
    timerTable& t = table();
    {
        std::lock_guard<std::mutex> guard(t.lock);
        for (auto it = t.timers.begin(); it != t.timers.end(); ++it) {
            if (it->id == id) {
                t.timers.erase(it);
                break;
            }
        }
    }
    t.changed.notify_all();
}

void pumpMessages(unsigned int timeoutMs) {
    timerTable& t = table();
    const auto self = std::this_thread::get_id();
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> guard(t.lock);
    for (;;) {
        // Every timer of this thread that is due now fires once, earliest first.
        const auto now = clock::now();
        std::vector<timerEntry> due;
        clock::time_point wakeUp = deadline;
        for (timerEntry& e : t.timers) {
            if (e.owner != self)
                continue;
            if (e.due <= now) {
                due.push_back(e);
                e.due = now + e.interval;
            }
            if (e.due < wakeUp)
                wakeUp = e.due;
        }
        if (!due.empty()) {
            std::sort(due.begin(), due.end(),
                      [](const timerEntry& a, const timerEntry& b) { return a.due < b.due; });
            guard.unlock(); // the procedures may start or stop timers
            for (const timerEntry& e : due)
                e.procedure(e.id);
            guard.lock();
        }
        if (clock::now() >= deadline)
            return;
        if (due.empty())
            t.changed.wait_until(guard, wakeUp);
    }
}

} // namespace zv::os
