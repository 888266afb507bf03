#include "../zvOs.h"

#include "../../zvCodePageDetail.h"

#include <cerrno>
#include <cwchar>
#include <string>
#include <unistd.h>

namespace zv::os {

namespace {

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
    if (text)
        detail::wideToUtf8(text, std::wcslen(text), utf8);
    utf8.push_back('\n');
    writeAll(STDERR_FILENO, utf8.data(), utf8.size());
}

} // namespace zv::os
