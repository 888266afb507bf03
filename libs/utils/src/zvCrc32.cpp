#include "zvCrc32.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZV_CRC32_X86 1
#endif

namespace zv {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// Slicing-by-8 tables, computed by the compiler: table[0] is the classic
// bytewise table, table[k][i] is the register change of byte i followed by k
// zero bytes. Being constant data, they need no first-use construction.
using crcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr crcTables makeTables() {
    crcTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int bit = 0; bit < 8; ++bit)
            r = (r >> 1) ^ ((r & 1u) ? kPolynomial : 0u);
        t[0][i] = r;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    return t;
}

constexpr crcTables kTables = makeTables();
static_assert(kTables[0][1] == 0x77073096u, "bytewise table entry 1");
static_assert(kTables[0][255] == 0x2D02EF8Du, "bytewise table entry 255");

inline std::uint32_t load32le(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint32_t updatePortable(std::uint32_t reg, const unsigned char* p, std::size_t size) {
    while (size >= 8) {
        const std::uint32_t lo = load32le(p) ^ reg;
        const std::uint32_t hi = load32le(p + 4);
        reg = kTables[7][lo & 0xFFu] ^ kTables[6][(lo >> 8) & 0xFFu] ^ kTables[5][(lo >> 16) & 0xFFu] ^
              kTables[4][lo >> 24] ^ kTables[3][hi & 0xFFu] ^ kTables[2][(hi >> 8) & 0xFFu] ^
              kTables[1][(hi >> 16) & 0xFFu] ^ kTables[0][hi >> 24];
        p += 8;
        size -= 8;
    }
    while (size-- > 0)
        reg = (reg >> 8) ^ kTables[0][(reg ^ *p++) & 0xFFu];
    return reg;
}

#if defined(ZV_CRC32_X86)

// Folding with carry-less multiplication: four 128-bit lanes are folded
// forward over 64-byte strides, merged into one lane, folded over the
// remaining 16-byte blocks and reduced to 32 bits with a Barrett reduction.
// The constants are x^k mod P for the fold distances, bit-reflected, and
// floor(x^64 / P) for the reduction.
constexpr std::size_t kCarrylessMinimum = 64;

#define ZV_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

ZV_CLMUL_TARGET inline __m128i load128(const unsigned char* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// acc * x^128 folded onto the next 128-bit block.
ZV_CLMUL_TARGET inline __m128i fold128(__m128i acc, __m128i next, __m128i k) {
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

ZV_CLMUL_TARGET std::uint32_t updateCarryless(std::uint32_t reg, const unsigned char* p, std::size_t size) {
    // size >= 64 and a multiple of 16; the caller handles the rest.
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596LL, 0x0154442bd4LL);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);
    const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124LL);
    const __m128i poly = _mm_set_epi64x(0x01f7011641LL, 0x01db710641LL);

    __m128i x1 = _mm_xor_si128(load128(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x2 = load128(p + 16);
    __m128i x3 = load128(p + 32);
    __m128i x4 = load128(p + 48);
    p += 64;
    size -= 64;

    while (size >= 64) {
        x1 = fold128(x1, load128(p), k1k2);
        x2 = fold128(x2, load128(p + 16), k1k2);
        x3 = fold128(x3, load128(p + 32), k1k2);
        x4 = fold128(x4, load128(p + 48), k1k2);
        p += 64;
        size -= 64;
    }

    x1 = fold128(x1, x2, k3k4);
    x1 = fold128(x1, x3, k3k4);
    x1 = fold128(x1, x4, k3k4);
    while (size >= 16) {
        x1 = fold128(x1, load128(p), k3k4);
        p += 16;
        size -= 16;
    }

    // 128 -> 64 bits.
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask32);
    x1 = _mm_clmulepi64_si128(x1, k5k0, 0x00);
    x1 = _mm_xor_si128(x1, x2);

    // Barrett reduction to 32 bits.
    x2 = _mm_and_si128(x1, mask32);
    x2 = _mm_clmulepi64_si128(x2, poly, 0x10);
    x2 = _mm_and_si128(x2, mask32);
    x2 = _mm_clmulepi64_si128(x2, poly, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool detectCarryless() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

#else

bool detectCarryless() {
    return false;
}

#endif

bool hasCarryless() {
    static const bool has = detectCarryless(); // thread-safe initialisation
    return has;
}

} // namespace

namespace detail {

bool crc32HasCarryless() {
    return hasCarryless();
}

std::uint32_t crc32Update(std::uint32_t reg, void const* data, std::size_t size, eCrc32Kernel kernel) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size == 0 || !p)
        return reg;
#if defined(ZV_CRC32_X86)
    if (kernel != eCrc32Kernel::portable && size >= kCarrylessMinimum && hasCarryless()) {
        const std::size_t bulk = size & ~static_cast<std::size_t>(15);
        reg = updateCarryless(reg, p, bulk);
        p += bulk;
        size -= bulk;
    }
#else
    (void)kernel;
#endif
    return updatePortable(reg, p, size);
}

} // namespace detail

void calcCrc32::crc(void const* data, unsigned long size) {
    ZV_ASSERT(data != NULL || size == 0);
    m_register = detail::crc32Update(m_register, data, size, detail::eCrc32Kernel::automatic);
}

} // namespace zv
