#include "zvString.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using zv::string;

namespace {

// Plain dynamic-programming matcher: obviously right, used as the oracle.
bool matchesByTable(const std::wstring& text, const std::wstring& pattern) {
    const std::wstring t = text.c_str();
    const std::wstring p = pattern.c_str();
    std::vector<std::vector<bool>> ok(t.size() + 1, std::vector<bool>(p.size() + 1, false));
    ok[0][0] = true;
    for (std::size_t j = 1; j <= p.size(); ++j)
        ok[0][j] = ok[0][j - 1] && p[j - 1] == L'*';
    for (std::size_t i = 1; i <= t.size(); ++i)
        for (std::size_t j = 1; j <= p.size(); ++j) {
            if (p[j - 1] == L'*')
                ok[i][j] = ok[i][j - 1] || ok[i - 1][j];
            else
                ok[i][j] = ok[i - 1][j - 1] && (p[j - 1] == L'?' || p[j - 1] == t[i - 1]);
        }
    return ok[t.size()][p.size()];
}

std::vector<string> split(const string& text, const string& separator, bool onlyFirst,
                          bool* result = nullptr) {
    std::vector<string> parts{L"stale"};
    const bool r = text.splitAt(separator, parts, onlyFirst);
    if (result)
        *result = r;
    return parts;
}

} // namespace

TEST(zvString, IsAStdWstringWithoutDataOfItsOwn) {
    static_assert(sizeof(string) == sizeof(std::wstring));
    const string s(L"abc");
    const std::wstring& base = s;
    EXPECT_EQ(base, L"abc");
    EXPECT_TRUE(string::emptyString.empty());
    EXPECT_EQ(string(static_cast<const wchar_t*>(nullptr)), L"");
    string t = L"x";
    t = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(t.empty());
}

TEST(zvString, CaseConversionFoldsAsciiInTheCLocale) {
    string s(L"Hello, World! \u00e9");
    EXPECT_EQ(s.upper(), L"HELLO, WORLD! \u00e9"); // the C locale folds A-Z only
    EXPECT_EQ(s.lower(), L"hello, world! \u00e9");
    EXPECT_EQ(s, L"Hello, World! \u00e9"); // copies leave the original alone
    EXPECT_EQ(&s.toUpper(), &s);
    EXPECT_EQ(s, L"HELLO, WORLD! \u00e9");
    string::lowercase(s);
    EXPECT_EQ(s, L"hello, world! \u00e9");
}

TEST(zvString, IsEqualToComparesWithOrWithoutCase) {
    const string abc(L"ABC");
    EXPECT_TRUE(abc.isEqualTo(string(L"abc"), false));
    EXPECT_FALSE(abc.isEqualTo(string(L"abc"), true));
    EXPECT_TRUE(abc.isEqualTo(L"ABC", true));
    EXPECT_FALSE(abc.isEqualTo(L"ABCD", false));
    EXPECT_FALSE(abc.isEqualTo(L"AB", false));
    // A null text counts as empty.
    EXPECT_TRUE(string().isEqualTo(static_cast<const wchar_t*>(nullptr), false));
    EXPECT_TRUE(string().isEqualTo(static_cast<const wchar_t*>(nullptr), true));
    EXPECT_FALSE(string(L"x").isEqualTo(static_cast<const wchar_t*>(nullptr), false));
    EXPECT_FALSE(string(L"x").isEqualTo(static_cast<const wchar_t*>(nullptr), true));
}

TEST(zvString, CaseInsensitiveEqualityStopsAtTheFirstNul) {
    const string withNul(L"ab\0cd", 5);
    EXPECT_TRUE(withNul.isEqualTo(string(L"AB"), false));
    EXPECT_TRUE(withNul.isEqualTo(string(L"AB\0xy", 5), false));
    EXPECT_FALSE(withNul.isEqualTo(string(L"ab"), true)); // case-sensitive sees every unit
    EXPECT_TRUE(withNul.isEqualTo(string(L"ab\0cd", 5), true));
    EXPECT_FALSE(withNul.isEqualTo(string(L"ab\0ce", 5), true));
}

TEST(zvString, MatchesWholeTextWithStarAndQuestionMark) {
    const string abc(L"abc");
    for (const wchar_t* p : {L"a*c", L"a?c", L"*", L"***", L"abc", L"*c", L"a*", L"?*?", L"*b*"})
        EXPECT_TRUE(abc.matches(p)) << p;
    for (const wchar_t* p : {L"A*", L"ab", L"?", L"abcd", L"", L"a*d", L"????", L"*x*"})
        EXPECT_FALSE(abc.matches(p)) << p;
    EXPECT_TRUE(string().matches(L""));
    EXPECT_TRUE(string().matches(L"*"));
    EXPECT_FALSE(string().matches(L"?"));
    // Text and pattern end at their first NUL.
    EXPECT_TRUE(string(L"ab\0zz", 5).matches(std::wstring(L"a?\0q", 4)));
}

TEST(zvString, MatchesResumesOnlyTheLastStar) {
    // Backtracking into an earlier star is never needed for * and ?.
    EXPECT_TRUE(string(L"mississippi").matches(L"m*iss*ppi"));
    EXPECT_TRUE(string(L"abcbcd").matches(L"a*bcd"));
    EXPECT_FALSE(string(L"abcbce").matches(L"a*bcd"));
    EXPECT_TRUE(string(L"aaaaaaaaaaaaaaaaaaaab").matches(L"*a*a*a*a*b"));
    // A long pathological case finishes (quadratic at worst, never exponential).
    const string longText(20000, L'a');
    EXPECT_FALSE(longText.matches(L"*a*a*a*a*a*a*a*a*b"));
}

TEST(zvString, MatchesAgreesWithATableMatcher) {
    std::mt19937 rng(1234);
    const wchar_t textAlphabet[] = L"ab";
    const wchar_t patternAlphabet[] = L"ab*?";
    for (int round = 0; round < 20000; ++round) {
        string text;
        std::wstring pattern;
        const int tn = static_cast<int>(rng() % 9);
        const int pn = static_cast<int>(rng() % 7);
        for (int i = 0; i < tn; ++i)
            text.push_back(textAlphabet[rng() % 2]);
        for (int i = 0; i < pn; ++i)
            pattern.push_back(patternAlphabet[rng() % 4]);
        ASSERT_EQ(text.matches(pattern), matchesByTable(text, pattern))
            << "text '" << std::string(text.begin(), text.end()) << "' pattern '"
            << std::string(pattern.begin(), pattern.end()) << "'";
    }
}

TEST(zvString, SingleCharacterDeletionKeepsATextMadeOnlyOfIt) {
    EXPECT_EQ(string(L"   ").deleteLeading(L' '), L"   ");
    EXPECT_EQ(string(L"\\").deleteTrailing(L'\\'), L"\\");
    EXPECT_EQ(string(L"  a b  ").deleteLeading(L' '), L"a b  ");
    EXPECT_EQ(string(L"  a b  ").deleteTrailing(L' '), L"  a b");
    EXPECT_EQ(string(L"").deleteLeading(L' '), L"");
    EXPECT_EQ(string(L"xaxbx").deleteAll(L'x'), L"ab");
    EXPECT_EQ(string(L"xxx").deleteAll(L'x'), L"");
}

TEST(zvString, SetDeletionMayEmptyTheText) {
    EXPECT_EQ(string(L"   ").deleteLeading(std::wstring(L" ")), L"");
    EXPECT_EQ(string(L" \t ").deleteTrailing(std::wstring(L" \t")), L"");
    EXPECT_EQ(string(L" \ta b\t ").deleteLeading(std::wstring(L" \t")), L"a b\t ");
    EXPECT_EQ(string(L" \ta b\t ").deleteTrailing(std::wstring(L" \t")), L" \ta b");
    EXPECT_EQ(string(L"abcab").deleteAll(std::wstring(L"ab")), L"c");
    EXPECT_EQ(string(L"abc").deleteAll(std::wstring()), L"abc");
    EXPECT_EQ(string(L"abc").deleteLeading(std::wstring()), L"abc");
    EXPECT_EQ(string(L"abc").deleteTrailing(std::wstring()), L"abc");
    string chained(L"--x--");
    EXPECT_EQ(chained.deleteLeading(L'-').deleteTrailing(L'-'), L"x");
}

TEST(zvString, ReplaceNeverSearchesInsertedText) {
    EXPECT_EQ(string(L"aaa").replace(string(L"a"), string(L"aa")), L"aaaaaa");
    EXPECT_EQ(string(L"abc").replace(string(L""), string(L"x")), L"abc");
    EXPECT_EQ(string(L"aaaa").replace(string(L"aa"), string(L"b")), L"bb");
    EXPECT_EQ(string(L"aaa").replace(string(L"aa"), string(L"a")), L"aa"); // no overlap, no rescan
    EXPECT_EQ(string(L"a.b.c").replace(string(L"."), string(L"")), L"abc");
    EXPECT_EQ(string(L"xyz").replace(string(L"q"), string(L"r")), L"xyz");
    EXPECT_EQ(string(L"abab").replace(L'a', L'z'), L"zbzb");
    // Many occurrences in a long text stay cheap (one pass).
    string many(100000, L'x');
    EXPECT_EQ(many.replace(string(L"x"), string(L"yz")).size(), 200000u);
}

TEST(zvString, SubstrBetweenCountsEmptyFields) {
    EXPECT_EQ(string(L"a;;c").substrBetween(L';', 1), L"");
    EXPECT_EQ(string(L"a;b;c").substrBetween(L';', 2), L"c");
    EXPECT_EQ(string(L"a;b;c").substrBetween(L';', 3), L"");
    EXPECT_EQ(string(L"a;b").substrBetween(L';', 0), L"a");
    EXPECT_EQ(string(L"abc").substrBetween(L';', 0), L"abc");
    EXPECT_EQ(string(L"abc").substrBetween(L';', 1), L"");
    EXPECT_EQ(string(L";x;").substrBetween(L';', 2), L"");
    EXPECT_EQ(string(L"a;b").substrBetween(L';', 0xFFFFFFFFu), L"");
}

TEST(zvString, SplitAtKeepsEmptyParts) {
    bool ok = false;
    EXPECT_EQ(split(L"a,,b,", L",", false, &ok), (std::vector<string>{L"a", L"", L"b", L""}));
    EXPECT_TRUE(ok);
    EXPECT_EQ(split(L",a", L",", false), (std::vector<string>{L"", L"a"}));
    EXPECT_EQ(split(L"abc", L",", false, &ok), (std::vector<string>{L"abc"}));
    EXPECT_TRUE(ok);
    EXPECT_EQ(split(L"a,b,c", L",", true), (std::vector<string>{L"a", L"b,c"}));
    EXPECT_EQ(split(L"a::b::", L"::", false), (std::vector<string>{L"a", L"b", L""}));
    EXPECT_TRUE(split(L"", L",", false, &ok).empty());
    EXPECT_FALSE(ok);
}

TEST(zvString, SplitAtAnEmptySeparatorIsRefused) {
    bool ok = true;
    EXPECT_TRUE(split(L"abc", L"", false, &ok).empty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(split(L"abc", L"", true, &ok).empty());
    EXPECT_FALSE(ok);
}

TEST(zvString, XorTwiceRestoresAndCountsLengthsIn16Bits) {
    string s(L"secret text");
    const string key(L"k3y");
    s.xor (key);
    EXPECT_NE(s, L"secret text");
    EXPECT_EQ(s[0], static_cast<wchar_t>(L's' ^ L'k'));
    EXPECT_EQ(s[3], static_cast<wchar_t>(L'r' ^ L'k')); // the key wraps
    s.xor (key);
    EXPECT_EQ(s, L"secret text");
    EXPECT_EQ(string:: xor (L"abc", L""), L"abc");

    // A key of 65536 characters counts as empty.
    EXPECT_EQ(string:: xor (L"abc", std::wstring(65536, L'k')), L"abc");
    // Only the first (length mod 65536) characters are scrambled.
    const std::wstring longText(65536 + 3, L'a');
    const string scrambled = string:: xor (longText, L"\x01");
    EXPECT_EQ(scrambled.substr(0, 3), std::wstring(3, static_cast<wchar_t>(L'a' ^ 1)));
    EXPECT_EQ(scrambled.substr(3), longText.substr(3));
}
