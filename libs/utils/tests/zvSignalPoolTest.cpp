#include "zvThread.h"

#include "zvProcess.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

using zvtest::eventually;

// A name no other test run uses.
std::wstring uniqueName(const wchar_t* what) {
    static std::atomic<int> counter{0};
    return std::wstring(L"zvtest-") + what + L"-" + std::to_wstring(zv::getCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
}

void countSignal(zv::signal*, void* user) {
    ++*static_cast<std::atomic<int>*>(user);
}

void countThread(zv::thread*, void* user) {
    ++*static_cast<std::atomic<int>*>(user);
}

// Waits until the listener has gone round at least once more: a fresh
// signal's callback is called only after everything signalled before it.
bool poolCaughtUp() {
    std::atomic<int> calls{0};
    auto s = zv::signal::create(false, true);
    zv::signalPool::singleton().attach(s.get(), &countSignal, &calls);
    const bool ok = eventually([&] { return calls.load() > 0; });
    zv::signalPool::singleton().detach(s.get(), &countSignal, &calls);
    return ok;
}

void throwing(zv::signal*, void*) {
    throw 42;
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
        zv::signalPool::singleton().attach(t.get(), &countThread, &calls); // before it starts
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
    struct context {
        std::atomic<int> first{0};
        std::atomic<int> second{0};
    } ctx;
    auto t = zv::thread::create(false);
    zv::signalPool::singleton().attach(
        t.get(),
        [](zv::thread* th, void* user) {
            auto* c = static_cast<context*>(user);
            if (c->first++ == 0)
                zv::signalPool::singleton().attach(th, &countThread, &c->second);
        },
        &ctx);
    t->start(&quickWork);
    EXPECT_TRUE(eventually([&] { return ctx.second.load() == 1; }));
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_EQ(ctx.first.load(), 1);
    EXPECT_EQ(ctx.second.load(), 1);
}

TEST(signalPool, DetachRemovesExactlyThatCallback) {
    std::atomic<int> a{0}, b{0};
    auto s = zv::signal::create();
    auto& pool = zv::signalPool::singleton();
    pool.attach(s.get(), &countSignal, &a);
    pool.attach(s.get(), &countSignal, &b);
    pool.detach(s.get(), &countSignal, &a);
    pool.detach(s.get(), &countSignal, &a); // not attached any more: no-op
    s->setSignal();
    EXPECT_TRUE(eventually([&] { return b.load() == 1; }));
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_EQ(a.load(), 0);
    EXPECT_EQ(b.load(), 1); // automatic reset: reported once
    pool.detach(s.get(), &countSignal, &b);
    s->setSignal();
    EXPECT_TRUE(poolCaughtUp());
    EXPECT_EQ(b.load(), 1);
}

TEST(signalPool, ASignalLeftSetDoesNotStarveTheOthersAndThrowingCallbacksAreDropped) {
    std::atomic<int> stuck{0}, other{0};
    auto& pool = zv::signalPool::singleton();
    auto manual = zv::signal::create(true, true);
    auto thrower = zv::signal::create(false, true);
    pool.attach(manual.get(), &countSignal, &stuck);
    pool.attach(thrower.get(), &throwing, nullptr);
    EXPECT_TRUE(eventually([&] { return stuck.load() > 3; })); // reported again and again
    auto s = zv::signal::create();
    pool.attach(s.get(), &countSignal, &other);
    for (int i = 1; i <= 3; ++i) {
        s->setSignal();
        EXPECT_TRUE(eventually([&] { return other.load() == i; }));
    }
    pool.detach(manual.get(), &countSignal, &stuck);
    pool.detach(thrower.get(), &throwing, nullptr);
    pool.detach(s.get(), &countSignal, &other);
    EXPECT_TRUE(poolCaughtUp());
}

TEST(signalPool, TwoHundredSignalsSetFromSeveralThreads) {
    constexpr int kSignals = 200;
    std::vector<zv::refPtr<zv::signal>> signals;
    std::vector<std::atomic<int>> calls(kSignals);
    auto& pool = zv::signalPool::singleton();
    for (int i = 0; i < kSignals; ++i) {
        signals.push_back(zv::signal::create());
        pool.attach(signals.back().get(), &countSignal, &calls[i]);
    }
    std::vector<std::thread> setters;
    for (int k = 0; k < 4; ++k)
        setters.emplace_back([&, k] {
            for (int i = k; i < kSignals; i += 4)
                signals[i]->setSignal();
        });
    for (auto& t : setters)
        t.join();
    EXPECT_TRUE(eventually([&] {
        for (auto& c : calls)
            if (c.load() == 0)
                return false;
        return true;
    }));
    // The last one again, to see that the big wait goes on working.
    signals.back()->setSignal();
    EXPECT_TRUE(eventually([&] { return calls.back().load() == 2; }));
    for (int i = 0; i < kSignals; ++i) {
        EXPECT_EQ(calls[i].load(), i == kSignals - 1 ? 2 : 1) << i;
        pool.detach(signals[i].get(), &countSignal, &calls[i]);
    }
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
                pool.attach(s.get(), &countSignal, &calls);
                s->setSignal();
                if (!eventually([&] { return calls.load() >= 1; }))
                    ++failures;
                pool.detach(s.get(), &countSignal, &calls);
                auto t = zv::thread::create(false);
                pool.attach(t.get(), &countThread, &threadEnds);
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

// ---- named signals between processes ------------------------------------------

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
    std::atomic<int> calls{0};
    zv::signalPool::singleton().attach(b.get(), &countSignal, &calls);
    a->resetSignal();
    std::thread setter([&] { a->setSignal(); });
    setter.join();
    EXPECT_TRUE(eventually([&] { return calls.load() > 0; }));
    zv::signalPool::singleton().detach(b.get(), &countSignal, &calls);
    a->resetSignal();

    // A name that only differs in characters outside the plain ones.
    auto odd1 = zv::signal::create(false, false, (name + L"/\u00e9 x").c_str());
    auto odd2 = zv::signal::create(false, false, (name + L"/\u00e8 x").c_str());
    odd1->setSignal();
    EXPECT_FALSE(odd2->wait(0));
    EXPECT_TRUE(odd1->wait(0));
}

// Run by the test below in a child process; skipped otherwise.
TEST(signalChild, SetsTheNamedSignal) {
    const char* name = std::getenv("ZV_TEST_SIGNAL_NAME");
    if (!name)
        GTEST_SKIP() << "runs only as the child of NamedSignalSetByAChildProcess";
    const std::wstring wide(name, name + std::char_traits<char>::length(name));
    auto s = zv::signal::create(false, false, wide.c_str());
    ASSERT_TRUE(s->isValid());
    s->setSignal();
}

TEST(signal, NamedSignalSetByAChildProcess) {
    const std::wstring name = uniqueName(L"child");
    auto s = zv::signal::create(true, false, name.c_str());
    ASSERT_TRUE(s->isValid());
#ifdef _WIN32
    ::SetEnvironmentVariableW(L"ZV_TEST_SIGNAL_NAME", name.c_str());
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=signalChild.SetsTheNamedSignal";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const bool started =
        ::CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
    ::SetEnvironmentVariableW(L"ZV_TEST_SIGNAL_NAME", nullptr);
    ASSERT_TRUE(started);
    EXPECT_TRUE(s->wait(60000));
    ::WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    EXPECT_EQ(code, 0u);
#else
    const std::string narrow(name.begin(), name.end());
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    env.push_back("ZV_TEST_SIGNAL_NAME=" + narrow);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = "/proc/self/exe";
    std::string filter = "--gtest_filter=signalChild.SetsTheNamedSignal";
    char* argv[] = {exe.data(), filter.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(s->wait(60000));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#endif
    EXPECT_TRUE(s->wait(0)); // manual reset: still set
}
