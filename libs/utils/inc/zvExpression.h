// zvExpression.h - an arithmetic formula evaluated from text.
//
//     zv::expression e(L"2*(3+4)^2/1.5e1");
//     if (e.isValid())
//         use(e.result());                              // 6.5333...
//     else
//         report(zv::expression::errorText(e.error()));
//
// The text is evaluated when it is given (construction, assignment of text);
// the expression then keeps the text, the result and an error code. Copies
// take over the stored outcome without evaluating again.
//
// Grammar (whitespace is skipped before every token and ends a number):
//
//     expression = term { ("+" | "-") term }
//     term       = power { ("*" | "/") power }
//     power      = value [ "^" power ]                  right-associative
//     value      = ("+" | "-") value | "(" expression ")" | number
//
// A sign binds tighter than "^": "-2^2" is (-2)^2, which fails (a negative
// base), while "0-2^2" is -4. Text after a complete expression is not looked
// at: "2 3" and "2)" both give 2, though the one token after the expression
// is still read (so an over-long number there fails the evaluation).
//
// Numbers: ASCII digits with at most one "." or "," as the decimal separator
// (the C runtime's decimal point counts too when it is another ASCII
// character), optionally followed by "e" or "E", an optional sign and digits.
// A separator may lead (".5"). A further separator inside the fraction is
// accepted and ends the value ("1.2.3" reads as 1.2). A number is at most 98
// characters long; a longer one fails with code 1. Characters outside ASCII
// are neither digits nor whitespace: they end a number and, where a token is
// expected, end the expression.
//
// Checks: a*b fails with code 8 when |ea + eb| > 1024, a/b when |ea - eb| >
// 1024 (ea, eb the binary exponents that frexp gives), a^b when a < 0 or
// |ea * b| > 1024; a/0 fails with code 9, and so does 0 raised to a negative
// power. Every result is finite: any step (including + and -) whose result
// would not be fails with code 8, and so does a number too large for a double.
// More than `maxNesting` nested parentheses, signs and powers fail with code 8
// too, instead of exhausting the stack.
//
// Codes 2 to 6 keep their numbers and texts but no text produces them: value
// either yields a number or fails with code 7 itself (or 8 or 9 deeper down),
// so none of the "the operand gave no value" checks above it can fire, and a
// malformed number becomes the end token instead of failing on its own.
//
// Threads: evaluation keeps its state on the caller's stack; any number of
// threads evaluate in parallel without a lock. One expression object is, as
// usual, not to be assigned from two threads at once.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

namespace zv {

/// An arithmetic expression parsed from text and evaluated to a double.
class ZV_API expression {
public:
    /// The error codes.
    enum eError : int {
        eNone = 0,
        eBadToken = 1,           ///< a number longer than 98 characters
        eGetNumber = 2,          ///< never produced (see above)
        eValue = 3,              ///< never produced
        ePower = 4,              ///< never produced
        eFactor = 5,             ///< never produced
        eExpression = 6,         ///< never produced
        eMissingParenthesis = 7, ///< no closing ")", or a value missing where one is needed
        eOverflow = 8,           ///< exponent checks, non-finite results, nesting too deep
        eDivisionByZero = 9,     ///< a/0, and 0 to a negative power
    };

    /// The deepest nesting of parentheses, signs and powers evaluated.
    static constexpr int maxNesting = 256;

    /// Stores `text` and evaluates it; null counts as the empty text.
    expression(const wchar_t* text);
    /// A copy with the same text and result.
    expression(const expression& other);
    /// Takes the text and result of `other`.
    expression& operator=(const expression& other);
    /// Stores `text` and evaluates it again; null counts as the empty text.
    expression& operator=(const wchar_t* text);
    ~expression();

    /// True when the last evaluation succeeded.
    bool isValid() const noexcept { return m_error == eNone; }
    /// The value; 0.0 unless the last evaluation succeeded.
    double result() const noexcept { return m_result; }
    /// The result of the last evaluation.
    operator double() const noexcept { return m_result; }
    /// The formula as given.
    const zv::string& expressionString() const noexcept { return m_text; }
    /// 0 after a successful evaluation, else one of `eError`.
    int error() const noexcept { return m_error; }

    /// The text of an error code ("Division by zero error", ...); the empty
    /// text for 0 and for codes that do not exist.
    static const wchar_t* errorText(int code) noexcept;

private:
    void evaluate();

    zv::string m_text;
    double m_result;
    int m_error;
};

} // namespace zv
