// Splitting, field extraction, replacement and deletion of zv::string on
// arbitrary texts, each checked against an invariant or a plain model.
// Input: [separator length % 4][separator...][replacement length % 4][replacement...][text...]
#include "zvString.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

wchar_t mapByte(std::uint8_t b) {
    return b < 0xC0 ? static_cast<wchar_t>(L'a' + b % 4) : static_cast<wchar_t>(b % 3 == 0 ? L';' : b);
}

zv::string take(const std::uint8_t*& data, std::size_t& size) {
    zv::string s;
    if (size == 0)
        return s;
    std::size_t n = data[0] % 4;
    ++data;
    --size;
    for (; n > 0 && size > 0; --n, ++data, --size)
        s.push_back(mapByte(*data));
    return s;
}

// Replacement done step by step in place, as the operation is defined.
std::wstring replaceModel(std::wstring text, const std::wstring& what, const std::wstring& with) {
    if (what.empty())
        return text;
    std::size_t pos = 0;
    while ((pos = text.find(what, pos)) != std::wstring::npos) {
        text.replace(pos, what.size(), with);
        pos += with.size();
    }
    return text;
}

std::wstring join(const std::vector<zv::string>& parts, const std::wstring& separator) {
    std::wstring out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += separator;
        out += parts[i];
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zv::string separator = take(data, size);
    const zv::string replacement = take(data, size);
    zv::string text;
    for (std::size_t i = 0; i < size; ++i)
        text.push_back(mapByte(data[i]));

    std::vector<zv::string> parts{L"stale"};
    const bool ok = text.splitAt(separator, parts, false);
    if (text.empty() || separator.empty()) {
        check(!ok && parts.empty());
    } else {
        check(ok && !parts.empty());
        check(join(parts, separator) == text);
        for (const auto& p : parts)
            check(p.find(separator) == std::wstring::npos);
        std::vector<zv::string> firstOnly;
        check(text.splitAt(separator, firstOnly, true));
        check(firstOnly.size() == std::min<std::size_t>(parts.size(), 2));
        check(join(firstOnly, separator) == text);
        check(firstOnly[0] == parts[0]);
    }

    // Fields are the parts of a split at one character.
    std::vector<zv::string> fields;
    text.splitAt(zv::string(L';'), fields, false);
    for (unsigned int index = 0; index < fields.size() + 2; ++index) {
        const zv::string field = text.substrBetween(L';', index);
        check(field == (index < fields.size() ? fields[index] : zv::string()));
    }

    zv::string replaced = text;
    replaced.replace(separator, replacement);
    check(replaced == replaceModel(text, separator, replacement));

    zv::string trimmed = text;
    trimmed.deleteAll(separator);
    for (wchar_t c : separator)
        check(trimmed.find(c) == std::wstring::npos);
    zv::string leading = text;
    leading.deleteLeading(separator).deleteTrailing(separator);
    check(leading.empty() || (separator.find(leading.front()) == std::wstring::npos &&
                              separator.find(leading.back()) == std::wstring::npos));
    check(text.find(leading) != std::wstring::npos);

    zv::string scrambled = text;
    scrambled.xor (separator);
    scrambled.xor (separator);
    check(scrambled == text);
    return 0;
}
