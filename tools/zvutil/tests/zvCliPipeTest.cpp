#include "zvCliTestSupport.h"

#include "zvEnvironment.h"
#include "zvProcess.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using zvclitest::run;
using zvclitest::tempFolder;

std::string uniqueName(const char* what) {
    std::random_device rd;
    return std::string("zvcli-") + what + "-" + std::to_string(zv::getCurrentProcessId()) + "-" +
           std::to_string(rd() % 1000000);
}

} // namespace

TEST(zvutilReg, SetGetListAndDelete) {
    tempFolder tmp;
    const std::string subKey = "Software\\" + uniqueName("reg");
#ifndef _WIN32
    zv::setEnvironmentVariable(L"ZV_REGISTRY_DIR", tmp.path().wstring().c_str());
#endif
    const std::string key = "HKEY_CURRENT_USER\\" + subKey;
    EXPECT_EQ(run({"reg", "set", key + "\\Cell\\Name", "Mill 7"}).rc, 0);
    EXPECT_EQ(run({"reg", "set", key + "\\Cell\\Speed", "1500", "--number"}).rc, 0);
    EXPECT_EQ(run({"reg", "set", key + "\\Cell\\@", "default"}).rc, 0);
    EXPECT_EQ(run({"reg", "set", key + "\\Tools\\x", "1"}).rc, 0);

    auto r = run({"reg", "get", key + "\\CELL\\speed"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "1500\n");
    EXPECT_EQ(run({"reg", "get", key + "\\Cell\\@"}).out, "default\n");
    EXPECT_EQ(run({"reg", "keys", key}).out, "Cell\nTools\n");
    EXPECT_EQ(run({"reg", "values", key + "\\Cell"}).out, "@\nName\nSpeed\n");
    EXPECT_EQ(run({"reg", "del", key + "\\Cell\\Name"}).rc, 0);
    EXPECT_EQ(run({"reg", "del", key + "\\Cell\\Name"}).rc, 1);
    EXPECT_EQ(run({"reg", "get", key + "\\Cell\\Name"}).rc, 1);
    EXPECT_EQ(run({"reg", "keys", key + "\\Nothing"}).rc, 1);

    struct row {
        std::vector<std::string> args;
        int rc;
    };
    const std::vector<row> bad = {
        {{"reg"}, 2},
        {{"reg", "get"}, 2},
        {{"reg", "set", key + "\\v"}, 2},
        {{"reg", "set", key + "\\v", "x", "y"}, 2},
        {{"reg", "set", key + "\\v", "-1", "--number"}, 2},
        {{"reg", "set", key + "\\v", "4294967296", "--number"}, 2},
        {{"reg", "frob", key}, 2},
        {{"reg", "set", "hkey_current_user\\" + subKey + "\\v", "x"}, 1},
    };
    for (const row& b : bad)
        EXPECT_EQ(run(b.args).rc, b.rc) << b.args.size();
#ifdef _WIN32
    ::RegDeleteTreeA(HKEY_CURRENT_USER, subKey.c_str());
#else
    zv::setEnvironmentVariable(L"ZV_REGISTRY_DIR", L"");
#endif
}

TEST(zvutilPipe, ServeAndSendWithEcho) {
    const std::string name = uniqueName("pipe");
    zvclitest::cliResult served{};
    std::thread server([&] { served = run({"pipe", "serve", name, "--count", "3", "--echo"}); });
    const auto sent = run({"pipe", "send", name, "one", "", "three words", "--reply", "--timeout", "20000"});
    server.join();
    EXPECT_EQ(sent.rc, 0) << sent.err;
    EXPECT_EQ(sent.out, "one\n\nthree words\n");
    EXPECT_EQ(served.rc, 0) << served.err;
    EXPECT_EQ(served.out, "one\n\nthree words\n");

    EXPECT_EQ(run({"pipe", "send", uniqueName("none"), "x", "--timeout", "100"}).rc, 1);
    EXPECT_EQ(run({"pipe", "send", name}).rc, 2);
    EXPECT_EQ(run({"pipe", "serve"}).rc, 2);
    EXPECT_EQ(run({"pipe", "serve", name, "--count", "x"}).rc, 2);
}

TEST(zvutilPipe, ServerTakesOneClientAfterTheOther) {
    const std::string name = uniqueName("clients");
    zvclitest::cliResult served{};
    std::thread server([&] { served = run({"pipe", "serve", name, "--count", "2"}); });
    EXPECT_EQ(run({"pipe", "send", name, "first", "--timeout", "20000"}).rc, 0);
    EXPECT_EQ(run({"pipe", "send", name, "second", "--timeout", "20000"}).rc, 0);
    server.join();
    EXPECT_EQ(served.out, "first\nsecond\n");
}

TEST(zvutilStart, WaitsAndExitsWithTheProgramsCode) {
#ifdef _WIN32
    EXPECT_EQ(run({"start", "--wait", "cmd.exe", "/c", "exit", "5"}).rc, 5);
    const auto r = run({"start", "cmd.exe", "/c", "exit", "0"});
#else
    EXPECT_EQ(run({"start", "--wait", "/bin/sh", "-c", "exit 5"}).rc, 5);
    EXPECT_EQ(run({"start", "--wait", "--env", "ZV_X=a b", "--priority", "below", "sh", "-c",
                   "test \"$ZV_X\" = 'a b' && test -n \"$PATH\""})
                  .rc,
              0);
    const auto r = run({"start", "/bin/sh", "-c", "exit 0"});
#endif
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(std::stoul(r.out), 0ul);

    struct row {
        std::vector<std::string> args;
        int rc;
    };
    const std::vector<row> bad = {
        {{"start"}, 2},
        {{"start", "--wait"}, 2},
        {{"start", "--env", "NOEQUALS", "x"}, 2},
        {{"start", "--priority", "turbo", "x"}, 2},
        {{"start", "--bogus", "x"}, 2},
        {{"start", "zv-no-such-program"}, 1},
    };
    for (const row& b : bad)
        EXPECT_EQ(run(b.args).rc, b.rc) << b.args.size();
}
