#include "../zvOs.h"

#include <climits>
#include <string>
#include <windows.h>

namespace zv::os {

unsigned int ansiCodePage() {
    return GetACP();
}

bool systemDefinesCodePages() {
    return true;
}

bool wideToCodePage(unsigned int codePage, const wchar_t* text, std::size_t length, std::string& out) {
    if (length == 0)
        return IsValidCodePage(codePage) != 0;
    // The API counts in int: long texts go in slices that never split a
    // surrogate pair.
    while (length > 0) {
        std::size_t slice = length < (INT_MAX / 8) ? length : INT_MAX / 8;
        if (slice < length && text[slice - 1] >= 0xD800 && text[slice - 1] <= 0xDBFF)
            --slice;
        const int inCount = static_cast<int>(slice);
        const int size = WideCharToMultiByte(codePage, 0, text, inCount, nullptr, 0, nullptr, nullptr);
        if (size <= 0)
            return false;
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(size));
        if (WideCharToMultiByte(codePage, 0, text, inCount, out.data() + start, size, nullptr, nullptr) !=
            size) {
            out.resize(start);
            return false;
        }
        text += slice;
        length -= slice;
    }
    return true;
}

bool codePageToWide(unsigned int codePage, const char* text, std::size_t length, std::wstring& out) {
    if (length == 0)
        return IsValidCodePage(codePage) != 0;
    while (length > 0) {
        // Slices end behind a plain ASCII byte where possible so that no
        // multibyte character is split.
        std::size_t slice = length < (INT_MAX / 2) ? length : INT_MAX / 2;
        if (slice < length) {
            std::size_t cut = slice;
            while (cut > slice - 16 && static_cast<unsigned char>(text[cut - 1]) >= 0x80)
                --cut;
            if (cut > slice - 16)
                slice = cut;
        }
        const int inCount = static_cast<int>(slice);
        const int size = MultiByteToWideChar(codePage, 0, text, inCount, nullptr, 0);
        if (size <= 0)
            return false;
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(size));
        if (MultiByteToWideChar(codePage, 0, text, inCount, out.data() + start, size) != size) {
            out.resize(start);
            return false;
        }
        text += slice;
        length -= slice;
    }
    return true;
}

} // namespace zv::os
