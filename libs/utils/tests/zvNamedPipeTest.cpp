#include "zvNamedPipe.h"

#include "zvChildTestSupport.h"
#include "zvProcess.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;
using strings = std::vector<std::string>;

std::string uniquePipeName(const char* what) {
    static std::atomic<int> counter{0};
    return std::string("zvtest-") + what + "-" + std::to_string(zv::getCurrentProcessId()) + "-" +
           std::to_string(std::random_device()() % 100000) + "-" + std::to_string(counter++);
}

void setName(zv::namedPipe& pipe, const std::string& name) {
    pipe.setPipeName(zv::string(std::wstring(name.begin(), name.end())), L".");
}

// A text of `size` bytes that tells where each of its bytes belongs.
std::string pattern(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    return s;
}

// Reads one message of at most `capacity` bytes; "" on anything but 0. The
// size the pipe reports goes to `reported`.
int readText(zv::namedPipe& pipe, std::string& text, unsigned int timeout, unsigned int capacity = 1 << 21,
             unsigned int* reported = nullptr) {
    std::vector<char> buffer(capacity);
    unsigned int size = capacity;
    const int r = pipe.read(buffer.data(), size, timeout);
    text = r == 0 ? std::string(buffer.data(), size) : std::string();
    if (reported != nullptr)
        *reported = size;
    return r;
}

bool sendText(zv::namedPipe& pipe, const std::string& text) {
    return pipe.send(text.data(), static_cast<unsigned int>(text.size()));
}

// Seconds `action` took.
template <typename F>
double took(F&& action) {
    const auto start = clock_type::now();
    action();
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// Runs `action` on a thread of its own after `ms` milliseconds; joined when it goes.
struct later {
    std::thread thread;
    later(int ms, std::function<void()> action)
        : thread([=] {
              std::this_thread::sleep_for(std::chrono::milliseconds(ms));
              action();
          }) {}
    ~later() { thread.join(); }
};

struct pipePair {
    zv::namedPipe server, client;
    explicit pipePair(const char* what) {
        const std::string name = uniquePipeName(what);
        setName(server, name);
        setName(client, name);
    }
};

// Collects what a listener delivers.
struct inbox {
    std::mutex lock;
    strings messages;
    static void deliver(char* data, unsigned int length, void* user) {
        auto* self = static_cast<inbox*>(user);
        std::lock_guard<std::mutex> guard(self->lock);
        self->messages.emplace_back(data, length);
    }
    bool waitFor(std::size_t n) {
        return zvtest::eventually([&] {
            std::lock_guard<std::mutex> guard(lock);
            return messages.size() >= n;
        });
    }
};

std::string prefixed(const std::string& body) {
    unsigned char prefix[4];
    zv::detail::messageFramer::encodeLength(static_cast<unsigned int>(body.size()), prefix);
    return std::string(reinterpret_cast<char*>(prefix), 4) + body;
}

// Gives `pieces` to `framer` one after the other; every whole message it then holds.
strings feed(zv::detail::messageFramer& framer, const strings& pieces) {
    strings got;
    for (const auto& piece : pieces) {
        framer.append(piece.data(), piece.size());
        char* data = nullptr;
        unsigned int length = 0;
        for (; framer.front(data, length); framer.pop())
            got.emplace_back(data, length);
    }
    return got;
}

} // namespace

// Any split of any stream, and messages above the cap, are checked against a
// plain parse by the fuzz target; here what it cannot see: nothing of a dropped
// message stays behind, and a length is known before its body.
TEST(messageFramer, DropsOverlongMessagesWholeAndKnowsALengthBeforeItsBody) {
    zv::detail::messageFramer framer(10);
    EXPECT_EQ(feed(framer, {prefixed(std::string(11, 'x')), prefixed("0123456789")}), strings{"0123456789"});
    EXPECT_TRUE(framer.dropped() == 1u && framer.buffered() == 0u);
    EXPECT_TRUE(feed(framer, {prefixed("hello").substr(0, 4)}).empty());
    unsigned int length = 0;
    EXPECT_TRUE(framer.nextLength(length) && length == 5u);
}

TEST(namedPipe, OneServerAndOneClientPerName) {
    zv::namedPipe unopened;
    unopened.setPipeName(L"Cell7", L"host");
    EXPECT_EQ(unopened.getRealPipeName(true), zv::string(L"\\\\host\\PIPE\\Cell7_IN"));
    EXPECT_EQ(unopened.getRealPipeName(false), zv::string(L"\\\\host\\PIPE\\Cell7_OUT"));
    EXPECT_FALSE(unopened.send("x", 1));
    std::string got;
    unsigned int size = 1;
    EXPECT_TRUE(readText(unopened, got, 0, 4, &size) == 1 && size == 0u);

    pipePair p("single");
    zv::namedPipe second;
    second.setPipeName(p.server.getPipeName().substr(9), L".");
    EXPECT_FALSE(second.initialize(false, nullptr, nullptr, 0)) << "no server yet";
    ASSERT_TRUE(p.server.initialize(true, nullptr, nullptr, 0));
    EXPECT_FALSE(p.server.send("early", 5)) << "no client connected yet";
    EXPECT_FALSE(p.server.isBroken());
    EXPECT_FALSE(second.initialize(true, nullptr, nullptr, 0)) << "a second server";
    ASSERT_TRUE(p.client.initialize(false, nullptr, nullptr, 0));
    EXPECT_FALSE(second.initialize(false, nullptr, nullptr, 0)) << "a second client";
    // After the server has gone, a new one takes the name.
    p.client.deinit();
    p.server.deinit();
    EXPECT_TRUE(second.initialize(true, nullptr, nullptr, 0));
}

// Messages of every size both ways: in the two-process test below.
TEST(namedPipe, ReadTimesOutStopsKeepsWhatDoesNotFitAndEndsWhenThePeerGoes) {
    pipePair p("timeout");
    ASSERT_TRUE(p.server.initialize(true, nullptr, nullptr, 0) &&
                p.client.initialize(false, nullptr, nullptr, 0));
    std::string got;
    for (unsigned int timeout : {0u, 300u}) {
        const double seconds = took([&] { EXPECT_EQ(readText(p.server, got, timeout), 1); });
        EXPECT_TRUE(seconds >= timeout / 1000.0 - 0.001 && seconds < 2) << seconds;
    }
    { // stopReading from another thread ends a long wait early.
        later stop(100, [&] { p.server.stopReading(); });
        EXPECT_LT(took([&] { EXPECT_EQ(readText(p.server, got, 30000), 1); }), 10);
    }
    // A stop before the read does not stop it; a message still arrives. A
    // buffer too small gets the length, and the message stays for a larger one.
    p.server.stopReading();
    ASSERT_TRUE(sendText(p.client, std::string(20, 'q')));
    unsigned int size = 0;
    EXPECT_EQ(readText(p.server, got, 5000, 10, &size), 2);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(readText(p.server, got, 5000, 20), 0);
    EXPECT_EQ(got, std::string(20, 'q'));
    EXPECT_FALSE(p.server.isBroken());
    // The server goes away without ever having written: the client learns it at once.
    later close(200, [&] { p.server.deinit(); });
    EXPECT_LT(took([&] { EXPECT_EQ(readText(p.client, got, 30000), 1); }), 10);
    EXPECT_TRUE(p.client.isBroken());
    EXPECT_FALSE(sendText(p.client, "anyone?"));
}

TEST(namedPipe, ListenerDeliversWholeMessagesAndStops) {
    pipePair p("listen");
    inbox box;
    ASSERT_TRUE(p.server.initialize(true, &inbox::deliver, &box, 100));
    EXPECT_TRUE(p.server.isListening());
    ASSERT_TRUE(p.client.initialize(false, nullptr, nullptr, 0));
    const strings sent = {"one", "", pattern(5000, 1), pattern(1 << 20, 2), "last"};
    for (const auto& m : sent)
        ASSERT_TRUE(sendText(p.client, m));
    ASSERT_TRUE(box.waitFor(sent.size()));
    EXPECT_TRUE(box.messages == sent);
    // Stopping joins the thread at once, although it waits on the pipe.
    EXPECT_LT(took([&] { p.server.stopListener(); }), 5);
    EXPECT_FALSE(p.server.isListening());
    // Reading on demand takes over.
    ASSERT_TRUE(sendText(p.client, "by read"));
    std::string got;
    EXPECT_EQ(readText(p.server, got, 5000), 0);
    EXPECT_EQ(got, "by read");
}

TEST(namedPipe, ConcurrentSendersNeverInterleave) {
    pipePair p("stress");
    inbox box;
    ASSERT_TRUE(p.server.initialize(true, &inbox::deliver, &box, 0));
    ASSERT_TRUE(p.client.initialize(false, nullptr, nullptr, 0));
    constexpr int threads = 4, perThread = 100;
    // Sizes around the pipe's buffer make partial writes likely. A message
    // starts with its sender (one digit) and its number (three).
    const auto message = [](int t, int i) {
        const std::string head = std::to_string(t * 1000 + i);
        return std::string(4 - head.size(), '0') + head +
               pattern(static_cast<std::size_t>((i * 7919 + t * 104729) % 150000), i + t);
    };
    std::vector<std::thread> senders;
    std::atomic<int> failures{0};
    for (int t = 0; t < threads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                failures += sendText(p.client, message(t, i)) ? 0 : 1;
        });
    for (auto& s : senders)
        s.join();
    EXPECT_EQ(failures.load(), 0);
    ASSERT_TRUE(box.waitFor(threads * perThread));
    p.server.stopListener();
    std::vector<int> next(threads, 0);
    for (const std::string& m : box.messages) {
        const int t = m.size() >= 4 ? m[0] - '0' : -1, i = t >= 0 && t < threads ? next[t]++ : -1;
        ASSERT_GE(i, 0) << "a sender's number";
        EXPECT_TRUE(m == message(t, i)) << "message " << t << ":" << i << " intact and in its sender's order";
    }
}

// The other side of the test below, run in a child process: a client that
// echoes every message back with "echo:" before it, until "die" makes it
// exit without closing anything first.
TEST(namedPipeChild, EchoClient) {
    const char* name = std::getenv("ZV_TEST_PIPE");
    if (name == nullptr)
        GTEST_SKIP() << "runs only as the child of the two-process tests";
    zv::namedPipe client;
    setName(client, name);
    ASSERT_TRUE(zvtest::eventually([&] { return client.initialize(false, nullptr, nullptr, 0); }));
    ASSERT_TRUE(sendText(client, "hello"));
    for (std::string got;;) {
        ASSERT_EQ(readText(client, got, 30000), 0);
        if (got == "die")
            std::_Exit(3);
        ASSERT_TRUE(sendText(client, "echo:" + got));
    }
}

TEST(namedPipe, ServerAndClientInTwoProcessesAndADeadPeer) {
    const std::string name = uniquePipeName("proc");
    zv::namedPipe server;
    setName(server, name);
    ASSERT_TRUE(server.initialize(true, nullptr, nullptr, 0));
    zvtest::childTest child("namedPipeChild.EchoClient", "ZV_TEST_PIPE", name);
    ASSERT_TRUE(child.started());
    std::string got;
    ASSERT_EQ(readText(server, got, 30000), 0);
    EXPECT_EQ(got, "hello");
    for (const std::string& text : {std::string("ping"), std::string(), pattern(1 << 20, 9)}) {
        ASSERT_TRUE(sendText(server, text));
        ASSERT_EQ(readText(server, got, 30000), 0);
        EXPECT_TRUE(got == "echo:" + text) << text.size() << " bytes";
    }
    // The client dies while a listener waits on the pipe: the listener ends,
    // and a read ends at once instead of waiting.
    inbox box;
    ASSERT_TRUE(server.startListener(&inbox::deliver, &box, 0));
    ASSERT_TRUE(sendText(server, "x"));
    ASSERT_TRUE(box.waitFor(1));
    ASSERT_TRUE(sendText(server, "die"));
    EXPECT_EQ(child.wait(30000), 3);
    EXPECT_TRUE(zvtest::eventually([&] { return !server.isListening(); }));
    EXPECT_TRUE(server.isBroken());
    EXPECT_EQ(box.messages, (strings{"echo:x"}));
    EXPECT_LT(took([&] { EXPECT_EQ(readText(server, got, 20000), 1); }), 5);
    EXPECT_FALSE(sendText(server, "nobody"));
}
