#include "../src/zvPeVersion.h"
#include "zvTestSupport.h"

#include "zvFile.h"
#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
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
std::vector<unsigned char> makeImage(bool pe32plus, std::uint32_t fileMS, std::uint32_t fileLS,
                                     std::uint32_t productMS, std::uint32_t productLS) {
    std::vector<unsigned char> b(0x400, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, 0x40);
    std::memcpy(&b[0x40], "PE\0\0", 4);
    const std::size_t coff = 0x44;
    const std::uint32_t optionalSize = pe32plus ? 240 : 224;
    put16(b, coff, pe32plus ? 0x8664 : 0x14C);
    put16(b, coff + 2, 1);
    put16(b, coff + 16, optionalSize);
    put16(b, coff + 18, pe32plus ? 0x2022 : 0x2102);
    const std::size_t opt = coff + 20;
    put16(b, opt, pe32plus ? 0x20B : 0x10B);
    if (pe32plus)
        put32(b, opt + 28, 0x80); // image base 0x180000000
    else
        put32(b, opt + 28, 0x10000000);
    put32(b, opt + 32, 0x1000); // section alignment
    put32(b, opt + 36, 0x200);  // file alignment
    put16(b, opt + 40, 6);
    put16(b, opt + 48, 6);
    put32(b, opt + 56, 0x2000); // size of image
    put32(b, opt + 60, 0x200);  // size of headers
    put16(b, opt + 68, 2);
    const std::size_t dirs = opt + (pe32plus ? 112 : 96);
    put32(b, opt + (pe32plus ? 108 : 92), 16);
    put32(b, dirs + 16, 0x1000); // resources
    put32(b, dirs + 20, 0xB4);
    const std::size_t sec = opt + optionalSize;
    std::memcpy(&b[sec], ".rsrc", 5);
    put32(b, sec + 8, 0xB4);
    put32(b, sec + 12, 0x1000);
    put32(b, sec + 16, 0x200);
    put32(b, sec + 20, 0x200);
    put32(b, sec + 36, 0x40000040);

    const std::size_t r = 0x200;
    put16(b, r + 14, 1);
    put32(b, r + 16, 16);
    put32(b, r + 20, 0x80000000u | 0x18);
    put16(b, r + 0x18 + 14, 1);
    put32(b, r + 0x18 + 16, 1);
    put32(b, r + 0x18 + 20, 0x80000000u | 0x30);
    put16(b, r + 0x30 + 14, 1);
    put32(b, r + 0x30 + 16, 0x409);
    put32(b, r + 0x30 + 20, 0x48);
    put32(b, r + 0x48, 0x1000 + 0x58); // data RVA
    put32(b, r + 0x48 + 4, 92);
    const std::size_t v = r + 0x58;
    put16(b, v, 92);
    put16(b, v + 2, 52);
    const char16_t key[] = u"VS_VERSION_INFO";
    for (std::size_t i = 0; i < 16; ++i)
        put16(b, v + 6 + 2 * i, key[i]);
    const std::size_t fixed = v + 40;
    put32(b, fixed, 0xFEEF04BDu);
    put32(b, fixed + 4, 0x10000);
    put32(b, fixed + 8, fileMS);
    put32(b, fixed + 12, fileLS);
    put32(b, fixed + 16, productMS);
    put32(b, fixed + 20, productLS);
    put32(b, fixed + 24, 0x3F);
    put32(b, fixed + 32, 0x40004);
    put32(b, fixed + 36, 2);
    return b;
}

} // namespace

TEST(peVersion, ReadsTheFixedBlockOfBothImageKinds) {
    for (bool plus : {true, false}) {
        const auto image = makeImage(plus, 0x00010002, 0x0003002D, 0x00070008, 0x0009000A);
        zv::pe::fixedVersion v;
        ASSERT_TRUE(zv::pe::readFixedVersion(image.data(), image.size(), v)) << plus;
        EXPECT_EQ(v.fileVersionMS, 0x00010002u);
        EXPECT_EQ(v.fileVersionLS, 0x0003002Du);
        EXPECT_EQ(v.productVersionMS, 0x00070008u);
        EXPECT_EQ(v.productVersionLS, 0x0009000Au);
    }
}

TEST(peVersion, EveryTruncationAndCorruptionIsRefused) {
    const auto image = makeImage(true, 1, 2, 3, 4);
    zv::pe::fixedVersion v;
    for (std::size_t n = 0; n < 0x200 + 0x58 + 40 + 24; ++n)
        EXPECT_FALSE(zv::pe::readFixedVersion(image.data(), n, v)) << n;

    auto bad = image;
    bad[0x40] = 'X'; // no PE signature
    EXPECT_FALSE(zv::pe::readFixedVersion(bad.data(), bad.size(), v));
    bad = image;
    put32(bad, 0x3C, 0xFFFFFFF0u); // header far behind the end
    EXPECT_FALSE(zv::pe::readFixedVersion(bad.data(), bad.size(), v));
    bad = image;
    put32(bad, 0x200 + 0x18 + 20, 0x80000000u); // the name level points back to the root
    EXPECT_FALSE(zv::pe::readFixedVersion(bad.data(), bad.size(), v));
    bad = image;
    put16(bad, 0x200 + 14, 0xFFFF); // more entries than the section holds
    put32(bad, 0x200 + 16, 3);
    EXPECT_FALSE(zv::pe::readFixedVersion(bad.data(), bad.size(), v));
    bad = image;
    put32(bad, 0x200 + 0x58 + 40, 0x12345678); // wrong signature of the fixed block
    EXPECT_FALSE(zv::pe::readFixedVersion(bad.data(), bad.size(), v));
    bad = image;
    put32(bad, 0x200 + 0x48, 0x7FFFFFF0u); // data outside every section
    EXPECT_FALSE(zv::pe::readFixedVersion(bad.data(), bad.size(), v));
    EXPECT_FALSE(zv::pe::readFixedVersion(nullptr, 100, v));
}

TEST(peVersion, FilesReportTheirVersions) {
    zvtest::tempFolder tmp;
    const auto image = makeImage(true, 0x00010002, 0x0003002D, 0x000B0016, 0x00210000);
    {
        std::ofstream out(tmp.host() / "lib.dll", std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    const zv::file dll(tmp.dir(), L"lib.dll");
    zv::string text;
    ASSERT_TRUE(zvtest::gives(dll.getFixedFileVersionString(text, 2), text, true, L"01.02.03.45"));
    ASSERT_TRUE(zvtest::gives(dll.getFixedProductVersionString(text, 1), text, true, L"11.22.33.0"));
    zv::version v;
    ASSERT_TRUE(zvtest::gives(dll.getFixedFileVersion(v), v, true, zv::version(1, 2, 3, 45)));
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_TRUE(dll.getFixedProductVersion(a, b, c, d));
    EXPECT_EQ(zv::version(a, b, c, d), zv::version(11, 22, 33, 0));

    const zv::file plain = tmp.write(L"plain.txt", "not an image");
    EXPECT_FALSE(plain.getFixedFileVersion(v));
    EXPECT_FALSE(plain.getFixedFileVersionString(text, 1));
    EXPECT_TRUE(text.empty());
}
