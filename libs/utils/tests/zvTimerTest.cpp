#include "zvTimer.h"
#include "zvStopwatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

// Pumps until `done` holds or a generous time has passed; whether it holds.
template <typename Predicate>
bool pumpUntil(Predicate done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < limit)
        zv::pumpMessages(10);
    return done();
}

struct tickLog {
    int count = 0;
    std::thread::id thread;
    bool throws = false;
};

void onTick(void* user) {
    auto* log = static_cast<tickLog*>(user);
    ++log->count;
    log->thread = std::this_thread::get_id();
    if (log->throws)
        throw 42; // must neither escape the pump nor stop the timer
}

TEST(timer, FiresOnlyOnTheCreatingThreadThroughItsPump) {
    for (const bool throws : {false, true}) {
        SCOPED_TRACE(throws ? "throwing callback" : "quiet callback");
        tickLog log;
        log.throws = throws;
        {
            zv::timer t(&onTick, &log, 5);
            EXPECT_NE(t.id(), 0u);
            std::thread([] { zv::pumpMessages(100); }).join(); // another thread's pump runs nothing here
            EXPECT_EQ(log.count, 0);
            ASSERT_TRUE(pumpUntil([&] { return log.count >= 3; }));
            EXPECT_EQ(log.thread, std::this_thread::get_id());
        }
        const int after = log.count;
        zv::pumpMessages(50);
        EXPECT_EQ(log.count, after); // destroyed: silent
    }

    // A timer made on another thread runs there.
    tickLog remote;
    std::thread([&] {
        zv::timer mine(&onTick, &remote, 5);
        pumpUntil([&] { return remote.count >= 2; });
    }).join();
    EXPECT_GE(remote.count, 2);
    EXPECT_NE(remote.thread, std::this_thread::get_id());
}

// A callback that pumps itself: the events of the other timer that arrive
// meanwhile wait in the queue; destroying that timer drops them.
struct nestedScene {
    std::unique_ptr<zv::timer> victim;
    int victimCalls = 0;
    unsigned int pendingSeen = 0;
    bool victimCalledWhileNested = false;
    bool done = false;
};

void onOuter(void* user) {
    auto* scene = static_cast<nestedScene*>(user);
    if (scene->done)
        return;
    const int before = scene->victimCalls;
    pumpUntil([] { return zv::timer::pendingCount() != 0; });
    scene->pendingSeen = zv::timer::pendingCount();
    scene->victimCalledWhileNested = scene->victimCalls != before;
    scene->victim.reset();
    scene->done = true;
}

TEST(timer, DestroyingAPendingTimerSuppressesItsCallback) {
    nestedScene scene;
    zv::timer outer(&onOuter, &scene, 5);
    scene.victim =
        std::make_unique<zv::timer>([](void* s) { ++static_cast<nestedScene*>(s)->victimCalls; }, &scene, 5);
    ASSERT_TRUE(pumpUntil([&] { return scene.done; }));
    const int victimAtDestruction = scene.victimCalls;
    zv::pumpMessages(50);
    EXPECT_GE(scene.pendingSeen, 1u);            // something did wait in the queue
    EXPECT_FALSE(scene.victimCalledWhileNested); // one callback at a time
    EXPECT_EQ(scene.victimCalls, victimAtDestruction);
    EXPECT_EQ(zv::timer::pendingCount(), 0u);
}

TEST(stopwatch, AccumulatesOnlyWhileRunning) {
    const auto nap = [] { std::this_thread::sleep_for(std::chrono::milliseconds(30)); };
    zv::stopwatch watch;
    EXPECT_EQ(watch.toString(), L"     0.000\tsec.msec");
    watch.start();
    nap();
    watch.stop();
    const double first = watch.value();
    EXPECT_GE(first, 0.029);
    nap();
    EXPECT_EQ(watch.value(), first); // stopped: frozen
    watch.start();
    nap();
    EXPECT_GE(watch.value(), first + 0.029); // running: grows from where it stopped
    EXPECT_EQ(watch.toString().substr(10), L"\tsec.msec");
    watch.reset(); // keeps running from zero
    EXPECT_TRUE(watch.isRunning());
    EXPECT_LT(watch.value(), first + 0.029);
    watch.stop();
    watch.reset();
    EXPECT_EQ(watch.value(), 0.0);
}

} // namespace
