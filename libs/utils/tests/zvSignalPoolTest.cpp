#include "zvThread.h"

#include "zvProcess.h"

#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using zvtest::eventually;

// A name no other test run uses.
std::wstring uniqueName(const wchar_t* what) {
    static std::atomic<int> counter{0};
    return std::wstring(L"zvtest-") + what + L"-" + std::to_wstring(zv::getCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
}

template <typename T>
void count(T*, void* user) {
    ++*static_cast<std::atomic<int>*>(user);
}
constexpr auto countSignal = &count<zv::signal>;
constexpr auto countThread = &count<zv::thread>;

// Detaches when it goes.
struct attached {
    zv::signal* s;
    std::atomic<int> calls{0};
    explicit attached(zv::signal* s) : s(s) { zv::signalPool::singleton().attach(s, countSignal, &calls); }
    ~attached() { zv::signalPool::singleton().detach(s, countSignal, &calls); }
};

// Waits until the listener has gone round at least once more: a fresh
// signal's callback is called only after everything signalled before it.
bool poolCaughtUp() {
    auto s = zv::signal::create(false, true);
    attached fresh(s.get());
    return eventually([&] { return fresh.calls.load() > 0; });
}

int quickWork(void*) {
    return 0;
}

struct countedThread : zv::thread {
    explicit countedThread(std::atomic<int>& destroyed) : destroyed(destroyed) {}
    ~countedThread() override { ++destroyed; }
    std::atomic<int>& destroyed;
};

} // namespace

TEST(signalPool, ThreadEndIsReportedOnceAndTheThreadIsLetGo) {
    std::atomic<int> calls{0};
    std::atomic<int> destroyed{0};
    {
        zv::refPtr<countedThread> t(new countedThread(destroyed));
        zv::signalPool::singleton().attach(t.get(), countThread, &calls); // before it starts
        t->start(nullptr, nullptr, true);
        EXPECT_TRUE(poolCaughtUp());
        EXPECT_EQ(calls.load(), 0);
        t->resume();
        EXPECT_TRUE(eventually([&] { return calls.load() == 1; }));
    }
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(eventually([&] { return destroyed.load() == 1; })); // the pool held it until dispatched
}

TEST(signalPool, CallbackAttachedDuringADispatchIsNotLost) {
    std::atomic<int> calls[2] = {0, 0}; // of the first callback and of the one it attaches
    auto t = zv::thread::create(false);
    zv::signalPool::singleton().attach(
        t.get(),
        [](zv::thread* th, void* user) {
            auto* c = static_cast<std::atomic<int>*>(user);
            if (c[0]++ == 0)
                zv::signalPool::singleton().attach(th, countThread, &c[1]);
        },
        calls);
    t->start(&quickWork);
    EXPECT_TRUE(eventually([&] { return calls[1].load() == 1; }));
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_EQ(calls[0].load(), 1);
    EXPECT_EQ(calls[1].load(), 1);
}

TEST(signalPool, DetachRemovesExactlyThatCallback) {
    std::atomic<int> a{0}, b{0};
    auto s = zv::signal::create();
    auto& pool = zv::signalPool::singleton();
    pool.attach(s.get(), countSignal, &a);
    pool.attach(s.get(), countSignal, &b);
    pool.detach(s.get(), countSignal, &a);
    pool.detach(s.get(), countSignal, &a); // not attached any more: no-op
    s->setSignal();
    EXPECT_TRUE(eventually([&] { return b.load() == 1; }));
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_EQ(a.load(), 0);
    EXPECT_EQ(b.load(), 1); // automatic reset: reported once
    pool.detach(s.get(), countSignal, &b);
    s->setSignal();
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_EQ(b.load(), 1);
}

TEST(signalPool, ASignalLeftSetDoesNotStarveTheOthersAndThrowingCallbacksAreDropped) {
    auto manual = zv::signal::create(true, true), thrower = zv::signal::create(false, true);
    auto s = zv::signal::create();
    const auto throwing = +[](zv::signal*, void*) { throw 42; };
    zv::signalPool::singleton().attach(thrower.get(), throwing, nullptr);
    {
        attached stuck(manual.get()), other(s.get());
        EXPECT_TRUE(eventually([&] { return stuck.calls.load() > 3; })); // reported again and again
        for (int i = 1; i <= 3; ++i) {
            s->setSignal();
            EXPECT_TRUE(eventually([&] { return other.calls.load() == i; }));
        }
    }
    zv::signalPool::singleton().detach(thrower.get(), throwing, nullptr);
    EXPECT_TRUE(poolCaughtUp());
}

TEST(signalPool, TwoHundredSignalsSetFromSeveralThreads) {
    constexpr int kSignals = 200;
    std::vector<zv::refPtr<zv::signal>> signals;
    std::vector<std::unique_ptr<attached>> seen;
    for (int i = 0; i < kSignals; ++i) {
        signals.push_back(zv::signal::create());
        seen.push_back(std::make_unique<attached>(signals.back().get()));
    }
    std::vector<std::thread> setters;
    for (int k = 0; k < 4; ++k)
        setters.emplace_back([&, k] {
            for (int i = k; i < kSignals; i += 4)
                signals[i]->setSignal();
        });
    for (auto& t : setters)
        t.join();
    // Each reported once, and the last one once more: the big wait goes on working.
    const auto allSeen = [&](int last) {
        return std::all_of(seen.begin(), seen.end(),
                           [&](const auto& a) { return a->calls.load() == (a == seen.back() ? last : 1); });
    };
    EXPECT_TRUE(eventually([&] { return allSeen(1); }));
    signals.back()->setSignal();
    EXPECT_TRUE(eventually([&] { return allSeen(2); }));
}

TEST(signalPool, StressConcurrentAttachSetDetachAndThreadEnds) {
    constexpr int kWorkers = 3;
    constexpr int kRounds = 25;
    auto& pool = zv::signalPool::singleton();
    std::atomic<int> threadEnds{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&] {
            for (int r = 0; r < kRounds; ++r) {
                std::atomic<int> calls{0};
                auto s = zv::signal::create();
                pool.attach(s.get(), countSignal, &calls);
                s->setSignal();
                if (!eventually([&] { return calls.load() >= 1; }))
                    ++failures;
                pool.detach(s.get(), countSignal, &calls);
                auto t = zv::thread::create(false);
                pool.attach(t.get(), countThread, &threadEnds);
                t->start(&quickWork);
            }
        });
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(eventually([&] { return threadEnds.load() == kWorkers * kRounds; }));
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_EQ(threadEnds.load(), kWorkers * kRounds);
}

// ---- named signals ---------------------------------------------------------

TEST(signal, NamedSignalsShareOneEvent) {
    const std::wstring name = uniqueName(L"shared");
    auto a = zv::signal::create(true, false, name.c_str());
    auto b = zv::signal::create(false, true, name.c_str()); // opens a's: manual reset, not set
    ASSERT_TRUE(a->isValid());
    ASSERT_TRUE(b->isValid());
    EXPECT_FALSE(b->wait(0));
    a->setSignal();
    EXPECT_TRUE(b->wait(0));
    EXPECT_TRUE(b->wait(0)); // manual reset
    b->resetSignal();
    EXPECT_FALSE(a->wait(0));
    auto other = zv::signal::create(false, false, uniqueName(L"other").c_str());
    a->setSignal();
    EXPECT_FALSE(other->wait(0));

    // Waiting through the pool and directly, from another thread.
    a->resetSignal();
    {
        attached waiting(b.get());
        std::thread([&] { a->setSignal(); }).join();
        EXPECT_TRUE(eventually([&] { return waiting.calls.load() > 0; }));
    }
    a->resetSignal();

    // A name that only differs in characters outside the plain ones.
    auto odd1 = zv::signal::create(false, false, (name + L"/\u00e9 x").c_str());
    auto odd2 = zv::signal::create(false, false, (name + L"/\u00e8 x").c_str());
    odd1->setSignal();
    EXPECT_FALSE(odd2->wait(0));
    EXPECT_TRUE(odd1->wait(0));
}
