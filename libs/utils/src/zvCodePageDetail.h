// Internal helpers shared by the code-page conversions, the string class and
// the formatting engine.
#pragma once

#include <clocale>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>

namespace zv::detail {

/// Built-in conversions (used where the system does not define the pages).
void wideTo1252(const wchar_t* text, std::size_t length, std::string& out);
void wideToUtf8(const wchar_t* text, std::size_t length, std::string& out);
void utf8ToWide(const char* text, std::size_t length, std::wstring& out);
void cp1252ToWide(const char* text, std::size_t length, std::wstring& out);

/// Appends one character: two surrogates where wchar_t has 16 bits.
inline void appendCodePoint(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(c));
}

/// Decodes the UTF-8 sequence that starts at `s` (a byte >= 0x80) and moves
/// `s` behind it. Each maximal ill-formed part gives one U+FFFD, as Windows
/// decodes, and decoding goes on at the byte that broke the sequence.
inline char32_t decodeUtf8Sequence(const unsigned char*& s, const unsigned char* end) {
    const unsigned b = *s++;
    int need;
    unsigned lo = 0x80, hi = 0xBF;
    char32_t c;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        c = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        c = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < need; ++k) {
        if (s >= end || *s < lo || *s > hi)
            return 0xFFFD;
        c = (c << 6) | (*s++ & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    return c;
}

/// True when the C runtime's LC_CTYPE is the plain "C" locale, in which every
/// byte stands for the code unit of the same value on every target (the
/// Windows runtime does so; glibc would reject bytes >= 0x80).
inline bool cLocaleCtype() {
    const char* name = std::setlocale(LC_CTYPE, nullptr);
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

/// Decodes narrow text by the C runtime's current multibyte locale, calling
/// `put(wchar_t)` per character. Stops at a NUL byte, after `maxBytes` bytes
/// or after `maxChars` characters, whichever comes first; bytes are read one
/// at a time, so nothing behind the last character is touched. A byte that
/// cannot continue a character, or a character cut off by the end, gives
/// U+FFFD; decoding resumes at the offending byte.
template <typename Put>
void decodeLocaleNarrow(const char* text, std::size_t maxBytes, std::size_t maxChars, Put&& put) {
    if (text == nullptr)
        return;
    if (cLocaleCtype()) {
        for (std::size_t i = 0; i < maxBytes && i < maxChars && text[i] != '\0'; ++i)
            put(static_cast<wchar_t>(static_cast<unsigned char>(text[i])));
        return;
    }
    std::mbstate_t state{};
    std::size_t pending = 0; // bytes of an unfinished character
    std::size_t produced = 0;
    std::size_t i = 0;
    while (produced < maxChars) {
        if (i >= maxBytes || text[i] == '\0') {
            if (pending > 0)
                put(static_cast<wchar_t>(0xFFFD));
            return;
        }
        wchar_t wc = 0;
        const std::size_t rc = std::mbrtowc(&wc, text + i, 1, &state);
        if (rc == static_cast<std::size_t>(-2)) {
            ++pending;
            ++i;
            continue;
        }
        if (rc == static_cast<std::size_t>(-1)) {
            state = std::mbstate_t{};
            put(static_cast<wchar_t>(0xFFFD));
            ++produced;
            if (pending == 0)
                ++i; // the byte itself starts nothing; else retry it as a start
            pending = 0;
            continue;
        }
        put(wc);
        ++produced;
        pending = 0;
        ++i;
    }
}

} // namespace zv::detail
