#include "zvDtConvert.h"
#include "zvCodePage.h"
#include "zvTestSupport.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

namespace {

using zv::dtArgs;
using zv::dtconvert;
using zv::string;
using zv::typeconvert::typeConversionManager;
using zvtest::gives;

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
    std::vector<long double> values = {0.0L,  1.0L,  0.5L,  3.99L,  2.0L,   32767.5L, 32768.5L,
                                       1e10L, 1e20L, 1e40L, 1e300L, 1e-30L, 65535.9L};
    auto addBounds = [&](auto tag) {
        const long double lo = std::numeric_limits<decltype(tag)>::lowest(),
                          hi = std::numeric_limits<decltype(tag)>::max();
        values.insert(values.end(), {lo, hi, lo - 1, hi + 1, hi / 2});
    };
    std::apply([&](auto... tags) { (addBounds(tags), ...); }, numberTypes{});
    values.insert(values.end(), {std::nextafter(static_cast<double>(FLT_MAX), 1e300), HUGE_VAL});
    for (std::size_t i = 0, n = values.size(); i < n; ++i)
        values.push_back(-values[i]);
    return values;
}

// The candidates a `From` can hold, plus NaN and -0 for floating point.
template <typename From>
std::vector<From> samples() {
    using L = std::numeric_limits<From>;
    std::vector<From> out;
    for (long double c : candidates())
        if (std::is_integral_v<From> ? c == std::trunc(c) && c >= L::lowest() && c <= L::max()
                                     : std::isinf(c) || std::fabs(c) <= L::max())
            out.push_back(static_cast<From>(c));
    if constexpr (std::is_floating_point_v<From>)
        out.insert(out.end(), {L::quiet_NaN(), -From(0)});
    return out;
}

// What converting `v` must give, computed in long double, where every source
// value and every bound is exact.
template <typename To, typename From>
std::pair<To, bool> oracle(From v) {
    using L = std::numeric_limits<To>;
    const long double x = v;
    if constexpr (std::is_same_v<To, bool>)
        return {v != 0, true};
    if (std::isnan(x))
        return {std::is_integral_v<To> ? To(0) : L::quiet_NaN(), !std::is_integral_v<To>};
    if (x < L::lowest() || x > L::max())
        return {x < 0 ? L::lowest() : L::max(), false};
    return {std::is_integral_v<To> ? static_cast<To>(std::trunc(x)) : static_cast<To>(v), true};
}

template <typename From, typename To>
void checkPair(int& pairs) {
    constexpr bool exists =
        !std::is_same_v<From, To> && !(std::is_floating_point_v<From> && std::is_same_v<To, bool>);
    if constexpr (exists) {
        ++pairs;
        for (From v : samples<From>()) {
            const auto [want, ok] = oracle<To, From>(v);
            const auto same = [&want](To got) { return got == want || (got != got && want != want); }; // NaN
            const std::string what = std::string(zv::typeconvert::typeName<From>::value) + " " +
                                     std::to_string(static_cast<long double>(v)) + " -> " +
                                     zv::typeconvert::typeName<To>::value;
            To direct{}, prepared{}, viaRegistry{};
            EXPECT_EQ(dtconvert(direct, v), ok) << what;
            EXPECT_EQ(dtconvert(prepared, v, zv::dtCount, dtArgs{0, 3}), ok) << what; // count not consulted
            EXPECT_EQ(typeConversionManager::instance().convert(viaRegistry, v), ok) << what;
            EXPECT_TRUE(same(direct) && same(prepared) && same(viaRegistry))
                << what << " gave " << +direct << ", " << +prepared << ", " << +viaRegistry;
        }
    }
}

template <typename From>
void checkFrom(int& pairs) {
    std::apply([&](auto... to) { (checkPair<From, decltype(to)>(pairs), ...); }, numberTypes{});
}

TEST(dtconvertNumbers, EveryPairSaturatesAtTheTargetsRealBounds) {
    int pairs = 0;
    std::apply([&](auto... from) { (checkFrom<decltype(from)>(pairs), ...); }, numberTypes{});
    EXPECT_EQ(pairs, 70);
}

// ---- numbers to text -----------------------------------------------------

// Converts `v` into text with the given flags and their values (either form).
template <typename T, typename... Args>
string text(T v, Args... args) {
    string s = L"old";
    EXPECT_TRUE(dtconvert(s, v, args...));
    return s;
}

// Reads `source` into a target that starts as `start`.
template <typename T>
testing::AssertionResult scans(const string& source, T start, bool ok, T want) {
    T target = start;
    return gives(dtconvert(target, source), target, ok, want);
}

// Decimal and hexadecimal text of the bounds and a few values; one beyond
// each bound, written out in full, fails and keeps the target.
template <typename T>
void checkIntegerText() {
    for (T v : {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T(0), T(7), T(-1)}) {
        const auto bits = static_cast<unsigned long long>(static_cast<std::make_unsigned_t<T>>(v));
        char upper[40], lower[40];
        std::snprintf(upper, sizeof upper, "%llX", bits);
        std::snprintf(lower, sizeof lower, "%llx", bits);
        EXPECT_EQ(text(v), wide(std::to_string(v)));
        EXPECT_EQ(text(v, zv::dtFormat, zv::dtHexUpper), wide(upper));
        EXPECT_EQ(text(v, zv::dtFormat | zv::dtCount, zv::dtHexLower, 30),
                  wide(lower)); // count not consulted
    }
    // No bound ends in 8 or 9, so one beyond changes the last digit only.
    string above = wide(std::to_string(std::numeric_limits<T>::max())), below = L"-" + above;
    above.back() += 1;
    below.back() += 2;
    EXPECT_TRUE(scans(above, T(3), false, T(3))) << above.c_str();
    if constexpr (std::is_signed_v<T>) {
        EXPECT_TRUE(scans(below, T(3), false, T(3))) << below.c_str();
    }
    EXPECT_TRUE(scans(L"123456789012345678901234567890", T(3), false, T(3)));
}

TEST(dtconvertText, IntegersInDecimalAndHexadecimalAndOutOfRange) {
    std::apply([](auto... types) { (checkIntegerText<decltype(types)>(), ...); },
               std::tuple<short, unsigned short, int, unsigned int, long, unsigned long>{});
    EXPECT_EQ(text(255, zv::dtFormat, 5), L"255"); // other kinds: decimal
    EXPECT_EQ(text(true) + text(false), L"10");
}

TEST(dtconvertText, MinimumLengthAndDecimals) {
    // Integers fill with zeros after the sign; the kind comes before the count.
    for (const auto& [v, count, expected] :
         {std::tuple{7, 3, L"007"}, {-7, 3, L"-07"}, {12345, 3, L"12345"}, {7, -4, L"7"}})
        EXPECT_EQ(text(v, zv::dtCount, count), expected) << v;
    EXPECT_EQ(text(7, zv::dtFormat | zv::dtCount, 0, 4), L"0007");
    EXPECT_EQ(text(7u, zv::dtCount, dtArgs{0, 2}), L"07");
    // Floating point trims like a fixed format of 8 decimals, or keeps at most 10 given ones.
    const std::pair<double, const wchar_t*> plain[] = {
        {0.1, L"0.1"},   {100.0, L"100"},      {1.23456789123, L"1.23456789"},  {0.0, L"0"},
        {-2.5, L"-2.5"}, {1e-9, L"0"},         {0.000000005, L"0.00000001"},    {-0.0, L"-0"},
        {NAN, L"nan"},   {-INFINITY, L"-inf"}, {1e20, L"100000000000000000000"}};
    for (const auto& [value, expected] : plain)
        EXPECT_EQ(text(value), expected) << value;
    const std::tuple<double, int, const wchar_t*> counted[] = {
        {1.5, 2, L"1.50"}, {0.1, 12, L"0.1000000000"}, {2.5, 0, L"2"}, {2.75, -1, L"3"}};
    for (const auto& [value, decimals, expected] : counted)
        EXPECT_EQ(text(value, zv::dtCount, decimals), expected) << value;
    EXPECT_EQ(text(0.1f), L"0.1");
    EXPECT_EQ(text(1L, zv::dtCount, 1 << 30), string(1022, L'0') + L"1"); // capped instead of a gigantic text
    EXPECT_EQ(text(DBL_MAX, zv::dtCount, 10).size(), 309u + 11u);
}

TEST(dtconvertText, UserLocaleUsesTheUsersSeparator) {
    const string separator = zv::userDecimalSeparator();
    ASSERT_FALSE(separator.empty());
    EXPECT_EQ(text(1.5, zv::dtUserLocale), L"1" + separator + L"5");
    EXPECT_EQ(text(-0.25, zv::dtUserLocale | zv::dtCount, 3), L"-0" + separator + L"250");
    EXPECT_EQ(text(1234, zv::dtUserLocale), L"1234"); // integers ignore it
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

TEST(dtconvertScan, IntegersSkipBlanksIgnoreTrailingTextAndStayInRange) {
    for (const auto& [source, value] : {std::pair{L"  42xyz", 42L}, {L"\t\n+17", 17L}})
        EXPECT_TRUE(scans(source, 5L, true, value)) << source;
    for (const wchar_t* bad : {L"", L"   ", L"-", L"+ 5", L"x1", L"\x0661", L"--1"})
        EXPECT_TRUE(scans(bad, 5L, false, 5L)) << bad;
    EXPECT_TRUE(scans(string(L"12") + L'\0' + L"34", 5L, true, 12L));
    // A minus on an unsigned target wraps like the runtime, within the target's range.
    using us = unsigned short;
    EXPECT_TRUE(scans(L"-1", 0ul, true, std::numeric_limits<unsigned long>::max())) << sizeof(long);
    EXPECT_TRUE(scans(L"-4294967295", 0u, true, 1u));
    EXPECT_TRUE(scans(L"-1", us(9), false, us(9))); // the wrapped value lies above 65535
    EXPECT_TRUE(scans(L"-0", us(9), true, us(0)));
}

TEST(dtconvertScan, DoublesAcceptPointAndComma) {
    const std::pair<const wchar_t*, double> cases[] = {
        {L"1,5", 1.5},    {L"1.5", 1.5},         {L"1,000.5", 1.0}, {L"12abc", 12.0}, {L" -2.5e3", -2500},
        {L".5", 0.5},     {L"5.", 5.0},          {L"1e", 1.0},      {L"1e+", 1.0},    {L"+0.125E-1x", 0.0125},
        {L"1e-400", 0.0}, {L"0e99999999999", 0}, {L"007", 7.0},     {L"1.2.3", 1.2},  {L"1,2,3", 1.2}};
    for (const auto& [source, value] : cases)
        EXPECT_TRUE(scans(string(source), -99.0, true, value)) << source;
    EXPECT_TRUE(scans(L"0." + string(400, L'0') + L"1", -99.0, true, 0.0));
    EXPECT_TRUE(scans(L"1" + string(300, L'0') + L"e-300", -99.0, true, 1.0));
    for (const wchar_t* bad : {L"", L".", L"abc", L"-", L"e5", L",e1"})
        EXPECT_TRUE(scans(bad, -99.0, false, -99.0)) << bad;
    EXPECT_TRUE(scans(L"1e400", 0.0, false, DBL_MAX));
    EXPECT_TRUE(scans(L"-" + string(400, L'9'), 0.0, false, -DBL_MAX));
    EXPECT_TRUE(scans(L"-Infinity", 0.0, true, -HUGE_VAL));
    double d = 0;
    EXPECT_TRUE(dtconvert(d, string(L"NaN")) && std::isnan(d));
}

TEST(dtconvertScan, RandomDoublesPrintLikePrintfAndReadLikeFromChars) {
    // Mostly of moderate size, every fourth one anywhere in the range; read back from 1 to 17 digits.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> moderate(-25, 25), anywhere(-323, 308);
    for (int i = 0; i < 20000; ++i) {
        const double v = std::pow(10.0, (i % 4 ? moderate : anywhere)(random)) * ((i & 1) ? -1 : 1);
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, "%.10f", v);
        ASSERT_EQ(text(v, zv::dtCount, 10), wide(buffer));
        std::snprintf(buffer, sizeof buffer, "%.8f", v); // trimmed by default
        std::string expected = buffer;
        expected.erase(expected.find_last_not_of('0') + 1);
        expected.erase(expected.find_last_not_of('.') + 1);
        ASSERT_EQ(text(v), wide(expected)) << buffer;
        char* end = std::to_chars(buffer, buffer + 64, v, std::chars_format::general, 1 + i % 17).ptr;
        double read = 0, back = 0;
        std::from_chars(buffer, end, read);
        ASSERT_TRUE(dtconvert(back, wide(std::string(buffer, end))));
        ASSERT_EQ(back, read) << std::string(buffer, end);
    }
}

TEST(dtconvertScan, FloatsAndBools) {
    EXPECT_TRUE(scans(L"1e40", 1.0f, false, FLT_MAX));
    EXPECT_TRUE(scans(L"-3.4028235e38", 1.0f, false, -FLT_MAX)); // beyond the bound, though it rounds to it
    EXPECT_TRUE(scans(L"0,1", 1.0f, true, 0.1f));
    // Halfway between two floats, but the double nearest to it is not:
    // rounding twice would go the other way.
    EXPECT_TRUE(scans(L"1.00000005960464477539062500000000001", 1.0f, true, std::nextafter(1.0f, 2.0f)));
    EXPECT_TRUE(scans(L"x", 4.0f, false, 4.0f));
    const std::pair<const wchar_t*, bool> bools[] = {
        {L"TRUE", true}, {L"False", false}, {L"2", true}, {L"-00", false}, {L"99999999999999999999", true}};
    for (const auto& [source, value] : bools)
        EXPECT_TRUE(scans(source, !value, true, value)) << source;
    for (const wchar_t* bad : {L"yes", L" true", L"true ", L"falsey", L"", L"t"})
        EXPECT_TRUE(scans(bad, true, false, true)) << bad;
}

// ---- characters and narrow text ------------------------------------------

TEST(dtconvertCharacters, NarrowTextUsesTheAnsiCodePage) {
    EXPECT_EQ(text('A') + text(static_cast<const wchar_t*>(nullptr)) + text(std::wstring(L"w")) +
                  text("plain"),
              L"Awplain");
    std::string bytes;
    EXPECT_TRUE(gives(dtconvert(bytes, string(L"abc")), bytes, true, "abc"));
    if (zv::ansiCodePage() != 1252)
        GTEST_SKIP() << "the remaining checks assume code page 1252";
    // A byte of 128 or more is an ANSI character, not a sign-extended unit.
    EXPECT_EQ(text(static_cast<char>(0xE9)) + text(static_cast<char>(0x80)), L"\u00e9\u20ac");
    EXPECT_TRUE(gives(dtconvert(bytes, string(L"caf\u00e9")), bytes, true, "caf\xE9"));
    EXPECT_EQ(text(bytes), L"caf\u00e9");
}

// ---- numbers typed by a user ----------------------------------------------

TEST(uiNumbers, ParseAndFormatExpressionsWithEitherSeparator) {
    double d = -1;
    EXPECT_TRUE(gives(zv::uiStringToDouble(d, L" (1.25+0,75)/4"), d, true, 0.5));
    for (const wchar_t* bad : {L"", L"abc", L"1/0", L"(2"})
        EXPECT_TRUE(gives(zv::uiStringToDouble(d, bad), d, false, 0.5)) << bad;
    long l = 9;
    EXPECT_TRUE(gives(zv::uiStringToInt(l, L"2,5"), l, true, 3));
    EXPECT_TRUE(gives(zv::uiStringToInt(l, L"0-2.5"), l, true, -3));
    EXPECT_TRUE(gives(zv::uiStringToInt(l, L"1e30"), l, false, -3)) << "beyond long";
    // Decimals for a double, `integer` for an integer; expected texts are written with "." for the user's
    // separator.
    constexpr int integer = -99;
    const std::tuple<const wchar_t*, int, bool, string> cases[] = {
        {L"1,5+1", 2, true, L"2.50"},        {L"3/4", -1, true, L"0.75"}, {L"11/4", 0, true, L"3"},
        {L"2/3", 30, true, L"0.6666666667"}, {L"1/0", 2, false, L"1/0"},  {L"7/2", integer, true, L"4"},
        {L"seven", integer, false, L"seven"}};
    for (auto [source, decimals, ok, expected] : cases) {
        string t = source;
        expected.replace(L".", zv::userDecimalSeparator());
        const bool done =
            decimals == integer ? zv::formatUiIntString(t) : zv::formatUiDoubleString(t, decimals);
        EXPECT_TRUE(gives(done, t, ok, expected)) << source;
    }
}

} // namespace
