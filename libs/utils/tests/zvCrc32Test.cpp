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

std::vector<unsigned char> randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<unsigned char> v(size);
    for (auto& b : v)
        b = static_cast<unsigned char>(gen());
    return v;
}

std::uint32_t finished(const std::string& text) {
    zv::calcCrc32 c;
    c.crc(text.data(), static_cast<unsigned long>(text.size()));
    return c.value();
}

} // namespace

TEST(calcCrc32, KnownValues) {
    EXPECT_EQ(finished(""), 0u);
    EXPECT_EQ(finished("abc"), 0x352441C2u);
    EXPECT_EQ(finished("123456789"), 0xCBF43926u);
    EXPECT_EQ(finished("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    EXPECT_EQ(finished(std::string(1024, '\0')), 0xEFB5AF2Eu);

    zv::calcCrc32 fresh;
    EXPECT_EQ(fresh.getRegister(), 0xFFFFFFFFu);
    EXPECT_EQ(fresh.value(), 0u);
}

TEST(calcCrc32, FeedingInPiecesEqualsFeedingAtOnce) {
    zv::calcCrc32 pieces;
    pieces.crc("ab", 2);
    pieces.crc("c", 1);
    pieces.crc(nullptr, 0); // nothing to feed is allowed, even without a buffer
    EXPECT_EQ(pieces.getRegister(), ~0x352441C2u);
    EXPECT_EQ(pieces.value(), 0x352441C2u);

    pieces.reset();
    EXPECT_EQ(pieces.value(), 0u);

    // Pieces that straddle every bulk boundary of the fast kernels.
    const auto data = randomBytes(4096 + 77, 7);
    const std::uint32_t whole = ~bitwiseRegister(0xFFFFFFFFu, data.data(), data.size());
    for (std::size_t cut : {1u, 15u, 16u, 63u, 64u, 65u, 1000u, 4096u}) {
        zv::calcCrc32 c;
        c.crc(data.data(), static_cast<unsigned long>(cut));
        c.crc(data.data() + cut, static_cast<unsigned long>(data.size() - cut));
        EXPECT_EQ(c.value(), whole) << "cut at " << cut;
    }
}

TEST(calcCrc32, EveryKernelMatchesTheBitwiseDefinition) {
    using zv::detail::eCrc32Kernel;
    const auto data = randomBytes(1024, 42);
    for (auto kernel : {eCrc32Kernel::automatic, eCrc32Kernel::portable, eCrc32Kernel::carryless}) {
        // Every length up to a few folding strides, at every alignment.
        for (std::size_t offset = 0; offset < 16; ++offset) {
            for (std::size_t size = 0; offset + size <= 400; ++size) {
                const std::uint32_t seed = 0xFFFFFFFFu ^ static_cast<std::uint32_t>(size * 2654435761u);
                const std::uint32_t expected = bitwiseRegister(seed, data.data() + offset, size);
                const std::uint32_t actual =
                    zv::detail::crc32Update(seed, data.data() + offset, size, kernel);
                ASSERT_EQ(actual, expected)
                    << "kernel " << static_cast<int>(kernel) << " offset " << offset << " size " << size;
            }
        }
    }
}

TEST(calcCrc32, LargeInputAgreesAcrossKernels) {
    using zv::detail::eCrc32Kernel;
    const auto data = randomBytes((1u << 20) + 13, 3);
    const std::uint32_t expected = bitwiseRegister(0xFFFFFFFFu, data.data(), data.size());
    EXPECT_EQ(zv::detail::crc32Update(0xFFFFFFFFu, data.data(), data.size(), eCrc32Kernel::portable),
              expected);
    EXPECT_EQ(zv::detail::crc32Update(0xFFFFFFFFu, data.data(), data.size(), eCrc32Kernel::carryless),
              expected);
    if (!zv::detail::crc32HasCarryless())
        GTEST_SKIP() << "this processor has no carry-less multiplication; only the portable kernel ran";
}

TEST(calcCrc32, NullBufferWithSizeIsAnAssertion) {
    zvtest::assertCapture capture;
    zv::calcCrc32 c;
    EXPECT_THROW(c.crc(nullptr, 5), bool);
    EXPECT_EQ(c.getRegister(), 0xFFFFFFFFu);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_NE(capture.messages()[0].find(L"data != NULL"), std::wstring::npos);
}
