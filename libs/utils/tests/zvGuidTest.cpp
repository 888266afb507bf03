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
    std::copy(d4.begin(), d4.end(), g.Data4);
    return g;
}

const wchar_t* const kSample = L"1b4e28ba-2fa1-11d2-883f-0016d3cca427";

guid sample() {
    return make(0x1b4e28ba, 0x2fa1, 0x11d2, {0x88, 0x3f, 0x00, 0x16, 0xd3, 0xcc, 0xa4, 0x27});
}

// Texts that must be rejected: wrong length, braces, non-hex digits,
// misplaced or missing dashes, an embedded NUL.
std::vector<zv::string> malformedTexts() {
    return {L"1b4e28ba-2fa1-11d2-883f-0016d3cca42",
            L"{1b4e28ba-2fa1-11d2-883f-0016d3cca427}",
            L"xb4e28ba-2fa1-11d2-883f-0016d3cca427",
            L"1b4e28ba2-fa1-11d2-883f-0016d3cca427",
            L"1b4e28ba-2fa1-11d2-883f--016d3cca427",
            zv::string(L"1b4e28ba-2fa1-11d2-883f-0016d3cca42\0", 36),
            L"00",
            L"1b4e28ba2fa111d2883f0016d3cca427"};
}

} // namespace

// That every accepted text prints as its own lower-case form and reads back
// is checked by the fuzz target for arbitrary input.
TEST(guid, TextRoundTripsInLowerCaseAndZeroFieldsPrintAsZero) {
    const struct {
        guid id;
        const wchar_t* text;
    } rows[] = {
        {sample(), kSample},
        {make(1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 0}),
         L"00000001-0001-0001-0000-000000000000"}, // Data4 does not count
        {guid(), L"0"},
        {make(0, 1, 1, {1, 0, 0, 0, 0, 0, 0, 0}), L"0"}, // one zero leading field makes it uninitialized
        {make(1, 0, 1, {1, 0, 0, 0, 0, 0, 0, 0}), L"0"},
        {make(1, 1, 0, {1, 0, 0, 0, 0, 0, 0, 0}), L"0"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.id.toString(), row.text);
        EXPECT_EQ(row.id.isInitialized(), std::wstring(row.text) != L"0");
    }
    EXPECT_EQ(guid::fromString(L"1B4E28BA-2FA1-11D2-883F-0016D3CCA427"), sample());
    for (const wchar_t* zero : {L"0", L"", L"00000000-0000-0000-0000-000000000000"})
        EXPECT_EQ(guid::fromString(zero), guid());
}

TEST(guid, MalformedTextIsRejected) {
    for (const zv::string& text : malformedTexts()) {
        EXPECT_THROW(guid::fromString(text), bool) << std::wstring(text.c_str());
        guid out = sample();
        EXPECT_TRUE(zvtest::gives(guid::tryFromString(text, out), out, false, sample()));
    }
}

TEST(guid, OrdersByFieldsAsUnsignedNumbersThenDataBytes) {
    const std::vector<std::uint8_t> none(8, 0);
    const std::pair<guid, guid> ascending[] = {
        {make(1, 1, 1, none), make(0x80000000, 0, 0, none)},
        {make(1, 0xffff, 0xffff, {0xff, 0, 0, 0, 0, 0, 0, 0}), make(2, 0, 0, none)},
        {make(1, 1, 0xffff, none), make(1, 2, 0, none)},
        {make(1, 1, 1, {0xff, 0, 0, 0, 0, 0, 0, 0}), make(1, 1, 2, none)},
        {make(1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 0x7f}), make(1, 1, 1, {0, 0, 0, 0, 0, 0, 0, 0x80})},
        {make(1, 1, 1, {0x01, 0xff, 0, 0, 0, 0, 0, 0}), make(1, 1, 1, {0x80, 0, 0, 0, 0, 0, 0, 0})},
    };
    for (const auto& [low, high] : ascending) {
        EXPECT_TRUE(low < high) << std::wstring(low.toString().c_str());
        EXPECT_FALSE(high < low || low == high || low < low);
    }
}

TEST(guid, CreatedIdentitiesAreDistinctTimeBasedAndIncreasing) {
    // The 60-bit time of a time-based identity.
    const auto timeOf = [](const guid& g) {
        return (static_cast<std::uint64_t>(g.Data3 & 0x0fff) << 48) |
               (static_cast<std::uint64_t>(g.Data2) << 32) | g.Data1;
    };
    std::vector<guid> ids;
    for (int i = 0; i < 2000; ++i)
        ids.push_back(guid::create());
    EXPECT_EQ(std::set<guid>(ids.begin(), ids.end()).size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const guid& g = ids[i];
        ASSERT_TRUE(g.isInitialized());
        EXPECT_EQ(g.Data3 >> 12, 1) << "a time-based identity: " << std::wstring(g.toString().c_str());
        EXPECT_EQ(guid::fromString(g.toString()), g);
        // The time strictly increases; so does the order, except where the
        // low 32 bits of the time (Data1) wrap, once in about seven minutes.
        if (i > 0) {
            EXPECT_LT(timeOf(ids[i - 1]), timeOf(g));
            EXPECT_TRUE(g.Data1 <= ids[i - 1].Data1 || ids[i - 1] < g);
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
    EXPECT_TRUE(zvtest::gives(registry.convert(back, zv::string(L"not a guid")), back, false, sample()));
    // No number is a guid, but the request is served through text and fails cleanly.
    EXPECT_FALSE(registry.convert(back, 42));
}

TEST(objectInfo, EqualWhenTypeNameAndGuidAreEqual) {
    const zv::objectInfo a(L"Tool", sample());
    EXPECT_TRUE(a == zv::objectInfo(L"Tool", sample()));
    EXPECT_FALSE(a == zv::objectInfo(L"tool", sample()));
    EXPECT_FALSE(a == zv::objectInfo(L"Tool", guid()));
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
    texts.push_back(L"1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    // Single-character changes of a valid text: every position, a few replacements.
    std::mt19937 random(12345);
    const wchar_t replacements[] = {L'-', L'0', L'a', L'F', L'g', L'G', L'{',
                                    L' ', L'/', L':', L'@', L'`', L'~'};
    for (std::size_t i = 0; i < 36 * 4; ++i) {
        texts.push_back(kSample);
        texts.back()[i / 4] = replacements[random() % std::size(replacements)];
    }
    for (const zv::string& text : texts) {
        if (text.find(L'\0') != zv::string::npos)
            continue; // the system reads up to the first NUL
        std::wstring copy(text.c_str());
        GUID expected{};
        const long status = systemParse(reinterpret_cast<unsigned short*>(copy.data()), &expected);
        guid ours;
        const bool accepted = guid::tryFromString(text, ours);
        EXPECT_EQ(accepted, status == 0) << std::wstring(text.c_str());
        static_assert(sizeof(guid) == sizeof(GUID));
        EXPECT_TRUE(!accepted || status != 0 || std::memcmp(&ours, &expected, sizeof expected) == 0)
            << std::wstring(text.c_str());
    }
}
#endif
