#include "zvTestEnv.h"
#include "zvFsTestSupport.h"
#include "zvString.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

namespace {

#ifdef _WIN32
const std::string kEol = "\r\n";
#else
const std::string kEol = "\n";
#endif

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(kEol, start)) != std::string::npos; start = end + kEol.size())
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the protocol ends with a whole line";
    return lines;
}

} // namespace

TEST(testEnv, WritesEachClassificationWithItsPrefixAndTheSource) {
    zvtest::tempFolder tmp;
    const zv::file log(tmp.dir(), L"protocol.txt");
    zv::testEnv env(log);
    EXPECT_EQ(env.testPath(), tmp.dir());
    const std::tuple<int, const wchar_t*, const wchar_t*, const char*> cases[] = {
        {2, L"src\\dir.cpp", L"d%d", "Classtest start:  d5    (src\\dir.cpp (5))"},
        {0, L"m.cpp", L"mod", "Moduletest start: mod    (m.cpp (5))"},
        {1, L"m.cpp", L"mod", "Moduletest ended: mod    (m.cpp (5))"},
        {3, L"m.cpp", L"", "Classtest ended:      (m.cpp (5))"},
        {4, L"m.cpp", L"%d%%", "     Message:     5%    (m.cpp (5))"},
        {5, L"m.cpp", L"w", "     Warning:     w    (m.cpp (5))"},
        {6, L"m.cpp", L"e", "     Error:       e    (m.cpp (5))"},
        {-1, L"m.cpp", L"x", "                  x    (m.cpp (5))"},
        {4, nullptr, nullptr, "     Message:         ( (5))"},
        {4, L"\u00e4.cpp", L"\u20ac", "     Message:     \xe2\x82\xac    (\xc3\xa4.cpp (5))"},
    };
    for (const auto& [classification, source, format, expected] : cases)
        env.protocol(static_cast<zv::testEnv::eClassification>(classification), source, 5, format, 5);
    const auto lines = linesOf(zvtest::readAll(tmp.host() / "protocol.txt"));
    ASSERT_EQ(lines.size(), std::size(cases));
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], std::get<3>(cases[i]));
    EXPECT_TRUE(env.warnings() == 1u && env.errors() == 1u);

    // A protocol that cannot be written is ignored.
    zv::testEnv nowhere(zv::file(tmp.dir(), L"missing\\protocol.txt"));
    nowhere.protocol(zv::testEnv::error, L"x.cpp", 1, L"lost");
    EXPECT_EQ(nowhere.errors(), 1u);
}

TEST(testEnv, ConcurrentWritersOnOneProtocolKeepEveryLineWholeAndInOrder) {
    zvtest::tempFolder tmp;
    const zv::file log(tmp.dir(), L"shared.txt");
    {
        zv::testEnv a(log), b(log);
        for (zv::testEnv* env : {&a, &b, &a})
            env->protocol(zv::testEnv::message, L"s", 0, L"%d", env == &a ? 1 : 2);
    }
    auto lines = linesOf(zvtest::readAll(tmp.host() / "shared.txt"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(18, 1) + lines[1].substr(18, 1) + lines[2].substr(18, 1), "121")
        << "call order";

    constexpr int kThreads = 4, kLines = 150;
    const std::string filler(300, 'x'); // long lines would show a split write
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            zv::testEnv env(log);
            const std::wstring wide(filler.begin(), filler.end());
            for (int i = 0; i < kLines; ++i)
                env.protocol(zv::testEnv::message, L"t", t, L"%d:%d:%s", t, i, wide.c_str());
        });
    for (auto& th : threads)
        th.join();
    lines = linesOf(zvtest::readAll(tmp.host() / "shared.txt"));
    ASSERT_EQ(lines.size(), 3u + kThreads * kLines);
    std::vector<int> next(kThreads, 0);
    for (std::size_t i = 3; i < lines.size(); ++i) {
        int t = -1, n = -1;
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "     Message:     %d:%d:", &t, &n), 2) << lines[i];
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(n, next[t]++) << "each writer's lines stay in call order";
        EXPECT_EQ(lines[i], "     Message:     " + std::to_string(t) + ":" + std::to_string(n) + ":" +
                                filler + "    (t (" + std::to_string(t) + "))");
    }
}
