#include "zvFormat.h"
#include "zvString.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <random>
#include <thread>
#include <vector>

using zv::string;

namespace {

#if !defined(_WIN32)
// glibc's swprintf: C99 behaviour for numbers (its %s would be narrow, so
// only number conversions are compared, all far below the 1023-character cap).
template <typename T>
std::wstring platform(const std::wstring& fmt, T v) {
    wchar_t buffer[4096];
    const int n = std::swprintf(buffer, std::size(buffer), fmt.c_str(), v);
    return n < 0 ? L"<error>" : std::wstring(buffer, static_cast<std::size_t>(n));
}

// A random conversion with random flags, width and precision. No "#" with
// g or G: glibc drops the zeros C99 keeps there (fixed expectations cover it).
std::wstring randomFormat(std::mt19937& rng, const wchar_t* size, wchar_t conv) {
    std::wstring f = L"%";
    for (wchar_t flag : std::wstring(L"-+ #0"))
        if (rng() % 4 == 0 && !(flag == L'#' && (conv == L'g' || conv == L'G')))
            f += flag;
    if (rng() % 2)
        f += std::to_wstring(rng() % 30);
    if (rng() % 2)
        f += L"." + std::to_wstring(rng() % 25);
    return f + size + conv;
}

// A special value, a random bit pattern, a short binary fraction or a plain number.
double randomDouble(std::mt19937& rng) {
    static const double specials[] = {0.0,    -0.0,    0.5,     1.5,          2.5,        -2.5, 0.125,
                                      1e-300, DBL_MIN, DBL_MAX, 100.0,        999.9995,   1e15, 1e16,
                                      1e17,   0.1,     0.00001, DBL_TRUE_MIN, 123456789.0};
    const std::uint64_t bits = (static_cast<std::uint64_t>(rng()) << 32) | rng();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    switch (rng() % 4) {
    case 0:
        return specials[bits % std::size(specials)];
    case 1:
        return std::isfinite(d) ? d : 1.0;
    case 2:
        return std::ldexp(static_cast<double>(static_cast<int>(bits % 200000) - 100000), -(int)(rng() % 20));
    default:
        return std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
    }
}
#endif

} // namespace

TEST(zvFormat, IntegersAndSizesFollowTheUsualRules) {
    EXPECT_EQ(string::sformat(L"%d|%5d|%-5d|%05d|%+d|% d", 42, 42, 42, -42, 42, 42),
              L"42|   42|42   |-0042|+42| 42");
    EXPECT_EQ(string::sformat(L"%.3d|%8.3d|%.0d|%#o|%#x|%#X|%x", 7, -7, 0, 8, 255, 255, 0),
              L"007|    -007||010|0xff|0XFF|0");
    EXPECT_EQ(string::sformat(L"%u|%hu|%hhd|%hd|%d", 4294967295u, 70000, 200, 40000, INT_MIN),
              L"4294967295|4464|-56|-25536|-2147483648");
    EXPECT_EQ(string::sformat(L"%I64d|%I64x|%lld", -9000000000000000000ll, 0xFEDCBA9876543210ull, LLONG_MIN),
              L"-9000000000000000000|fedcba9876543210|-9223372036854775808");
    EXPECT_EQ(string::sformat(L"%I32d|%I32u|%Iu|%zu|%td|%jd", -5, 5u, static_cast<std::size_t>(1) << 40,
                              static_cast<std::size_t>(3), static_cast<std::ptrdiff_t>(-4),
                              static_cast<std::intmax_t>(-5)),
              L"-5|5|1099511627776|3|-4|-5");
    // `long` is the target's own: 32-bit on Windows, 64-bit on Linux.
    EXPECT_EQ(string::sformat(L"%ld|%d|%lu", std::numeric_limits<long>::max(), 7,
                              std::numeric_limits<unsigned long>::max()),
              sizeof(long) == 8 ? L"9223372036854775807|7|18446744073709551615" : L"2147483647|7|4294967295");
    // Star takes width and precision from the arguments; negative ones left-justify or drop.
    EXPECT_EQ(string::sformat(L"[%*d][%*d][%.*f][%.*f][%*.*s]", 5, 42, -5, 42, 2, 3.14159, -1, 3.14159, 6, 3,
                              L"abcdef"),
              L"[   42][42   ][3.14][3.141590][   abc]");
    EXPECT_EQ(string::sformat(L"%p|%p|%#p", reinterpret_cast<void*>(0xABCDEFull), static_cast<void*>(nullptr),
                              reinterpret_cast<void*>(0x1Full)),
              L"0000000000ABCDEF|0000000000000000|0X000000000000001F");
}

TEST(zvFormat, TextsAndCharactersUseWindowsConventions) {
    EXPECT_EQ(string::sformat(L"%s|%S|%hs|%ls|%ws", L"wide", "narrow", "h", L"l", L"w"),
              L"wide|narrow|h|l|w");
    EXPECT_EQ(string::sformat(L"%c%C%hc%lc%wc", L'a', 'b', 'c', L'd', L'e'), L"abcde");
    EXPECT_EQ(
        string::sformat(L"[%5s][%-5S][%.2s][%6.3S][%3c][%-3C]", L"ab", "cd", L"xyz", "uvwxyz", L'x', 'y'),
        L"[   ab][cd   ][xy][   uvw][  x][y  ]");
    // In the "C" locale a narrow byte is the code unit of the same value.
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    EXPECT_EQ(string::sformat(L"%S%C", "caf\xE9", static_cast<char>('\xFC')), L"caf\u00e9\u00fc");
    // Precision on a narrow text reads no further than it needs.
    const char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(string::sformat(L"%.3S", unterminated), L"abc");
}

TEST(zvFormat, FloatsPrintLikeTheCRuntime) {
    EXPECT_EQ(string::sformat(L"%f|%.2f|%10.3f|%-10.1f|%+.0f|%#.0f", 3.14159, 2.675, -1.5, 2.25, 2.5, 3.0),
              L"3.141590|2.67|    -1.500|2.2       |+2|3.");
    EXPECT_EQ(string::sformat(L"%e|%.2E|%g|%G|%g|%#g", 12345.678, 0.000123, 0.0001, 1e-5, 1e20, 1.0),
              L"1.234568e+04|1.23E-04|0.0001|1E-05|1e+20|1.00000");
    EXPECT_EQ(string::sformat(L"%a|%A|%.1a", 1.0, 3.0, 1.0), L"0x1p+0|0X1.8P+1|0x1.0p+0");
    EXPECT_EQ(
        string::sformat(L"%f|%F|%5.1f|%e|%+f|%010f", INFINITY, -INFINITY, NAN, -NAN, INFINITY, INFINITY),
        L"inf|-INF|  nan|-nan|+inf|       inf");
    EXPECT_EQ(string::sformat(L"%08.3f|%-08.3f|%+09.2e", -3.14159, 3.14159, 31.4),
              L"-003.142|3.142   |+3.14e+01");
    EXPECT_EQ(string::sformat(L"%lf|%Lf", 0.1, static_cast<long double>(0.25)), L"0.100000|0.250000");
    EXPECT_EQ(string::sformat(L"%.0f|%.0f|%.0f", 0.5, 1.5, 2.5), L"0|2|2"); // ties to even, exactly
    EXPECT_EQ(string::sformat(L"%.20f", 0.1), L"0.10000000000000000555");
    // `#g` keeps its zeros also when rounding reaches the next power of ten.
    EXPECT_EQ(string::sformat(L"%#.3g|%#.3g|%#.2g", 999.5, 99.95, 0.0000999), L"1.00e+03|100.|0.00010");
    // Very long numbers are exact.
    std::wstring out;
    zv::appendFormat(out, L"%.1200f|%.900e|%.0f", 1.0, 1.0, 1e308);
    const std::wstring exact = L"1." + std::wstring(1200, L'0') + L"|1." + std::wstring(900, L'0') + L"e+00|";
    EXPECT_EQ(out.substr(0, exact.size()), exact);
    EXPECT_EQ(out.size(), exact.size() + 309);
    EXPECT_EQ(out.substr(exact.size(), 20), L"10000000000000000109");
}

TEST(zvFormat, NumbersMatchTheCRuntimeForRandomSpecs) {
#if defined(_WIN32)
    GTEST_SKIP() << "the Windows runtime prints floating point differently; fixed expectations cover Windows";
#else
    const int rounds = std::getenv("ZV_FORMAT_ROUNDS") ? std::atoi(std::getenv("ZV_FORMAT_ROUNDS")) : 20000;
    std::mt19937 rng(99);
    const wchar_t* intSizes[] = {L"", L"h", L"hh", L"l", L"ll"};
    for (int round = 0; round < rounds; ++round) {
        if (rng() % 2 == 0) {
            const std::wstring f = randomFormat(rng, L"", L"eEfFgGaA"[rng() % 8]);
            const double v = randomDouble(rng);
            ASSERT_EQ(string::sformat(f.c_str(), v), platform(f, v)) << f << " of " << v;
        } else {
            const unsigned int sizeIndex = rng() % 5;
            const std::wstring f = randomFormat(rng, intSizes[sizeIndex], L"diuoxX"[rng() % 6]);
            const long long v =
                static_cast<long long>((static_cast<std::uint64_t>(rng()) << 32) | rng()) >> (rng() % 64);
            if (sizeIndex >= 3)
                ASSERT_EQ(string::sformat(f.c_str(), v), platform(f, v)) << f << " of " << v;
            else
                ASSERT_EQ(string::sformat(f.c_str(), static_cast<int>(v)), platform(f, static_cast<int>(v)))
                    << f << " of " << v;
        }
    }
#endif
}

TEST(zvFormat, OddSpecsAreHarmless) {
    // "%n" is refused and writes nothing, though its pointer is consumed.
    int target = 12345;
    EXPECT_EQ(string::sformat(L"ab%ncd|%d", &target, 7), L"abcd|7");
    EXPECT_EQ(target, 12345);
    // Unknown conversions print as written and consume no argument.
    EXPECT_EQ(string::sformat(L"%y|%5k|%*y|%d", 42), L"%y|%5k|%*y|42");
    EXPECT_EQ(string::sformat(L"50%% and %-|%I3d|100%"), L"50% and %-|%I3d|100%");
    // A null format gives the empty text.
    string s(L"old");
    std::wstring out = L"keep";
    EXPECT_TRUE(s.format(nullptr).empty() && string::sformat(nullptr).empty());
    EXPECT_TRUE(zv::appendFormat(out, nullptr) == 0u && out == L"keep");
}

TEST(zvFormat, OutputIsCutAfter1023CharactersAndRespectsAnyCapacity) {
    const std::wstring long1500(1500, L'x');
    EXPECT_EQ(string::sformat(L"%s", long1500.c_str()), long1500.substr(0, 1023));
    EXPECT_EQ(string::sformat(L"%1500d", 5), std::wstring(1023, L' '));
    string s(L"old");
    EXPECT_EQ(s.format(L"%s%s", long1500.c_str(), L"tail").size(), 1023u);
    // The uncapped form keeps everything.
    std::wstring out;
    EXPECT_TRUE(zv::appendFormat(out, L"%s|%d", long1500.c_str(), 9) == 1502u && out == long1500 + L"|9");

    wchar_t buffer[8];
    auto capped = [&](std::size_t capacity, const wchar_t* fmt, ...) {
        std::wmemset(buffer, L'#', 8);
        va_list args;
        va_start(args, fmt);
        const std::size_t n = zv::formatTo(buffer, capacity, fmt, args);
        va_end(args);
        return n;
    };
    EXPECT_TRUE(capped(4, L"%d", 123456) == 3u && std::wstring(buffer) == L"123");
    EXPECT_TRUE(capped(1, L"%d", 1) == 0u && buffer[0] == L'\0');
    EXPECT_TRUE(capped(0, L"%d", 1) == 0u && buffer[0] == L'#');
}

TEST(zvFormat, VaListFormsCopyTheirArgumentsAndNullConstantsAreArguments) {
    auto twice = [](const wchar_t* fmt, ...) {
        va_list args;
        va_start(args, fmt);
        std::wstring out;
        zv::formatTo(out, fmt, args);
        out += L"/";
        zv::formatTo(out, fmt, args); // the same arguments again
        const string viaString = string::sformat(fmt, args);
        va_end(args);
        return out + L"/" + viaString;
    };
    EXPECT_EQ(twice(L"%d-%s", 5, L"x"), L"5-x/5-x/5-x");
    // A lone 0, NULL or nullptr is formatted like any argument, never taken
    // for a prepared argument list (on Windows `va_list` is `char*`).
    // "%S" with a lone literal was refused on Windows before.
    string member;
    const auto texts = [](const auto&... s) { return std::vector<std::wstring>{std::wstring(s)...}; };
    EXPECT_EQ(texts(string::sformat(L"%d", 0), string::sformat(L"%s", nullptr),
                    string::sformat(L"%S", nullptr), string::sformat(L"%p", nullptr),
                    string::sformat(L"%d", NULL), string::sformat(L"%S", "narrow"),
                    string(L"old").format(L"n=%d", 0), member.format(L"%s|%d", nullptr, 0),
                    string::sformat(L"%s|%S", static_cast<const wchar_t*>(nullptr),
                                    static_cast<const char*>(nullptr))),
              texts(L"0", L"(null)", L"(null)", L"0000000000000000", L"0", L"narrow", L"n=0", L"(null)|0",
                    L"(null)|(null)"));
}

TEST(zvFormat, ConcurrentCallsFormatIndependently) {
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                const std::wstring counter = std::to_wstring(i);
                const std::wstring expected = std::to_wstring(t) + L":thread:" +
                                              string::sformat(L"%.3f", t + i / 1000.0) + L":" +
                                              std::wstring(6 - counter.size(), L'0') + counter;
                if (string::sformat(L"%d:%s:%.3f:%0*d", t, L"thread", t + i / 1000.0, 6, i) != expected)
                    ++failures[static_cast<std::size_t>(t)];
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures, std::vector<int>(8, 0));
}
