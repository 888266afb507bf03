#include "zvCodePage.h"

#include "os/zvOs.h"
#include "zvCodePageDetail.h"

#include <type_traits>

namespace zv {

namespace detail {

namespace {

// Windows-1252 bytes 0x80-0x9F. The five bytes the page leaves undefined map
// to the control character of the same value, as Windows maps them.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char to1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (unsigned i = 0; i < 32; ++i)
        if (cp1252High[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

constexpr char32_t replacement = 0xFFFD;

} // namespace

void cp1252ToWide(const char* text, std::size_t length, std::wstring& out) {
    const std::size_t start = out.size();
    out.resize(start + length);
    wchar_t* o = out.data() + start;
    for (std::size_t i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        o[i] = static_cast<wchar_t>((b >= 0x80 && b < 0xA0) ? cp1252High[b - 0x80] : b);
    }
}

void wideTo1252(const wchar_t* text, std::size_t length, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + length);
    char* o = out.data() + start;
    std::size_t n = 0;
    for (std::size_t i = 0; i < length; ++i) {
        auto c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            // A surrogate pair is one character the page cannot hold: one '?'.
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && (text[i + 1] & 0xFC00) == 0xDC00)
                ++i;
        }
        o[n++] = (c < 0x80) ? static_cast<char>(c) : to1252(c);
    }
    out.resize(start + n);
}

void wideToUtf8(const wchar_t* text, std::size_t length, std::string& out) {
    out.reserve(out.size() + length);
    for (std::size_t i = 0; i < length; ++i) {
        // Runs of ASCII, the usual text, are copied without a test per byte.
        std::size_t ascii = i;
        while (ascii < length && static_cast<std::make_unsigned_t<wchar_t>>(text[ascii]) < 0x80)
            ++ascii;
        if (ascii > i) {
            const std::size_t at = out.size();
            out.resize(at + (ascii - i));
            for (char* p = out.data() + at; i < ascii; ++i)
                *p++ = static_cast<char>(text[i]);
            if (i == length)
                break;
        }
        auto c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
                const auto low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            c = replacement; // not a scalar value (a lone surrogate)
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

// Each maximal ill-formed subsequence becomes one U+FFFD, as Windows decodes.
void utf8ToWide(const char* text, std::size_t length, std::wstring& out) {
    out.reserve(out.size() + length);
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    const auto* end = s + length;
    while (s < end) {
        if (*s < 0x80)
            out.push_back(static_cast<wchar_t>(*s++));
        else
            appendCodePoint(out, decodeUtf8Sequence(s, end));
    }
}

} // namespace detail

unsigned int ansiCodePage() {
    return os::ansiCodePage();
}

bool toCodePage(const std::wstring& text, unsigned int codePage, std::string& out) {
    if (!os::systemDefinesCodePages()) {
        if (codePage == 1252) {
            detail::wideTo1252(text.data(), text.size(), out);
            return true;
        }
        if (codePage == 65001) {
            detail::wideToUtf8(text.data(), text.size(), out);
            return true;
        }
    }
    const std::size_t start = out.size();
    if (os::wideToCodePage(codePage, text.data(), text.size(), out))
        return true;
    out.resize(start);
    return false;
}

bool fromCodePage(const std::string& bytes, unsigned int codePage, std::wstring& out) {
    if (!os::systemDefinesCodePages()) {
        if (codePage == 1252) {
            detail::cp1252ToWide(bytes.data(), bytes.size(), out);
            return true;
        }
        if (codePage == 65001) {
            detail::utf8ToWide(bytes.data(), bytes.size(), out);
            return true;
        }
    }
    const std::size_t start = out.size();
    if (os::codePageToWide(codePage, bytes.data(), bytes.size(), out))
        return true;
    out.resize(start);
    return false;
}

} // namespace zv
