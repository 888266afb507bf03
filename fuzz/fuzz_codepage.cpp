// Code-page round trips and the formatting engine on arbitrary input.
// The first byte picks the case; the rest is the text.
#include "zvCodePage.h"
#include "zvFormat.h"
#include "zvString.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

// Every argument slot holds a pointer to zeros: an empty wide and narrow
// text for %s/%S, a small number for the integer conversions; doubles come
// first so that floating-point conversions read real values.
alignas(16) const wchar_t zeros[64] = {};

std::wstring formatBoth(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::wstring unlimited;
    zv::formatTo(unlimited, fmt, args);
    wchar_t capped[zv::formatBufferSize];
    const std::size_t n = zv::formatTo(capped, zv::formatBufferSize, fmt, args);
    va_end(args);
    check(n < zv::formatBufferSize && capped[n] == L'\0');
    check(unlimited.compare(0, n, capped, n) == 0);
    check(n == std::min(unlimited.size(), zv::formatBufferSize - 1));
    return unlimited;
}

#define ZV_P4 zeros, zeros, zeros, zeros
#define ZV_P16 ZV_P4, ZV_P4, ZV_P4, ZV_P4

void fuzzFormat(const std::uint8_t* data, std::size_t size) {
    std::wstring fmt;
    int percents = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '%' && ++percents > 20)
            break; // at most 20 conversions, 4 slots each: within the 96 given
        fmt.push_back(static_cast<wchar_t>(data[i]));
    }
    formatBoth(fmt.c_str(), 1.5, -2.25, 1e300, 3e-310, 0.1, 7.0, 123456.789, -0.0, ZV_P16, ZV_P16, ZV_P16,
               ZV_P16, ZV_P16, ZV_P16);
}

void fuzzCodePages(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Every byte of 1252 has a character: an exact round trip.
    std::wstring wide;
    check(zv::fromCodePage(bytes, 1252, wide));
    check(wide.size() == bytes.size());
    std::string again;
    check(zv::toCodePage(wide, 1252, again));
    check(again == bytes);

    // UTF-8: decoding gives scalar values only, which then survive a round trip.
    std::wstring decoded;
    check(zv::fromCodePage(bytes, 65001, decoded));
    std::string encoded;
    check(zv::toCodePage(decoded, 65001, encoded));
    std::wstring redecoded;
    check(zv::fromCodePage(encoded, 65001, redecoded));
    check(redecoded == decoded);
    if (encoded.size() == bytes.size())
        check(encoded == bytes || encoded.find("\xEF\xBF\xBD") != std::string::npos);

    // Arbitrary code units (lone surrogates included) always encode.
    std::wstring units;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    std::string utf8;
    check(zv::toCodePage(units, 65001, utf8));
    std::wstring unitsBack;
    check(zv::fromCodePage(utf8, 65001, unitsBack));
    check(unitsBack.size() == units.size());

    // A text that went through the ANSI page once stays as it is.
    const zv::string once = zv::string::makeMBCS(units);
    check(zv::string::makeMBCS(once) == once);
    check(zv::string::getMBCS(once).size() <= once.size());

    const std::string narrow = bytes.c_str();
    const zv::string fromNarrow = zv::string::fromMBCtoWC(narrow.c_str());
    check(fromNarrow.size() == narrow.size()); // the "C" locale: one unit per byte
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0)
        fuzzFormat(data + 1, size - 1);
    else
        fuzzCodePages(data + 1, size - 1);
    return 0;
}
