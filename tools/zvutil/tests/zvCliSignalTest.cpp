#include "zvCliTestSupport.h"

#include "zvProcess.h"
#include "zvThread.h"

#include <gtest/gtest.h>

#include <string>

using zvclitest::run;

// Waiting released by another process and the plain time-out are checked end to end.
TEST(cliSignal, ManualResetSignalsAndUsage) {
    const std::string name = "zvclitest-signal-" + std::to_string(zv::getCurrentProcessId());
    EXPECT_TRUE(
        zvclitest::failsWith(run({"signal", "wait", name, "--timeout", "20"}), 1, "was not set in time"));

    // A manual-reset signal held here stays set for every waiter until reset.
    auto held = zv::signal::create(true, false, std::wstring(name.begin(), name.end()).c_str());
    EXPECT_EQ(run({"signal", "set", name}).rc, 0);
    EXPECT_EQ(run({"signal", "wait", name, "--timeout", "0"}).rc, 0);
    EXPECT_EQ(run({"signal", "wait", name, "--timeout", "0"}).rc, 0);
    EXPECT_EQ(run({"signal", "reset", name}).rc, 0);
    EXPECT_EQ(run({"signal", "wait", name, "--timeout", "0"}).rc, 1);

    const std::vector<std::vector<std::string>> bad = {
        {"signal"},
        {"signal", "set"},
        {"signal", "set", ""},
        {"signal", "wait", name, "--timeout", "soon"},
        {"signal", "wait", name, "--timeout", "4294967295"},
        {"signal", "set", name, "--manual"},
    };
    for (const auto& args : bad)
        EXPECT_EQ(run(args).rc, 2) << args.size();
}
