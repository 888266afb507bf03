#include "zvMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>
#include <vector>

namespace {

// Runs `body` on another thread and waits for it.
template <typename F>
void onOtherThread(F body) {
    std::thread t(body);
    t.join();
}

} // namespace

TEST(mutex, OwnerCanLockAgainWithoutWaiting) {
    zv::mutex m;
    ASSERT_TRUE(m.lock());
    EXPECT_TRUE(m.lock(0));
    EXPECT_TRUE(m.lock());
    m.release();
    m.release();
    // Still held once: another thread cannot have it.
    bool otherGotIt = true;
    onOtherThread([&] { otherGotIt = m.lock(0); });
    EXPECT_FALSE(otherGotIt);
    m.release();
    onOtherThread([&] {
        otherGotIt = m.lock(0);
        if (otherGotIt)
            m.release();
    });
    EXPECT_TRUE(otherGotIt);
}

TEST(mutex, ZeroTimeoutAnswersAtOnceWhenHeldElsewhere) {
    zv::mutex m;
    ASSERT_TRUE(m.lock());
    bool zero = true;
    bool timed = true;
    onOtherThread([&] {
        zero = m.lock(0);
        timed = m.lock(30);
    });
    EXPECT_FALSE(zero);
    EXPECT_FALSE(timed);
    m.release();
}

TEST(mutex, TimedLockSucceedsWhenReleasedInTime) {
    zv::mutex m;
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread owner([&] {
        m.lock();
        held = true;
        while (!release)
            std::this_thread::yield();
        m.release();
    });
    while (!held)
        std::this_thread::yield();
    std::thread waiter([&] { release = true; });
    EXPECT_TRUE(m.lock(60000));
    m.release();
    waiter.join();
    owner.join();
}

TEST(mutex, ReleaseByNonOwnerChangesNothing) {
    zv::mutex m;
    ASSERT_TRUE(m.lock());
    onOtherThread([&] { m.release(); });
    bool otherGotIt = true;
    onOtherThread([&] { otherGotIt = m.lock(0); });
    EXPECT_FALSE(otherGotIt);
    m.release();
}

TEST(mutex, AbandonedByEndedThreadIsObtained) {
    zv::mutex m;
    onOtherThread([&] { ASSERT_TRUE(m.lock()); }); // ends while holding it
    EXPECT_TRUE(m.lock(0));
    EXPECT_TRUE(m.lock()); // recursive for its new owner
    m.release();
    m.release();
    bool otherGotIt = false;
    onOtherThread([&] {
        otherGotIt = m.lock(0);
        if (otherGotIt)
            m.release();
    });
    EXPECT_TRUE(otherGotIt);
}

TEST(mutex, GuardSerialisesConcurrentUpdates) {
    zv::mutex m;
    long long counter = 0; // deliberately not atomic
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000; // kernel mutexes under Wine are slow; contention is what matters
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                zv::mutexGuard outer(m);
                zv::mutexGuard inner(m); // recursion under contention
                ++counter;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, static_cast<long long>(kThreads) * kRounds);
}

TEST(mutex, GuardReleasesWhenAnExceptionLeaves) {
    zv::mutex m;
    try {
        zv::mutexGuard guard(m);
        throw false;
    } catch (bool) {
    }
    bool otherGotIt = false;
    onOtherThread([&] {
        otherGotIt = m.lock(0);
        if (otherGotIt)
            m.release();
    });
    EXPECT_TRUE(otherGotIt);
}

TEST(interlocked, ReturnsTheNewValue) {
    long s = 0;
    EXPECT_EQ(zv::interlockedIncrement(&s), 1);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(zv::interlockedDecrement(&s), 0);
    EXPECT_EQ(zv::interlockedDecrement(&s), -1);

    unsigned long u = 1;
    EXPECT_EQ(zv::interlockedDecrement(&u), 0u);
    EXPECT_EQ(zv::interlockedIncrement(&u), 1u);
}

TEST(interlocked, WrapsAroundAtTheLimitsOfTheType) {
    // long is 32 bits on Windows and 64 bits on Linux; the limits follow the type.
    unsigned long u = ULONG_MAX;
    EXPECT_EQ(zv::interlockedIncrement(&u), 0u);
    EXPECT_EQ(zv::interlockedDecrement(&u), ULONG_MAX);
    long s = LONG_MAX;
    EXPECT_EQ(zv::interlockedIncrement(&s), LONG_MIN);
    EXPECT_EQ(zv::interlockedDecrement(&s), LONG_MAX);
}

TEST(interlocked, ConcurrentCountersLoseNothing) {
    long s = 0;
    unsigned long u = 0;
    std::atomic<int> reachedZero{0};
    long down = 4 * 50000;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50000; ++i) {
                zv::interlockedIncrement(&s);
                zv::interlockedIncrement(&u);
                if (zv::interlockedDecrement(&down) == 0)
                    ++reachedZero;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(s, 200000);
    EXPECT_EQ(u, 200000u);
    EXPECT_EQ(reachedZero.load(), 1); // exactly one thread sees the last release
}
