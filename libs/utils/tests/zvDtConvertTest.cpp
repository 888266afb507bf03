#include "zvDtConvert.h"
#include "zvCodePage.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace {

using zv::dtArgs;
using zv::dtconvert;
using zv::string;
using zv::typeconvert::typeConversionManager;

string wide(const std::string& ascii) {
    return string(ascii.begin(), ascii.end());
}

// ---- numbers among themselves, every pair from one table -----------------

using numberTypes =
    std::tuple<short, unsigned short, int, unsigned int, long, unsigned long, float, double, bool>;

static_assert(std::numeric_limits<long double>::digits >= 64,
              "the oracle needs a long double that holds every 64-bit integer");

// Candidate values: the bounds of every number type, their neighbours, and
// values that probe truncation and the floating-point limits. Each source
// type uses those it can hold.
std::vector<long double> candidates() {
    std::vector<long double> values = {0.0L, 1.0L,     -1.0L,    0.5L,   -0.5L,  3.99L,   -3.99L,
                                       2.0L, 32767.5L, -32768.5, 1e10L,  -1e10L, 1e20L,   -1e20L,
                                       1e40, -1e40,    1e300L,   -1e300, 1e-30L, 65535.9L};
    auto addBounds = [&](auto tag) {
        using T = decltype(tag);
        const long double lo = std::numeric_limits<T>::lowest();
        const long double hi = std::numeric_limits<T>::max();
        for (long double v : {lo, hi, lo - 1, hi + 1, hi / 2})
            values.push_back(v);
    };
    std::apply([&](auto... tags) { (addBounds(tags), ...); }, numberTypes{});
    values.push_back(std::nextafter(static_cast<double>(FLT_MAX), 1e300));
    values.push_back(std::numeric_limits<double>::infinity());
    values.push_back(-std::numeric_limits<double>::infinity());
    return values;
}

template <typename From>
std::vector<From> samples() {
    std::vector<From> out;
    if constexpr (std::is_same_v<From, bool>) {
        out = {false, true};
    } else {
        for (long double c : candidates()) {
            if constexpr (std::is_integral_v<From>) {
                if (c != std::trunc(c) || std::isinf(c) || c < std::numeric_limits<From>::min() ||
                    c > std::numeric_limits<From>::max())
                    continue;
            } else {
                if (!std::isinf(c) && std::fabs(c) > std::numeric_limits<From>::max())
                    continue;
            }
            out.push_back(static_cast<From>(c));
        }
        if constexpr (std::is_floating_point_v<From>) {
            out.push_back(std::numeric_limits<From>::quiet_NaN());
            out.push_back(-From(0));
        }
    }
    return out;
}

// What a conversion must give, computed in long double, where every source
// value and every bound is exact.
template <typename To, typename From>
std::pair<To, bool> oracle(From v) {
    if constexpr (std::is_same_v<To, bool>) {
        return {v != 0, true};
    } else if constexpr (std::is_same_v<From, bool>) {
        return {static_cast<To>(v ? 1 : 0), true};
    } else {
        const long double x = v;
        if (std::isnan(x)) {
            if constexpr (std::is_integral_v<To>)
                return {To(0), false};
            else
                return {std::numeric_limits<To>::quiet_NaN(), true};
        }
        const long double lo = std::numeric_limits<To>::lowest();
        const long double hi = std::numeric_limits<To>::max();
        if (x < lo)
            return {std::numeric_limits<To>::lowest(), false};
        if (x > hi)
            return {std::numeric_limits<To>::max(), false};
        if constexpr (std::is_integral_v<To>)
            return {static_cast<To>(std::trunc(x)), true};
        else
            return {static_cast<To>(v), true};
    }
}

template <typename T>
bool sameValue(T a, T b) {
    if constexpr (std::is_floating_point_v<T>)
        return (std::isnan(a) && std::isnan(b)) || a == b;
    else
        return a == b;
}

template <typename From, typename To>
void checkPair(int& pairs) {
    constexpr bool exists =
        !std::is_same_v<From, To> && !(std::is_floating_point_v<From> && std::is_same_v<To, bool>);
    if constexpr (exists) {
        ++pairs;
        for (From v : samples<From>()) {
            const auto [want, ok] = oracle<To, From>(v);
            const std::string what = std::string(zv::typeconvert::typeName<From>::value) + " " +
                                     std::to_string(static_cast<long double>(v)) + " -> " +
                                     zv::typeconvert::typeName<To>::value;
            To direct{};
            EXPECT_EQ(dtconvert(direct, v), ok) << what;
            EXPECT_TRUE(sameValue(direct, want)) << what << " gave " << +direct;

            To prepared{};
            EXPECT_EQ(dtconvert(direct, v, zv::dtCount, dtArgs{0, 3}), ok) << what;
            EXPECT_EQ(dtconvert(prepared, v, 0, dtArgs{}), ok) << what;
            EXPECT_TRUE(sameValue(prepared, want)) << what;

            To viaRegistry{};
            EXPECT_EQ(typeConversionManager::instance().convert(viaRegistry, v), ok) << what;
            EXPECT_TRUE(sameValue(viaRegistry, want)) << what << " (registry)";
        }
    }
}

template <typename From, typename... To>
void checkFrom(int& pairs, std::tuple<To...>*) {
    (checkPair<From, To>(pairs), ...);
}

template <typename... From>
int checkAllPairs(std::tuple<From...>*) {
    int pairs = 0;
    (checkFrom<From>(pairs, static_cast<numberTypes*>(nullptr)), ...);
    return pairs;
}

TEST(dtconvertNumbers, EveryPairSaturatesAtTheTargetsRealBounds) {
    EXPECT_EQ(checkAllPairs(static_cast<numberTypes*>(nullptr)), 70);
}

TEST(dtconvertNumbers, KnownSaturationCases) {
    short s = 0;
    EXPECT_FALSE(dtconvert(s, static_cast<unsigned short>(65535)));
    EXPECT_EQ(s, 32767);
    unsigned short us = 9;
    EXPECT_FALSE(dtconvert(us, static_cast<short>(-5)));
    EXPECT_EQ(us, 0);
    EXPECT_FALSE(dtconvert(s, 32767.5));
    EXPECT_EQ(s, 32767);
    int i = 0;
    EXPECT_TRUE(dtconvert(i, -3.99));
    EXPECT_EQ(i, -3);
    EXPECT_FALSE(dtconvert(i, 2147483648.0f));
    EXPECT_EQ(i, 2147483647);
    float f = 0;
    EXPECT_FALSE(dtconvert(f, 1e40));
    EXPECT_EQ(f, FLT_MAX);
    unsigned int u = 5;
    EXPECT_FALSE(dtconvert(u, std::nan("")));
    EXPECT_EQ(u, 0u);
    long l = 0;
    EXPECT_EQ(dtconvert(l, 4294967295u), sizeof(long) == 8);
    if (sizeof(long) == 4)
        EXPECT_EQ(l, 2147483647L) << "32-bit long saturates";
    else
        EXPECT_EQ(l, 4294967295L) << "64-bit long holds it";
}

// ---- numbers to text -----------------------------------------------------

template <typename T>
void checkIntegerText() {
    using U = std::make_unsigned_t<T>;
    for (T v : {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T(0), T(7), T(-1)}) {
        string s;
        EXPECT_TRUE(dtconvert(s, v));
        EXPECT_EQ(s, wide(std::to_string(v)));
        char hex[40];
        std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(static_cast<U>(v)));
        EXPECT_TRUE(dtconvert(s, v, zv::dtFormat, zv::dtHexUpper));
        EXPECT_EQ(s, wide(hex));
        std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(static_cast<U>(v)));
        EXPECT_TRUE(dtconvert(s, v, zv::dtFormat | zv::dtCount, zv::dtHexLower, 30)); // count not consulted
        EXPECT_EQ(s, wide(hex));
        // Round trip through text.
        T back = T(1);
        EXPECT_TRUE(dtconvert(back, string(wide(std::to_string(v)))));
        EXPECT_EQ(back, v);
    }
}

TEST(dtconvertText, IntegersInDecimalAndHexadecimal) {
    checkIntegerText<short>();
    checkIntegerText<unsigned short>();
    checkIntegerText<int>();
    checkIntegerText<unsigned int>();
    checkIntegerText<long>();
    checkIntegerText<unsigned long>();

    string s = L"old";
    EXPECT_TRUE(dtconvert(s, 255, zv::dtFormat, zv::dtHexUpper));
    EXPECT_EQ(s, L"FF");
    EXPECT_TRUE(dtconvert(s, 0, zv::dtFormat, zv::dtHexLower));
    EXPECT_EQ(s, L"0");
    EXPECT_TRUE(dtconvert(s, static_cast<short>(-1), zv::dtFormat, zv::dtHexUpper));
    EXPECT_EQ(s, L"FFFF");
    EXPECT_TRUE(dtconvert(s, 255, zv::dtFormat, 5)); // other kinds: decimal
    EXPECT_EQ(s, L"255");
    EXPECT_TRUE(dtconvert(s, true));
    EXPECT_EQ(s, L"1");
    EXPECT_TRUE(dtconvert(s, false));
    EXPECT_EQ(s, L"0");
}

TEST(dtconvertText, MinimumLengthFillsWithZerosAfterTheSign) {
    string s;
    dtconvert(s, 7, zv::dtCount, 3);
    EXPECT_EQ(s, L"007");
    dtconvert(s, -7, zv::dtCount, 3);
    EXPECT_EQ(s, L"-07");
    dtconvert(s, 12345, zv::dtCount, 3);
    EXPECT_EQ(s, L"12345");
    dtconvert(s, 7, zv::dtCount, -4);
    EXPECT_EQ(s, L"7");
    dtconvert(s, 7, zv::dtFormat | zv::dtCount, 0, 4); // kind first, then count
    EXPECT_EQ(s, L"0007");
    dtconvert(s, 7u, zv::dtCount, dtArgs{0, 2});
    EXPECT_EQ(s, L"07");
    dtconvert(s, 1L, zv::dtCount, 1 << 30); // capped instead of a gigantic text
    EXPECT_EQ(s.size(), 1023u);
    EXPECT_EQ(s.back(), L'1');
}

TEST(dtconvertText, FloatingPointTrimsLikeFixedFormat) {
    const std::pair<double, const wchar_t*> cases[] = {
        {0.1, L"0.1"},
        {100.0, L"100"},
        {1.23456789123, L"1.23456789"},
        {2.0, L"2"},
        {0.0, L"0"},
        {-2.5, L"-2.5"},
        {1e-9, L"0"},
        {0.000000005, L"0.00000001"},
        {-0.0, L"-0"},
        {1e20, L"100000000000000000000"},
    };
    for (const auto& [value, text] : cases) {
        string s;
        EXPECT_TRUE(dtconvert(s, value));
        EXPECT_EQ(s, text) << value;
    }
    string s;
    dtconvert(s, 1.5, zv::dtCount, 2);
    EXPECT_EQ(s, L"1.50");
    dtconvert(s, 0.1, zv::dtCount, 12); // at most 10 decimals
    EXPECT_EQ(s, L"0.1000000000");
    dtconvert(s, 2.5, zv::dtCount, 0);
    EXPECT_EQ(s, L"2");
    dtconvert(s, 2.75, zv::dtCount, -1);
    EXPECT_EQ(s, L"3");
    dtconvert(s, 0.1f);
    EXPECT_EQ(s, L"0.1");
    dtconvert(s, std::nan(""));
    EXPECT_EQ(s, L"nan");
    dtconvert(s, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(s, L"-inf");
    dtconvert(s, DBL_MAX, zv::dtCount, 10);
    EXPECT_EQ(s.size(), 309u + 11u);
}

TEST(dtconvertText, FloatingPointDigitsMatchCorrectlyRoundedPrintf) {
    std::mt19937_64 random(20261206);
    std::uniform_real_distribution<double> magnitude(-12, 12);
    for (int i = 0; i < 2000; ++i) {
        const double v = std::pow(10.0, magnitude(random)) * ((i & 1) ? -1 : 1);
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, "%.8f", v);
        std::string expected = buffer;
        while (expected.size() > 1 && expected.back() == '0')
            expected.pop_back();
        if (expected.back() == '.')
            expected.pop_back();
        string s;
        dtconvert(s, v);
        EXPECT_EQ(s, wide(expected)) << buffer;
        std::snprintf(buffer, sizeof buffer, "%.10f", v);
        dtconvert(s, v, zv::dtCount, 10);
        EXPECT_EQ(s, wide(buffer));
    }
}

TEST(dtconvertText, UserLocaleUsesTheUsersSeparator) {
    const string separator = zv::userDecimalSeparator();
    ASSERT_FALSE(separator.empty());
    string s;
    dtconvert(s, 1.5, zv::dtUserLocale);
    EXPECT_EQ(s, L"1" + separator + L"5");
    dtconvert(s, 2.0, zv::dtUserLocale);
    EXPECT_EQ(s, L"2");
    dtconvert(s, -0.25, zv::dtUserLocale | zv::dtCount, 3);
    EXPECT_EQ(s, L"-0" + separator + L"250");
    dtconvert(s, 1234, zv::dtUserLocale); // integers ignore it
    EXPECT_EQ(s, L"1234");
}

// ---- text to numbers -----------------------------------------------------

// A literal must not slip through the bool overload into a number.
template <typename To, typename From>
concept convertible = requires(To& target, const From& source) {
    zv::dtconvert(target, source);
};
static_assert(!convertible<short, wchar_t[3]> && !convertible<double, const wchar_t*>);
static_assert(!convertible<bool, char[5]> && !convertible<int, const char*>);
static_assert(convertible<string, wchar_t[3]> && convertible<string, char[3]> && convertible<short, string>);

TEST(dtconvertScan, IntegersSkipBlanksAndIgnoreTrailingText) {
    long l = 5;
    EXPECT_TRUE(dtconvert(l, string(L"  42xyz")));
    EXPECT_EQ(l, 42);
    EXPECT_TRUE(dtconvert(l, string(L"\t\n+17")));
    EXPECT_EQ(l, 17);
    for (const wchar_t* bad : {L"", L"   ", L"-", L"+ 5", L"x1", L"\x0661", L"--1"}) {
        l = 5;
        EXPECT_FALSE(dtconvert(l, string(bad))) << bad;
        EXPECT_EQ(l, 5);
    }
    string embedded(L"12");
    embedded.push_back(L'\0');
    embedded += L"34";
    EXPECT_TRUE(dtconvert(l, embedded));
    EXPECT_EQ(l, 12);
}

template <typename T>
void checkOutOfRangeText() {
    using L = std::numeric_limits<T>;
    T v = T(3);
    // One beyond each bound, written out in full.
    const string above = wide(std::to_string(static_cast<unsigned long long>(L::max()) + 1ull));
    EXPECT_FALSE(dtconvert(v, above)) << above.size();
    EXPECT_EQ(v, T(3));
    if constexpr (L::is_signed) {
        const string below = L"-" + wide(std::to_string(static_cast<unsigned long long>(L::max()) + 2ull));
        EXPECT_FALSE(dtconvert(v, below));
        EXPECT_EQ(v, T(3));
        EXPECT_TRUE(dtconvert(v, wide(std::to_string(L::min()))));
        EXPECT_EQ(v, L::min());
    }
    EXPECT_FALSE(dtconvert(v, string(L"123456789012345678901234567890")));
    EXPECT_EQ(v, L::is_signed ? L::min() : T(3));
}

TEST(dtconvertScan, IntegersOutOfRangeFailAndKeepTheTarget) {
    checkOutOfRangeText<short>();
    checkOutOfRangeText<int>();
    checkOutOfRangeText<unsigned short>();
    checkOutOfRangeText<unsigned int>();
    if (sizeof(long) == 4) {
        checkOutOfRangeText<long>();
        checkOutOfRangeText<unsigned long>();
    } else {
        long l = 3;
        EXPECT_FALSE(dtconvert(l, string(L"9223372036854775808")));
        EXPECT_TRUE(dtconvert(l, string(L"-9223372036854775808")));
        EXPECT_EQ(l, std::numeric_limits<long>::min());
        unsigned long ul = 3;
        EXPECT_FALSE(dtconvert(ul, string(L"18446744073709551616")));
        EXPECT_EQ(ul, 3u);
    }
    short s = 1;
    EXPECT_FALSE(dtconvert(s, string(L"40000")));
    EXPECT_EQ(s, 1);
}

TEST(dtconvertScan, MinusOnUnsignedWrapsLikeTheRuntime) {
    unsigned long ul = 0;
    EXPECT_TRUE(dtconvert(ul, string(L"-1")));
    EXPECT_EQ(ul, std::numeric_limits<unsigned long>::max()) << "width of unsigned long: " << sizeof(long);
    unsigned int ui = 0;
    EXPECT_TRUE(dtconvert(ui, string(L"-1")));
    EXPECT_EQ(ui, 4294967295u);
    EXPECT_TRUE(dtconvert(ui, string(L"-4294967295")));
    EXPECT_EQ(ui, 1u);
    unsigned short us = 9;
    EXPECT_FALSE(dtconvert(us, string(L"-1"))); // the wrapped value lies above 65535
    EXPECT_EQ(us, 9);
    EXPECT_TRUE(dtconvert(us, string(L"-0")));
    EXPECT_EQ(us, 0);
    EXPECT_TRUE(dtconvert(us, string(L"65535")));
    EXPECT_EQ(us, 65535);
}

TEST(dtconvertScan, DoublesAcceptPointAndComma) {
    const std::pair<const wchar_t*, double> cases[] = {
        {L"1,5", 1.5},    {L"1.5", 1.5},         {L"1,000.5", 1.0}, {L"12abc", 12.0}, {L" -2.5e3", -2500.0},
        {L".5", 0.5},     {L"5.", 5.0},          {L"1e", 1.0},      {L"1e+", 1.0},    {L"+0.125E-1x", 0.0125},
        {L"1e-400", 0.0}, {L"0e99999999999", 0}, {L"007", 7.0},     {L"1.2.3", 1.2},  {L"1,2,3", 1.2},
    };
    for (const auto& [text, value] : cases) {
        double d = -99;
        EXPECT_TRUE(dtconvert(d, string(text))) << text;
        EXPECT_EQ(d, value) << text;
    }
    for (const wchar_t* bad : {L"", L".", L"abc", L"-", L"e5", L",e1"}) {
        double d = -99;
        EXPECT_FALSE(dtconvert(d, string(bad))) << bad;
        EXPECT_EQ(d, -99);
    }
    double d = 0;
    EXPECT_TRUE(dtconvert(d, string(L"-Infinity")));
    EXPECT_TRUE(std::isinf(d) && d < 0);
    EXPECT_TRUE(dtconvert(d, string(L"NaN")));
    EXPECT_TRUE(std::isnan(d));
    EXPECT_FALSE(dtconvert(d, string(L"1e400")));
    EXPECT_EQ(d, DBL_MAX);
    EXPECT_FALSE(dtconvert(d, L"-" + string(400, L'9')));
    EXPECT_EQ(d, -DBL_MAX);
    EXPECT_TRUE(dtconvert(d, L"0." + string(400, L'0') + L"1"));
    EXPECT_EQ(d, 0.0);
    EXPECT_TRUE(dtconvert(d, L"1" + string(300, L'0') + L"e-300"));
    EXPECT_EQ(d, 1.0);
}

TEST(dtconvertScan, DoublesRoundTripExactly) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 5000; ++i) {
        double v;
        const std::uint64_t bits = random();
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v))
            continue;
        char buffer[64];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
        double back = 0;
        ASSERT_TRUE(dtconvert(back, wide(std::string(buffer, end)))) << buffer;
        EXPECT_EQ(back, v) << buffer;
        // Short forms too (few digits, small exponents), against from_chars.
        for (int precision : {1, 6, 12, 15}) {
            const auto shortEnd =
                std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, precision).ptr;
            double expected = 0;
            std::from_chars(buffer, shortEnd, expected);
            ASSERT_TRUE(dtconvert(back, wide(std::string(buffer, shortEnd))));
            EXPECT_EQ(back, expected) << std::string(buffer, shortEnd);
        }
        // And our own text with 10 decimals reads back to within its rounding.
        if (std::fabs(v) < 1e6) {
            string text;
            dtconvert(text, v, zv::dtCount, 10);
            ASSERT_TRUE(dtconvert(back, text));
            EXPECT_LE(std::fabs(back - v), 0.5e-10 + std::fabs(v) * 1e-15);
        }
    }
}

TEST(dtconvertScan, ShortNumbersOfModerateSizeReadExactly) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> exponent(-25, 25);
    for (int i = 0; i < 20000; ++i) {
        const double v = std::pow(10.0, exponent(random)) * ((i & 1) ? -1 : 1);
        char buffer[64];
        const auto end =
            std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 1 + i % 16).ptr;
        double expected = 0;
        std::from_chars(buffer, end, expected);
        double back = 0;
        ASSERT_TRUE(dtconvert(back, wide(std::string(buffer, end))));
        ASSERT_EQ(back, expected) << std::string(buffer, end);
    }
}

TEST(dtconvertScan, FloatsSaturateAndRoundOnce) {
    float f = 1;
    EXPECT_FALSE(dtconvert(f, string(L"1e40")));
    EXPECT_EQ(f, FLT_MAX);
    EXPECT_FALSE(dtconvert(f, string(L"-3.4028235e38"))); // just beyond, though it would round to the bound
    EXPECT_EQ(f, -FLT_MAX);
    EXPECT_TRUE(dtconvert(f, string(L"0,1")));
    EXPECT_EQ(f, 0.1f);
    // Halfway between two floats, but the double nearest to it is not:
    // rounding twice would go the other way.
    EXPECT_TRUE(dtconvert(f, string(L"1.00000005960464477539062500000000001")));
    EXPECT_EQ(f, std::nextafter(1.0f, 2.0f));
    f = 4;
    EXPECT_FALSE(dtconvert(f, string(L"x")));
    EXPECT_EQ(f, 4);
}

TEST(dtconvertScan, BoolFromNumbersAndWords) {
    bool b = false;
    EXPECT_TRUE(dtconvert(b, string(L"TRUE")));
    EXPECT_TRUE(b);
    EXPECT_TRUE(dtconvert(b, string(L"False")));
    EXPECT_FALSE(b);
    EXPECT_TRUE(dtconvert(b, string(L"2")));
    EXPECT_TRUE(b);
    EXPECT_TRUE(dtconvert(b, string(L"0")));
    EXPECT_FALSE(b);
    EXPECT_TRUE(dtconvert(b, string(L"-00")));
    EXPECT_FALSE(b);
    EXPECT_TRUE(dtconvert(b, string(L"123456789012345678901234567890")));
    EXPECT_TRUE(b);
    b = true;
    for (const wchar_t* bad : {L"yes", L" true", L"true ", L"falsey", L"", L"t"}) {
        EXPECT_FALSE(dtconvert(b, string(bad))) << bad;
        EXPECT_TRUE(b);
    }
}

// ---- characters and narrow text ------------------------------------------

TEST(dtconvertCharacters, NarrowTextUsesTheAnsiCodePage) {
    string s;
    EXPECT_TRUE(dtconvert(s, 'A'));
    EXPECT_EQ(s, L"A");
    const wchar_t* null = nullptr;
    s = L"x";
    EXPECT_TRUE(dtconvert(s, null));
    EXPECT_EQ(s, L"");
    EXPECT_TRUE(dtconvert(s, std::wstring(L"wide")));
    EXPECT_EQ(s, L"wide");
    std::wstring w;
    EXPECT_TRUE(dtconvert(w, string(L"back")));
    EXPECT_EQ(w, L"back");
    const char* narrow = "plain";
    EXPECT_TRUE(dtconvert(s, narrow));
    EXPECT_EQ(s, L"plain");
    std::string bytes;
    EXPECT_TRUE(dtconvert(bytes, string(L"abc")));
    EXPECT_EQ(bytes, "abc");

    if (zv::ansiCodePage() != 1252)
        GTEST_SKIP() << "the remaining checks assume code page 1252";
    EXPECT_TRUE(dtconvert(s, static_cast<char>(0xE9)));
    EXPECT_EQ(s, L"\u00e9") << "a byte of 128 or more is an ANSI character, not a sign-extended unit";
    EXPECT_TRUE(dtconvert(s, static_cast<char>(0x80)));
    EXPECT_EQ(s, L"\u20ac");
    EXPECT_TRUE(dtconvert(bytes, string(L"caf\u00e9")));
    EXPECT_EQ(bytes, "caf\xE9");
    EXPECT_TRUE(dtconvert(s, bytes));
    EXPECT_EQ(s, L"caf\u00e9");
}

// ---- numbers typed by a user ----------------------------------------------

TEST(uiNumbers, ParseExpressionsWithEitherSeparator) {
    double d = -1;
    EXPECT_TRUE(zv::uiStringToDouble(d, L"2*1,5"));
    EXPECT_EQ(d, 3.0);
    EXPECT_TRUE(zv::uiStringToDouble(d, L" (1.25+0,75)/4"));
    EXPECT_EQ(d, 0.5);
    d = -1;
    for (const wchar_t* bad : {L"", L"abc", L"1/0", L"(2"}) {
        EXPECT_FALSE(zv::uiStringToDouble(d, bad)) << bad;
        EXPECT_EQ(d, -1);
    }
    long l = 9;
    EXPECT_TRUE(zv::uiStringToInt(l, L"2,5"));
    EXPECT_EQ(l, 3);
    EXPECT_TRUE(zv::uiStringToInt(l, L"0-2.5"));
    EXPECT_EQ(l, -3);
    EXPECT_FALSE(zv::uiStringToInt(l, L"1e30")) << "beyond long";
    EXPECT_EQ(l, -3);
    EXPECT_FALSE(zv::uiStringToInt(l, L"x"));
    EXPECT_EQ(l, -3);
}

TEST(uiNumbers, FormatInTheUsersLocale) {
    const string sep = zv::userDecimalSeparator();
    string text = L"1,5+1";
    EXPECT_TRUE(zv::formatUiDoubleString(text, 2));
    EXPECT_EQ(text, L"2" + sep + L"50");
    text = L"3/4";
    EXPECT_TRUE(zv::formatUiDoubleString(text, -1));
    EXPECT_EQ(text, L"0" + sep + L"75");
    text = L"11/4";
    EXPECT_TRUE(zv::formatUiDoubleString(text, 0));
    EXPECT_EQ(text, L"3");
    text = L"2/3";
    EXPECT_TRUE(zv::formatUiDoubleString(text, 30));
    EXPECT_EQ(text, L"0" + sep + L"6666666667");
    text = L"1/0";
    EXPECT_FALSE(zv::formatUiDoubleString(text, 2));
    EXPECT_EQ(text, L"1/0");
    text = L"7/2";
    EXPECT_TRUE(zv::formatUiIntString(text));
    EXPECT_EQ(text, L"4");
    text = L"seven";
    EXPECT_FALSE(zv::formatUiIntString(text));
    EXPECT_EQ(text, L"seven");
}

} // namespace
