#include "zvGuid.h"
#include "zvTestSupport.h"

#include "zvTypeConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

using zv::guid;

namespace {

guid make(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::vector<std::uint8_t> d4) {
    guid g;
    g.Data1 = d1;
    g.Data2 = d2;
    g.Data3 = d3;
    for (std::size_t i = 0; i < 8; ++i)
        g.Data4[i] = d4[i];
    return g;
}

const wchar_t* const kSample = L"1b4e28ba-2fa1-11d2-883f-0016d3cca427";

guid sample() {
    return make(0x1b4e28ba, 0x2fa1, 0x11d2, {0x88, 0x3f, 0x00, 0x16, 0xd3, 0xcc, 0xa4, 0x27});
}

/// The 60-bit time of a time-based identity.
std::uint64_t timeOf(const guid& g) {
    return (static_cast<std::uint64_t>(g.Data3 & 0x0fff) << 48) |
           (static_cast<std::uint64_t>(g.Data2) << 32) | g.Data1;
}

/// Texts that must be rejected: wrong length, braces, blanks, non-hex
/// digits, misplaced or missing dashes, an embedded NUL.
std::vector<zv::string> malformedTexts() {
    return {L"1b4e28ba-2fa1-11d2-883f-0016d3cca42",
            L"1b4e28ba-2fa1-11d2-883f-0016d3cca4270",
            L"{1b4e28ba-2fa1-11d2-883f-0016d3cca427}",
            L" 1b4e28ba-2fa1-11d2-883f-0016d3cca427",
            L"1b4e28ba-2fa1-11d2-883f-0016d3cca42 ",
            L"1b4e28ba-2fa1-11d2-883f-0016d3cca42g",
            L"xb4e28ba-2fa1-11d2-883f-0016d3cca427",
            L"1b4e28ba2-fa1-11d2-883f-0016d3cca427",
            L"1b4e28ba-2fa1-11d2-883f0-016d3cca427",
            L"1b4e28ba_2fa1_11d2_883f_0016d3cca427",
            L"1b4e28ba02fa1011d20883f00016d3cca427",
            L"1b4e28ba-2fa1-11d2-883f--016d3cca427",
            L"1b4e28ba-2fa1-11d2-883f-0016d3cca4-7",
            zv::string(L"1b4e28ba-2fa1-11d2-883f-0016d3cca42\0", 36),
            L"00",
            L"-",
            L"1b4e28ba2fa111d2883f0016d3cca427"};
}

} // namespace

TEST(guid, ZeroGuidPrintsAsZeroAndReadsBackFromZeroOrEmptyText) {
    const guid zero;
    EXPECT_FALSE(zero.isInitialized());
    EXPECT_EQ(zero.toString(), L"0");
    EXPECT_EQ(guid::toString(zero), L"0");
    EXPECT_EQ(guid::fromString(L"0"), zero);
    EXPECT_EQ(guid::fromString(L""), zero);
    EXPECT_EQ(guid::fromString(L"00000000-0000-0000-0000-000000000000"), zero);
}

TEST(guid, OneZeroLeadingFieldMakesItUninitialized) {
    guid g = sample();
    EXPECT_TRUE(g.isInitialized());
    g.Data1 = 0;
    EXPECT_FALSE(g.isInitialized());
    EXPECT_EQ(g.toString(), L"0");
    g = sample();
    g.Data2 = 0;
    EXPECT_FALSE(g.isInitialized());
    EXPECT_EQ(g.toString(), L"0");
    g = sample();
    g.Data3 = 0;
    EXPECT_FALSE(g.isInitialized());
    // Data4 does not count.
    g = make(1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(g.isInitialized());
    EXPECT_EQ(g.toString(), L"00000001-0001-0001-0000-000000000000");
}

TEST(guid, TextRoundTripsInLowerCaseWithTheFieldLayout) {
    EXPECT_EQ(sample().toString(), kSample);
    EXPECT_EQ(guid::fromString(kSample), sample());
    EXPECT_EQ(guid::fromString(L"1B4E28BA-2FA1-11D2-883F-0016D3CCA427"), sample());
    EXPECT_EQ(guid::fromString(L"1B4E28BA-2FA1-11D2-883F-0016D3CCA427").toString(), kSample);

    const guid high = make(0xffffffff, 0xffff, 0xffff, {0xff, 0xfe, 0xfd, 0xfc, 0xfb, 0xfa, 0xf9, 0xf8});
    EXPECT_EQ(high.toString(), L"ffffffff-ffff-ffff-fffe-fdfcfbfaf9f8");
    EXPECT_EQ(guid::fromString(high.toString()), high);
}

TEST(guid, MalformedTextIsRejected) {
    for (const zv::string& text : malformedTexts()) {
        EXPECT_THROW(guid::fromString(text), bool) << std::wstring(text.c_str());
        guid out = sample();
        EXPECT_TRUE(zvtest::gives(guid::tryFromString(text, out), out, false, sample()));
    }
}

TEST(guid, OrdersByFieldsAsUnsignedNumbersThenDataBytes) {
    const guid base = make(1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(base < base);
    EXPECT_LT(base, make(0x80000000, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_LT(make(1, 0xffff, 0xffff, {0xff, 0, 0, 0, 0, 0, 0, 0}), make(2, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_LT(make(1, 1, 0xffff, {0, 0, 0, 0, 0, 0, 0, 0}), make(1, 2, 0, {0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_LT(make(1, 1, 1, {0xff, 0, 0, 0, 0, 0, 0, 0}), make(1, 1, 2, {0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_LT(make(1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 0x7f}), make(1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 0x80}));
    EXPECT_LT(make(1, 1, 1, {0x01, 0xff, 0, 0, 0, 0, 0, 0}), make(1, 1, 1, {0x80, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(make(1, 1, 1, {0x80, 0, 0, 0, 0, 0, 0, 0}) < make(1, 1, 1, {0x01, 0xff, 0, 0, 0, 0, 0, 0}));
    // Equality looks at every byte.
    EXPECT_FALSE(base == make(1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(guid, CreatedIdentitiesAreDistinctTimeBasedAndIncreasing) {
    std::vector<guid> ids;
    for (int i = 0; i < 2000; ++i)
        ids.push_back(guid::create());
    std::set<guid> distinct(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const guid& g = ids[i];
        ASSERT_TRUE(g.isInitialized());
        EXPECT_EQ(g.Data3 >> 12, 1) << "a time-based identity: " << std::wstring(g.toString().c_str());
        EXPECT_EQ(guid::fromString(g.toString()), g);
        if (i == 0)
            continue;
        // The time strictly increases; so does the order, except where the
        // low 32 bits of the time (Data1) wrap, once in about seven minutes.
        const guid& previous = ids[i - 1];
        EXPECT_LT(timeOf(previous), timeOf(g));
        if (g.Data1 > previous.Data1) {
            EXPECT_LT(previous, g);
        }
    }
}

TEST(guid, ConvertsToAndFromTextThroughTheRegistry) {
    auto& registry = zv::typeconvert::typeConversionManager::instance();
    zv::string text;
    EXPECT_TRUE(zvtest::gives(registry.convert(text, sample()), text, true, kSample));
    guid back;
    EXPECT_TRUE(zvtest::gives(registry.convert(back, text), back, true, sample()));
    EXPECT_TRUE(zvtest::gives(registry.convert(text, guid()), text, true, L"0"));

    guid untouched = sample();
    EXPECT_TRUE(
        zvtest::gives(registry.convert(untouched, zv::string(L"not a guid")), untouched, false, sample()));

    // No number is a guid, but the request is served through text and fails cleanly.
    EXPECT_FALSE(registry.convert(untouched, 42));

    zv::string direct;
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(direct, sample()), direct, true, kSample));
}

TEST(objectInfo, EqualWhenTypeNameAndGuidAreEqual) {
    const zv::objectInfo a(L"Tool", sample());
    EXPECT_TRUE(a == zv::objectInfo(L"Tool", sample()));
    EXPECT_FALSE(a == zv::objectInfo(L"tool", sample()));
    EXPECT_FALSE(a == zv::objectInfo(L"Tool", guid()));
    EXPECT_TRUE(zv::objectInfo() == zv::objectInfo(L"", guid()));
    zv::objectInfo b;
    b.setTypeName(L"Tool");
    b.setObjectGuid(sample());
    EXPECT_TRUE(a == b);
    EXPECT_EQ(b.typeName(), L"Tool");
    EXPECT_EQ(b.objectGuid(), sample());
}

#if defined(_WIN32)
TEST(guid, ParserAgreesWithTheSystemParser) {
    using fromStringFn = long(__stdcall*)(unsigned short*, GUID*);
    HMODULE rpc = LoadLibraryW(L"rpcrt4.dll");
    ASSERT_NE(rpc, nullptr);
    const auto systemParse =
        reinterpret_cast<fromStringFn>(reinterpret_cast<void*>(GetProcAddress(rpc, "UuidFromStringW")));
    ASSERT_NE(systemParse, nullptr);

    std::vector<zv::string> texts = malformedTexts();
    texts.erase(std::remove_if(texts.begin(), texts.end(),
                               [](const zv::string& t) { return t.find(L'\0') != zv::string::npos; }),
                texts.end()); // the system reads up to the first NUL
    texts.push_back(kSample);
    texts.push_back(L"1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    texts.push_back(L"ffffffff-ffff-ffff-fffe-fdfcfbfaf9f8");
    // Single-character changes of a valid text: every position, a few replacements.
    std::mt19937 random(12345);
    const wchar_t replacements[] = {L'-', L'0', L'a', L'F', L'g', L'G', L'{',
                                    L' ', L'/', L':', L'@', L'`', L'~'};
    for (std::size_t pos = 0; pos < 36; ++pos) {
        for (int k = 0; k < 4; ++k) {
            zv::string t = kSample;
            t[pos] = replacements[random() % (sizeof replacements / sizeof replacements[0])];
            texts.push_back(t);
        }
    }
    for (const zv::string& text : texts) {
        std::wstring copy(text.c_str());
        GUID expected{};
        const long status = systemParse(reinterpret_cast<unsigned short*>(copy.data()), &expected);
        guid ours;
        const bool accepted = guid::tryFromString(text, ours);
        EXPECT_EQ(accepted, status == 0) << std::wstring(text.c_str());
        if (accepted && status == 0) {
            EXPECT_EQ(ours.Data1, expected.Data1);
            EXPECT_EQ(ours.Data2, expected.Data2);
            EXPECT_EQ(ours.Data3, expected.Data3);
            EXPECT_EQ(0, std::memcmp(ours.Data4, expected.Data4, 8));
        }
    }
}
#endif
