#include "zvString.h"

#include <gtest/gtest.h>

#include <tuple>

using zv::string;

TEST(zvString, NullTextsCaseAndEquality) {
    static_assert(sizeof(string) == sizeof(std::wstring));
    string t = L"x";
    t = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(t.empty() && string(static_cast<const wchar_t*>(nullptr)).empty());
    // The C locale folds A-Z only; copies leave the original alone.
    string s(L"Hello, World! \u00e9");
    EXPECT_EQ(s.upper() + s.lower() + s, L"HELLO, WORLD! \u00e9hello, world! \u00e9Hello, World! \u00e9");
    string::lowercase(s);
    EXPECT_EQ(s, L"hello, world! \u00e9");
    // A null text counts as empty; without case, comparison stops at the first NUL.
    const wchar_t* null = nullptr;
    EXPECT_TRUE(string().isEqualTo(null, false) && string().isEqualTo(null, true));
    EXPECT_FALSE(string(L"x").isEqualTo(null, false) || string(L"x").isEqualTo(null, true));
    const string abc(L"ABC"), withNul(L"ab\0cd", 5);
    const std::tuple<string, string, bool, bool> cases[] = {{abc, L"abc", true, false},
                                                            {abc, L"ABCD", false, false},
                                                            {abc, L"AB", false, false},
                                                            {abc, L"ABC", true, true},
                                                            {withNul, L"AB", true, false},
                                                            {withNul, L"ab", true, false},
                                                            {withNul, string(L"AB\0xy", 5), true, false},
                                                            {withNul, string(L"ab\0cd", 5), true, true},
                                                            {withNul, string(L"ab\0ce", 5), true, false}};
    for (const auto& [a, b, withoutCase, withCase] : cases)
        EXPECT_EQ(std::pair(a.isEqualTo(b, false), a.isEqualTo(b, true)), std::pair(withoutCase, withCase))
            << a.c_str() << " / " << b.c_str();
}

// Matching, splitting, replacing and fields are compared with simple models for
// arbitrary input by the fuzz targets; here only what those cannot show.
TEST(zvString, MatchingLongPathologicalTextsFinishes) {
    // Backtracking into an earlier star is never needed for * and ?; a long
    // pathological case finishes (quadratic at worst, never exponential).
    EXPECT_TRUE(string(L"aaaaaaaaaaaaaaaaaaaab").matches(L"*a*a*a*a*b"));
    EXPECT_FALSE(string(20000, L'a').matches(L"*a*a*a*a*a*a*a*a*b"));
}

TEST(zvString, DeletionReplaceAndFields) {
    // A single character never empties a text made only of it; a set may.
    const std::pair<string, const wchar_t*> cases[] = {
        {string(L"   ").deleteLeading(L' '), L"   "},
        {string(L"\\").deleteTrailing(L'\\'), L"\\"},
        {string(L"  a b  ").deleteLeading(L' '), L"a b  "},
        {string(L"  a b  ").deleteTrailing(L' '), L"  a b"},
        {string(L"xaxbx").deleteAll(L'x'), L"ab"},
        {string(L"xxx").deleteAll(L'x'), L""},
        {string(L"   ").deleteLeading(std::wstring(L" ")), L""},
        {string(L" \t ").deleteTrailing(std::wstring(L" \t")), L""},
        {string(L" \ta b\t ").deleteLeading(std::wstring(L" \t")), L"a b\t "},
        {string(L"abab").replace(L'a', L'z'), L"zbzb"},
        {string(L"a;b").substrBetween(L';', 0xFFFFFFFFu), L""},
    };
    for (const auto& [got, expected] : cases)
        EXPECT_EQ(got, expected);
    // Many occurrences in a long text stay cheap (one pass).
    EXPECT_EQ(string(100000, L'x').replace(string(L"x"), string(L"yz")).size(), 200000u);
}

TEST(zvString, XorWrapsTheKeyAndCountsLengthsIn16Bits) {
    EXPECT_EQ(string:: xor (L"secret", L"k3y")[3], static_cast<wchar_t>(L'r' ^ L'k')); // the key wraps
    EXPECT_EQ(string:: xor (L"abc", L""), L"abc");

    // A key of 65536 characters counts as empty.
    EXPECT_EQ(string:: xor (L"abc", std::wstring(65536, L'k')), L"abc");
    // Only the first (length mod 65536) characters are scrambled.
    const std::wstring longText(65536 + 3, L'a');
    EXPECT_EQ(string:: xor (longText, L"\x01"), std::wstring(3, L'a' ^ 1) + longText.substr(3));
}
