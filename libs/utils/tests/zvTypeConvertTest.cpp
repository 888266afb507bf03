#include "zvTypeConvert.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace zvtest {

/// A value type known only to these tests, converted to and from "r,g,b".
struct colour {
    int r = -1, g = -1, b = -1;
    bool operator==(const colour&) const = default;
};

/// Distinct types holding one number: aliasA and aliasB share one stable name, as one
/// type seen through two modules would; nested's only converter asks the registry again.
template <int N>
struct holder {
    int v = 0;
};
using aliasA = holder<0>;
using aliasB = holder<1>;
using nested = holder<2>;

} // namespace zvtest

ZV_TYPECONVERT_NAME(zvtest::colour, "zvtest::colour")
ZV_TYPECONVERT_NAME(zvtest::aliasA, "zvtest::alias")
ZV_TYPECONVERT_NAME(zvtest::aliasB, "zvtest::alias")
ZV_TYPECONVERT_NAME(zvtest::nested, "zvtest::nested")

namespace {

using zv::dtArgs;
using zv::string;
using zv::typeconvert::registerConversion;
using zvtest::colour;

zv::typeconvert::typeConversionManager& registry() {
    return zv::typeconvert::typeConversionManager::instance();
}

// Converts `source` through the registry into a target that starts as `start`.
template <typename T, typename S>
testing::AssertionResult converts(const S& source, bool ok, T want, T start = T{}, int flags = 0,
                                  const dtArgs& args = dtArgs{}) {
    return zvtest::gives(registry().convert(start, source, flags, args), start, ok, want);
}

bool colourToText(string& target, const colour& source, int, const dtArgs&) {
    return source.r >= 0 && (target = string::sformat(L"%d,%d,%d", source.r, source.g, source.b), true);
}

// "r,g,b", or one number for a grey.
bool textToColour(colour& target, const string& source, int, const dtArgs&) {
    int r = 0, g = 0, b = 0;
    const int n = std::swscanf(source.c_str(), L"%d,%d,%d", &r, &g, &b);
    return (n == 1 || n == 3) && (target = n == 1 ? colour{r, r, r} : colour{r, g, b}, true);
}

template <int V>
bool shortToColour(colour& target, const short&, int, const dtArgs&) {
    return (target = {V, V + 1, V + 2}), true;
}

bool aliasAToColour(colour& target, const zvtest::aliasA& source, int, const dtArgs&) {
    return (target = {source.v, 0, 0}), true;
}

bool aliasBToText(string& target, const zvtest::aliasB& source, int, const dtArgs&) {
    return (target = string::sformat(L"%d", source.v + 100)), true;
}

bool nestedToText(string& target, const zvtest::nested& source, int flags, const dtArgs& args) {
    return registry().convert(target, source.v, flags, args); // takes the lock again
}

TEST(typeConversionManager, ConvertsRegisteredPairsDirectlyWithFlags) {
    EXPECT_TRUE(converts<string>(255, true, L"FF", {}, zv::dtFormat, dtArgs{zv::dtHexUpper, 0}));
    string text;
    const double half = 1.5;
    EXPECT_TRUE(zvtest::gives(
        registry().convert(typeid(string), &text, typeid(double), &half, zv::dtCount, dtArgs{0, 3}), text,
        true, L"1.500"));
    EXPECT_TRUE(converts<std::string>(string(L"abc"), true, "abc"));
    EXPECT_TRUE(converts<string>(static_cast<const char*>("xyz"), true, L"xyz"));
    EXPECT_TRUE(converts<string>('q', true, L"q"));
}

TEST(typeConversionManager, FallsBackThroughTextAndPrefersTheShorterRoute) {
    const short grey = 7;
    const colour red{200, 0, 0};
    EXPECT_TRUE(converts<colour>(grey, false, {})) << "no converter to the test type yet";
    {
        registerConversion<string, colour> fromText(&textToColour);
        EXPECT_TRUE(converts<colour>(grey, true, {7, 7, 7})); // short -> "7" -> colour
        EXPECT_TRUE(converts<int>(red, false, 0)) << "no converter from the test type";
        registerConversion<colour, string> toText(&colourToText);
        EXPECT_TRUE(converts<int>(red, true, 200)); // colour -> "200,0,0" -> int reads 200
        EXPECT_TRUE(converts<int>(colour{}, false, 5, 5)) << "the first step fails";
        // No aliasB -> colour; aliasA -> colour shares the key and the target and
        // is used before the two steps through text (which would give 142).
        registerConversion<zvtest::aliasA, colour> aToColour(&aliasAToColour);
        registerConversion<zvtest::aliasB, string> bToText(&aliasBToText);
        EXPECT_TRUE(converts<colour>(zvtest::aliasB{42}, true, {42, 0, 0}));
        // A direct converter takes precedence; of two for one pair, the first, and
        // removing the first (by hand, twice) leaves the second.
        zv::typeconvert::typeConverter<short, colour> first(&shortToColour<1>);
        registry().add(&first);
        registerConversion<short, colour> second(&shortToColour<4>);
        EXPECT_TRUE(converts<colour>(grey, true, {1, 2, 3}));
        registry().remove(&first);
        registry().remove(&first);
        EXPECT_TRUE(converts<colour>(grey, true, {4, 5, 6}));
    }
    EXPECT_TRUE(converts<colour>(grey, false, {9, 9, 9}, {9, 9, 9})) << "unregistered again";
}

TEST(typeConversionManager, AConverterMayCallTheRegistry) {
    registerConversion<zvtest::nested, string> toText(&nestedToText);
    EXPECT_TRUE(
        converts<string>(zvtest::nested{255}, true, L"ff", {}, zv::dtFormat, dtArgs{zv::dtHexLower, 0}));
    // Two steps, each of which nests: nested -> text -> double.
    EXPECT_TRUE(converts<double>(zvtest::nested{12}, true, 12.0));
}

TEST(typeConversionManager, UnknownTypesAndNullPointersGiveFalse) {
    struct unknown {};
    EXPECT_TRUE(converts<string>(unknown{}, false, L"kept", L"kept"));
    string text;
    const short one = 1;
    EXPECT_FALSE(registry().convert(typeid(string), nullptr, typeid(short), &one, 0, dtArgs{}));
    EXPECT_FALSE(registry().convert(typeid(string), &text, typeid(short), nullptr, 0, dtArgs{}));
    registry().add(nullptr);
    registry().remove(nullptr);
    EXPECT_FALSE((zv::typeconvert::typeConverter<short, string>(nullptr).convert(&text, &one, 0, dtArgs{})));
}

TEST(typeConversionManager, ConcurrentConversionsAndRegistrations) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int v = t * 100000; v < t * 100000 + 2000; ++v)
                wrong += !converts<string>(v, true, string::sformat(L"%d", v));
        });
    threads.emplace_back([&] {
        for (int i = 0; i < 500; ++i) {
            registerConversion<string, colour> fromText(&textToColour);
            wrong += !converts<colour>(short(3), true, {3, 3, 3});
        }
    });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
