#include "zvNamedPipe.h"

#include "zvChildTestSupport.h"
#include "zvProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
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

// Reads one message of at most `capacity` bytes; "" on anything but 0.
int readText(zv::namedPipe& pipe, std::string& text, unsigned int timeout, unsigned int capacity = 1 << 21) {
    std::vector<char> buffer(capacity);
    unsigned int size = capacity;
    const int r = pipe.read(buffer.data(), size, timeout);
    text = r == 0 ? std::string(buffer.data(), size) : std::string();
    return r;
}

bool sendText(zv::namedPipe& pipe, const std::string& text) {
    return pipe.send(text.data(), static_cast<unsigned int>(text.size()));
}

bool within(clock_type::time_point start, int seconds) {
    return clock_type::now() - start < std::chrono::seconds(seconds);
}

struct pipePair {
    zv::namedPipe server, client;
    explicit pipePair(const char* what) {
        const std::string name = uniquePipeName(what);
        setName(server, name);
        setName(client, name);
    }
    bool open() {
        return server.initialize(true, nullptr, nullptr, 0) && client.initialize(false, nullptr, nullptr, 0);
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
    std::size_t count() {
        std::lock_guard<std::mutex> guard(lock);
        return messages.size();
    }
    bool waitFor(std::size_t n, int seconds = 20) {
        const auto start = clock_type::now();
        while (count() < n && within(start, seconds))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return count() >= n;
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

TEST(messageFramer, AssemblesMessagesFromAnyPiecesAndDropsOverlongOnes) {
    const std::string big = prefixed(std::string(20, 'x'));
    const std::string stream = prefixed("") + prefixed("a") + big + prefixed("0123456789") + prefixed("");
    strings bytes;
    for (char c : stream)
        bytes.emplace_back(1, c);
    const struct {
        strings pieces, expected;
        unsigned long long dropped;
    } rows[] = {
        {bytes, {"", "a", "0123456789", ""}, 1},                                   // exactly the limit passes
        {{stream.substr(0, 5), stream.substr(5)}, {"", "a", "0123456789", ""}, 1}, // a prefix cut
        {{big.substr(0, 6), big.substr(6), prefixed("ok")}, {"ok"}, 1},            // the body arrives later
        {{big.substr(0, 2), big.substr(2) + big + prefixed("")}, {""}, 2},         // two in a row
    };
    for (const auto& row : rows) {
        zv::detail::messageFramer framer(10);
        EXPECT_EQ(feed(framer, row.pieces), row.expected);
        EXPECT_EQ(framer.dropped(), row.dropped);
        EXPECT_EQ(framer.buffered(), 0u);
    }
    // The length of a message is known before its body.
    zv::detail::messageFramer framer;
    EXPECT_TRUE(feed(framer, {prefixed("hello").substr(0, 4)}).empty());
    unsigned int length = 0;
    EXPECT_TRUE(framer.nextLength(length) && length == 5u);
}

TEST(namedPipe, ExchangesMessagesBothWaysInOneProcess) {
    pipePair p("both");
    ASSERT_TRUE(p.open());
    // A message larger than the pipe's buffer needs a reader while it is sent.
    const auto exchange = [](zv::namedPipe& from, zv::namedPipe& to, const std::string& text) {
        std::string got;
        bool sent = false;
        std::thread sender([&] { sent = sendText(from, text); });
        EXPECT_EQ(readText(to, got, 5000), 0);
        sender.join();
        EXPECT_TRUE(sent);
        EXPECT_TRUE(got == text) << text.size() << " bytes";
    };
    for (const std::string& text : {std::string("hello"), std::string(), pattern(1 << 20, 3)}) {
        exchange(p.client, p.server, text);
        exchange(p.server, p.client, text);
    }
    // A buffer too small: the length, then the message with a larger one.
    ASSERT_TRUE(sendText(p.server, std::string(20, 'q')));
    char small[10];
    unsigned int size = sizeof small;
    EXPECT_EQ(p.client.read(small, size, 5000), 2);
    EXPECT_EQ(size, 20u);
    std::string got;
    EXPECT_EQ(readText(p.client, got, 5000, 20), 0);
    EXPECT_EQ(got, std::string(20, 'q'));
    EXPECT_FALSE(p.server.isBroken());
}

TEST(namedPipe, OneServerAndOneClientPerName) {
    zv::namedPipe unopened;
    unopened.setPipeName(L"Cell7", L"host");
    EXPECT_EQ(unopened.getRealPipeName(true), zv::string(L"\\\\host\\PIPE\\Cell7_IN"));
    EXPECT_EQ(unopened.getRealPipeName(false), zv::string(L"\\\\host\\PIPE\\Cell7_OUT"));
    EXPECT_FALSE(unopened.send("x", 1));
    char buffer[4];
    unsigned int size = sizeof buffer;
    EXPECT_EQ(unopened.read(buffer, size, 0), 1);
    EXPECT_EQ(size, 0u);

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

TEST(namedPipe, ReadTimesOutAfterItsTimeAndCanBeStopped) {
    pipePair p("timeout");
    ASSERT_TRUE(p.open());
    std::string got;
    for (unsigned int timeout : {0u, 300u}) {
        const auto start = clock_type::now();
        EXPECT_EQ(readText(p.server, got, timeout), 1);
        EXPECT_GE(clock_type::now() - start,
                  std::chrono::milliseconds(timeout) - std::chrono::milliseconds(1));
        EXPECT_TRUE(within(start, 2));
    }
    // stopReading from another thread ends a long wait early.
    const auto start = clock_type::now();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        p.server.stopReading();
    });
    EXPECT_EQ(readText(p.server, got, 30000), 1);
    stopper.join();
    EXPECT_TRUE(within(start, 10));
    // A stop before the read does not stop it; a message still arrives.
    p.server.stopReading();
    ASSERT_TRUE(sendText(p.client, "after"));
    EXPECT_EQ(readText(p.server, got, 5000), 0);
    EXPECT_EQ(got, "after");
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
    const auto start = clock_type::now();
    p.server.stopListener();
    EXPECT_FALSE(p.server.isListening());
    EXPECT_TRUE(within(start, 5));
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
    // Sizes around the pipe's buffer make partial writes likely.
    const auto body = [](int t, int i) {
        return pattern(static_cast<std::size_t>((i * 7919 + t * 104729) % 150000), i + t);
    };
    std::vector<std::thread> senders;
    std::atomic<int> failures{0};
    for (int t = 0; t < threads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                if (!sendText(p.client, std::to_string(t) + ":" + std::to_string(i) + ":" + body(t, i)))
                    ++failures;
        });
    for (auto& s : senders)
        s.join();
    EXPECT_EQ(failures.load(), 0);
    ASSERT_TRUE(box.waitFor(threads * perThread, 60));
    p.server.stopListener();
    std::vector<int> next(threads, 0);
    for (const std::string& m : box.messages) {
        const std::size_t a = m.find(':'), b = m.find(':', a + 1);
        ASSERT_NE(b, std::string::npos);
        const int t = std::stoi(m.substr(0, a)), i = std::stoi(m.substr(a + 1, b - a - 1));
        ASSERT_TRUE(t >= 0 && t < threads);
        EXPECT_EQ(i, next[t]++) << "messages of one sender keep their order";
        EXPECT_TRUE(m.substr(b + 1) == body(t, i)) << "message " << t << ":" << i << " intact";
    }
}

TEST(namedPipe, ServerGoingAwayEndsTheClientsRead) {
    // The server never wrote: the client still learns at once that it is gone.
    pipePair p("gone");
    ASSERT_TRUE(p.open());
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        p.server.deinit();
    });
    const auto start = clock_type::now();
    std::string got;
    EXPECT_EQ(readText(p.client, got, 30000), 1);
    closer.join();
    EXPECT_TRUE(within(start, 10));
    EXPECT_TRUE(p.client.isBroken());
    EXPECT_FALSE(sendText(p.client, "anyone?"));
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
    bool open = false;
    for (int i = 0; i < 500 && !(open = client.initialize(false, nullptr, nullptr, 0)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(open);
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
    ASSERT_TRUE(box.waitFor(1, 30));
    ASSERT_TRUE(sendText(server, "die"));
    EXPECT_EQ(child.wait(30000), 3);
    const auto start = clock_type::now();
    while (server.isListening() && within(start, 10))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(server.isListening());
    EXPECT_TRUE(server.isBroken());
    EXPECT_EQ(box.messages, (strings{"echo:x"}));
    EXPECT_EQ(readText(server, got, 20000), 1);
    EXPECT_TRUE(within(start, 15));
    EXPECT_FALSE(sendText(server, "nobody"));
}
