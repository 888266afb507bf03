#include "zvCodePage.h"
#include "zvString.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <thread>
#include <vector>

using zv::string;

namespace {

std::string encode(const std::wstring& text, unsigned int codePage) {
    std::string out;
    EXPECT_TRUE(zv::toCodePage(text, codePage, out)) << codePage;
    return out;
}

std::wstring decode(const std::string& bytes, unsigned int codePage) {
    std::wstring out;
    EXPECT_TRUE(zv::fromCodePage(bytes, codePage, out)) << codePage;
    return out;
}

const std::wstring fffd(1, static_cast<wchar_t>(0xFFFD));

} // namespace

// The bytes a page leaves undefined keep their value; every byte's round trip is fuzzed.
TEST(zvCodePage, Windows1252MapsTheHighControlRangeLikeWindows) {
    const std::wstring wide = {0x20AC, 0x0178, 0x00E9, 0x81, 0x8D, 0x8F, 0x90, 0x9D};
    EXPECT_EQ(decode("\x80\x9F\xE9\x81\x8D\x8F\x90\x9D", 1252), wide);
    EXPECT_EQ(encode(wide, 1252), "\x80\x9F\xE9\x81\x8D\x8F\x90\x9D");
}

TEST(zvCodePage, UnrepresentableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(encode(L"a\u20ACb", 1252), "a\x80\x62");
#if defined(_WIN32)
    GTEST_SKIP() << "Windows applies its own best-fit replacements";
#else
    EXPECT_EQ(encode(L"\u4E2D|\u0100|\u0080", 1252), "?|?|?");
    EXPECT_EQ(encode(L"\u00e9\u4E2D", 1251), "??");
    EXPECT_EQ(encode(L"\u0416x\u00e9", 1251), "\xC6x?");
#endif
}

TEST(zvCodePage, Utf8EncodesEveryPlaneAndReplacesIllFormedInput) {
    EXPECT_EQ(encode(L"a\u00e9\u20AC\U0001F600", 65001), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    // U+1F600 is a surrogate pair on Windows.
    EXPECT_EQ(decode("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 65001), L"a\u00e9\u20AC\U0001F600");
    // Ill-formed input becomes replacement characters.
    // Cut off by the end; one maximal subpart, one U+FFFD; an overlong form.
    EXPECT_EQ(decode("a\xFF|\xC3", 65001), L"a" + fffd + L"|" + fffd);
    EXPECT_EQ(decode("\xE2\x82x|\xC0\xAF", 65001), fffd + L"x|" + fffd + fffd);
#if !defined(_WIN32)
    // Windows itself decides how many U+FFFD these give; the built-in decoder
    // gives one per maximal ill-formed subpart.
    EXPECT_EQ(decode("\xED\xA0\x80", 65001), fffd + fffd + fffd); // an encoded surrogate
    EXPECT_EQ(decode("\xF4\x90\x80\x80", 65001).size(), 4u);      // beyond U+10FFFF
#endif
}

TEST(zvCodePage, SystemPagesAndUnknownPages) {
    EXPECT_EQ(decode("\xC6", 1251), L"\u0416");
    EXPECT_EQ(encode(L"\u65E5\u672C", 932), "\x93\xFA\x96\x7B");
    EXPECT_EQ(decode("\x93\xFA\x96\x7B", 932), L"\u65E5\u672C");
    std::string out = "keep";
    std::wstring wout = L"keep";
    EXPECT_TRUE(zvtest::gives(zv::toCodePage(L"x", 4242, out), out, false, "keep"));
    EXPECT_TRUE(zvtest::gives(zv::fromCodePage("x", 4242, wout), wout, false, L"keep"));
}

TEST(zvCodePage, GetAndMakeMbcsUseTheAnsiPage) {
    const string text(L"Caf\u00e9 \u20AC");
    EXPECT_EQ(text.getMBCS(), encode(text, zv::ansiCodePage()));
    EXPECT_TRUE(zv::ansiCodePage() != 1252 || text.getMBCS() == "Caf\xE9 \x80");
    EXPECT_EQ(string(L"ab\0cd", 5).getMBCS(), "ab");
    // makeMBCS returns exactly the converted characters.
    EXPECT_EQ(string::makeMBCS(std::wstring(5000, L'z')), std::wstring(5000, L'z')); // no size limit
    // What the page cannot hold comes back as the page's replacement, and a
    // second round trip changes nothing.
    const string once = string::makeMBCS(L"x\u4E2Dy");
    EXPECT_TRUE(once.size() == 3u && string::makeMBCS(once) == once);
}

TEST(zvCodePage, FromMbcToWcMapsBytesInTheCLocale) {
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    EXPECT_EQ(string::fromMBCtoWC("a\x80\xE9\xFF"), std::wstring({L'a', 0x80, 0xE9, 0xFF}));
    EXPECT_EQ(string::fromMBCtoWC(nullptr), L"");
}

TEST(zvCodePage, FromMbcToWcFollowsAUtf8Locale) {
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
        GTEST_SKIP() << "no UTF-8 locale for the C runtime on this system";
    EXPECT_EQ(string::fromMBCtoWC("caf\xC3\xA9"), L"caf\u00e9");
    // Invalid bytes become U+FFFD one by one; decoding goes on behind them.
    EXPECT_EQ(string::fromMBCtoWC("a\xFF|\xC3(x|\xC3"), L"a" + fffd + L"|" + fffd + L"(x|" + fffd);
    // The formatting engine reads %S the same way.
    EXPECT_EQ(string::sformat(L"%S|%C", "\xC3\xA9", 'x'), L"\u00e9|x");
    std::setlocale(LC_CTYPE, "C");
}

TEST(zvCodePage, FromMbcToWcFollowsASingleBytePageLocale) {
    if (std::setlocale(LC_CTYPE, ".1252") == nullptr) // the Windows runtime's name for the 1252 page
        GTEST_SKIP() << "the C runtime has no locale named \".1252\" here (glibc names none so)";
    EXPECT_EQ(string::fromMBCtoWC("\x80\xE9x"), L"\u20AC\u00e9x");
    // The only argument goes as `const char*`: see the va_list note in zvString.h.
    const char* euro = "\x80";
    EXPECT_EQ(string::sformat(L"%S", euro), L"\u20AC");
    std::setlocale(LC_CTYPE, "C");
}

TEST(zvCodePage, ConcurrentConversionsAreIndependent) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &failures] {
            const std::wstring text = L"th\u00e9 \u0416 " + std::to_wstring(t);
            const unsigned int page = (t % 2) ? 65001 : 1251;
            for (int i = 0; i < 500; ++i) {
                std::string bytes;
                std::wstring back;
                if (!zv::toCodePage(text, page, bytes) || !zv::fromCodePage(bytes, page, back) ||
                    (page == 65001 && back != text))
                    ++failures[static_cast<std::size_t>(t)];
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}
