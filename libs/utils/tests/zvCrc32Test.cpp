#include "zvCrc32.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// The textbook bitwise definition, independent of every table and kernel.
std::uint32_t bitwiseRegister(std::uint32_t reg, const unsigned char* p, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        reg ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg >> 1) ^ ((reg & 1u) ? 0xEDB88320u : 0u);
    }
    return reg;
}

} // namespace

TEST(calcCrc32, KnownValuesAndPieces) {
    for (const auto& [text, crc] : {std::pair<std::string, std::uint32_t>{"", 0u},
                                    {"abc", 0x352441C2u},
                                    {"123456789", 0xCBF43926u},
                                    {std::string(1024, '\0'), 0xEFB5AF2Eu}}) {
        zv::calcCrc32 c;
        c.crc(text.data(), static_cast<unsigned long>(text.size()));
        EXPECT_EQ(c.value(), crc) << text;
    }
    zv::calcCrc32 pieces;
    pieces.crc("ab", 2);
    pieces.crc("c", 1);
    pieces.crc(nullptr, 0); // nothing to feed is allowed, even without a buffer
    EXPECT_EQ(pieces.getRegister(), ~0x352441C2u);
    pieces.reset(); // checked below: a refused call leaves the fresh register alone
    zvtest::assertCapture capture;
    EXPECT_THROW(pieces.crc(nullptr, 5), bool);
    EXPECT_EQ(pieces.getRegister(), 0xFFFFFFFFu);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_NE(capture.messages()[0].find(L"data != NULL"), std::wstring::npos);
}

// Every length up to a few folding strides, at every alignment and from
// changing registers (as when fed in pieces), and a large input; without
// carry-less multiplication that kernel falls back.
TEST(calcCrc32, EveryKernelMatchesTheBitwiseDefinition) {
    using zv::detail::eCrc32Kernel;
    std::mt19937 gen(42);
    std::vector<unsigned char> data((1u << 20) + 13);
    for (auto& b : data)
        b = static_cast<unsigned char>(gen());
    const std::uint32_t large = bitwiseRegister(0xFFFFFFFFu, data.data(), data.size());
    for (auto kernel : {eCrc32Kernel::automatic, eCrc32Kernel::portable, eCrc32Kernel::carryless}) {
        for (std::size_t offset = 0; offset < 16; ++offset) {
            for (std::size_t size = 0; offset + size <= 400; ++size) {
                const std::uint32_t seed = 0xFFFFFFFFu ^ static_cast<std::uint32_t>(size * 2654435761u);
                ASSERT_EQ(zv::detail::crc32Update(seed, data.data() + offset, size, kernel),
                          bitwiseRegister(seed, data.data() + offset, size))
                    << "kernel " << static_cast<int>(kernel) << " offset " << offset << " size " << size;
            }
        }
        EXPECT_EQ(zv::detail::crc32Update(0xFFFFFFFFu, data.data(), data.size(), kernel), large);
    }
    if (!zv::detail::crc32HasCarryless())
        GTEST_SKIP() << "this processor has no carry-less multiplication; only the portable kernel ran";
}
