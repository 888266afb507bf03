#include "zvThread.h"

#include "zvException.h"
#include "zvMutex.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using zvtest::errorText;
using zvtest::eventually;
using p = zv::thread::ePriority;

std::wstring unexpected(const std::wstring& details) {
    return L"Unexpected error occurred (" + details + L")";
}

constexpr bool onWindows =
#ifdef _WIN32
    true;
#else
    false;
#endif

// Written by the thread's handlers and work, read once the thread waits or has ended.
using eventLog = std::vector<std::string>;

// Notes the start (and whether it runs on the new thread) and the end with its code.
struct named : zv::startThreadHandler, zv::endThreadHandler {
    named(eventLog& log, std::string name) : log(log), name(std::move(name)) {}
    void threadStarted(zv::thread& t) const override {
        log.push_back(name + (t.isCurrent() ? "" : "!elsewhere"));
    }
    void threadEnded(zv::thread&, int code) const override { log.push_back(name + std::to_string(code)); }
    eventLog& log;
    std::string name;
};

int logWork(void* arg) {
    static_cast<eventLog*>(arg)->push_back("work");
    return 5;
}

int noWork(void*) {
    return 0;
}

// Work that waits for a signal and returns what the test asks.
struct gate {
    zv::refPtr<zv::signal> open = zv::signal::create(true);
    std::atomic<bool> entered{false};
    std::atomic<int> result{0};
};

int gatedWork(void* arg) {
    auto* g = static_cast<gate*>(arg);
    g->entered = true;
    g->open->wait();
    return g->result;
}

zv::refPtr<zv::thread> suspended(zv::thread::workFunction work = &noWork, void* arg = nullptr,
                                 p priority = p::ePriorityNormal) {
    return zv::thread::create(true, priority, true, work, arg);
}

// A thread class that counts its destructions and runs `body`.
struct countedThread : zv::thread {
    static zv::refPtr<countedThread> make(std::atomic<int>& destroyed,
                                          std::function<int(countedThread&)> body) {
        return zv::refPtr<countedThread>(new countedThread(destroyed, std::move(body)));
    }
    countedThread(std::atomic<int>& destroyed, std::function<int(countedThread&)> body)
        : destroyed(destroyed), body(std::move(body)) {}
    ~countedThread() override { ++destroyed; }
    int execute() override { return body(*this); }
    std::atomic<int>& destroyed;
    std::function<int(countedThread&)> body;
};

} // namespace

// Start handlers run in their order on the new thread, end handlers in reverse,
// also when the work throws (exit code 1).
TEST(thread, HandlersRunAroundTheWorkInTheirOrder) {
    eventLog log;
    named a(log, "A"), b(log, "B");
    const std::pair<zv::thread::workFunction, eventLog> cases[] = {
        {&logWork, {"A", "B", "work", "B5", "A5"}},
        {[](void*) -> int { throw zv::unexpectedErrorException(L"boom"); }, {"A", "B", "B1", "A1"}}};
    for (const auto& [work, expected] : cases) {
        log.clear();
        auto t = zv::thread::create(false);
        for (named* h : {&a, &b}) {
            t->attachStartHandler(h);
            t->attachEndHandler(h);
        }
        EXPECT_FALSE(t->isStarted());
        t->start(work, &log);
        ASSERT_TRUE(t->wait(20000));
        EXPECT_EQ(log, expected);
        EXPECT_EQ("A" + std::to_string(t->exitCode()), expected.back());
        EXPECT_TRUE(t->isStarted());
        EXPECT_FALSE(t->isCurrent());
    }
}

TEST(thread, StartedSuspendedRunsOnlyWhenResumed) {
    eventLog log;
    auto t = suspended(&logWork, &log);
    EXPECT_TRUE(t->isSuspended());
    EXPECT_FALSE(t->wait(50));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(t->suspend(), 1); // suspended twice now
    EXPECT_EQ(t->resume(), 2);
    EXPECT_TRUE(t->isSuspended());
    EXPECT_EQ(t->suspend(), 1);
    EXPECT_EQ(t->immediateResume(), 1); // resumed twice
    EXPECT_FALSE(t->isSuspended());
    ASSERT_TRUE(t->wait(20000));
    EXPECT_EQ(log, std::vector<std::string>{"work"});
    // A thread that is not suspended cannot be resumed "immediately".
    const std::wstring text = errorText([&] { t->immediateResume(); });
    EXPECT_EQ(text.rfind(L"Unexpected error occurred (Unable to resume thread (", 0), 0u);
}

TEST(thread, FinishedIsReadFromTheStateNotTheExitCode) {
    for (int result : {0, 259, -1}) {
        gate g;
        g.result = result;
        auto t = zv::thread::create(true, p::ePriorityNormal, false, &gatedWork, &g);
        ASSERT_TRUE(eventually([&] { return g.entered.load(); }));
        EXPECT_FALSE(t->hasFinished());
        EXPECT_EQ(t->exitCode(), 259);
        g.open->setSignal();
        ASSERT_TRUE(t->wait(20000));
        EXPECT_TRUE(t->hasFinished()) << result;
        EXPECT_EQ(t->exitCode(), result);
    }
}

TEST(thread, ErrorsCarryTheirTexts) {
    auto fresh = zv::thread::create(false);
    const std::wstring notStarted = unexpected(L"thread not yet started");
    const std::pair<std::function<void()>, std::wstring> cases[] = {
        {[&] { fresh->priority(); }, notStarted},
        {[&] { fresh->resume(); }, notStarted},
        {[&] { fresh->immediateResume(); }, notStarted},
        {[&] { fresh->terminate(1); }, notStarted},
        {[&] { fresh->exitCode(); }, unexpected(L"Error retrieving thread's exitCode")},
    };
    for (const auto& [call, text] : cases)
        EXPECT_EQ(errorText(call), text);
    const std::wstring suspendText = errorText([&] { fresh->suspend(); });
    EXPECT_EQ(suspendText.rfind(L"Unexpected error occurred (Unable to suspend thread (", 0), 0u)
        << suspendText;
    EXPECT_FALSE(fresh->hasFinished());
    EXPECT_FALSE(fresh->wait(0));
    EXPECT_EQ(fresh->threadId(), 0u);

    auto t = suspended();
    EXPECT_EQ(errorText([&] { t->start(); }), unexpected(L"Cannot start thread twice"));
    EXPECT_NE(t->threadId(), 0u);
    t->resume();
    ASSERT_TRUE(t->wait(20000));
}

TEST(thread, PriorityReadsBackWithIdleAsOther) {
    // 0 (time critical) to 5 (lowest) read back as set; idle and unknown values as "other".
    for (int set = -3; set <= 7; ++set) {
        auto t = suspended(); // so that no priority is ever in effect for running code
        EXPECT_EQ(t->priority(), p::ePriorityNormal);
        t->setPriority(static_cast<p>(set));
        EXPECT_EQ(t->priority(), set >= 0 && set <= 5 ? static_cast<p>(set) : p::ePriorityOther) << set;
        t->terminate(0);
    }
    auto started = suspended(&noWork, nullptr, p::ePriorityLowest);
    EXPECT_EQ(started->priority(), p::ePriorityLowest);
    started->resume();
    ASSERT_TRUE(started->wait(20000));
}

TEST(thread, TerminateBeforeTheWorkBeginsEndsItAndFreesTheObject) {
    std::atomic<int> destroyed{0};
    std::atomic<bool> ran{false};
    {
        auto t = countedThread::make(destroyed, [&](countedThread&) {
            ran = true;
            return 0;
        });
        t->start(nullptr, nullptr, true);
        t->terminate(7);
        EXPECT_TRUE(t->hasFinished());
        EXPECT_EQ(t->exitCode(), 7);
        EXPECT_FALSE(t->isSuspended());
        t->terminate(8); // ended: nothing happens
        EXPECT_EQ(t->exitCode(), 7);
    }
    EXPECT_EQ(destroyed.load(), 1); // the routine's own reference went with it
    EXPECT_FALSE(ran.load());
}

TEST(thread, TerminateARunningThreadOnlyWhileItHoldsNoLibraryLock) {
    struct context {
        gate first, second;
        zv::mutex shared;
        std::atomic<bool> holding{false};
    } c;
    auto t = zv::thread::create(false);
    t->start(
        [](void* arg) {
            auto* c = static_cast<context*>(arg);
            c->shared.lock();
            c->holding = true;
            c->first.open->wait();
            c->shared.release();
            c->second.open->wait(); // ended here on Windows
            return 0;
        },
        &c);
    ASSERT_TRUE(eventually([&] { return c.holding.load(); }));
    if (onWindows) {
        std::atomic<bool> ended{false};
        std::thread killer([&] {
            t->terminate(3); // waits while the lock is held
            ended = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(ended.load());
        c.first.open->setSignal();
        killer.join();
        EXPECT_TRUE(t->hasFinished());
        EXPECT_EQ(t->exitCode(), 3);
        EXPECT_TRUE(c.shared.lock(0)); // released by its owner, not abandoned
        c.shared.release();
    } else {
        EXPECT_EQ(errorText([&] { t->terminate(3); }), unexpected(L"Error terminating thread"));
        EXPECT_FALSE(t->hasFinished());
        c.first.open->setSignal();
        c.second.open->setSignal();
        ASSERT_TRUE(t->wait(20000));
        EXPECT_EQ(t->exitCode(), 0);
    }
}

TEST(thread, SuspendingARunningThread) {
    gate g;
    auto t = zv::thread::create(true, p::ePriorityNormal, false, &gatedWork, &g);
    ASSERT_TRUE(eventually([&] { return g.entered.load(); }));
    if (onWindows) {
        EXPECT_EQ(t->suspend(), 0);
        EXPECT_TRUE(t->isSuspended());
        EXPECT_EQ(t->resume(), 1);
        EXPECT_FALSE(t->isSuspended());
    } else {
        EXPECT_EQ(errorText([&] { t->suspend(); }), unexpected(L"Unable to suspend thread (95)"));
    }
    g.open->setSignal();
    ASSERT_TRUE(t->wait(20000));

    // A thread may suspend itself on both targets.
    std::atomic<int> destroyed{0};
    auto self = countedThread::make(destroyed, [](countedThread& me) { return int(me.suspend()) + 40; });
    self->start();
    ASSERT_TRUE(eventually([&] { return self->isSuspended(); }));
    ASSERT_TRUE(eventually([&] { return self->resume() == 1; })); // once it really waits
    ASSERT_TRUE(self->wait(20000));
    EXPECT_EQ(self->exitCode(), 40);
}

TEST(thread, LastReferenceDroppedWhileRunningLetsItFinish) {
    std::atomic<int> destroyed{0};
    std::atomic<bool> finished{false};
    auto open = zv::signal::create(true);
    countedThread::make(destroyed, [&](countedThread& me) {
        open->wait();
        finished = me.isCurrent();
        return 0;
    })->start();
    EXPECT_EQ(destroyed.load(), 0); // the running thread keeps its object
    open->setSignal();
    EXPECT_TRUE(eventually([&] { return destroyed.load() == 1; }));
    EXPECT_TRUE(finished.load());
}

TEST(signal, ResetModesAndInitialState) {
    for (const auto& [manual, initiallySet] :
         {std::pair(false, false), {false, true}, {true, false}, {true, true}}) {
        auto s = zv::signal::create(manual, initiallySet);
        ASSERT_TRUE(s->isValid());
        EXPECT_EQ(s->wait(0), initiallySet);
        EXPECT_EQ(s->wait(0), initiallySet && manual); // an automatic reset takes it
        s->setSignal();
        s->setSignal(); // setting twice is still one set
        EXPECT_TRUE(s->wait(0));
        EXPECT_EQ(s->wait(0), manual);
        s->setSignal();
        s->resetSignal();
        EXPECT_FALSE(s->wait(10));
    }
}

TEST(signal, ConcurrentSetsFromOtherThreadsWakeTheWaiter) {
    constexpr int kThreads = 4, kRounds = 100;
    std::vector<zv::refPtr<zv::signal>> go, done;
    for (int i = 0; i < kThreads; ++i) {
        go.push_back(zv::signal::create());
        done.push_back(zv::signal::create());
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            for (int r = 0; r < kRounds && go[i]->wait(20000); ++r)
                done[i]->setSignal();
        });
    bool ok = true;
    for (int r = 0; r < kRounds && ok; ++r) {
        for (auto& s : go)
            s->setSignal();
        for (auto& s : done)
            ok = ok && s->wait(20000);
    }
    for (auto& t : threads)
        t.join();
    EXPECT_TRUE(ok);
}
