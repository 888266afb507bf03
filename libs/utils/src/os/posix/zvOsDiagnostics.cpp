#include "../zvOs.h"

#include <cerrno>
#include <string>
#include <unistd.h>

namespace zv::os {

namespace {

// wchar_t is a UTF-32 code point here; anything that is not a scalar value
// becomes U+FFFD so the output is always valid UTF-8.
void appendUtf8(std::string& out, wchar_t wc) {
    auto c = static_cast<char32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

} // namespace

void reportAssertion(const wchar_t* text) {
    std::string utf8;
    for (const wchar_t* p = text; p && *p; ++p)
        appendUtf8(utf8, *p);
    utf8.push_back('\n');
    writeAll(STDERR_FILENO, utf8.data(), utf8.size());
}

} // namespace zv::os
