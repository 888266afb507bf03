// Checks zv::string::matches against a plain dynamic-programming matcher.
// The input is split at its first 0xFF byte into pattern and text; bytes map
// onto a small alphabet so that stars, question marks and hits are frequent.
#include "zvString.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

wchar_t mapByte(std::uint8_t b) {
    static const wchar_t alphabet[] = {L'a', L'b', L'c', L'*', L'?', L'a', L'b', L'*'};
    if (b >= 0xF0)
        return static_cast<wchar_t>(b == 0xF0 ? 0 : 0x100 + b); // a NUL or a wide character
    return alphabet[b % 8];
}

bool matchesByTable(const std::wstring& text, const std::wstring& pattern) {
    const std::wstring t = text.c_str(); // both end at their first NUL
    const std::wstring p = pattern.c_str();
    std::vector<char> prev(p.size() + 1, 0), cur(p.size() + 1, 0);
    prev[0] = 1;
    for (std::size_t j = 1; j <= p.size(); ++j)
        prev[j] = prev[j - 1] && p[j - 1] == L'*';
    for (std::size_t i = 1; i <= t.size(); ++i) {
        cur[0] = 0;
        for (std::size_t j = 1; j <= p.size(); ++j) {
            if (p[j - 1] == L'*')
                cur[j] = cur[j - 1] || prev[j];
            else
                cur[j] = prev[j - 1] && (p[j - 1] == L'?' || p[j - 1] == t[i - 1]);
        }
        prev.swap(cur);
    }
    return prev[p.size()] != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring pattern;
    zv::string text;
    std::size_t i = 0;
    for (; i < size && data[i] != 0xFF; ++i)
        pattern.push_back(mapByte(data[i]));
    for (++i; i < size; ++i)
        text.push_back(mapByte(data[i]));
    if (text.matches(pattern) != matchesByTable(text, pattern))
        std::abort();
    return 0;
}
