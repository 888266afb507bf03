#include "../src/zvPeVersion.h"
#include "zvTestSupport.h"

#include "zvFile.h"
#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace {

void put16(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void put32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A minimal image: headers, one ".rsrc" section holding the version
// resource (type 16, name 1, language 0x409) with the given fixed block.
std::vector<unsigned char> makeImage(bool plus, std::uint32_t fileMS, std::uint32_t fileLS,
                                     std::uint32_t productMS, std::uint32_t productLS) {
    std::vector<unsigned char> b(0x400, 0);
    const std::uint32_t opt = 0x58, size = plus ? 240 : 224, dirs = opt + size - 128, sec = opt + size,
                        r = 0x200, v = r + 0x58, fixed = v + 40;
    const std::uint32_t machine = plus ? 0x8664 : 0x14C, flags = plus ? 0x2022 : 0x2102,
                        magic = plus ? 0x20B : 0x10B, base = plus ? 0x80 : 0x10000000;
    // Offset and value of every field ("MZ", "PE", the COFF and optional headers, the ".rsrc" section,
    // the resource levels: type 16, name 1, language; the data): in ascending order, as 32 bits each,
    // so a later field covers the zeros an earlier one wrote.
    const auto fields = [&b](std::initializer_list<std::uint32_t> list) {
        for (auto it = list.begin(); it != list.end(); it += 2)
            put32(b, it[0], it[1]);
    };
    fields(
        {0, 0x5A4D, 0x3C, 0x40, 0x40, 0x4550, 0x44, machine, 0x46, 1, 0x54, size, 0x56, flags, opt, magic});
    fields({opt + 28, base, opt + 32,  0x1000, opt + 36,  0x200, opt + 40, 6,
            opt + 48, 6,    opt + 56,  0x2000, opt + 60,  0x200, opt + 68, 2,
            dirs - 4, 16,   dirs + 16, 0x1000, dirs + 20, 0xB4});
    fields({sec, 0x7273722E, sec + 4, 'c', sec + 8, 0xB4, sec + 12, 0x1000, sec + 16, 0x200, sec + 20, 0x200,
            sec + 36, 0x40000040});
    fields({r + 14, 1, r + 16, 16, r + 20, 0x80000018, r + 0x18 + 14, 1, r + 0x18 + 16, 1, r + 0x18 + 20,
            0x80000030, r + 0x30 + 14, 1, r + 0x30 + 16, 0x409, r + 0x30 + 20, 0x48});
    fields({r + 0x48,   0x1058,     r + 0x4C,   92,         v,          92,        v + 2,
            52,         fixed,      0xFEEF04BD, fixed + 4,  0x10000,    fixed + 8, fileMS,
            fixed + 12, fileLS,     fixed + 16, productMS,  fixed + 20, productLS, fixed + 24,
            0x3F,       fixed + 32, 0x40004,    fixed + 36, 2});
    const char16_t key[] = u"VS_VERSION_INFO";
    for (std::size_t i = 0; i < 16; ++i)
        put16(b, v + 6 + 2 * i, key[i]);
    return b;
}

} // namespace

TEST(peVersion, ReadsBothImageKindsAndRefusesEveryTruncationAndCorruption) {
    zv::pe::fixedVersion v;
    for (bool plus : {true, false}) {
        const auto image = makeImage(plus, 0x00010002, 0x0003002D, 0x00070008, 0x0009000A);
        ASSERT_TRUE(zv::pe::readFixedVersion(image.data(), image.size(), v)) << plus;
        EXPECT_EQ(std::vector<std::uint32_t>(
                      {v.fileVersionMS, v.fileVersionLS, v.productVersionMS, v.productVersionLS}),
                  std::vector<std::uint32_t>({0x00010002u, 0x0003002Du, 0x00070008u, 0x0009000Au}));
    }
    const auto image = makeImage(true, 1, 2, 3, 4);
    for (std::size_t n = 0; n < 0x200 + 0x58 + 40 + 24; ++n)
        EXPECT_FALSE(zv::pe::readFixedVersion(image.data(), n, v)) << n;
    const std::tuple<std::size_t, std::uint32_t, const char*> corruptions[] = {
        {0x3C, 0xFFFFFFF0u, "header far behind the end"},
        {0x40, 0x58, "no PE signature"},
        {0x200 + 0x18 + 20, 0x80000000u, "the name level points back to the root"},
        {0x200 + 0x58 + 40, 0x12345678, "wrong signature of the fixed block"},
        {0x200 + 0x48, 0x7FFFFFF0u, "data outside every section"},
    };
    for (const auto& [at, value, what] : corruptions) {
        auto bad = image;
        put32(bad, at, value);
        EXPECT_FALSE(zv::pe::readFixedVersion(bad.data(), bad.size(), v)) << what;
    }
    auto bad = image;
    put16(bad, 0x200 + 14, 0xFFFF); // more entries than the section holds
    put32(bad, 0x200 + 16, 3);
    EXPECT_FALSE(zv::pe::readFixedVersion(bad.data(), bad.size(), v));
    EXPECT_FALSE(zv::pe::readFixedVersion(nullptr, 100, v));
}

TEST(peVersion, FilesReportTheirVersions) {
    zvtest::tempFolder tmp;
    const auto image = makeImage(true, 0x00010002, 0x0003002D, 0x000B0016, 0x00210000);
    const zv::file dll = tmp.write(L"lib.dll", std::string(image.begin(), image.end()));
    zv::string text;
    ASSERT_TRUE(zvtest::gives(dll.getFixedFileVersionString(text, 2), text, true, L"01.02.03.45"));
    ASSERT_TRUE(zvtest::gives(dll.getFixedProductVersionString(text, 1), text, true, L"11.22.33.0"));
    zv::version v;
    ASSERT_TRUE(zvtest::gives(dll.getFixedFileVersion(v), v, true, zv::version(1, 2, 3, 45)));
    EXPECT_FALSE(tmp.write(L"plain.txt", "not an image").getFixedFileVersionString(text, 1) || !text.empty());
}
