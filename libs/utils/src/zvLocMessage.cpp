#include "zvLocMessage.h"

#include "zvCodePage.h"
#include "zvFormat.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

namespace zv {

namespace {

// Message texts are edited by people; no conversion in them is trusted.
// Widths and precisions are cut to this many characters, so a text like
// "%999999999d" cannot make a message grow without bound.
constexpr int kMaxWidth = 1024;
// A conversion longer than this (from "%" to its conversion character) is
// no conversion at all and stays in the text as written.
constexpr std::size_t kMaxSpecLength = 15;

enum class eKind { character, integer, floating, text, other };
enum class eSize { normal, shortSize, longSize };

/// One printf conversion found in a text, already taken apart.
struct convSpec {
    std::size_t pos = 0; // of the "%"
    std::size_t length = 0;
    std::wstring flags;
    int width = -1;     // -1: none
    int precision = -1; // -1: none
    eSize size = eSize::normal;
    wchar_t conversion = L's';
    eKind kind = eKind::text;
};

bool isFlag(wchar_t c) {
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0';
}

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

eKind kindOf(wchar_t c) {
    switch (c) {
    case L'c':
        return eKind::character;
    case L'd':
    case L'i':
    case L'o':
    case L'u':
    case L'x':
    case L'X':
        return eKind::integer;
    case L'e':
    case L'E':
    case L'f':
    case L'F':
    case L'g':
    case L'G':
    case L'a':
    case L'A':
        return eKind::floating;
    case L's':
        return eKind::text;
    default: // "C", "S", and "n" and "p", which never format a value here
        return eKind::other;
    }
}

bool isConversion(wchar_t c) {
    return c != 0 && std::wstring_view(L"cCdiouxXeEfFgGaAsSnp").find(c) != std::wstring_view::npos;
}

/// Reads a run of digits at `i`, capped at kMaxWidth.
int readNumber(const wchar_t* s, std::size_t& i, std::size_t end) {
    int value = 0;
    while (i < end && isDigit(s[i])) {
        value = value * 10 + (s[i] - L'0');
        if (value > kMaxWidth)
            value = kMaxWidth;
        ++i;
    }
    return value;
}

/// Takes apart the conversion starting with the "%" at `at`; false when
/// the characters there form none.
bool parseConversion(const wchar_t* s, std::size_t at, std::size_t end, convSpec& spec) {
    spec = convSpec();
    spec.pos = at;
    std::size_t i = at + 1;
    while (i < end && isFlag(s[i])) {
        if (spec.flags.find(s[i]) == std::wstring::npos)
            spec.flags.push_back(s[i]);
        ++i;
    }
    if (i < end && s[i] == L'*') {
        ++i; // a width taken from an argument: there is none here, so none is used
    } else if (i < end && isDigit(s[i])) {
        spec.width = readNumber(s, i, end);
    }
    if (i < end && s[i] == L'.') {
        ++i;
        if (i < end && s[i] == L'*')
            ++i;
        else
            spec.precision = readNumber(s, i, end); // "." alone means 0
    }
    bool sawShort = false, sawLong = false;
    while (i < end) {
        const wchar_t c = s[i];
        if (c == L'h') {
            sawShort = true;
        } else if (c == L'l') {
            sawLong = true;
        } else if (c == L'L' || c == L'j' || c == L'z' || c == L't' || c == L'w' || c == L'q') {
        } else if (c == L'I') {
            if (i + 2 < end &&
                ((s[i + 1] == L'6' && s[i + 2] == L'4') || (s[i + 1] == L'3' && s[i + 2] == L'2')))
                i += 2;
        } else {
            break;
        }
        ++i;
    }
    if (i >= end || !isConversion(s[i]))
        return false;
    spec.length = i + 1 - at;
    if (spec.length > kMaxSpecLength)
        return false;
    spec.size = sawShort ? eSize::shortSize : (sawLong ? eSize::longSize : eSize::normal);
    spec.conversion = s[i];
    spec.kind = kindOf(s[i]);
    return true;
}

/// The first conversion in [begin, end) of `s`: a "%" not followed by "%".
bool findConversion(const wchar_t* s, std::size_t begin, std::size_t end, convSpec& spec) {
    for (std::size_t i = begin; i < end; ++i) {
        if (s[i] != L'%')
            continue;
        if (i + 1 < end && s[i + 1] == L'%') {
            ++i; // "%%" stands for a percent sign
            continue;
        }
        if (parseConversion(s, i, end, spec))
            return true;
    }
    return false;
}

/// A safe format for one argument: the flags, width and precision that were
/// written, the size modifier and conversion character chosen by the caller.
std::wstring rebuild(const convSpec& spec, const wchar_t* size, wchar_t conversion, bool precision) {
    std::wstring fmt = L"%" + spec.flags;
    if (spec.width >= 0)
        fmt += std::to_wstring(spec.width);
    if (precision && spec.precision >= 0)
        fmt += L"." + std::to_wstring(spec.precision);
    fmt += size;
    fmt += conversion;
    return fmt;
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

/// A text read like "%ld": blanks, a sign and decimal digits, saturated to
/// the range of `long`; 0 when there are no digits. Independent of the locale.
long readLong(const zv::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    unsigned long long magnitude = 0;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(std::numeric_limits<long>::max()) + 1
                 : static_cast<unsigned long long>(std::numeric_limits<long>::max());
    for (; i < text.size() && isDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + static_cast<unsigned long long>(text[i] - L'0');
        if (magnitude > limit)
            magnitude = limit;
    }
    if (negative)
        return magnitude == limit ? std::numeric_limits<long>::min() : -static_cast<long>(magnitude);
    return static_cast<long>(magnitude);
}

bool startsWithNoCase(const zv::string& text, std::size_t at, const char* word) {
    for (std::size_t k = 0; word[k] != 0; ++k) {
        if (at + k >= text.size())
            return false;
        wchar_t c = text[at + k];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != static_cast<wchar_t>(word[k]))
            return false;
    }
    return true;
}

/// A text read like "%lf": blanks, a sign, digits with "." as the decimal
/// point and an exponent, or "inf"/"infinity"/"nan"; 0 when nothing fits.
/// Independent of the locale.
double readDouble(const zv::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    if (startsWithNoCase(text, i, "inf"))
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    if (startsWithNoCase(text, i, "nan"))
        return std::numeric_limits<double>::quiet_NaN();
    std::string digits;
    std::size_t mantissa = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++mantissa)
        digits.push_back(static_cast<char>(text[i]));
    if (i < text.size() && text[i] == L'.') {
        digits.push_back('.');
        for (++i; i < text.size() && isDigit(text[i]); ++i, ++mantissa)
            digits.push_back(static_cast<char>(text[i]));
    }
    if (mantissa == 0)
        return 0.0;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-'))
            exponent.push_back(static_cast<char>(text[j++]));
        const std::size_t firstDigit = j;
        for (; j < text.size() && isDigit(text[j]); ++j)
            exponent.push_back(static_cast<char>(text[j]));
        if (j > firstDigit)
            digits += exponent;
    }
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone; scanf answers HUGE_VAL or 0
        const bool tiny = digits.find("e-") != std::string::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

/// A double as an integer: truncated toward zero and saturated to `long`.
long doubleToLong(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<long>::max()))
        return std::numeric_limits<long>::max();
    if (value <= static_cast<double>(std::numeric_limits<long>::min()))
        return std::numeric_limits<long>::min();
    return static_cast<long>(value);
}

/// The low 8 bits of a number as a character: below 128 the character of
/// that code, above as a byte of the ANSI code page (as narrow text is read
/// everywhere in the library).
wchar_t byteToChar(long long value) {
    const auto byte = static_cast<unsigned char>(value & 0xFF);
    if (byte < 0x80)
        return static_cast<wchar_t>(byte);
    std::wstring wide;
    if (!fromCodePage(std::string(1, static_cast<char>(byte)), ansiCodePage(), wide) || wide.empty())
        return L'?';
    return wide[0];
}

/// One value to insert, with the type the caller gave it.
struct paramValue {
    enum eType { tText, tBool, tWchar, tShort, tInt, tLong, tDouble };
    eType type = tText;
    zv::string text;
    long long integer = 0;
    double number = 0.0;

    static paramValue ofText(const wchar_t* value) {
        paramValue v;
        v.text = value; // null gives the empty text
        return v;
    }
    static paramValue ofInteger(eType type, long long value) {
        paramValue v;
        v.type = type;
        v.integer = value;
        return v;
    }
};

std::wstring formatText(const convSpec& spec, const wchar_t* text) {
    std::wstring out;
    appendFormat(out, rebuild(spec, L"", L's', true).c_str(), text);
    return out;
}

std::wstring formatCharacter(const convSpec& spec, wchar_t c) {
    std::wstring out;
    appendFormat(out, rebuild(spec, L"", L'c', false).c_str(), static_cast<int>(c));
    return out;
}

/// Integers: the size written in the conversion decides the width of the
/// printed value ("%hx" shows 16 bits). A value that is a `long` (or was
/// read as one) keeps its full width under a plain "%d", as on Windows,
/// where `int` and `long` are the same.
std::wstring formatInteger(const convSpec& spec, long long value, bool isLong) {
    const bool isSigned = spec.conversion == L'd' || spec.conversion == L'i';
    std::wstring out;
    if (spec.size == eSize::shortSize) {
        const int v = isSigned ? static_cast<int>(static_cast<short>(value))
                               : static_cast<int>(static_cast<unsigned short>(value));
        appendFormat(out, rebuild(spec, L"h", spec.conversion, true).c_str(), v);
    } else if (spec.size == eSize::longSize || isLong) {
        const std::wstring fmt = rebuild(spec, L"l", spec.conversion, true);
        if (isSigned)
            appendFormat(out, fmt.c_str(), static_cast<long>(value));
        else
            appendFormat(out, fmt.c_str(), static_cast<unsigned long>(value));
    } else {
        const std::wstring fmt = rebuild(spec, L"", spec.conversion, true);
        if (isSigned)
            appendFormat(out, fmt.c_str(), static_cast<int>(value));
        else
            appendFormat(out, fmt.c_str(), static_cast<unsigned int>(value));
    }
    return out;
}

std::wstring formatFloating(const convSpec& spec, double value) {
    std::wstring out;
    appendFormat(out, rebuild(spec, L"", spec.conversion, true).c_str(), value);
    return out;
}

/// The value formatted by the conversion's kind.
std::wstring formatValue(const convSpec& spec, const paramValue& v) {
    switch (spec.kind) {
    case eKind::other:
        return std::wstring();
    case eKind::character:
        switch (v.type) {
        case paramValue::tText:
            return formatText(convSpec{0, 0, spec.flags, spec.width, -1, eSize::normal, L's', eKind::text},
                              v.text.c_str());
        case paramValue::tBool:
            return formatCharacter(spec, v.integer ? L'1' : L'0');
        case paramValue::tDouble:
            return formatCharacter(spec, byteToChar(doubleToLong(v.number)));
        default:
            return formatCharacter(spec, byteToChar(v.integer));
        }
    case eKind::integer:
        switch (v.type) {
        case paramValue::tText:
            return formatInteger(spec, readLong(v.text), true);
        case paramValue::tDouble:
            return formatInteger(spec, doubleToLong(v.number), true);
        default:
            return formatInteger(spec, v.integer, v.type == paramValue::tLong);
        }
    case eKind::floating:
        switch (v.type) {
        case paramValue::tText:
            return formatFloating(spec, readDouble(v.text));
        case paramValue::tDouble:
            return formatFloating(spec, v.number);
        default:
            return formatFloating(spec, static_cast<double>(v.integer));
        }
    case eKind::text:
        break;
    }
    std::wstring shown;
    switch (v.type) {
    case paramValue::tText:
        return formatText(spec, v.text.c_str());
    case paramValue::tBool:
        return formatText(spec, v.integer ? L"True" : L"False");
    case paramValue::tShort:
        appendFormat(shown, L"%hd", static_cast<int>(v.integer));
        break;
    case paramValue::tWchar:
    case paramValue::tInt:
        appendFormat(shown, L"%d", static_cast<int>(v.integer));
        break;
    case paramValue::tLong:
        appendFormat(shown, L"%ld", static_cast<long>(v.integer));
        break;
    case paramValue::tDouble:
        appendFormat(shown, L"%lf", v.number);
        break;
    }
    return formatText(spec, shown.c_str());
}

/// The place of the named placeholder "[name]" or "[name:%spec]"; the
/// characters between the brackets are cut at their last ":" and compared
/// with `name`. A "[" right after a backslash opens no placeholder.
bool findNamed(const std::wstring& text, const wchar_t* name, std::size_t& begin, std::size_t& end) {
    const std::wstring_view wanted(name);
    std::size_t open = text.find(L'[');
    while (open != std::wstring::npos) {
        if (open == 0 || text[open - 1] != L'\\') {
            const std::size_t close = text.find(L']', open + 1);
            if (close == std::wstring::npos)
                return false; // no "]" left for any later "[" either
            std::wstring_view inside(text.data() + open + 1, close - open - 1);
            const std::size_t colon = inside.rfind(L':');
            if (colon != std::wstring_view::npos)
                inside = inside.substr(0, colon);
            if (inside == wanted) {
                begin = open;
                end = close + 1;
                return true;
            }
        }
        open = text.find(L'[', open + 1);
    }
    return false;
}

/// The place of the positional placeholder for `counter`: a "$" whose
/// digits, read one at a time, reach the counter's value ("$1" of "$10"
/// when the counter is 1).
bool findPositional(const std::wstring& text, int counter, std::size_t& begin, std::size_t& end) {
    for (std::size_t dollar = text.find(L'$'); dollar != std::wstring::npos;
         dollar = text.find(L'$', dollar + 1)) {
        long long value = 0;
        for (std::size_t i = dollar + 1; i < text.size() && isDigit(text[i]); ++i) {
            value = value * 10 + (text[i] - L'0');
            if (value == counter) {
                begin = dollar;
                end = i + 1;
                return true;
            }
            if (value > counter)
                break; // more digits only make it larger
        }
    }
    return false;
}

} // namespace

namespace {

bool insertValue(std::wstring& text, int& counter, const wchar_t* name, const paramValue& value) {
    std::size_t begin = 0, end = 0;
    bool found;
    if (name != nullptr) {
        found = findNamed(text, name, begin, end);
    } else {
        if (counter < std::numeric_limits<int>::max())
            ++counter;
        found = findPositional(text, counter, begin, end);
    }
    convSpec spec;
    if (found) {
        if (!findConversion(text.data(), begin, end, spec)) {
            spec = convSpec(); // "%s"
        }
    } else {
        if (!findConversion(text.data(), 0, text.size(), spec))
            return false;
        begin = spec.pos;
        end = spec.pos + spec.length;
    }
    const std::wstring formatted = formatValue(spec, value);
    text.replace(begin, end - begin, formatted);
    return true;
}

} // namespace

locMessage::locMessage(const wchar_t* text) {
    setMessage(text);
}

void locMessage::setMessage(const wchar_t* text) {
    assign(text ? text : L"");
    m_counter = 0;
    m_state = msNone;
    if (size() >= 2 && (*this)[1] == L':') {
        switch ((*this)[0]) {
        case L'E':
        case L'e':
            m_state = msError;
            break;
        case L'W':
        case L'w':
            m_state = msWarning;
            break;
        case L'I':
        case L'i':
            m_state = msInformation;
            break;
        default:
            break;
        }
        erase(0, 2);
    }
    deleteLeading(std::wstring(L" "));
}

bool locMessage::insertParameter(const wchar_t* value, const wchar_t* name) {
    return insertValue(*this, m_counter, name, paramValue::ofText(value));
}

bool locMessage::insertParameter(wchar_t value, const wchar_t* name) {
    return insertValue(*this, m_counter, name,
                       paramValue::ofInteger(paramValue::tWchar, static_cast<long long>(value)));
}

bool locMessage::insertParameter(bool value, const wchar_t* name) {
    return insertValue(*this, m_counter, name, paramValue::ofInteger(paramValue::tBool, value ? 1 : 0));
}

bool locMessage::insertParameter(short value, const wchar_t* name) {
    return insertValue(*this, m_counter, name, paramValue::ofInteger(paramValue::tShort, value));
}

bool locMessage::insertParameter(int value, const wchar_t* name) {
    return insertValue(*this, m_counter, name, paramValue::ofInteger(paramValue::tInt, value));
}

bool locMessage::insertParameter(long value, const wchar_t* name) {
    return insertValue(*this, m_counter, name, paramValue::ofInteger(paramValue::tLong, value));
}

bool locMessage::insertParameter(double value, const wchar_t* name) {
    paramValue v;
    v.type = paramValue::tDouble;
    v.number = value;
    return insertValue(*this, m_counter, name, v);
}

bool locMessage::insertParameter(const locMessage& value, const wchar_t* name) {
    paramValue v;
    v.text = static_cast<const std::wstring&>(value); // a copy: `value` may be this message
    return insertValue(*this, m_counter, name, v);
}

bool locMessage::appendEndline() {
    push_back(L'\n');
    return true;
}

bool locMessage::prependEndline() {
    insert(0, 1, L'\n');
    return true;
}

} // namespace zv
