#include "zvCliTestSupport.h"

#include "zvProcess.h"
#include "zvThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

using zvclitest::run;

std::string uniqueName() {
    static std::atomic<int> counter{0};
    return "zvclitest-signal-" + std::to_string(zv::getCurrentProcessId()) + "-" + std::to_string(++counter);
}

} // namespace

TEST(cliSignal, WaitEndsWhenAnotherSetsTheSignal) {
    const std::string name = uniqueName();
    std::atomic<int> rc{-1};
    std::thread waiter([&] { rc = run({"signal", "wait", name, "--timeout", "60000"}).rc; });
    // The waiter creates the signal; until then a set reaches nobody.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (rc.load() == -1 && std::chrono::steady_clock::now() < deadline) {
        EXPECT_EQ(run({"signal", "set", name}).rc, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    waiter.join();
    EXPECT_EQ(rc.load(), 0);
}

TEST(cliSignal, TimeOutsAndUsage) {
    const std::string name = uniqueName();
    EXPECT_TRUE(
        zvclitest::failsWith(run({"signal", "wait", name, "--timeout", "20"}), 1, "was not set in time"));

    // A manual-reset signal held here stays set for every waiter until reset.
    const std::wstring wide(name.begin(), name.end());
    auto held = zv::signal::create(true, false, wide.c_str());
    EXPECT_EQ(run({"signal", "set", name}).rc, 0);
    EXPECT_EQ(run({"signal", "wait", name, "--timeout", "0"}).rc, 0);
    EXPECT_EQ(run({"signal", "wait", name, "--timeout", "0"}).rc, 0);
    EXPECT_EQ(run({"signal", "reset", name}).rc, 0);
    EXPECT_EQ(run({"signal", "wait", name, "--timeout", "0"}).rc, 1);

    const std::vector<std::vector<std::string>> bad = {
        {"signal"},
        {"signal", "set"},
        {"signal", "toggle", name},
        {"signal", "set", ""},
        {"signal", "wait", name, "--timeout", "soon"},
        {"signal", "wait", name, "--timeout", "4294967295"},
        {"signal", "set", name, "--manual"},
    };
    for (const auto& args : bad)
        EXPECT_EQ(run(args).rc, 2) << args.size();
}
