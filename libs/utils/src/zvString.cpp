#include "zvString.h"

#include "zvCodePage.h"
#include "zvCodePageDetail.h"
#include "zvFormat.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <limits>

namespace zv {

const string string::emptyString;

// ---- case ---------------------------------------------------------------

string& string::toLower() {
    for (wchar_t& c : *this)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return *this;
}

string& string::toUpper() {
    for (wchar_t& c : *this)
        c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
    return *this;
}

string string::lower() const {
    string copy(*this);
    return copy.toLower();
}

string string::upper() const {
    string copy(*this);
    return copy.toUpper();
}

void string::lowercase(string& text) {
    text.toLower();
}

// ---- comparison and matching ------------------------------------------

namespace {

// Compares up to the first NUL of either text, each code unit folded by the
// C runtime's towlower, as _wcsicmp does.
bool equalIgnoringCase(const wchar_t* a, const wchar_t* b) {
    for (;; ++a, ++b) {
        if (*a != *b &&
            std::towlower(static_cast<std::wint_t>(*a)) != std::towlower(static_cast<std::wint_t>(*b)))
            return false;
        if (*a == L'\0')
            return true;
    }
}

} // namespace

bool string::isEqualTo(const string& other, bool caseSensitive) const {
    if (caseSensitive)
        return static_cast<const std::wstring&>(*this) == other;
    return equalIgnoringCase(c_str(), other.c_str());
}

bool string::isEqualTo(const wchar_t* other, bool caseSensitive) const {
    if (other == nullptr)
        return empty();
    if (caseSensitive)
        return compare(other) == 0;
    return equalIgnoringCase(c_str(), other);
}

bool string::matches(const std::wstring& pattern) const {
    const wchar_t* t = c_str();
    const wchar_t* p = pattern.c_str();
    // Up to the first star every pattern character takes one text character.
    while (*t != L'\0' && *p != L'*') {
        if (*p != *t && *p != L'?')
            return false;
        ++p;
        ++t;
    }
    // Then only the most recent star is ever resumed: on a mismatch the text
    // behind it grows by one character and matching starts over from there.
    const wchar_t* resume = nullptr;
    const wchar_t* restart = nullptr;
    while (*t != L'\0') {
        if (*p == L'*') {
            if (*++p == L'\0')
                return true;
            resume = p;
            restart = t + 1;
        } else if (*p == *t || (*p == L'?')) {
            ++p;
            ++t;
        } else {
            p = resume;
            t = restart++;
        }
    }
    while (*p == L'*')
        ++p;
    return *p == L'\0';
}

// ---- deletion ----------------------------------------------------------

string& string::deleteLeading(wchar_t c) {
    const size_type first = find_first_not_of(c);
    if (first != npos && first > 0)
        erase(0, first);
    return *this;
}

string& string::deleteTrailing(wchar_t c) {
    const size_type last = find_last_not_of(c);
    if (last != npos)
        erase(last + 1);
    return *this;
}

string& string::deleteAll(wchar_t c) {
    erase(std::remove(begin(), end(), c), end());
    return *this;
}

string& string::deleteLeading(const std::wstring& set) {
    if (set.empty())
        return *this;
    const size_type first = find_first_not_of(set);
    erase(0, first == npos ? size() : first);
    return *this;
}

string& string::deleteTrailing(const std::wstring& set) {
    if (set.empty())
        return *this;
    const size_type last = find_last_not_of(set);
    erase(last == npos ? 0 : last + 1);
    return *this;
}

string& string::deleteAll(const std::wstring& set) {
    if (set.empty())
        return *this;
    if (set.size() == 1)
        return deleteAll(set[0]);
    erase(std::remove_if(begin(), end(), [&](wchar_t c) { return set.find(c) != npos; }), end());
    return *this;
}

// ---- replacement and extraction ----------------------------------------

string& string::replace(const string& what, const string& with) {
    if (what.empty())
        return *this;
    size_type pos = find(what);
    if (pos == npos)
        return *this;
    // One pass over the original: continuing behind the inserted text is the
    // same as continuing behind the occurrence in the original.
    std::wstring result;
    result.reserve(size() + (with.size() > what.size() ? with.size() - what.size() : 0));
    size_type from = 0;
    while (pos != npos) {
        result.append(*this, from, pos - from);
        result.append(with);
        from = pos + what.size();
        pos = find(what, from);
    }
    result.append(*this, from, npos);
    std::wstring::operator=(std::move(result));
    return *this;
}

string& string::replace(wchar_t what, wchar_t with) {
    std::replace(begin(), end(), what, with);
    return *this;
}

string string::substrBetween(wchar_t separator, unsigned int index) const {
    size_type start = 0;
    for (unsigned int i = 0; i < index; ++i) {
        const size_type found = find(separator, start);
        if (found == npos)
            return string();
        start = found + 1;
    }
    const size_type end = find(separator, start);
    return string(substr(start, end == npos ? npos : end - start));
}

// ---- formatting ---------------------------------------------------------

string& string::formatArgs(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    format(fmt, args);
    va_end(args);
    return *this;
}

string& string::format(const wchar_t* fmt, va_list args) {
    wchar_t buffer[formatBufferSize];
    const std::size_t length = formatTo(buffer, formatBufferSize, fmt, args);
    assign(buffer, length);
    return *this;
}

string string::sformatArgs(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    string result = sformat(fmt, args);
    va_end(args);
    return result;
}

string string::sformat(const wchar_t* fmt, va_list args) {
    wchar_t buffer[formatBufferSize];
    const std::size_t length = formatTo(buffer, formatBufferSize, fmt, args);
    return string(buffer, length);
}

// ---- ANSI code page ----------------------------------------------------

namespace {

// The text up to its first NUL, as the system conversions see it.
std::size_t textLength(const std::wstring& text) {
    const std::size_t n = std::wcslen(text.c_str());
    return std::min(n, text.size());
}

std::string toAnsi(const std::wstring& text) {
    std::string out;
    const std::size_t n = textLength(text);
    if (n == 0)
        return out;
    if (n == text.size())
        toCodePage(text, ansiCodePage(), out);
    else
        toCodePage(text.substr(0, n), ansiCodePage(), out);
    const std::size_t nul = out.find('\0');
    if (nul != std::string::npos)
        out.resize(nul);
    return out;
}

} // namespace

std::string string::getMBCS() const {
    return toAnsi(*this);
}

std::string string::getMBCS(const string& text) {
    return toAnsi(text);
}

string string::fromMBCtoWC(const char* text) {
    string result;
    detail::decodeLocaleNarrow(text, std::numeric_limits<std::size_t>::max(),
                               std::numeric_limits<std::size_t>::max(),
                               [&](wchar_t c) { result.push_back(c); });
    const size_type nul = result.find(L'\0');
    if (nul != npos)
        result.resize(nul);
    return result;
}

string string::makeMBCS(const std::wstring& text) {
    const std::string bytes = toAnsi(text);
    string result;
    if (!bytes.empty())
        fromCodePage(bytes, ansiCodePage(), result);
    const size_type nul = result.find(L'\0');
    if (nul != npos)
        result.resize(nul);
    return result;
}

// ---- splitting and scrambling -------------------------------------------

bool string::splitAt(const string& separator, std::vector<string>& parts, bool onlyFirst) const {
    parts.clear();
    if (empty() || separator.empty())
        return false;
    size_type start = 0;
    size_type found = find(separator);
    while (found != npos) {
        parts.emplace_back(substr(start, found - start));
        start = found + separator.size();
        if (onlyFirst)
            break;
        found = find(separator, start);
    }
    parts.emplace_back(substr(start));
    return true;
}

void string:: xor
    (const string& key) {
        const std::size_t keyLength = key.size() % 65536;
        if (keyLength == 0)
            return;
        const std::size_t length = size() % 65536;
        wchar_t* text = data();
        std::size_t j = 0;
        for (std::size_t i = 0; i < length; ++i) {
            text[i] = static_cast<wchar_t>(text[i] ^ key[j]);
            if (++j == keyLength)
                j = 0;
        }
    }

    string string::
        xor (const std::wstring& text, const std::wstring& key) {
                string copy(text);
                copy.xor (key);
                return copy;
            }

} // namespace zv
