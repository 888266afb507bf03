#include "zvScString.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

TEST(scString, EqualTextsShareOneCopy) {
    const zv::scString a = zv::scString::createFrom(L"Width");
    const zv::scString b = zv::scString::createFrom(zv::string(L"Width"));
    const zv::scString lower = zv::scString::createFrom(L"width");
    EXPECT_TRUE(a.c_str() == b.c_str() && &a.string() == &b.string() && a == b && a.c_str() != lower.c_str());
    // The interned copy is independent of the text it was made from.
    zv::string source(L"Height");
    const zv::scString h = zv::scString::createFrom(source);
    source[0] = L'W';
    EXPECT_EQ(h.string(), L"Height");
    // Every code unit counts, embedded NULs included.
    const zv::scString withNul = zv::scString::createFrom(zv::string(L"a\0b", 3));
    EXPECT_TRUE(withNul.string().size() == 3u && withNul.c_str() != zv::scString::createFrom(L"a").c_str());
    // Equal texts are one key of an ordered map.
    std::map<zv::scString, int, zv::lessScString> byName{{a, 1}, {b, 2}, {lower, 3}};
    EXPECT_EQ(byName.size(), 2u);
}

TEST(scString, NullHandleReadsAsEmptyTextAndNullTextIsAnAssertion) {
    const zv::scString none;
    EXPECT_TRUE(none.isNull() && *none.c_str() == L'\0' && &none.string() == &zv::string::emptyString);
    EXPECT_FALSE(none == zv::scString::createFrom(L""));
    zvtest::assertCapture capture;
    EXPECT_THROW(zv::scString::createFrom(static_cast<const wchar_t*>(nullptr)), bool);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_NE(capture.messages()[0].find(L"Assertion failed:\ntext != nullptr"), std::wstring::npos);
}

TEST(scString, ConcurrentInterningGivesOnePointerPerText) {
    constexpr int kThreads = 6, kTexts = 3000;
    std::vector<std::vector<const wchar_t*>> seen(kThreads, std::vector<const wchar_t*>(kTexts));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &seen] {
            // Each thread walks the same texts from a different start.
            for (int k = 0; k < kTexts; ++k) {
                const int i = (k + t * 517) % kTexts;
                seen[t][i] = zv::scString::createFrom(L"stress-" + std::to_wstring(i)).c_str();
            }
        });
    for (auto& th : threads)
        th.join();
    for (int i = 0; i < kTexts; ++i) {
        ASSERT_STREQ(seen[0][i], (L"stress-" + std::to_wstring(i)).c_str());
        for (int t = 1; t < kThreads; ++t)
            ASSERT_EQ(seen[t][i], seen[0][i]) << "text " << i << " thread " << t;
    }
}

TEST(scString, DestroyedManagerIsRecreatedOnNextUse) {
    const std::wstring text = L"after-destroy";
    zv::scString::createFrom(text.c_str());
    zv::destroyScStringManager();
    zv::destroyScStringManager(); // twice is harmless
    const zv::scString fresh = zv::scString::createFrom(text.c_str());
    EXPECT_TRUE(fresh.string() == text && zv::scString::createFrom(text.c_str()).c_str() == fresh.c_str());
}
