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

std::string uniquePipeName(const char* what) {
    static std::atomic<int> counter{0};
    std::random_device rd;
    return std::string("zvtest-") + what + "-" + std::to_string(zv::getCurrentProcessId()) + "-" +
           std::to_string(rd() % 100000) + "-" + std::to_string(counter++);
}

zv::string wide(const std::string& s) {
    return zv::string(std::wstring(s.begin(), s.end()));
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

struct pipePair {
    zv::namedPipe server, client;
    explicit pipePair(const char* what) {
        const zv::string name = wide(uniquePipeName(what));
        server.setPipeName(name, L".");
        client.setPipeName(name, L".");
    }
    bool open() {
        return server.initialize(true, nullptr, nullptr, 0) && client.initialize(false, nullptr, nullptr, 0);
    }
};

// Collects what a listener delivers.
struct inbox {
    std::mutex lock;
    std::vector<std::string> messages;
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
        const auto deadline = clock_type::now() + std::chrono::seconds(seconds);
        while (count() < n && clock_type::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return count() >= n;
    }
};

std::string prefixed(const std::string& body) {
    unsigned char prefix[4];
    zv::detail::messageFramer::encodeLength(static_cast<unsigned int>(body.size()), prefix);
    return std::string(reinterpret_cast<char*>(prefix), 4) + body;
}

} // namespace

TEST(messageFramer, AssemblesMessagesFromAnyPieces) {
    const std::vector<std::string> bodies = {"", "a", pattern(300, 7), "", "last"};
    std::string stream;
    for (const auto& b : bodies)
        stream += prefixed(b);
    // Every way of cutting the stream in two, and byte by byte.
    for (std::size_t step : {std::size_t(1), std::size_t(3), stream.size()}) {
        for (std::size_t cut = 0; cut <= stream.size(); cut += (step == 1 ? 1 : stream.size())) {
            zv::detail::messageFramer framer;
            std::vector<std::string> got;
            auto drain = [&] {
                char* data = nullptr;
                unsigned int length = 0;
                while (framer.front(data, length)) {
                    got.emplace_back(data, length);
                    framer.pop();
                }
            };
            framer.append(stream.data(), cut);
            drain();
            for (std::size_t at = cut; at < stream.size(); at += step) {
                framer.append(stream.data() + at, std::min(step, stream.size() - at));
                drain();
            }
            ASSERT_EQ(got, bodies) << "cut " << cut << " step " << step;
            EXPECT_EQ(framer.buffered(), 0u);
        }
    }
}

TEST(messageFramer, DropsOverlongMessagesAndKeepsTheNext) {
    struct caseRow {
        std::vector<std::string> pieces;
        std::vector<std::string> expected;
        unsigned long long dropped;
    };
    const std::string big = prefixed(std::string(20, 'x'));
    const std::vector<caseRow> rows = {
        {{big + prefixed("ok")}, {"ok"}, 1},
        {{big.substr(0, 6), big.substr(6), prefixed("ok")}, {"ok"}, 1},         // the body arrives later
        {{big.substr(0, 2), big.substr(2) + big + prefixed("")}, {""}, 2},      // prefix cut, two in a row
        {{prefixed("0123456789"), big, prefixed("z")}, {"0123456789", "z"}, 1}, // exactly the limit passes
    };
    for (const auto& row : rows) {
        zv::detail::messageFramer framer(10);
        std::vector<std::string> got;
        for (const auto& piece : row.pieces) {
            framer.append(piece.data(), piece.size());
            char* data = nullptr;
            unsigned int length = 0;
            while (framer.front(data, length)) {
                got.emplace_back(data, length);
                framer.pop();
            }
        }
        EXPECT_EQ(got, row.expected);
        EXPECT_EQ(framer.dropped(), row.dropped);
    }
    // The length of a message is known before its body.
    zv::detail::messageFramer framer;
    const std::string m = prefixed("hello");
    framer.append(m.data(), 4);
    unsigned int length = 0;
    ASSERT_TRUE(framer.nextLength(length));
    EXPECT_EQ(length, 5u);
    char* data = nullptr;
    EXPECT_FALSE(framer.front(data, length));
}

TEST(namedPipe, Names) {
    zv::namedPipe pipe;
    EXPECT_EQ(pipe.getPipeName(), zv::string(L"\\\\.\\PIPE\\"));
    pipe.setPipeName(L"Cell7", L"host");
    EXPECT_EQ(pipe.getPipeName(), zv::string(L"\\\\host\\PIPE\\Cell7"));
    EXPECT_EQ(pipe.getRealPipeName(true), zv::string(L"\\\\host\\PIPE\\Cell7_IN"));
    EXPECT_EQ(pipe.getRealPipeName(false), zv::string(L"\\\\host\\PIPE\\Cell7_OUT"));
    EXPECT_FALSE(pipe.isInitialized());
    EXPECT_FALSE(pipe.send("x", 1));
    char buffer[4];
    unsigned int size = sizeof buffer;
    EXPECT_EQ(pipe.read(buffer, size, 0), 1);
    EXPECT_EQ(size, 0u);
}

TEST(namedPipe, ExchangesMessagesBothWaysInOneProcess) {
    pipePair p("both");
    ASSERT_TRUE(p.open());
    EXPECT_TRUE(p.server.isInitialized());
    EXPECT_TRUE(p.client.isInitialized());

    // A message larger than the pipe's buffer needs a reader while it is sent.
    const std::string big = pattern(1 << 20, 3);
    for (const std::string& text : {std::string("hello"), std::string(), big}) {
        std::string got;
        bool sent = false;
        std::thread toServer([&] { sent = sendText(p.client, text); });
        EXPECT_EQ(readText(p.server, got, 5000), 0);
        toServer.join();
        EXPECT_TRUE(sent);
        EXPECT_TRUE(got == text) << "client to server, " << text.size() << " bytes";
        std::thread toClient([&] { sent = sendText(p.server, text); });
        EXPECT_EQ(readText(p.client, got, 5000), 0);
        toClient.join();
        EXPECT_TRUE(sent);
        EXPECT_TRUE(got == text) << "server to client, " << text.size() << " bytes";
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

    // Several messages sent before one is read stay apart.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(sendText(p.client, "m" + std::to_string(i)));
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(readText(p.server, got, 5000), 0);
        EXPECT_EQ(got, "m" + std::to_string(i));
    }
    EXPECT_FALSE(p.server.isBroken());
}

TEST(namedPipe, OneServerAndOneClientPerName) {
    pipePair p("single");
    zv::namedPipe lonely;
    lonely.setPipeName(p.client.getPipeName().substr(9), L".");
    EXPECT_FALSE(lonely.initialize(false, nullptr, nullptr, 0)) << "no server yet";
    ASSERT_TRUE(p.server.initialize(true, nullptr, nullptr, 0));
    EXPECT_FALSE(p.server.send("early", 5)) << "no client connected yet";
    EXPECT_FALSE(p.server.isBroken());

    zv::namedPipe second;
    second.setPipeName(p.server.getPipeName().substr(9), L".");
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
    for (unsigned int timeout : {0u, 150u, 400u}) {
        const auto start = clock_type::now();
        std::string got;
        EXPECT_EQ(readText(p.server, got, timeout), 1);
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - start);
        EXPECT_GE(elapsed.count(), static_cast<long long>(timeout) - 1);
        EXPECT_LT(elapsed.count(), static_cast<long long>(timeout) + 2000);
    }

    // stopReading from another thread ends a long wait early.
    const auto start = clock_type::now();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        p.server.stopReading();
    });
    std::string got;
    EXPECT_EQ(readText(p.server, got, 30000), 1);
    stopper.join();
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(10));

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
    const std::vector<std::string> sent = {"one", "", pattern(5000, 1), pattern(1 << 20, 2), "last"};
    for (const auto& m : sent)
        ASSERT_TRUE(sendText(p.client, m));
    ASSERT_TRUE(box.waitFor(sent.size()));
    {
        std::lock_guard<std::mutex> guard(box.lock);
        EXPECT_TRUE(box.messages == sent);
    }
    // Stopping joins the thread at once, although it waits on the pipe.
    const auto start = clock_type::now();
    p.server.stopListener();
    EXPECT_FALSE(p.server.isListening());
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(5));
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
    std::vector<std::thread> senders;
    std::atomic<int> failures{0};
    for (int t = 0; t < threads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                // Sizes around the pipe's buffer make partial writes likely.
                const std::size_t size = static_cast<std::size_t>((i * 7919 + t * 104729) % 150000);
                std::string m = std::to_string(t) + ":" + std::to_string(i) + ":" + pattern(size, i + t);
                if (!sendText(p.client, m))
                    ++failures;
            }
        });
    }
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
        const std::size_t size = static_cast<std::size_t>((i * 7919 + t * 104729) % 150000);
        EXPECT_TRUE(m.substr(b + 1) == pattern(size, i + t)) << "message " << t << ":" << i << " intact";
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
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(p.client.isBroken());
    EXPECT_FALSE(sendText(p.client, "anyone?"));
}

// The other side of the tests below, run in a child process: a client that
// echoes every message back with "echo:" before it, until "quit"; "die"
// makes it exit without closing anything first.
TEST(namedPipeChild, EchoClient) {
    const char* name = std::getenv("ZV_TEST_PIPE");
    if (name == nullptr)
        GTEST_SKIP() << "runs only as the child of the two-process tests";
    zv::namedPipe client;
    client.setPipeName(wide(name), L".");
    bool open = false;
    for (int i = 0; i < 500 && !open; ++i) {
        open = client.initialize(false, nullptr, nullptr, 0);
        if (!open)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(open);
    ASSERT_TRUE(sendText(client, "hello"));
    for (;;) {
        std::string got;
        ASSERT_EQ(readText(client, got, 30000), 0);
        if (got == "quit")
            return;
        if (got == "die")
            std::_Exit(3);
        ASSERT_TRUE(sendText(client, "echo:" + got));
    }
}

TEST(namedPipe, ServerAndClientInTwoProcesses) {
    const std::string name = uniquePipeName("proc");
    zv::namedPipe server;
    server.setPipeName(wide(name), L".");
    ASSERT_TRUE(server.initialize(true, nullptr, nullptr, 0));
    zvtest::childTest child("namedPipeChild.EchoClient", "ZV_TEST_PIPE", name);
    ASSERT_TRUE(child.started());
    std::string got;
    ASSERT_EQ(readText(server, got, 30000), 0);
    EXPECT_EQ(got, "hello");
    const std::string big = pattern(1 << 20, 9);
    for (const std::string& text : {std::string("ping"), std::string(), big}) {
        ASSERT_TRUE(sendText(server, text));
        ASSERT_EQ(readText(server, got, 30000), 0);
        EXPECT_TRUE(got == "echo:" + text) << text.size() << " bytes";
    }
    ASSERT_TRUE(sendText(server, "quit"));
    EXPECT_EQ(child.wait(30000), 0);

    // The client has gone: a read ends at once instead of waiting.
    const auto start = clock_type::now();
    EXPECT_EQ(readText(server, got, 20000), 1);
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(server.isBroken());
    EXPECT_FALSE(sendText(server, "nobody"));
}

TEST(namedPipe, DeadPeerStopsTheListener) {
    const std::string name = uniquePipeName("dead");
    zv::namedPipe server;
    server.setPipeName(wide(name), L".");
    inbox box;
    ASSERT_TRUE(server.initialize(true, &inbox::deliver, &box, 0));
    zvtest::childTest child("namedPipeChild.EchoClient", "ZV_TEST_PIPE", name);
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(box.waitFor(1, 30));
    // The client may only answer once the listener has seen it.
    ASSERT_TRUE(sendText(server, "x"));
    ASSERT_TRUE(box.waitFor(2, 30));
    ASSERT_TRUE(sendText(server, "die"));
    EXPECT_EQ(child.wait(30000), 3);
    const auto deadline = clock_type::now() + std::chrono::seconds(10);
    while (server.isListening() && clock_type::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(server.isListening());
    EXPECT_TRUE(server.isBroken());
    std::lock_guard<std::mutex> guard(box.lock);
    EXPECT_EQ(box.messages, (std::vector<std::string>{"hello", "echo:x"}));
}

TEST(namedPipe, KilledClientEndsTheServersRead) {
    const std::string name = uniquePipeName("killed");
    zv::namedPipe server;
    server.setPipeName(wide(name), L".");
    ASSERT_TRUE(server.initialize(true, nullptr, nullptr, 0));
    zvtest::childTest child("namedPipeChild.EchoClient", "ZV_TEST_PIPE", name);
    ASSERT_TRUE(child.started());
    std::string got;
    ASSERT_EQ(readText(server, got, 30000), 0);
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        child.kill();
    });
    const auto start = clock_type::now();
    EXPECT_EQ(readText(server, got, 30000), 1);
    killer.join();
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(server.isBroken());
}
