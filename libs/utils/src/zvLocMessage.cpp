#include "zvLocMessage.h"

#include "zvCodePage.h"
#include "zvFormat.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

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
long readLong(std::wstring_view text) {
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

bool startsWithNoCase(std::wstring_view text, std::size_t at, const char* word) {
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
double readDouble(std::wstring_view text) {
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
std::wstring formatValue(const convSpec& spec, const locParameter& given) {
    locParameter v = given;
    if (v.text == nullptr) // the fields are public; a null text is the empty one
        v.text = L"";
    switch (spec.kind) {
    case eKind::other:
        return std::wstring();
    case eKind::character:
        switch (v.type) {
        case locParameter::tText:
            return formatText(convSpec{0, 0, spec.flags, spec.width, -1, eSize::normal, L's', eKind::text},
                              v.text);
        case locParameter::tBool:
            return formatCharacter(spec, v.integer ? L'1' : L'0');
        case locParameter::tDouble:
            return formatCharacter(spec, byteToChar(doubleToLong(v.number)));
        default:
            return formatCharacter(spec, byteToChar(v.integer));
        }
    case eKind::integer:
        switch (v.type) {
        case locParameter::tText:
            return formatInteger(spec, readLong(v.text), true);
        case locParameter::tDouble:
            return formatInteger(spec, doubleToLong(v.number), true);
        default:
            return formatInteger(spec, v.integer, v.type == locParameter::tLong);
        }
    case eKind::floating:
        switch (v.type) {
        case locParameter::tText:
            return formatFloating(spec, readDouble(v.text));
        case locParameter::tDouble:
            return formatFloating(spec, v.number);
        default:
            return formatFloating(spec, static_cast<double>(v.integer));
        }
    case eKind::text:
        break;
    }
    std::wstring shown;
    switch (v.type) {
    case locParameter::tText:
        return formatText(spec, v.text);
    case locParameter::tBool:
        return formatText(spec, v.integer ? L"True" : L"False");
    case locParameter::tShort:
        appendFormat(shown, L"%hd", static_cast<int>(v.integer));
        break;
    case locParameter::tWchar:
    case locParameter::tInt:
        appendFormat(shown, L"%d", static_cast<int>(v.integer));
        break;
    case locParameter::tLong:
        appendFormat(shown, L"%ld", static_cast<long>(v.integer));
        break;
    case locParameter::tDouble:
        appendFormat(shown, L"%lf", v.number);
        break;
    }
    return formatText(spec, shown.c_str());
}

/// A bracket pair that may be a named placeholder: "[" (not after a
/// backslash) up to the next "]", its name cut at the last ":" inside.
struct bracket {
    std::size_t open = 0;
    std::size_t close = 0;
    std::size_t nameEnd = 0;
};

/// Every bracket pair of `text`, by position, in one pass: each "[" waits
/// for the next "]", so a run of "[" shares one "]" without being rescanned.
std::vector<bracket> findBrackets(std::wstring_view text) {
    std::vector<bracket> found;
    std::size_t waiting = 0; // the "[" of found[waiting...] still wait for their "]"
    std::size_t lastColon = std::wstring_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'[' && (i == 0 || text[i - 1] != L'\\')) {
            found.push_back(bracket{i, 0, 0});
        } else if (c == L':') {
            lastColon = i;
        } else if (c == L']') {
            for (; waiting < found.size(); ++waiting) {
                bracket& b = found[waiting];
                b.close = i;
                b.nameEnd = (lastColon != std::wstring_view::npos && lastColon > b.open) ? lastColon : i;
            }
        }
    }
    found.resize(waiting); // a "[" without a "]" after it is no placeholder
    return found;
}

/// The places already taken in one insertion, disjoint, by their start.
class claimedPlaces {
public:
    bool overlaps(std::size_t begin, std::size_t end) const {
        auto it = m_places.lower_bound(end);
        if (it == m_places.begin())
            return false;
        --it; // the last place starting before `end`; earlier ones end before it
        return it->second.end > begin;
    }
    /// The end of the place holding `at`, or `at` when none does.
    std::size_t skip(std::size_t at) const {
        auto it = m_places.upper_bound(at);
        if (it == m_places.begin())
            return at;
        --it;
        return it->second.end > at ? it->second.end : at;
    }
    void add(std::size_t begin, std::size_t end, std::wstring value) {
        m_places.emplace(begin, place{end, std::move(value)});
    }
    std::size_t size() const { return m_places.size(); }

    /// `text` with every place replaced by its value.
    std::wstring spliceInto(std::wstring_view text) const {
        std::size_t length = text.size();
        for (const auto& [begin, p] : m_places)
            length = length - (p.end - begin) + p.value.size();
        std::wstring out;
        out.reserve(length);
        std::size_t from = 0;
        for (const auto& [begin, p] : m_places) {
            out.append(text.substr(from, begin - from));
            out.append(p.value);
            from = p.end;
        }
        out.append(text.substr(from));
        return out;
    }

private:
    struct place {
        std::size_t end;
        std::wstring value;
    };
    std::map<std::size_t, place> m_places;
};

/// The first bracket named `name` that no other value took.
bool findNamed(std::wstring_view text, const std::vector<bracket>& brackets, const claimedPlaces& claimed,
               std::wstring_view name, std::size_t& begin, std::size_t& end) {
    for (const bracket& b : brackets) {
        if (b.nameEnd - b.open - 1 != name.size() || text.substr(b.open + 1, name.size()) != name ||
            claimed.overlaps(b.open, b.close + 1))
            continue;
        begin = b.open;
        end = b.close + 1;
        return true;
    }
    return false;
}

/// The place of the positional placeholder for `counter`: a "$" whose
/// digits, read one at a time, reach the counter's value ("$1" of "$10"
/// when the counter is 1).
bool findPositional(std::wstring_view text, const claimedPlaces& claimed, int counter, std::size_t& begin,
                    std::size_t& end) {
    for (std::size_t dollar = text.find(L'$'); dollar != std::wstring_view::npos;
         dollar = text.find(L'$', dollar + 1)) {
        long long value = 0;
        for (std::size_t i = dollar + 1; i < text.size() && isDigit(text[i]); ++i) {
            value = value * 10 + (text[i] - L'0');
            if (value == counter) {
                if (claimed.overlaps(dollar, i + 1))
                    break;
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

/// The first conversion at or after `from` outside every claimed place.
bool findFreeConversion(std::wstring_view text, const claimedPlaces& claimed, std::size_t from,
                        convSpec& spec) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] != L'%')
            continue;
        const std::size_t after = claimed.skip(i);
        if (after != i) {
            i = after - 1;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == L'%') {
            ++i; // "%%" stands for a percent sign
            continue;
        }
        if (parseConversion(text.data(), i, text.size(), spec) && !claimed.overlaps(i, i + spec.length))
            return true;
    }
    return false;
}

/// Inserts `values` into `text` in one pass; `counter` counts the
/// positional ones. Answers how many found a place.
std::size_t insertAll(std::wstring& text, int& counter, std::span<const locParameter> values) {
    const std::wstring_view original(text);
    claimedPlaces claimed;
    std::vector<bracket> brackets;
    bool bracketsFound = false;
    std::vector<const locParameter*> unplaced;

    // Named and positional places first, in list order.
    for (const locParameter& value : values) {
        std::size_t begin = 0, end = 0;
        bool found;
        if (value.name != nullptr) {
            if (!bracketsFound) {
                brackets = findBrackets(original);
                bracketsFound = true;
            }
            found = findNamed(original, brackets, claimed, value.name, begin, end);
        } else {
            if (counter < std::numeric_limits<int>::max())
                ++counter;
            found = findPositional(original, claimed, counter, begin, end);
        }
        if (!found) {
            unplaced.push_back(&value);
            continue;
        }
        convSpec spec;
        if (!findConversion(original.data(), begin, end, spec))
            spec = convSpec(); // "%s"
        claimed.add(begin, end, formatValue(spec, value));
    }

    // The rest take the conversions left outside those places, in turn.
    std::size_t from = 0;
    for (const locParameter* value : unplaced) {
        convSpec spec;
        if (!findFreeConversion(original, claimed, from, spec))
            break;
        from = spec.pos + spec.length;
        claimed.add(spec.pos, from, formatValue(spec, *value));
    }

    if (claimed.size() != 0)
        text = claimed.spliceInto(original);
    return claimed.size();
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
    return insertParameters({locParameter(value, name)}) != 0;
}

bool locMessage::insertParameter(wchar_t value, const wchar_t* name) {
    return insertParameters({locParameter(value, name)}) != 0;
}

bool locMessage::insertParameter(bool value, const wchar_t* name) {
    return insertParameters({locParameter(value, name)}) != 0;
}

bool locMessage::insertParameter(short value, const wchar_t* name) {
    return insertParameters({locParameter(value, name)}) != 0;
}

bool locMessage::insertParameter(int value, const wchar_t* name) {
    return insertParameters({locParameter(value, name)}) != 0;
}

bool locMessage::insertParameter(long value, const wchar_t* name) {
    return insertParameters({locParameter(value, name)}) != 0;
}

bool locMessage::insertParameter(double value, const wchar_t* name) {
    return insertParameters({locParameter(value, name)}) != 0;
}

bool locMessage::insertParameter(const locMessage& value, const wchar_t* name) {
    // A copy: `value` may be this message, which the insertion replaces.
    const std::wstring copy(value.c_str());
    return insertParameters({locParameter(copy, name)}) != 0;
}

std::size_t locMessage::insertParameters(std::span<const locParameter> parameters) {
    return insertAll(*this, m_counter, parameters);
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
