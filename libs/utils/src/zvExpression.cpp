// A recursive-descent evaluator over the text of one expression. All of its
// state lives in one `evaluator` on the caller's stack, so evaluations on
// different threads share nothing. A failing step throws its error code as
// an `int`, which `expression::evaluate` catches.
#include "zvExpression.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <type_traits>

namespace zv {

namespace {

enum eToken { tNumber, tPlus, tMinus, tTimes, tDivide, tPower, tOpen, tClose, tEnd };

constexpr int kMaxNumberLength = 98;
constexpr int kMaxExponent = 1024;
constexpr int kDecimalPointUnknown = -1;
constexpr int kNoDecimalPoint = -2;

using codeUnit = std::uint32_t;

bool isDigit(codeUnit c) {
    return c - '0' < 10u;
}

// The whitespace of the "C" locale; nothing outside ASCII counts.
bool isSpace(codeUnit c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// ASCII characters that could be the runtime's decimal point: printable,
// and none of those that already mean something to a number or an operator.
constexpr bool mayBeDecimalPointAscii(unsigned c) {
    if (c <= ' ' || c >= 0x7F || (c >= '0' && c <= '9'))
        return false;
    for (const char* p = "eE+-*/^().,"; *p; ++p) {
        if (c == static_cast<unsigned char>(*p))
            return false;
    }
    return true;
}

constexpr auto kMayBeDecimalPoint = [] {
    struct table {
        bool value[128] = {};
    } t;
    for (unsigned c = 0; c < 128; ++c)
        t.value[c] = mayBeDecimalPointAscii(c);
    return t;
}();

bool mayBeDecimalPoint(codeUnit c) {
    return c < 128 && kMayBeDecimalPoint.value[c];
}

// Exact powers of ten as doubles.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The value of a number text when it can be had with one correctly rounded
// operation: at most 15 significant digits (exact in a double) scaled by an
// exactly representable power of ten. Reads like strtod: digits, one ".",
// digits, an exponent; anything else ends the value.
bool quickValue(const char* text, int length, double& value) {
    const char* p = text;
    const char* const end = text + length;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int scale = 0;
    const auto take = [&](char c) {
        if (digits == 0 && c == '0')
            return true; // leading zeros do not count
        if (++digits > 15)
            return false;
        mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
        return true;
    };
    for (; p < end && isDigit(static_cast<unsigned char>(*p)); ++p) {
        if (!take(*p))
            return false;
    }
    if (p < end && *p == '.') {
        for (++p; p < end && isDigit(static_cast<unsigned char>(*p)); ++p) {
            if (!take(*p))
                return false;
            --scale;
        }
    }
    if (p < end && *p == 'e') {
        ++p;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+'))
            ++p;
        int exponent = 0;
        for (; p < end; ++p) {
            if (!isDigit(static_cast<unsigned char>(*p)))
                break;
            if (exponent > 1000)
                return false;
            exponent = exponent * 10 + (*p - '0');
        }
        scale += negative ? -exponent : exponent;
    }
    if (mantissa == 0) {
        value = 0.0;
        return true;
    }
    if (scale < -22 || scale > 22)
        return false;
    const double m = static_cast<double>(mantissa);
    value = scale >= 0 ? m * kPowersOfTen[scale] : m / kPowersOfTen[-scale];
    return true;
}

// The decimal point of the C runtime, found as printf shows it: 0.1 is
// formatted with "%lf" and the first character from the end that is not a
// digit, an exponent letter or a sign is taken. Only an ASCII character
// counts (a byte of a multibyte decimal point matches no wide character).
int runtimeDecimalPoint() {
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%lf", 0.1);
    for (int i = (n < static_cast<int>(sizeof text) ? n : static_cast<int>(sizeof text) - 1) - 1; i >= 0;
         --i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!isDigit(c) && c != 'E' && c != 'e' && c != '+' && c != '-')
            return c < 0x80 ? c : kNoDecimalPoint;
    }
    return kNoDecimalPoint;
}

class evaluator {
public:
    explicit evaluator(const wchar_t* text) : m_next(text) {}

    double run() {
        m_char = read();
        nextToken();
        return expression();
    }

private:
    // Counts one level of nesting while it lives.
    class nesting {
    public:
        explicit nesting(int& depth) : m_depth(depth) {
            if (++m_depth > zv::expression::maxNesting)
                throw int(zv::expression::eOverflow);
        }
        ~nesting() { --m_depth; }
        nesting(const nesting&) = delete;
        nesting& operator=(const nesting&) = delete;

    private:
        int& m_depth;
    };

    // The next character of the text; 0 from its end on.
    codeUnit read() {
        const codeUnit c = static_cast<std::make_unsigned_t<wchar_t>>(*m_next);
        if (c != 0)
            ++m_next;
        return c;
    }

    bool isSeparator(codeUnit c) {
        if (c == '.' || c == ',')
            return true;
        if (!mayBeDecimalPoint(c))
            return false;
        if (m_decimalPoint == kDecimalPointUnknown) // at most once per evaluation, and rarely
            m_decimalPoint = runtimeDecimalPoint();
        return static_cast<int>(c) == m_decimalPoint;
    }

    void nextToken() {
        while (isSpace(m_char))
            m_char = read();
        eToken t;
        switch (m_char) {
        case '+':
            t = tPlus;
            break;
        case '-':
            t = tMinus;
            break;
        case '*':
            t = tTimes;
            break;
        case '/':
            t = tDivide;
            break;
        case '^':
            t = tPower;
            break;
        case '(':
            t = tOpen;
            break;
        case ')':
            t = tClose;
            break;
        default:
            if (isDigit(m_char) || isSeparator(m_char))
                m_token = readNumber() ? tNumber : tEnd;
            else
                m_token = tEnd; // the end of the text, and every other character
            return;
        }
        m_token = t;
        m_char = read();
    }

    // Reads a number from the current character on into m_number; false
    // when it is malformed. The character after it stays current.
    bool readNumber() {
        enum { sInteger, sLeadingSeparator, sFraction, sExponent, sExponentSign, sExponentDigits } state;
        char text[kMaxNumberLength];
        int length = 0;
        const auto append = [&](char c) {
            if (length == kMaxNumberLength)
                throw int(zv::expression::eBadToken);
            text[length++] = c;
        };
        if (isDigit(m_char)) {
            state = sInteger;
            append(static_cast<char>(m_char));
        } else {
            state = sLeadingSeparator;
            append('.');
        }
        bool negativeExponent = false;
        for (;;) {
            m_char = read();
            const codeUnit c = m_char;
            switch (state) {
            case sInteger:
            case sFraction:
                if (isDigit(c)) {
                    append(static_cast<char>(c));
                } else if (c == 'e' || c == 'E') {
                    append('e');
                    state = sExponent;
                } else if (isSeparator(c)) {
                    append('.');
                    state = sFraction;
                } else {
                    return convert(text, length, negativeExponent);
                }
                break;
            case sLeadingSeparator:
                if (!isDigit(c))
                    return false;
                append(static_cast<char>(c));
                state = sFraction;
                break;
            case sExponent:
                if (c == '+' || c == '-') {
                    append(static_cast<char>(c));
                    negativeExponent = c == '-';
                    state = sExponentSign;
                    break;
                }
                [[fallthrough]];
            case sExponentSign:
                if (!isDigit(c))
                    return false;
                append(static_cast<char>(c));
                state = sExponentDigits;
                break;
            case sExponentDigits:
                if (!isDigit(c))
                    return convert(text, length, negativeExponent);
                append(static_cast<char>(c));
                break;
            }
        }
    }

    bool convert(const char* text, int length, bool negativeExponent) {
        double value = 0.0;
        if (quickValue(text, length, value)) {
            m_number = value;
            return true;
        }
        const auto [end, ec] = std::from_chars(text, text + length, value);
        (void)end; // a second separator ends the value, as it would for wcstod
        if (ec == std::errc::result_out_of_range) {
            // The text has at most 98 characters, so with a negative exponent
            // it can only be too small (it becomes 0), otherwise too large.
            if (!negativeExponent)
                throw int(zv::expression::eOverflow);
            value = 0.0;
        } else if (ec != std::errc()) {
            return false;
        }
        m_number = value;
        return true;
    }

    static int exponentOf(double v) {
        int e = 0;
        std::frexp(v, &e);
        return e;
    }

    static double checkedResult(double v) {
        if (!std::isfinite(v))
            throw int(zv::expression::eOverflow);
        return v;
    }

    double expression() {
        double v = term();
        while (m_token == tPlus || m_token == tMinus) {
            const bool add = m_token == tPlus;
            nextToken();
            const double w = term();
            v = checkedResult(add ? v + w : v - w);
        }
        return v;
    }

    double term() {
        double v = power();
        while (m_token == tTimes || m_token == tDivide) {
            const bool multiply = m_token == tTimes;
            nextToken();
            const double w = power();
            const int ea = exponentOf(v);
            const int eb = exponentOf(w);
            if (multiply) {
                if (std::abs(ea + eb) > kMaxExponent)
                    throw int(zv::expression::eOverflow);
                v *= w;
            } else {
                if (std::abs(ea - eb) > kMaxExponent)
                    throw int(zv::expression::eOverflow);
                if (w == 0.0)
                    throw int(zv::expression::eDivisionByZero);
                v = checkedResult(v / w);
            }
        }
        return v;
    }

    double power() {
        const double base = value();
        if (m_token != tPower)
            return base;
        nesting level(m_depth);
        nextToken();
        const double exponent = power();
        if (base < 0.0 || std::fabs(exponentOf(base) * exponent) > kMaxExponent)
            throw int(zv::expression::eOverflow);
        if (base == 0.0 && exponent < 0.0)
            throw int(zv::expression::eDivisionByZero);
        return checkedResult(std::pow(base, exponent));
    }

    double value() {
        switch (m_token) {
        case tPlus:
        case tMinus: {
            nesting level(m_depth);
            const bool negate = m_token == tMinus;
            nextToken();
            const double v = value();
            return negate ? -v : v;
        }
        case tOpen: {
            nesting level(m_depth);
            nextToken();
            const double v = expression();
            if (m_token != tClose)
                throw int(zv::expression::eMissingParenthesis);
            nextToken();
            return v;
        }
        case tNumber: {
            const double v = m_number;
            nextToken();
            return v;
        }
        default:
            throw int(zv::expression::eMissingParenthesis);
        }
    }

    const wchar_t* m_next;
    codeUnit m_char = 0;
    eToken m_token = tEnd;
    double m_number = 0.0;
    int m_depth = 0;
    int m_decimalPoint = kDecimalPointUnknown;
};

} // namespace

expression::expression(const wchar_t* text) : m_text(text), m_result(0.0), m_error(eBadToken) {
    evaluate();
}

expression::expression(const expression& other) = default;

expression& expression::operator=(const expression& other) {
    if (this != &other) {
        m_text = other.m_text;
        m_result = other.m_result;
        m_error = other.m_error;
    }
    return *this;
}

expression& expression::operator=(const wchar_t* text) {
    m_text = text;
    evaluate();
    return *this;
}

expression::~expression() = default;

void expression::evaluate() {
    m_result = 0.0;
    m_error = eBadToken;
    try {
        evaluator e(m_text.c_str());
        const double v = e.run();
        m_result = v;
        m_error = eNone;
    } catch (int code) {
        m_error = code;
    }
}

const wchar_t* expression::errorText(int code) noexcept {
    static const wchar_t* const texts[] = {
        L"",
        L"A bad token was found",
        L"Internal error in getnumber()",
        L"Internal error in value()",
        L"Internal error in power()",
        L"Internal error in factor()",
        L"Internal error in expression()",
        L"Missing closing parenthesis",
        L"Overflow in expression",
        L"Division by zero error",
    };
    return code >= 0 && code < static_cast<int>(sizeof texts / sizeof texts[0]) ? texts[code] : L"";
}

} // namespace zv
