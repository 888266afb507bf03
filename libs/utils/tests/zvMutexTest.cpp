#include "zvMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>
#include <vector>

namespace {

// Whether another thread obtains `m` at once; it gives it back if it does.
bool otherThreadGets(zv::mutex& m) {
    bool got = false;
    std::thread([&] {
        got = m.lock(0);
        if (got)
            m.release();
    }).join();
    return got;
}

// Runs `body` on four threads at once and waits for all of them.
template <typename Body>
void onFourThreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(body);
    for (auto& t : threads)
        t.join();
}

} // namespace

TEST(mutex, RecursiveOwnershipReleaseOnlyByTheOwnerAndTimedLocks) {
    zv::mutex m;
    ASSERT_TRUE(m.lock());
    EXPECT_TRUE(m.lock(0));
    EXPECT_TRUE(m.lock());
    m.release();
    m.release();
    EXPECT_FALSE(otherThreadGets(m)); // still held once
    bool timed = true;
    std::thread([&] {
        m.release(); // not the owner: changes nothing
        timed = m.lock(30);
    }).join();
    EXPECT_FALSE(timed);
    EXPECT_FALSE(otherThreadGets(m));
    m.release();
    EXPECT_TRUE(otherThreadGets(m));

    // Abandoned by a thread that ended while holding it: obtained, and recursive for its new owner.
    std::thread([&] { ASSERT_TRUE(m.lock()); }).join();
    EXPECT_TRUE(m.lock(0));
    EXPECT_TRUE(m.lock());
    m.release();
    m.release();
    EXPECT_TRUE(otherThreadGets(m));

    try {
        zv::mutexGuard guard(m);
        throw false;
    } catch (bool) {
    }
    EXPECT_TRUE(otherThreadGets(m)); // the guard released it on the way out

    // A timed lock succeeds when the owner releases in time.
    std::atomic<bool> held{false};
    std::thread owner([&] {
        m.lock();
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m.release();
    });
    while (!held)
        std::this_thread::yield();
    EXPECT_TRUE(m.lock(60000));
    m.release();
    owner.join();
}

TEST(mutex, GuardSerialisesConcurrentUpdates) {
    zv::mutex m;
    long long counter = 0;        // deliberately not atomic
    constexpr int kRounds = 2000; // kernel mutexes under Wine are slow; contention is what matters
    onFourThreads([&] {
        for (int i = 0; i < kRounds; ++i) {
            zv::mutexGuard outer(m);
            zv::mutexGuard inner(m); // recursion under contention
            ++counter;
        }
    });
    EXPECT_EQ(counter, 4LL * kRounds);
}

// long is 32 bits on Windows and 64 bits on Linux; the limits follow the type.
TEST(interlocked, ReturnsTheNewValueAndWrapsAtTheLimitsOfTheType) {
    long s = 0;
    EXPECT_EQ(zv::interlockedIncrement(&s), 1);
    EXPECT_EQ(zv::interlockedDecrement(&s), 0);
    EXPECT_EQ(zv::interlockedDecrement(&s), -1);
    s = LONG_MAX;
    EXPECT_EQ(zv::interlockedIncrement(&s), LONG_MIN);
    EXPECT_EQ(zv::interlockedDecrement(&s), LONG_MAX);
    unsigned long u = 0;
    EXPECT_EQ(zv::interlockedDecrement(&u), ULONG_MAX);
    EXPECT_EQ(zv::interlockedIncrement(&u), 0u);
}

TEST(interlocked, ConcurrentCountersLoseNothing) {
    long s = 0, down = 4 * 50000;
    unsigned long u = 0;
    std::atomic<int> reachedZero{0};
    onFourThreads([&] {
        for (int i = 0; i < 50000; ++i) {
            zv::interlockedIncrement(&s);
            zv::interlockedIncrement(&u);
            if (zv::interlockedDecrement(&down) == 0)
                ++reachedZero;
        }
    });
    EXPECT_EQ(s, 200000);
    EXPECT_EQ(u, 200000u);
    EXPECT_EQ(reachedZero.load(), 1); // exactly one thread sees the last release
}
