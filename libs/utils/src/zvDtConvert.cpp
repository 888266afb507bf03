// Conversions between numbers, texts and characters. Numbers are formatted
// with std::to_chars and read by a small scanner in front of std::from_chars,
// so nothing here depends on the process's locale or takes a lock.
#include "zvDtConvert.h"
#include "zvDtConvertDetail.h"

#include "os/zvOs.h"
#include "zvCodePage.h"
#include "zvExpression.h"
#include "zvRound.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>

namespace zv {

namespace {

// ---- numbers among themselves -----------------------------------------

template <typename To, typename From>
bool numberToNumber(To& target, From source) {
    using toLimits = std::numeric_limits<To>;
    if constexpr (std::is_same_v<To, bool>) {
        target = source != 0;
        return true;
    } else if constexpr (std::is_same_v<From, bool>) {
        target = source ? To(1) : To(0);
        return true;
    } else if constexpr (std::is_integral_v<To> && std::is_integral_v<From>) {
        if (std::cmp_less(source, toLimits::min())) {
            target = toLimits::min();
            return false;
        }
        if (std::cmp_greater(source, toLimits::max())) {
            target = toLimits::max();
            return false;
        }
        target = static_cast<To>(source);
        return true;
    } else if constexpr (std::is_integral_v<To>) {
        if (std::isnan(source)) {
            target = 0;
            return false;
        }
        // Exact comparisons: min (0 or -2^digits) and max + 1 (2^digits) are
        // exact in From; max itself may not be, so "source <= max" is tested
        // as "below max + 1, and an integer or with an integer part below max".
        const From lower = static_cast<From>(toLimits::min());
        const From upperExclusive = static_cast<From>(toLimits::max() / 2 + 1) * From(2);
        if (source < lower) {
            target = toLimits::min();
            return false;
        }
        const From whole = std::floor(source);
        if (!(source < upperExclusive) || (whole != source && !(whole < upperExclusive - From(1)))) {
            target = toLimits::max();
            return false;
        }
        target = static_cast<To>(source);
        return true;
    } else if constexpr (std::is_floating_point_v<From>) {
        // float <-> double, compared in double; NaN stays NaN, infinities
        // lie outside the range.
        const double wide = source;
        if (wide > static_cast<double>(toLimits::max())) {
            target = toLimits::max();
            return false;
        }
        if (wide < static_cast<double>(toLimits::lowest())) {
            target = toLimits::lowest();
            return false;
        }
        target = static_cast<To>(source);
        return true;
    } else {
        target = static_cast<To>(source); // nearest representable value
        return true;
    }
}

// ---- numbers to text ---------------------------------------------------

constexpr int maxMinimumLength = 1023;

void appendAscii(string& out, const char* first, const char* last) {
    // Each ASCII byte becomes the code unit of the same value.
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(last - first));
    wchar_t* to = out.data() + start;
    while (first != last)
        *to++ = static_cast<wchar_t>(static_cast<unsigned char>(*first++));
}

template <typename T>
void integerToText(string& out, T value, int flags, const dtArgs& args) {
    char buffer[72];
    if ((flags & dtFormat) && (args.formatKind == dtHexUpper || args.formatKind == dtHexLower)) {
        using unsignedT = std::make_unsigned_t<T>;
        char* end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<unsignedT>(value), 16).ptr;
        if (args.formatKind == dtHexUpper)
            std::transform(buffer, end, buffer, [](char c) { return c >= 'a' ? char(c - 'a' + 'A') : c; });
        out.clear();
        appendAscii(out, buffer, end);
        return;
    }
    char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    const int printed = static_cast<int>(end - buffer);
    const int minimum = (flags & dtCount) ? std::min(args.count, maxMinimumLength) : 1;
    out.clear();
    const char* digits = buffer;
    if (printed < minimum) {
        if (buffer[0] == '-') { // the sign goes in front of the filling
            out.push_back(L'-');
            ++digits;
        }
        out.append(static_cast<std::size_t>(minimum - printed), L'0');
    }
    appendAscii(out, digits, end);
}

void floatingToText(string& out, double value, int flags, const dtArgs& args) {
    out.clear();
    if (std::isnan(value)) {
        out = L"nan";
        return;
    }
    if (std::isinf(value)) {
        out = value < 0 ? L"-inf" : L"inf";
        return;
    }
    const int decimals = (flags & dtCount) ? std::clamp(args.count, 0, 10) : 8;
    char buffer[400]; // 309 integer digits, a sign, a point and 10 decimals at most
    char* end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
    if (!(flags & dtCount)) {
        while (end - buffer > 1 && end[-1] == '0')
            --end;
        if (end - buffer > 1 && end[-1] == '.')
            --end;
    }
    if (!(flags & dtUserLocale)) {
        appendAscii(out, buffer, end);
        return;
    }
    const std::wstring separator = os::userDecimalSeparator();
    for (const char* p = buffer; p != end; ++p) {
        if (*p == '.')
            out += separator;
        else
            out.push_back(static_cast<wchar_t>(*p));
    }
}

// ---- text to numbers ---------------------------------------------------

bool isBlank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

/// Sign and magnitude of the integer at the start of a text (after blanks).
struct scannedInteger {
    bool negative = false;
    bool overflow = false; // the magnitude does not fit in 64 bits
    bool nonZero = false;
    std::uint64_t magnitude = 0;
};

bool scanInteger(const string& text, scannedInteger& result) {
    const wchar_t* p = text.c_str();
    while (isBlank(*p))
        ++p;
    if (*p == L'+' || *p == L'-')
        result.negative = *p++ == L'-';
    if (!isDigit(*p))
        return false;
    constexpr std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
    for (; isDigit(*p); ++p) {
        const unsigned digit = static_cast<unsigned>(*p - L'0');
        result.nonZero = result.nonZero || digit != 0;
        if (result.overflow || result.magnitude > (limit - digit) / 10)
            result.overflow = true;
        else
            result.magnitude = result.magnitude * 10 + digit;
    }
    return true;
}

template <typename T>
bool textToSigned(T& target, const string& text) {
    scannedInteger s;
    if (!scanInteger(text, s) || s.overflow)
        return false;
    using U = std::make_unsigned_t<T>;
    const std::uint64_t maxMagnitude =
        static_cast<U>(std::numeric_limits<T>::max()) + std::uint64_t(s.negative);
    if (s.magnitude > maxMagnitude)
        return false;
    // Negate in the unsigned type: -(max + 1) is representable only that way.
    const U bits =
        s.negative ? static_cast<U>(U(0) - static_cast<U>(s.magnitude)) : static_cast<U>(s.magnitude);
    target = static_cast<T>(bits);
    return true;
}

template <typename T>
bool textToUnsigned(T& target, const string& text) {
    scannedInteger s;
    if (!scanInteger(text, s) || s.overflow || s.magnitude > std::numeric_limits<T>::max())
        return false;
    const T magnitude = static_cast<T>(s.magnitude);
    target = s.negative ? static_cast<T>(T(0) - magnitude) : magnitude; // "-1" is the maximum
    return true;
}

bool startsWithNoCase(const wchar_t* p, const char* word) {
    for (; *word; ++p, ++word) {
        const wchar_t c = (*p >= L'A' && *p <= L'Z') ? wchar_t(*p - L'A' + L'a') : *p;
        if (c != static_cast<wchar_t>(*word))
            return false;
    }
    return true;
}

enum class eScan { none, ok, overflow, underflow };

const wchar_t* skipDigits(const wchar_t* p) {
    while (isDigit(*p))
        ++p;
    return p;
}

/// Decimal exponent of the first non-zero digit of a mantissa, or 0 when all
/// digits are zero; only needed when a number is out of range.
long long leadingExponent(const wchar_t* intBegin, const wchar_t* intEnd, const wchar_t* fracBegin,
                          const wchar_t* fracEnd) {
    for (const wchar_t* q = intBegin; q != intEnd; ++q)
        if (*q != L'0')
            return intEnd - q - 1;
    for (const wchar_t* q = fracBegin; q != fracEnd; ++q)
        if (*q != L'0')
            return -(q - fracBegin) - 1;
    return 0;
}

/// The floating-point number at the start of `text`: its extent is found on
/// the wide text first, then copied as plain ASCII for std::from_chars. `F`
/// is the type to parse into.
template <typename F>
eScan scanFloating(const string& text, F& value, bool& negative) {
    const wchar_t* p = text.c_str();
    while (isBlank(*p))
        ++p;
    negative = false;
    if (*p == L'+' || *p == L'-')
        negative = *p++ == L'-';
    if ((*p | 0x20) == L'i' && startsWithNoCase(p, "inf")) {
        value = negative ? -std::numeric_limits<F>::infinity() : std::numeric_limits<F>::infinity();
        return eScan::ok;
    }
    if ((*p | 0x20) == L'n' && startsWithNoCase(p, "nan")) {
        value = std::numeric_limits<F>::quiet_NaN();
        return eScan::ok;
    }

    const wchar_t* const intBegin = p;
    const wchar_t* const intEnd = skipDigits(p);
    const wchar_t* fracBegin = intEnd;
    const wchar_t* fracEnd = intEnd;
    p = intEnd;
    if (*p == L'.' || *p == L',' || *p == runtimeDecimalPoint()) {
        fracBegin = p + 1;
        fracEnd = skipDigits(fracBegin);
        p = fracEnd;
    }
    if (intBegin == intEnd && fracBegin == fracEnd)
        return eScan::none;
    const bool point = fracBegin != intEnd;
    // The exponent counts only when digits follow "e" and its sign.
    const wchar_t* expBegin = p;
    const wchar_t* expEnd = p;
    if (*p == L'e' || *p == L'E') {
        const wchar_t* q = p + 1;
        if (*q == L'+' || *q == L'-')
            ++q;
        if (isDigit(*q))
            expEnd = skipDigits(q);
    }

    if constexpr (std::is_same_v<F, double>) {
        // Most numbers have few digits and a small exponent: then mantissa and
        // power of ten are both exact doubles and one multiplication or
        // division rounds correctly.
        const std::ptrdiff_t digitCount = (intEnd - intBegin) + (fracEnd - fracBegin);
        const std::ptrdiff_t expLength = expEnd - expBegin;
        if (digitCount <= 15 && expLength <= 4) {
            std::uint64_t mantissa = 0;
            for (const wchar_t* q = intBegin; q != intEnd; ++q)
                mantissa = mantissa * 10 + static_cast<unsigned>(*q - L'0');
            for (const wchar_t* q = fracBegin; q != fracEnd; ++q)
                mantissa = mantissa * 10 + static_cast<unsigned>(*q - L'0');
            int exponent = 0;
            if (expLength > 0) {
                const wchar_t* q = expBegin + 1;
                const bool negativeExponent = *q == L'-';
                if (*q == L'+' || *q == L'-')
                    ++q;
                for (; q != expEnd; ++q)
                    exponent = exponent * 10 + (*q - L'0');
                if (negativeExponent)
                    exponent = -exponent;
            }
            exponent -= static_cast<int>(fracEnd - fracBegin);
            static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
            if (mantissa == 0 || (exponent >= -22 && exponent <= 22)) {
                const double m = static_cast<double>(mantissa);
                value = mantissa == 0 ? 0.0 : exponent < 0 ? m / powers[-exponent] : m * powers[exponent];
                if (negative)
                    value = -value;
                return eScan::ok;
            }
        }
    }

    const std::size_t length = static_cast<std::size_t>((intEnd - intBegin) + (point ? 1 : 0) +
                                                        (fracEnd - fracBegin) + (expEnd - expBegin));
    char local[64];
    std::string heap; // only for very long numbers
    char* const first = length <= sizeof local ? local : (heap.resize(length), heap.data());
    char* out = first;
    for (const wchar_t* q = intBegin; q != intEnd; ++q)
        *out++ = static_cast<char>(*q);
    if (point) {
        *out++ = '.';
        for (const wchar_t* q = fracBegin; q != fracEnd; ++q)
            *out++ = static_cast<char>(*q);
    }
    for (const wchar_t* q = expBegin; q != expEnd; ++q)
        *out++ = static_cast<char>(*q);

    const auto result = std::from_chars(first, out, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        long long exponent = 0;
        const wchar_t* q = expBegin == expEnd ? expEnd : expBegin + 1;
        const bool negativeExponent = q != expEnd && *q == L'-';
        if (q != expEnd && (*q == L'+' || *q == L'-'))
            ++q;
        for (; q != expEnd && exponent < 1000000000; ++q)
            exponent = exponent * 10 + (*q - L'0');
        if (negativeExponent)
            exponent = -exponent;
        return leadingExponent(intBegin, intEnd, fracBegin, fracEnd) + exponent > 0 ? eScan::overflow
                                                                                    : eScan::underflow;
    }
    if (result.ec != std::errc())
        return eScan::none;
    if (negative)
        value = -value;
    return eScan::ok;
}

bool textToDouble(double& target, const string& text) {
    double value = 0;
    bool negative = false;
    switch (scanFloating(text, value, negative)) {
    case eScan::none:
        return false;
    case eScan::overflow:
        target = negative ? -DBL_MAX : DBL_MAX;
        return false;
    case eScan::underflow:
        target = negative ? -0.0 : 0.0;
        return true;
    case eScan::ok:
        break;
    }
    target = value;
    return true;
}

bool textToFloat(float& target, const string& text) {
    double wide = 0;
    if (!textToDouble(wide, text)) {
        if (wide != 0) // saturated
            target = wide < 0 ? -FLT_MAX : FLT_MAX;
        return false;
    }
    if (std::isnan(wide) || std::isinf(wide) || std::fabs(wide) > FLT_MAX)
        return numberToNumber(target, wide);
    // In range: read again as float, so the digits are rounded once.
    float value = 0;
    bool negative = false;
    switch (scanFloating(text, value, negative)) {
    case eScan::ok:
        target = value;
        return true;
    case eScan::underflow:
        target = negative ? -0.0f : 0.0f;
        return true;
    default:
        return numberToNumber(target, wide);
    }
}

bool textToBool(bool& target, const string& text) {
    scannedInteger s;
    if (scanInteger(text, s)) {
        target = s.nonZero;
        return true;
    }
    if (text.size() == 5 && startsWithNoCase(text.c_str(), "false")) {
        target = false;
        return true;
    }
    if (text.size() == 4 && startsWithNoCase(text.c_str(), "true")) {
        target = true;
        return true;
    }
    return false;
}

} // namespace

// ---- flags and locale ----------------------------------------------------

dtArgs dtArgsFrom(int flags, va_list args) {
    dtArgs result;
    if (flags & dtFormat)
        result.formatKind = va_arg(args, int);
    if (flags & dtCount)
        result.count = va_arg(args, int);
    return result;
}

string userDecimalSeparator() {
    return string(os::userDecimalSeparator());
}

wchar_t runtimeDecimalPoint() {
    // The C runtime's locale as it is on first need; later switches are not
    // followed. Only an ASCII point can be mapped to a code unit here.
    static const wchar_t point = [] {
        const std::lconv* conv = std::localeconv();
        const char c = (conv && conv->decimal_point) ? conv->decimal_point[0] : '.';
        return (c > ' ' && c < 0x7F && !(c >= '0' && c <= '9')) ? static_cast<wchar_t>(c) : L'.';
    }();
    return point;
}

// ---- the conversions ---------------------------------------------------

#define ZV_DT_NUMBER(To, From)                                                                               \
    bool dtconvert(To& target, From const& source, int, const dtArgs&) {                                     \
        return numberToNumber<To, From>(target, source);                                                     \
    }                                                                                                        \
    ZV_DTCONVERT_VARIADIC(To, From)

#define ZV_DT_FROM_INTEGERS(To)                                                                              \
    ZV_DT_NUMBER(To, short)                                                                                  \
    ZV_DT_NUMBER(To, unsigned short)                                                                         \
    ZV_DT_NUMBER(To, int)                                                                                    \
    ZV_DT_NUMBER(To, unsigned int)                                                                           \
    ZV_DT_NUMBER(To, long)                                                                                   \
    ZV_DT_NUMBER(To, unsigned long)                                                                          \
    ZV_DT_NUMBER(To, bool)

ZV_DT_FROM_INTEGERS(float)
ZV_DT_FROM_INTEGERS(double)
ZV_DT_NUMBER(float, double)
ZV_DT_NUMBER(double, float)

ZV_DT_NUMBER(short, unsigned short)
ZV_DT_NUMBER(short, int)
ZV_DT_NUMBER(short, unsigned int)
ZV_DT_NUMBER(short, long)
ZV_DT_NUMBER(short, unsigned long)
ZV_DT_NUMBER(short, float)
ZV_DT_NUMBER(short, double)
ZV_DT_NUMBER(short, bool)

ZV_DT_NUMBER(unsigned short, short)
ZV_DT_NUMBER(unsigned short, int)
ZV_DT_NUMBER(unsigned short, unsigned int)
ZV_DT_NUMBER(unsigned short, long)
ZV_DT_NUMBER(unsigned short, unsigned long)
ZV_DT_NUMBER(unsigned short, float)
ZV_DT_NUMBER(unsigned short, double)
ZV_DT_NUMBER(unsigned short, bool)

ZV_DT_NUMBER(int, short)
ZV_DT_NUMBER(int, unsigned short)
ZV_DT_NUMBER(int, unsigned int)
ZV_DT_NUMBER(int, long)
ZV_DT_NUMBER(int, unsigned long)
ZV_DT_NUMBER(int, float)
ZV_DT_NUMBER(int, double)
ZV_DT_NUMBER(int, bool)

ZV_DT_NUMBER(unsigned int, short)
ZV_DT_NUMBER(unsigned int, unsigned short)
ZV_DT_NUMBER(unsigned int, int)
ZV_DT_NUMBER(unsigned int, long)
ZV_DT_NUMBER(unsigned int, unsigned long)
ZV_DT_NUMBER(unsigned int, float)
ZV_DT_NUMBER(unsigned int, double)
ZV_DT_NUMBER(unsigned int, bool)

ZV_DT_NUMBER(long, short)
ZV_DT_NUMBER(long, unsigned short)
ZV_DT_NUMBER(long, int)
ZV_DT_NUMBER(long, unsigned int)
ZV_DT_NUMBER(long, unsigned long)
ZV_DT_NUMBER(long, float)
ZV_DT_NUMBER(long, double)
ZV_DT_NUMBER(long, bool)

ZV_DT_NUMBER(unsigned long, short)
ZV_DT_NUMBER(unsigned long, unsigned short)
ZV_DT_NUMBER(unsigned long, int)
ZV_DT_NUMBER(unsigned long, unsigned int)
ZV_DT_NUMBER(unsigned long, long)
ZV_DT_NUMBER(unsigned long, float)
ZV_DT_NUMBER(unsigned long, double)
ZV_DT_NUMBER(unsigned long, bool)

ZV_DT_NUMBER(bool, short)
ZV_DT_NUMBER(bool, unsigned short)
ZV_DT_NUMBER(bool, int)
ZV_DT_NUMBER(bool, unsigned int)
ZV_DT_NUMBER(bool, long)
ZV_DT_NUMBER(bool, unsigned long)

// Numbers to text.
#define ZV_DT_INTEGER_TO_TEXT(From)                                                                          \
    bool dtconvert(string& target, From const& source, int flags, const dtArgs& args) {                      \
        integerToText(target, source, flags, args);                                                          \
        return true;                                                                                         \
    }                                                                                                        \
    ZV_DTCONVERT_VARIADIC(string, From)

ZV_DT_INTEGER_TO_TEXT(short)
ZV_DT_INTEGER_TO_TEXT(unsigned short)
ZV_DT_INTEGER_TO_TEXT(int)
ZV_DT_INTEGER_TO_TEXT(unsigned int)
ZV_DT_INTEGER_TO_TEXT(long)
ZV_DT_INTEGER_TO_TEXT(unsigned long)

bool dtconvert(string& target, float const& source, int flags, const dtArgs& args) {
    floatingToText(target, static_cast<double>(source), flags, args);
    return true;
}
ZV_DTCONVERT_VARIADIC(string, float)

bool dtconvert(string& target, double const& source, int flags, const dtArgs& args) {
    floatingToText(target, source, flags, args);
    return true;
}
ZV_DTCONVERT_VARIADIC(string, double)

bool dtconvert(string& target, bool const& source, int, const dtArgs&) {
    target = source ? L"1" : L"0";
    return true;
}
ZV_DTCONVERT_VARIADIC(string, bool)

// Text to numbers.
bool dtconvert(short& target, string const& source, int, const dtArgs&) {
    return textToSigned(target, source);
}
ZV_DTCONVERT_VARIADIC(short, string)

bool dtconvert(unsigned short& target, string const& source, int, const dtArgs&) {
    unsigned long value = 0;
    if (!textToUnsigned(value, source) || value > 0xFFFFu)
        return false;
    target = static_cast<unsigned short>(value);
    return true;
}
ZV_DTCONVERT_VARIADIC(unsigned short, string)

bool dtconvert(int& target, string const& source, int, const dtArgs&) {
    return textToSigned(target, source);
}
ZV_DTCONVERT_VARIADIC(int, string)

bool dtconvert(unsigned int& target, string const& source, int, const dtArgs&) {
    return textToUnsigned(target, source);
}
ZV_DTCONVERT_VARIADIC(unsigned int, string)

bool dtconvert(long& target, string const& source, int, const dtArgs&) {
    return textToSigned(target, source);
}
ZV_DTCONVERT_VARIADIC(long, string)

bool dtconvert(unsigned long& target, string const& source, int, const dtArgs&) {
    return textToUnsigned(target, source);
}
ZV_DTCONVERT_VARIADIC(unsigned long, string)

bool dtconvert(float& target, string const& source, int, const dtArgs&) {
    return textToFloat(target, source);
}
ZV_DTCONVERT_VARIADIC(float, string)

bool dtconvert(double& target, string const& source, int, const dtArgs&) {
    return textToDouble(target, source);
}
ZV_DTCONVERT_VARIADIC(double, string)

bool dtconvert(bool& target, string const& source, int, const dtArgs&) {
    return textToBool(target, source);
}
ZV_DTCONVERT_VARIADIC(bool, string)

// Characters and texts. Narrow text is ANSI code page text.
bool dtconvert(string& target, char const& source, int, const dtArgs&) {
    const auto byte = static_cast<unsigned char>(source);
    if (byte < 0x80) {
        target = static_cast<wchar_t>(byte);
        return true;
    }
    std::wstring wide;
    if (!fromCodePage(std::string(1, source), ansiCodePage(), wide) || wide.empty())
        return false;
    target = std::move(wide);
    return true;
}
ZV_DTCONVERT_VARIADIC(string, char)

bool dtconvert(string& target, wchar_t const* const& source, int, const dtArgs&) {
    target = source; // null gives the empty text
    return true;
}
ZV_DTCONVERT_VARIADIC(string, wchar_t const*)

bool dtconvert(string& target, std::string const& source, int, const dtArgs&) {
    std::wstring wide;
    if (!source.empty() && !fromCodePage(source, ansiCodePage(), wide))
        return false;
    target = std::move(wide);
    return true;
}
ZV_DTCONVERT_VARIADIC(string, std::string)

bool dtconvert(string& target, char const* const& source, int flags, const dtArgs& args) {
    return dtconvert(target, std::string(source ? source : ""), flags, args);
}
ZV_DTCONVERT_VARIADIC(string, char const*)

bool dtconvert(string& target, std::wstring const& source, int, const dtArgs&) {
    target = source;
    return true;
}
ZV_DTCONVERT_VARIADIC(string, std::wstring)

bool dtconvert(std::wstring& target, string const& source, int, const dtArgs&) {
    target = source;
    return true;
}
ZV_DTCONVERT_VARIADIC(std::wstring, string)

bool dtconvert(std::string& target, string const& source, int, const dtArgs&) {
    std::string narrow;
    if (!source.empty() && !toCodePage(source, ansiCodePage(), narrow))
        return false;
    target = std::move(narrow);
    return true;
}
ZV_DTCONVERT_VARIADIC(std::string, string)

// ---- numbers typed by a user ------------------------------------------

bool uiStringToDouble(double& value, const string& text) {
    string copy = text;
    const wchar_t point = runtimeDecimalPoint();
    if (point != L'.')
        std::replace(copy.begin(), copy.end(), point, L'.');
    const expression e(copy.c_str());
    if (!e.isValid())
        return false;
    value = e.result();
    return true;
}

bool uiStringToInt(long& value, const string& text) {
    double parsed = 0;
    if (!uiStringToDouble(parsed, text))
        return false;
    long rounded = 0;
    if (!numberToNumber(rounded, round0(parsed)))
        return false; // beyond the range of long: keep the value
    value = rounded;
    return true;
}

bool formatUiDoubleString(string& text, int decimals) {
    double value = 0;
    if (!uiStringToDouble(value, text))
        return false;
    const int flags = dtUserLocale | (decimals >= 0 ? dtCount : 0);
    return dtconvert(text, value, flags, dtArgs{0, decimals});
}

bool formatUiIntString(string& text) {
    long value = 0;
    if (!uiStringToInt(value, text))
        return false;
    return dtconvert(text, value, 0, dtArgs{});
}

#undef ZV_DT_INTEGER_TO_TEXT
#undef ZV_DT_FROM_INTEGERS
#undef ZV_DT_NUMBER
#undef ZV_DT_VARIADIC

} // namespace zv
