#include "zvFormat.h"

#include "zvCodePageDetail.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <limits>

namespace zv {

namespace {

constexpr int maxField = 1000000;

// Where the engine writes: a caller's fixed buffer that cuts the output, or a
// small local buffer spilled into a growing text.
class sink {
public:
    sink(wchar_t* buffer, std::size_t capacity, std::wstring* spill)
        : m_buf(buffer), m_cap(capacity), m_spill(spill) {}

    bool stopped() const { return m_stopped; }

    void put(wchar_t c) {
        if (m_len == m_cap && !makeRoom())
            return;
        m_buf[m_len++] = c;
    }
    void put(const wchar_t* s, std::size_t n) {
        while (n > 0) {
            if (m_len == m_cap && !makeRoom())
                return;
            const std::size_t k = std::min(n, m_cap - m_len);
            std::wmemcpy(m_buf + m_len, s, k);
            m_len += k;
            s += k;
            n -= k;
        }
    }
    void putAscii(const char* s, std::size_t n) {
        while (n > 0) {
            if (m_len == m_cap && !makeRoom())
                return;
            const std::size_t k = std::min(n, m_cap - m_len);
            for (std::size_t i = 0; i < k; ++i)
                m_buf[m_len + i] = static_cast<wchar_t>(static_cast<unsigned char>(s[i]));
            m_len += k;
            s += k;
            n -= k;
        }
    }
    void fill(wchar_t c, std::size_t n) {
        while (n > 0) {
            if (m_len == m_cap && !makeRoom())
                return;
            const std::size_t k = std::min(n, m_cap - m_len);
            std::wmemset(m_buf + m_len, c, k);
            m_len += k;
            n -= k;
        }
    }
    /// Total characters produced (spilled ones included).
    std::size_t finish() {
        if (m_spill) {
            m_spill->append(m_buf, m_len);
            m_total += m_len;
            m_len = 0;
            return m_total;
        }
        return m_len;
    }

private:
    bool makeRoom() {
        if (!m_spill) {
            m_stopped = true;
            return false;
        }
        m_spill->append(m_buf, m_len);
        m_total += m_len;
        m_len = 0;
        return true;
    }

    wchar_t* m_buf;
    std::size_t m_cap;
    std::size_t m_len = 0;
    std::size_t m_total = 0;
    std::wstring* m_spill;
    bool m_stopped = false;
};

// The argument list travels by reference inside a struct, so every reader
// consumes from the same list whatever the target's va_list type is.
struct argList {
    va_list ap;
};

enum class eSize { none, hh, h, l, ll, ptr, intmax, longDouble };

struct spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    bool zero = false;
    int width = 0;
    int precision = -1; // none
    eSize size = eSize::none;
    bool wideSize = false;   // `l` or `w`
    bool narrowSize = false; // `h`
    wchar_t conv = 0;
};

void pad(sink& out, std::size_t length, const spec& s, bool before) {
    if (static_cast<std::size_t>(s.width) > length && s.left != before)
        out.fill(L' ', static_cast<std::size_t>(s.width) - length);
}

// ---- integers ----------------------------------------------------------

void putInteger(sink& out, const spec& s, unsigned long long magnitude, bool negative, bool isSigned) {
    char digits[64];
    char* end = digits + sizeof digits;
    char* p = end;
    const wchar_t c = s.conv;
    const unsigned base = (c == L'o') ? 8u : (c == L'x' || c == L'X' || c == L'p') ? 16u : 10u;
    const char* alphabet = (c == L'X' || c == L'p') ? "0123456789ABCDEF" : "0123456789abcdef";
    for (unsigned long long v = magnitude; v != 0; v /= base)
        *--p = alphabet[v % base];
    std::size_t count = static_cast<std::size_t>(end - p);

    std::size_t minDigits = s.precision < 0 ? 1 : static_cast<std::size_t>(s.precision);
    if (c == L'p' && s.precision < 0)
        minDigits = 2 * sizeof(void*);
    std::size_t zeros = minDigits > count ? minDigits - count : 0;
    if (c == L'o' && s.alt && zeros == 0 && (count == 0 || *p != '0'))
        zeros = 1; // `#o` starts with a 0

    char prefix[2];
    std::size_t prefixLength = 0;
    if (isSigned) {
        if (negative)
            prefix[prefixLength++] = '-';
        else if (s.plus)
            prefix[prefixLength++] = '+';
        else if (s.space)
            prefix[prefixLength++] = ' ';
    } else if (s.alt && ((magnitude != 0 && (c == L'x' || c == L'X')) || c == L'p')) {
        prefix[prefixLength++] = '0';
        prefix[prefixLength++] = (c == L'x') ? 'x' : 'X';
    }

    std::size_t length = prefixLength + zeros + count;
    if (s.zero && !s.left && s.precision < 0 && static_cast<std::size_t>(s.width) > length) {
        zeros += static_cast<std::size_t>(s.width) - length;
        length = static_cast<std::size_t>(s.width);
    }
    pad(out, length, s, true);
    out.putAscii(prefix, prefixLength);
    out.fill(L'0', zeros);
    out.putAscii(p, count);
    pad(out, length, s, false);
}

void formatSigned(sink& out, const spec& s, argList& args) {
    long long v;
    switch (s.size) {
    case eSize::hh:
        v = static_cast<signed char>(va_arg(args.ap, int));
        break;
    case eSize::h:
        v = static_cast<short>(va_arg(args.ap, int));
        break;
    case eSize::l:
        v = va_arg(args.ap, long);
        break;
    case eSize::ll:
    case eSize::longDouble:
        v = va_arg(args.ap, long long);
        break;
    case eSize::ptr:
        v = va_arg(args.ap, std::ptrdiff_t);
        break;
    case eSize::intmax:
        v = static_cast<long long>(va_arg(args.ap, std::intmax_t));
        break;
    default:
        v = va_arg(args.ap, int);
        break;
    }
    const bool negative = v < 0;
    const unsigned long long magnitude =
        negative ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    putInteger(out, s, magnitude, negative, true);
}

void formatUnsigned(sink& out, const spec& s, argList& args) {
    unsigned long long v;
    switch (s.size) {
    case eSize::hh:
        v = static_cast<unsigned char>(va_arg(args.ap, int));
        break;
    case eSize::h:
        v = static_cast<unsigned short>(va_arg(args.ap, int));
        break;
    case eSize::l:
        v = va_arg(args.ap, unsigned long);
        break;
    case eSize::ll:
    case eSize::longDouble:
        v = va_arg(args.ap, unsigned long long);
        break;
    case eSize::ptr:
        v = va_arg(args.ap, std::size_t);
        break;
    case eSize::intmax:
        v = static_cast<unsigned long long>(va_arg(args.ap, std::uintmax_t));
        break;
    default:
        v = va_arg(args.ap, unsigned int);
        break;
    }
    putInteger(out, s, v, false, false);
}

// ---- floating point ----------------------------------------------------

// Beyond these many digits every further digit of a double is 0 (1074
// fraction digits at most, 767 significant digits at most).
constexpr int maxFixedDigits = 1100;
constexpr int maxSignificantDigits = 800;

void formatFloat(sink& out, const spec& s, double v) {
    const wchar_t c = s.conv;
    const bool upper = c == L'E' || c == L'F' || c == L'G' || c == L'A';
    const wchar_t lc = upper ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    char sign = 0;
    if (std::signbit(v))
        sign = '-';
    else if (s.plus)
        sign = '+';
    else if (s.space)
        sign = ' ';
    v = std::fabs(v);

    char body[1600];
    std::size_t bodyLength = 0;
    std::size_t mantissaEnd = 0; // where extra zeros and a forced point go
    std::size_t extraZeros = 0;
    bool forcePoint = false;
    bool finite = std::isfinite(v);
    const char* prefix = "";

    if (!finite) {
        const char* text = std::isnan(v) ? "nan" : "inf";
        std::copy(text, text + 3, body);
        bodyLength = mantissaEnd = 3;
    } else {
        int precision = s.precision < 0 ? 6 : s.precision;
        std::to_chars_result r{};
        char* const first = body;
        char* const last = body + sizeof body;
        if (lc == L'f') {
            const int p = std::min(precision, maxFixedDigits);
            r = std::to_chars(first, last, v, std::chars_format::fixed, p);
            extraZeros = static_cast<std::size_t>(precision - p);
            forcePoint = s.alt && precision == 0;
        } else if (lc == L'e') {
            const int p = std::min(precision, maxSignificantDigits);
            r = std::to_chars(first, last, v, std::chars_format::scientific, p);
            extraZeros = static_cast<std::size_t>(precision - p);
            forcePoint = s.alt && precision == 0;
        } else if (lc == L'a') {
            prefix = upper ? "0X" : "0x";
            r = s.precision < 0 ? std::to_chars(first, last, v, std::chars_format::hex)
                                : std::to_chars(first, last, v, std::chars_format::hex,
                                                std::min(precision, maxSignificantDigits));
            if (s.precision > maxSignificantDigits)
                extraZeros = static_cast<std::size_t>(precision - maxSignificantDigits);
            forcePoint = s.alt;
        } else { // g
            if (precision == 0)
                precision = 1;
            if (!s.alt) {
                r = std::to_chars(first, last, v, std::chars_format::general,
                                  std::min(precision, maxSignificantDigits));
            } else {
                // `#g` keeps trailing zeros: pick the style as C does, from the
                // exponent after rounding to `precision` significant digits.
                const int p = std::min(precision - 1, maxSignificantDigits);
                r = std::to_chars(first, last, v, std::chars_format::scientific, p);
                const char* e = std::find(first, r.ptr, 'e');
                int exponent = 0;
                std::from_chars(e + 1 + (e[1] == '+'), r.ptr, exponent);
                if (precision > exponent && exponent >= -4) {
                    const int fixedDigits = precision - 1 - exponent;
                    const int fp = std::min(fixedDigits, maxFixedDigits);
                    r = std::to_chars(first, last, v, std::chars_format::fixed, fp);
                    extraZeros = static_cast<std::size_t>(fixedDigits - fp);
                } else {
                    extraZeros = static_cast<std::size_t>(precision - 1 - p);
                }
                forcePoint = true;
            }
        }
        if (r.ec != std::errc()) { // cannot happen with the limits above
            std::copy_n("?", 1, body);
            r.ptr = body + 1;
        }
        bodyLength = static_cast<std::size_t>(r.ptr - body);
        mantissaEnd = bodyLength;
        for (std::size_t i = 0; i < bodyLength; ++i)
            if (body[i] == 'e' || body[i] == 'p') {
                mantissaEnd = i;
                break;
            }
        if (forcePoint && std::find(body, body + mantissaEnd, '.') != body + mantissaEnd)
            forcePoint = false;
    }
    if (upper)
        for (std::size_t i = 0; i < bodyLength; ++i)
            if (body[i] >= 'a' && body[i] <= 'z')
                body[i] = static_cast<char>(body[i] - ('a' - 'A'));

    const std::size_t prefixLength = std::char_traits<char>::length(prefix);
    std::size_t length = (sign ? 1 : 0) + prefixLength + bodyLength + extraZeros + (forcePoint ? 1 : 0);
    std::size_t zeroPad = 0;
    if (s.zero && !s.left && finite && static_cast<std::size_t>(s.width) > length) {
        zeroPad = static_cast<std::size_t>(s.width) - length;
        length = static_cast<std::size_t>(s.width);
    }
    pad(out, length, s, true);
    if (sign)
        out.put(static_cast<wchar_t>(sign));
    out.putAscii(prefix, prefixLength);
    out.fill(L'0', zeroPad);
    out.putAscii(body, mantissaEnd);
    if (forcePoint)
        out.put(L'.');
    out.fill(L'0', extraZeros);
    out.putAscii(body + mantissaEnd, bodyLength - mantissaEnd);
    pad(out, length, s, false);
}

// ---- characters and texts ----------------------------------------------

void formatWideText(sink& out, const spec& s, const wchar_t* text) {
    if (text == nullptr)
        text = L"(null)";
    const std::size_t limit =
        s.precision < 0 ? std::numeric_limits<std::size_t>::max() : static_cast<std::size_t>(s.precision);
    std::size_t length = 0;
    while (length < limit && text[length] != L'\0')
        ++length;
    pad(out, length, s, true);
    out.put(text, length);
    pad(out, length, s, false);
}

void formatNarrowText(sink& out, const spec& s, const char* text) {
    if (text == nullptr)
        text = "(null)";
    const std::size_t limit =
        s.precision < 0 ? std::numeric_limits<std::size_t>::max() : static_cast<std::size_t>(s.precision);
    const std::size_t noLimit = std::numeric_limits<std::size_t>::max();
    std::size_t length = 0;
    if (s.width > 0)
        detail::decodeLocaleNarrow(text, noLimit, limit, [&](wchar_t) { ++length; });
    pad(out, length, s, true);
    detail::decodeLocaleNarrow(text, noLimit, limit, [&](wchar_t c) { out.put(c); });
    pad(out, length, s, false);
}

void formatChar(sink& out, const spec& s, wchar_t c) {
    pad(out, 1, s, true);
    out.put(c);
    pad(out, 1, s, false);
}

wchar_t narrowChar(int value) {
    const char byte = static_cast<char>(value);
    if (byte == '\0')
        return L'\0';
    wchar_t result = static_cast<wchar_t>(0xFFFD);
    detail::decodeLocaleNarrow(&byte, 1, 1, [&](wchar_t c) { result = c; });
    return result;
}

// ---- the format itself -------------------------------------------------

int readNumber(const wchar_t*& p) {
    long long value = 0;
    while (*p >= L'0' && *p <= L'9') {
        value = std::min<long long>(value * 10 + (*p - L'0'), maxField);
        ++p;
    }
    return static_cast<int>(value);
}

bool knownConversion(wchar_t c) {
    switch (c) {
    case L'd':
    case L'i':
    case L'u':
    case L'o':
    case L'x':
    case L'X':
    case L'c':
    case L'C':
    case L's':
    case L'S':
    case L'p':
    case L'n':
    case L'e':
    case L'E':
    case L'f':
    case L'F':
    case L'g':
    case L'G':
    case L'a':
    case L'A':
        return true;
    default:
        return false;
    }
}

// Reads one conversion behind its '%' without touching the arguments; false
// when it is not one the engine knows.
bool parseSpec(const wchar_t*& p, spec& s, bool& widthStar, bool& precisionStar) {
    for (;; ++p) {
        if (*p == L'-')
            s.left = true;
        else if (*p == L'+')
            s.plus = true;
        else if (*p == L' ')
            s.space = true;
        else if (*p == L'#')
            s.alt = true;
        else if (*p == L'0')
            s.zero = true;
        else
            break;
    }
    if (*p == L'*') {
        widthStar = true;
        ++p;
    } else {
        s.width = readNumber(p);
    }
    if (*p == L'.') {
        ++p;
        if (*p == L'*') {
            precisionStar = true;
            ++p;
        } else {
            s.precision = readNumber(p);
        }
    }
    switch (*p) {
    case L'h':
        ++p;
        s.narrowSize = true;
        s.size = eSize::h;
        if (*p == L'h') {
            ++p;
            s.size = eSize::hh;
        }
        break;
    case L'l':
        ++p;
        s.wideSize = true;
        s.size = eSize::l;
        if (*p == L'l') {
            ++p;
            s.size = eSize::ll;
        }
        break;
    case L'w':
        ++p;
        s.wideSize = true;
        break;
    case L'L':
        ++p;
        s.size = eSize::longDouble;
        break;
    case L'j':
        ++p;
        s.size = eSize::intmax;
        break;
    case L'z':
    case L't':
        ++p;
        s.size = eSize::ptr;
        break;
    case L'I':
        ++p;
        if (p[0] == L'6' && p[1] == L'4') {
            p += 2;
            s.size = eSize::ll;
        } else if (p[0] == L'3' && p[1] == L'2') {
            p += 2;
            s.size = eSize::none;
        } else {
            s.size = eSize::ptr;
        }
        break;
    default:
        break;
    }
    s.conv = *p;
    if (!knownConversion(s.conv))
        return false;
    ++p;
    return true;
}

void convert(sink& out, spec& s, argList& args) {
    switch (s.conv) {
    case L'd':
    case L'i':
        formatSigned(out, s, args);
        break;
    case L'u':
    case L'o':
    case L'x':
    case L'X':
        formatUnsigned(out, s, args);
        break;
    case L'p': {
        const void* ptr = va_arg(args.ap, void*);
        putInteger(out, s, static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(ptr)), false,
                   false);
        break;
    }
    case L'n':
        (void)va_arg(args.ap, void*); // refused: never written through
        break;
    case L'c':
    case L'C': {
        const int value = va_arg(args.ap, int);
        const bool wide = s.conv == L'c' ? !s.narrowSize : s.wideSize;
        formatChar(out, s, wide ? static_cast<wchar_t>(value) : narrowChar(value));
        break;
    }
    case L's':
    case L'S': {
        const bool wide = s.conv == L's' ? !s.narrowSize : s.wideSize;
        if (wide)
            formatWideText(out, s, va_arg(args.ap, const wchar_t*));
        else
            formatNarrowText(out, s, va_arg(args.ap, const char*));
        break;
    }
    default: // the floating-point conversions
        if (s.size == eSize::longDouble)
            formatFloat(out, s, static_cast<double>(va_arg(args.ap, long double)));
        else
            formatFloat(out, s, va_arg(args.ap, double));
        break;
    }
}

void run(sink& out, const wchar_t* fmt, argList& args) {
    if (fmt == nullptr)
        return;
    const wchar_t* p = fmt;
    while (*p != L'\0' && !out.stopped()) {
        const wchar_t* literal = p;
        while (*p != L'\0' && *p != L'%')
            ++p;
        out.put(literal, static_cast<std::size_t>(p - literal));
        if (*p == L'\0')
            break;
        const wchar_t* start = p++;
        if (*p == L'%') {
            out.put(L'%');
            ++p;
            continue;
        }
        spec s;
        bool widthStar = false;
        bool precisionStar = false;
        if (!parseSpec(p, s, widthStar, precisionStar)) {
            // Unknown: shown as written, no argument consumed.
            if (*p != L'\0')
                ++p;
            out.put(start, static_cast<std::size_t>(p - start));
            continue;
        }
        if (widthStar) {
            const int w = va_arg(args.ap, int);
            if (w < 0) {
                s.left = true;
                s.width = w == std::numeric_limits<int>::min() ? maxField : std::min(-w, maxField);
            } else {
                s.width = std::min(w, maxField);
            }
        }
        if (precisionStar) {
            const int pr = va_arg(args.ap, int);
            s.precision = pr < 0 ? -1 : std::min(pr, maxField);
        }
        convert(out, s, args);
    }
}

} // namespace

std::size_t formatTo(std::wstring& out, const wchar_t* fmt, va_list args) {
    wchar_t buffer[256];
    sink target(buffer, sizeof buffer / sizeof buffer[0], &out);
    argList list;
    va_copy(list.ap, args);
    run(target, fmt, list);
    va_end(list.ap);
    return target.finish();
}

std::size_t formatTo(wchar_t* buffer, std::size_t capacity, const wchar_t* fmt, va_list args) {
    if (buffer == nullptr || capacity == 0)
        return 0;
    sink target(buffer, capacity - 1, nullptr);
    argList list;
    va_copy(list.ap, args);
    run(target, fmt, list);
    va_end(list.ap);
    const std::size_t length = target.finish();
    buffer[length] = L'\0';
    return length;
}

std::size_t appendFormat(std::wstring& out, const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::size_t n = formatTo(out, fmt, args);
    va_end(args);
    return n;
}

} // namespace zv
