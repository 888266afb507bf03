// zvString.h - the library's text type.
//
// `zv::string` is a `std::wstring` (no data or virtuals of its own) with a few
// extra operations: case conversion, equality with a choice of case
// sensitivity, wildcard matching, deletion at the ends or everywhere,
// replacement, field extraction, splitting, printf-style formatting, ANSI
// code-page conversion and a cyclic XOR scrambling.
//
//     zv::string s = L"  a;b;c ";
//     s.deleteLeading(L" \t").deleteTrailing(L" \t");   // "a;b;c"
//     s.substrBetween(L';', 1);                          // "b"
//     zv::string::sformat(L"%s=%04d", L"id", 42);        // "id=0042"
//
// Elements are `wchar_t`: UTF-16 code units on Windows, UTF-32 code points on
// Linux. No operation treats a surrogate pair as one character.
#pragma once

#include "zvDefs.h"

#include <cstdarg>
#include <string>
#include <type_traits>
#include <vector>

namespace zv {

class testEnv;

/// Wide text: a `std::wstring` with case conversion, matching, deletion, splitting, formatting and code-page
/// conversion.
class ZV_API string : public std::wstring {
public:
    /// A constant empty text, for operations that return a text by reference.
    static const string emptyString;

    string() = default;
    /// A copy.
    string(const string&) = default;
    /// Takes over `other`'s text.
    string(string&&) noexcept = default;
    /// A copy of `text`.
    string(const std::wstring& text) : std::wstring(text) {}
    /// Takes over `text`.
    string(std::wstring&& text) noexcept : std::wstring(std::move(text)) {}
    /// The text of the one given character.
    string(wchar_t c) : std::wstring(1, c) {}
    /// A NUL-terminated text; a null pointer gives the empty text.
    string(const wchar_t* text) : std::wstring(text ? text : L"") {}
    /// The first `count` characters at `text`.
    string(const wchar_t* text, size_type count) : std::wstring(text, count) {}
    /// `count` times `c`.
    string(size_type count, wchar_t c) : std::wstring(count, c) {}
    /// The characters of the range [`first`, `last`).
    template <typename It>
    string(It first, It last) : std::wstring(first, last) {}

    /// Copies `other`'s text.
    string& operator=(const string&) = default;
    /// Takes over `other`'s text.
    string& operator=(string&&) noexcept = default;
    /// Copies `text`.
    string& operator=(const std::wstring& text) {
        std::wstring::operator=(text);
        return *this;
    }
    /// Takes over `text`.
    string& operator=(std::wstring&& text) noexcept {
        std::wstring::operator=(std::move(text));
        return *this;
    }
    /// A null pointer gives the empty text.
    string& operator=(const wchar_t* text) {
        std::wstring::operator=(text ? text : L"");
        return *this;
    }
    /// The one character `c`.
    string& operator=(wchar_t c) {
        std::wstring::operator=(c);
        return *this;
    }

    // ---- case: every code unit through the C runtime's towlower/towupper ----

    /// Lower-cases in place; answers this text.
    string& toLower();
    /// Upper-cases in place; answers this text.
    string& toUpper();
    /// A lower-cased copy.
    string lower() const;
    /// An upper-cased copy.
    string upper() const;
    /// Lower-cases `text` in place.
    static void lowercase(string& text);

    // ---- comparison and matching ----

    /// Equality; `caseSensitive` false compares like `_wcsicmp`: up to the
    /// first NUL of either text, folding A-Z only (C locale).
    bool isEqualTo(const string& other, bool caseSensitive) const;
    /// The same against a NUL-terminated text; null counts as the empty text.
    bool isEqualTo(const wchar_t* other, bool caseSensitive) const;
    /// Whole-text wildcard match: `*` any run, `?` one character, all else
    /// literal and case-sensitive. Text and pattern end at their first NUL.
    bool matches(const std::wstring& pattern) const;

    // ---- deletion ----

    /// Removes the run of `c` at the start; a text made only of `c` is kept.
    string& deleteLeading(wchar_t c);
    /// Removes the run of `c` at the end; a text made only of `c` is kept.
    string& deleteTrailing(wchar_t c);
    /// Removes every `c`.
    string& deleteAll(wchar_t c);
    /// Removes the run of characters from `set` at the start (possibly all).
    string& deleteLeading(const std::wstring& set);
    /// Removes the run of characters from `set` at the end (possibly all).
    string& deleteTrailing(const std::wstring& set);
    /// Removes every character that occurs in `set`.
    string& deleteAll(const std::wstring& set);

    // ---- replacement and extraction ----

    /// Replaces every occurrence of `what`, left to right; inserted text is
    /// never searched again. An empty `what` changes nothing.
    string& replace(const string& what, const string& with);
    /// Replaces every character `what` by `with`.
    string& replace(wchar_t what, wchar_t with);
    using std::wstring::replace;
    /// Field `index` (from 0) of the text split at `separator`; empty when
    /// there are fewer fields.
    string substrBetween(wchar_t separator, unsigned int index) const;

    // ---- formatting (wide printf conventions of Windows on every target) ----

    /// Replaces the content by the formatted text (at most 1023 characters;
    /// a null format gives the empty text). The conventions are those of
    /// zvFormat.h: `%s` wide, `%S` narrow, `%ld` a real `long`, `%n` refused.
    ///
    /// The argument list is taken as written, so a lone `0`, `NULL` or
    /// `nullptr` is an argument like any other ("0", "(null)"), never the
    /// prepared list of the `va_list` forms below. Arguments must be numbers,
    /// characters, enumerations or pointers: pass a text as `c_str()`.
    ///
    /// Beware on Windows, where `va_list` is `char*`: a call whose only
    /// argument is a non-const `char*` (a `char` array, `std::string::data()`)
    /// is the prepared form and misreads it. Pass a lone narrow text as a
    /// `const char*` (a literal, `s.c_str()`), which is always an argument.
    template <typename... Args>
    string& format(const wchar_t* fmt, Args... args) {
        static_assert((std::is_scalar_v<Args> && ...), "format arguments are scalars: pass texts as c_str()");
        return formatArgs(fmt, args...);
    }
    /// The same with a prepared argument list.
    string& format(const wchar_t* fmt, va_list args);
    /// A new string holding the formatted text; the rules of `format`.
    template <typename... Args>
    static string sformat(const wchar_t* fmt, Args... args) {
        static_assert((std::is_scalar_v<Args> && ...), "format arguments are scalars: pass texts as c_str()");
        return sformatArgs(fmt, args...);
    }
    /// The same with a prepared argument list.
    static string sformat(const wchar_t* fmt, va_list args);

    // ---- ANSI code page ----

    /// This text in the ANSI code page; unrepresentable characters become
    /// the page's default character.
    std::string getMBCS() const;
    /// `text` in the ANSI code page, as `getMBCS()`.
    static std::string getMBCS(const string& text);
    /// Narrow text to wide by the C runtime's current multibyte locale (in
    /// the "C" locale every byte becomes the code unit of the same value).
    static string fromMBCtoWC(const char* text);
    /// The text after a round trip through the ANSI code page.
    static string makeMBCS(const std::wstring& text);

    // ---- splitting and scrambling ----

    /// Splits at `separator` into `parts` (emptied first); with `onlyFirst`
    /// only the first separator splits. False for an empty text and for an
    /// empty separator (a caller error), with no parts.
    bool splitAt(const string& separator, std::vector<string>& parts, bool onlyFirst) const;
    /// Scrambles in place with a cyclic XOR of `key`; lengths count modulo
    /// 65536. Scrambling twice with the same key restores the text.
    void xor (const string& key);
    /// A scrambled copy of `text`, as `xor(key)` does in place.
    static string xor (const std::wstring& text, const std::wstring& key);

    /// Checks formatting, comparison, matching and the ANSI code page on the
    /// running system and reports through `env`; false when a check failed.
    static bool test(testEnv& env);

private:
    // The C-style variadic entries behind the templates: the templates take
    // every argument list, so no argument can be mistaken for a `va_list`.
    string& formatArgs(const wchar_t* fmt, ...);
    static string sformatArgs(const wchar_t* fmt, ...);
};

} // namespace zv
