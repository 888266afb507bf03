// zvDtConvert.h - conversions between the library's basic types: numbers
// among themselves, numbers to and from text, and narrow/wide characters.
//
// Every conversion is an overload of `zv::dtconvert` and has two forms:
//
//     bool dtconvert(To& target, From const& source, int flags, const dtArgs& args);
//     bool dtconvert(To& target, From const& source, int flags = 0, ...);
//
// The first takes the flag values already gathered in a `dtArgs`; the second
// reads one `int` from its variable arguments for each flag bit that needs a
// value, in the order of the bits, and calls the first. Both return true when
// the target holds the converted value.
//
//     zv::string s;
//     zv::dtconvert(s, 255, zv::dtFormat, zv::dtHexUpper);     // "FF"
//     zv::dtconvert(s, 7, zv::dtCount, 3);                     // "007"
//     zv::dtconvert(s, 1.5, zv::dtCount, 2);                   // "1.50"
//     zv::dtconvert(s, 1.5, zv::dtFormat | zv::dtCount, 0, 2); // "1.50" (kind ignored)
//     short v = 0;
//     zv::dtconvert(v, 70000);                                 // false, v == 32767
//
// Numbers among themselves saturate: a source outside the target's range
// (exact comparison, before any truncation) gives the nearest bound and
// false. Floating point to integer truncates toward zero; NaN gives 0 and
// false. To `bool`: true for every non-zero source. Ranges are those of the
// real C++ types: `long` is 32 bits on Windows and 64 bits on Linux.
//
// Integers to text: decimal, or hexadecimal without prefix with `dtFormat`
// and kind `dtHexUpper`/`dtHexLower` (negative values show the two's
// complement bits of their own width: (short)-1 gives "FFFF"). `dtCount`
// asks for a minimum length, filled with "0" after the sign ("-07" for -7
// and 3); at most 1023.
//
// Floating point to text: the correctly rounded digits of "%.Nlf" with 8
// decimals, or `dtCount` decimals (0..10; more count as 10, fewer as 0).
// Without `dtCount`, trailing zeros and then a trailing separator go: 1.5
// gives "1.5", 2.0 gives "2". The separator is ".", or the user's one with
// `dtUserLocale`. NaN and infinities give "nan", "inf", "-inf".
//
// Text to integers: blanks skipped, an optional sign, decimal digits; what
// follows the number is ignored ("  42xyz" reads 42). A number outside the
// target's range gives false and leaves the target unchanged. For the
// unsigned types a "-" negates modulo the type's range ("-1" read as
// `unsigned int` or `unsigned long` gives the type's maximum), except that
// `unsigned short` reads as `unsigned long` and must then lie below 65536.
//
// Text to floating point: blanks, an optional sign, digits with "." or ","
// (or the C runtime's decimal point) as the separator, an optional exponent;
// "inf", "infinity" and "nan" in any case. "1,5" and "1.5" both read 1.5;
// "1,000.5" reads 1 (the second separator ends the number). Beyond the range
// of the target the nearest finite bound is stored and false returned. On
// every other false the target is unchanged.
//
// Text to `bool`: a number (non-zero is true), else "true" or "false" in any
// case, as the whole text.
//
// Numbers are read from a `zv::string` only: a literal such as L"42" does
// not compile as a source for a number.
//
// Narrow text (`char`, `char const*`, `std::string`) is read and written in
// the process's ANSI code page.
//
// None of these functions throws, locks or touches the process's locale.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

#include <cstdarg>
#include <string>

namespace zv {

/// Flag bits of `dtconvert`.
enum eDtFlags : int {
    dtFormat = 1,     ///< takes an int: `dtHexUpper`, `dtHexLower`, anything else decimal
    dtCount = 4,      ///< takes an int: integers: minimum length; floating point: decimals (at most 10)
    dtUserLocale = 8, ///< floating point to text with the user's decimal separator
};

/// Format kinds for `dtFormat`.
enum eDtFormatKind : int { dtHexUpper = 3, dtHexLower = 4 };

/// The values that the flag bits take, already gathered from an argument
/// list: `formatKind` for `dtFormat`, `count` for `dtCount`. Values of bits
/// that are not set are ignored.
struct dtArgs {
    /// The kind of format the arguments were prepared for.
    int formatKind = 0;
    /// The number of arguments.
    int count = 0;
};

/// Gathers the values of `flags` from `args` (one `int` per bit that takes one).
ZV_API dtArgs dtArgsFrom(int flags, va_list args);

/// The user's decimal separator, as `dtUserLocale` uses it.
ZV_API string userDecimalSeparator();

/// The C runtime's decimal point, determined once per process on first need.
ZV_API wchar_t runtimeDecimalPoint();

// Each pair gets both forms; the macro only keeps the list readable.
#define ZV_DTCONVERT_PAIR(To, From)                                                                          \
    ZV_API bool dtconvert(To& target, From const& source, int flags, const dtArgs& args);                    \
    ZV_API bool dtconvert(To& target, From const& source, int flags = 0, ...);

#define ZV_DTCONVERT_FROM_NUMBERS(To)                                                                        \
    ZV_DTCONVERT_PAIR(To, short)                                                                             \
    ZV_DTCONVERT_PAIR(To, unsigned short)                                                                    \
    ZV_DTCONVERT_PAIR(To, int)                                                                               \
    ZV_DTCONVERT_PAIR(To, unsigned int)                                                                      \
    ZV_DTCONVERT_PAIR(To, long)                                                                              \
    ZV_DTCONVERT_PAIR(To, unsigned long)                                                                     \
    ZV_DTCONVERT_PAIR(To, bool)

// Numbers among themselves (the same type to itself is no conversion; there
// is no floating point to `bool`).
ZV_DTCONVERT_FROM_NUMBERS(float)
ZV_DTCONVERT_FROM_NUMBERS(double)
ZV_DTCONVERT_PAIR(float, double)
ZV_DTCONVERT_PAIR(double, float)

#define ZV_DTCONVERT_FROM_ALL(To)                                                                            \
    ZV_DTCONVERT_PAIR(To, short)                                                                             \
    ZV_DTCONVERT_PAIR(To, unsigned short)                                                                    \
    ZV_DTCONVERT_PAIR(To, int)                                                                               \
    ZV_DTCONVERT_PAIR(To, unsigned int)                                                                      \
    ZV_DTCONVERT_PAIR(To, long)                                                                              \
    ZV_DTCONVERT_PAIR(To, unsigned long)                                                                     \
    ZV_DTCONVERT_PAIR(To, float)                                                                             \
    ZV_DTCONVERT_PAIR(To, double)                                                                            \
    ZV_DTCONVERT_PAIR(To, bool)

// For the integer targets the source list includes the target itself; that
// overload is not declared (see zvDtConvert.cpp), so list them one by one.
ZV_DTCONVERT_PAIR(short, unsigned short)
ZV_DTCONVERT_PAIR(short, int)
ZV_DTCONVERT_PAIR(short, unsigned int)
ZV_DTCONVERT_PAIR(short, long)
ZV_DTCONVERT_PAIR(short, unsigned long)
ZV_DTCONVERT_PAIR(short, float)
ZV_DTCONVERT_PAIR(short, double)
ZV_DTCONVERT_PAIR(short, bool)

ZV_DTCONVERT_PAIR(unsigned short, short)
ZV_DTCONVERT_PAIR(unsigned short, int)
ZV_DTCONVERT_PAIR(unsigned short, unsigned int)
ZV_DTCONVERT_PAIR(unsigned short, long)
ZV_DTCONVERT_PAIR(unsigned short, unsigned long)
ZV_DTCONVERT_PAIR(unsigned short, float)
ZV_DTCONVERT_PAIR(unsigned short, double)
ZV_DTCONVERT_PAIR(unsigned short, bool)

ZV_DTCONVERT_PAIR(int, short)
ZV_DTCONVERT_PAIR(int, unsigned short)
ZV_DTCONVERT_PAIR(int, unsigned int)
ZV_DTCONVERT_PAIR(int, long)
ZV_DTCONVERT_PAIR(int, unsigned long)
ZV_DTCONVERT_PAIR(int, float)
ZV_DTCONVERT_PAIR(int, double)
ZV_DTCONVERT_PAIR(int, bool)

ZV_DTCONVERT_PAIR(unsigned int, short)
ZV_DTCONVERT_PAIR(unsigned int, unsigned short)
ZV_DTCONVERT_PAIR(unsigned int, int)
ZV_DTCONVERT_PAIR(unsigned int, long)
ZV_DTCONVERT_PAIR(unsigned int, unsigned long)
ZV_DTCONVERT_PAIR(unsigned int, float)
ZV_DTCONVERT_PAIR(unsigned int, double)
ZV_DTCONVERT_PAIR(unsigned int, bool)

ZV_DTCONVERT_PAIR(long, short)
ZV_DTCONVERT_PAIR(long, unsigned short)
ZV_DTCONVERT_PAIR(long, int)
ZV_DTCONVERT_PAIR(long, unsigned int)
ZV_DTCONVERT_PAIR(long, unsigned long)
ZV_DTCONVERT_PAIR(long, float)
ZV_DTCONVERT_PAIR(long, double)
ZV_DTCONVERT_PAIR(long, bool)

ZV_DTCONVERT_PAIR(unsigned long, short)
ZV_DTCONVERT_PAIR(unsigned long, unsigned short)
ZV_DTCONVERT_PAIR(unsigned long, int)
ZV_DTCONVERT_PAIR(unsigned long, unsigned int)
ZV_DTCONVERT_PAIR(unsigned long, long)
ZV_DTCONVERT_PAIR(unsigned long, float)
ZV_DTCONVERT_PAIR(unsigned long, double)
ZV_DTCONVERT_PAIR(unsigned long, bool)

ZV_DTCONVERT_PAIR(bool, short)
ZV_DTCONVERT_PAIR(bool, unsigned short)
ZV_DTCONVERT_PAIR(bool, int)
ZV_DTCONVERT_PAIR(bool, unsigned int)
ZV_DTCONVERT_PAIR(bool, long)
ZV_DTCONVERT_PAIR(bool, unsigned long)

// Numbers to text and back.
ZV_DTCONVERT_FROM_ALL(string)
ZV_DTCONVERT_PAIR(short, string)
ZV_DTCONVERT_PAIR(unsigned short, string)
ZV_DTCONVERT_PAIR(int, string)
ZV_DTCONVERT_PAIR(unsigned int, string)
ZV_DTCONVERT_PAIR(long, string)
ZV_DTCONVERT_PAIR(unsigned long, string)
ZV_DTCONVERT_PAIR(float, string)
ZV_DTCONVERT_PAIR(double, string)
ZV_DTCONVERT_PAIR(bool, string)

// Characters and texts.
ZV_DTCONVERT_PAIR(string, char)
ZV_DTCONVERT_PAIR(string, wchar_t const*)
ZV_DTCONVERT_PAIR(string, char const*)
ZV_DTCONVERT_PAIR(string, std::wstring)
ZV_DTCONVERT_PAIR(string, std::string)
ZV_DTCONVERT_PAIR(std::wstring, string)
ZV_DTCONVERT_PAIR(std::string, string)

#undef ZV_DTCONVERT_FROM_ALL
#undef ZV_DTCONVERT_FROM_NUMBERS
#undef ZV_DTCONVERT_PAIR

// A bare text literal or pointer would reach a number through the `bool`
// overload; read numbers from a `zv::string` instead.
template <typename To>
bool dtconvert(To& target, wchar_t const* const& source, int flags = 0, ...) = delete;
template <typename To>
bool dtconvert(To& target, char const* const& source, int flags = 0, ...) = delete;

// ---- numbers typed by a user ------------------------------------------

/// Evaluates `text` as an arithmetic expression (the C runtime's decimal
/// point, "." and "," all count as the separator): "2*1,5" gives 3. True when
/// the expression is valid; otherwise `value` is unchanged.
ZV_API bool uiStringToDouble(double& value, const string& text);
/// The same, rounded half away from zero; false (value unchanged) when the
/// result lies outside the range of `long`.
ZV_API bool uiStringToInt(long& value, const string& text);
/// Re-formats a number typed by a user in place: with `decimals` >= 0 that many
/// decimals (at most 10), else up to 8 with trailing zeros removed; the
/// user's decimal separator. False (text unchanged) when it is no valid expression.
ZV_API bool formatUiDoubleString(string& text, int decimals);
/// Re-formats an integer typed by a user in place, in plain decimal.
ZV_API bool formatUiIntString(string& text);

} // namespace zv
