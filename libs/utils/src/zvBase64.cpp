// Base64 with lookup tables: encoding maps each 12-bit half of a 3-byte
// group to two characters at once; decoding ORs four per-position tables
// whose entries for characters outside the alphabet carry a marker bit, so
// one test per group finds where decoding has to stop.
#include "zvBase64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace zv {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two output characters for every 12-bit value.
constexpr std::array<char, 2 * 4096> makePairs() {
    std::array<char, 2 * 4096> t{};
    for (unsigned v = 0; v < 4096; ++v) {
        t[2 * v] = kAlphabet[v >> 6];
        t[2 * v + 1] = kAlphabet[v & 63];
    }
    return t;
}
constexpr auto kPairs = makePairs();

constexpr std::uint32_t kBad = 0x01000000u;

// The 6-bit value of a character shifted into its place in a group, or kBad.
constexpr std::array<std::uint32_t, 256> makeDecode(unsigned shift) {
    std::array<std::uint32_t, 256> t{};
    for (auto& v : t)
        v = kBad;
    for (unsigned i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint32_t>(i) << shift;
    return t;
}
constexpr auto kDec0 = makeDecode(18);
constexpr auto kDec1 = makeDecode(12);
constexpr auto kDec2 = makeDecode(6);
constexpr auto kDec3 = makeDecode(0);

inline void putPair(char* out, std::uint32_t twelveBits) {
    std::memcpy(out, &kPairs[2 * twelveBits], 2);
}

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// The 4 bytes at `p` as a big-endian number.
inline std::uint32_t loadBigEndian(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return kLittleEndian ? __builtin_bswap32(v) : v;
}

} // namespace

void base64_encode(const unsigned char* data, unsigned int length, std::string& out) {
    ZV_ASSERT(data != nullptr || length == 0);
    const std::size_t groups = length / 3;
    const unsigned rest = length % 3;
    const std::size_t start = out.size();
    out.resize(start + 4 * (groups + (rest != 0 ? 1 : 0)));
    char* o = out.data() + start;
    const unsigned char* p = data;
    std::size_t g = 0;
    // Four bytes loaded for every three used: all groups but a last one.
    for (; g + 1 < groups; ++g, p += 3, o += 4) {
        const std::uint32_t v = loadBigEndian(p) >> 8;
        putPair(o, v >> 12);
        putPair(o + 2, v & 0xFFF);
    }
    for (; g < groups; ++g, p += 3, o += 4) {
        const std::uint32_t v = (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
        putPair(o, v >> 12);
        putPair(o + 2, v & 0xFFF);
    }
    if (rest != 0) {
        const std::uint32_t v = (std::uint32_t(p[0]) << 16) | (rest == 2 ? std::uint32_t(p[1]) << 8 : 0u);
        putPair(o, v >> 12);
        o[2] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        o[3] = '=';
    }
}

void base64_decode(const std::string& text, std::string& out) {
    const std::size_t start = out.size();
    const std::size_t size = text.size();
    out.resize(start + size / 4 * 3 + 2);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + size;
    char* o = out.data() + start;

    const auto group = [](const unsigned char* q) {
        return kDec0[q[0]] | kDec1[q[1]] | kDec2[q[2]] | kDec3[q[3]];
    };
    const auto store = [](char* to, std::uint32_t v) {
        // Four bytes stored for three: the output has room to spare.
        const std::uint32_t bytes = kLittleEndian ? __builtin_bswap32(v << 8) : v << 8;
        std::memcpy(to, &bytes, 4);
    };
    // Two groups at a time while both are valid, then one at a time.
    while (end - p >= 8) {
        const std::uint32_t a = group(p);
        const std::uint32_t b = group(p + 4);
        if ((a | b) & kBad)
            break;
        store(o, a);
        store(o + 3, b);
        p += 8;
        o += 6;
    }
    while (end - p >= 4) {
        const std::uint32_t v = group(p);
        if (v & kBad)
            break;
        store(o, v);
        p += 4;
        o += 3;
    }
    // The last, possibly short group: as many valid characters as there are.
    unsigned count = 0;
    std::uint32_t v = 0;
    const std::array<std::uint32_t, 256>* tables[] = {&kDec0, &kDec1, &kDec2};
    while (count < 3 && p < end && !((*tables[count])[*p] & kBad))
        v |= (*tables[count++])[*p++];
    if (count >= 2)
        *o++ = static_cast<char>(v >> 16);
    if (count == 3)
        *o++ = static_cast<char>(v >> 8);
    out.resize(static_cast<std::size_t>(o - out.data()));
}

} // namespace zv
