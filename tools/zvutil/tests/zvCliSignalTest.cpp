#include "zvCliTestSupport.h"

#include "zvProcess.h"
#include "zvThread.h"

using namespace zvclitest;

// Waiting released by another process and the plain time-out are checked end to end.
TEST(cliSignal, ManualResetSignalsAndUsage) {
    const std::string name = "zvclitest-signal-" + std::to_string(zv::getCurrentProcessId());
    EXPECT_TRUE(failsWith(run({"signal", "wait", name, "--timeout", "20"}), 1, "was not set in time"));
    // A manual-reset signal held here stays set for every waiter until reset.
    auto held = zv::signal::create(true, false, std::wstring(name.begin(), name.end()).c_str());
    const args wait = {"wait", name, "--timeout", "0"};
    expectCodes({"signal"}, {{{"set", name}, 0},
                             {wait, 0},
                             {wait, 0},
                             {{"reset", name}, 0},
                             {wait, 1},
                             {{}, 2},
                             {{"set"}, 2},
                             {{"set", ""}, 2},
                             {{"wait", name, "--timeout", "soon"}, 2},
                             {{"wait", name, "--timeout", "4294967295"}, 2},
                             {{"set", name, "--manual"}, 2}});
}
