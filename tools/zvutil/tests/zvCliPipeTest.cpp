#include "zvCliTestSupport.h"

#include "zvEnvironment.h"
#include "zvProcess.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using namespace zvclitest;

std::string uniqueName(const char* what) {
    return std::string("zvcli-") + what + "-" + std::to_string(zv::getCurrentProcessId()) + "-" +
           std::to_string(std::random_device()() % 1000000);
}

} // namespace

// Values, case rules and a missing value are in the end-to-end script.
TEST(zvutilReg, SetGetListAndDelete) {
    tempFolder tmp;
    const std::string subKey = "Software\\" + uniqueName("reg"), key = "HKEY_CURRENT_USER\\" + subKey;
#ifndef _WIN32
    zv::setEnvironmentVariable(L"ZV_REGISTRY_DIR", tmp.path().wstring().c_str());
#endif
    EXPECT_EQ(run({"reg", "set", key + "\\Cell\\Name", "Mill 7"}).rc, 0);
    EXPECT_EQ(run({"reg", "set", key + "\\Tools\\x", "1"}).rc, 0);
    EXPECT_EQ(run({"reg", "keys", key}).out, "Cell\nTools\n");
    expectCases({"reg"}, {
                             {{"del", key + "\\Cell\\Name"}, 0, ""},
                             {{"del", key + "\\Cell\\Name"}, 1, ""},
                             {{"keys", key + "\\Nothing"}, 1, ""},
                             {{"set", "hkey_current_user\\" + subKey + "\\v", "x"}, 1, ""},
                             {{"set", key + "\\v", "-1", "--number"}, 2, ""},
                             {{"set", key + "\\v", "4294967296", "--number"}, 2, ""},
                         });
#ifdef _WIN32
    ::RegDeleteTreeA(HKEY_CURRENT_USER, subKey.c_str());
#else
    zv::setEnvironmentVariable(L"ZV_REGISTRY_DIR", L"");
#endif
}

// Several messages in one connection, the empty one among them.
TEST(zvutilPipe, ServeAndSendWithEcho) {
    const std::string name = uniqueName("pipe");
    cliResult served{};
    std::thread server([&] { served = run({"pipe", "serve", name, "--count", "3", "--echo"}); });
    const auto sent = run({"pipe", "send", name, "one", "", "three words", "--reply", "--timeout", "20000"});
    server.join();
    EXPECT_TRUE(sent.rc == 0 && served.rc == 0) << sent.err << served.err;
    EXPECT_EQ(sent.out, "one\n\nthree words\n");
    EXPECT_EQ(served.out, sent.out);
    expectCases({"pipe"},
                {{{"send", name}, 2, ""}, {{"serve"}, 2, ""}, {{"serve", name, "--count", "x"}, 2, ""}});
}

// Waiting for the exit code and a missing program are in the end-to-end script.
TEST(zvutilStart, StartsWithoutWaitingAndRefusesBadUsage) {
#ifdef _WIN32
    const auto r = run({"start", "cmd.exe", "/c", "exit", "0"});
#else
    // Variables are added to the inherited environment.
    EXPECT_EQ(run({"start", "--wait", "--env", "ZV_X=a b", "--priority", "below", "sh", "-c",
                   "test \"$ZV_X\" = 'a b' && test -n \"$PATH\""})
                  .rc,
              0);
    const auto r = run({"start", "/bin/sh", "-c", "exit 0"});
#endif
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(std::stoul(r.out), 0ul);
    expectCases({"start"},
                {{{}, 2, ""}, {{"--env", "NOEQUALS", "x"}, 2, ""}, {{"--priority", "turbo", "x"}, 2, ""}});
}
