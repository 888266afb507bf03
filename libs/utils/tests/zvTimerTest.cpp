#include "zvTimer.h"
#include "zvStopwatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

// Pumps until `done` holds or a generous time has passed.
template <typename Predicate>
bool pumpUntil(Predicate done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        zv::pumpMessages(10);
    }
    return true;
}

struct tickLog {
    int count = 0;
    std::thread::id thread;
};

void onTick(void* user) {
    auto* log = static_cast<tickLog*>(user);
    ++log->count;
    log->thread = std::this_thread::get_id();
}

TEST(timer, FiresOnTheCreatingThreadThroughThePump) {
    tickLog log;
    {
        zv::timer t(&onTick, &log, 5);
        EXPECT_NE(t.id(), 0u);
        EXPECT_EQ(log.count, 0); // nothing happens without pumping
        ASSERT_TRUE(pumpUntil([&] { return log.count >= 3; }));
        EXPECT_EQ(log.thread, std::this_thread::get_id());
    }
    const int after = log.count;
    zv::pumpMessages(50);
    EXPECT_EQ(log.count, after); // destroyed: silent
}

TEST(timer, OtherThreadsDoNotRunThisThreadsCallbacks) {
    tickLog log;
    zv::timer t(&onTick, &log, 5);
    std::thread other([] { zv::pumpMessages(100); });
    other.join();
    EXPECT_EQ(log.count, 0);
    ASSERT_TRUE(pumpUntil([&] { return log.count >= 1; }));
    EXPECT_EQ(log.thread, std::this_thread::get_id());

    // A timer made on another thread runs there.
    tickLog remote;
    std::thread maker([&] {
        zv::timer mine(&onTick, &remote, 5);
        pumpUntil([&] { return remote.count >= 2; });
    });
    maker.join();
    EXPECT_GE(remote.count, 2);
    EXPECT_NE(remote.thread, std::this_thread::get_id());
}

// A callback that pumps itself: the events of the other timer that arrive
// meanwhile wait in the queue; destroying that timer drops them.
struct nestedScene {
    std::unique_ptr<zv::timer> victim;
    int victimCalls = 0;
    int outerCalls = 0;
    unsigned int pendingSeen = 0;
    bool victimCalledWhileNested = false;
    bool done = false;
};

void onVictim(void* user) {
    ++static_cast<nestedScene*>(user)->victimCalls;
}

void onOuter(void* user) {
    auto* scene = static_cast<nestedScene*>(user);
    ++scene->outerCalls;
    if (scene->done)
        return;
    const int before = scene->victimCalls;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (zv::timer::pendingCount() == 0 && std::chrono::steady_clock::now() < limit)
        zv::pumpMessages(10);
    scene->pendingSeen = zv::timer::pendingCount();
    scene->victimCalledWhileNested = scene->victimCalls != before;
    scene->victim.reset();
    scene->done = true;
}

TEST(timer, DestroyingAPendingTimerSuppressesItsCallback) {
    nestedScene scene;
    zv::timer outer(&onOuter, &scene, 5);
    scene.victim = std::make_unique<zv::timer>(&onVictim, &scene, 5);
    const int victimBefore = scene.victimCalls;
    ASSERT_TRUE(pumpUntil([&] { return scene.done; }));
    const int victimAtDestruction = scene.victimCalls;
    zv::pumpMessages(50);
    EXPECT_GE(scene.pendingSeen, 1u);            // something did wait in the queue
    EXPECT_FALSE(scene.victimCalledWhileNested); // one callback at a time
    EXPECT_EQ(scene.victimCalls, victimAtDestruction);
    EXPECT_GE(victimAtDestruction, victimBefore);
    EXPECT_EQ(zv::timer::pendingCount(), 0u);
}

void onThrow(void* user) {
    ++*static_cast<int*>(user);
    throw 42;
}

TEST(timer, ACallbackThatThrowsDoesNotEscapeOrStopTheTimer) {
    int calls = 0;
    zv::timer t(&onThrow, &calls, 5);
    ASSERT_TRUE(pumpUntil([&] { return calls >= 2; }));
}

TEST(stopwatch, AccumulatesOnlyWhileRunning) {
    zv::stopwatch watch;
    EXPECT_FALSE(watch.isRunning());
    EXPECT_EQ(watch.value(), 0.0);
    EXPECT_EQ(watch.toString(), L"     0.000\tsec.msec");
    watch.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    watch.stop();
    const double first = watch.value();
    EXPECT_GE(first, 0.029);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(watch.value(), first); // stopped: frozen
    watch.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(watch.value(), first + 0.029); // running: grows from where it stopped
    watch.stop();
    EXPECT_GE(watch.value(), first + 0.029);
    const zv::string text = watch.toString();
    EXPECT_EQ(text.size(), 19u);
    EXPECT_EQ(text.substr(10), L"\tsec.msec");
    watch.reset();
    EXPECT_EQ(watch.value(), 0.0);
    watch.start();
    watch.reset(); // keeps running from zero
    EXPECT_TRUE(watch.isRunning());
    EXPECT_LT(watch.value(), first + 0.029);
}

} // namespace
