// zvFormat.h - the library's printf-style formatting of wide text.
//
// One engine with the wide printf conventions of the Windows runtime, the
// same on every target (the platform's swprintf is never used), so a format
// written for Windows gives the same text on Linux. It keeps no state between
// calls and uses no shared buffer: any number of threads may format at once.
//
//     std::wstring line;
//     zv::appendFormat(line, L"%-6s|%5.2f|%S", L"id", 3.14159, "narrow");
//     // line == L"id    | 3.14|narrow"
//
// Conversions (flags `-+ #0`, width and precision as numbers or `*`):
//   %d %i %u %o %x %X  integers. Sizes: `hh` char, `h` short, none int,
//                      `l` long, `ll` and `I64` 64-bit, `I32` 32-bit,
//                      `I`, `z`, `t` pointer-sized, `j` intmax_t.
//                      `long` is the real type of the target: 32-bit on
//                      Windows, 64-bit on Linux, so `%ld` must be given a
//                      `long` (use `%lld`/`%I64d` for a 64-bit value anywhere).
//   %s  wide text      (`%hs` narrow, `%ls`/`%ws` wide)
//   %S  narrow text    (`%ls`/`%lS` wide). Narrow text is read by the C
//                      runtime's current multibyte locale; in the "C" locale
//                      every byte is the code unit of the same value.
//   %c  wide character (`%hc` narrow), %C narrow character (`%lc` wide);
//                      both read an `int`, as the arguments are promoted.
//   %f %F %e %E %g %G %a %A  `double` (`%Lf` etc. read a `long double` and
//                      print it with double precision, as the Windows runtime
//                      does). Digits are correctly rounded and identical on
//                      every target, in the C99 form: at least two exponent
//                      digits, "inf", "nan", "-nan", %a as "0x1.8p+1".
//   %p  pointer: 16 upper-case hex digits (`%#p` adds "0X")
//   %%  a percent sign
//   %n  refused: the pointer argument is consumed, nothing is written through
//       it and nothing is printed.
// A null text prints "(null)". A conversion the engine does not know (or a
// format ending inside a conversion) is printed as written, from the `%` on,
// and consumes no argument. Widths and precisions above 1000000 count as
// 1000000. Null `fmt` gives the empty text.
#pragma once

#include "zvDefs.h"

#include <cstdarg>
#include <cstddef>
#include <string>

namespace zv {

/// Size of the fixed formatting buffer of `zv::string::format`: its results
/// hold at most `formatBufferSize - 1` characters.
inline constexpr std::size_t formatBufferSize = 1024;

/// Appends the formatted text to `out`, without a length limit; returns the
/// number of characters appended. `args` is copied, not consumed.
ZV_API std::size_t formatTo(std::wstring& out, const wchar_t* fmt, va_list args);

/// Writes at most `capacity - 1` characters and a terminating NUL into
/// `buffer` (longer output is cut); returns the number of characters written.
/// A zero `capacity` writes nothing. `args` is copied, not consumed.
ZV_API std::size_t formatTo(wchar_t* buffer, std::size_t capacity, const wchar_t* fmt, va_list args);

/// `formatTo(out, fmt, args)` with the arguments given directly.
ZV_API std::size_t appendFormat(std::wstring& out, const wchar_t* fmt, ...);

} // namespace zv
