#include "../zvOs.h"

#include <string>
#include <windows.h>

namespace zv::os {

void reportAssertion(const wchar_t* text) {
    if (!text)
        text = L"";
    OutputDebugStringW(text);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE)
        return;
    std::wstring line = text;
    line += L"\n";
    DWORD written = 0;
    if (GetFileType(err) == FILE_TYPE_CHAR &&
        WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return;
    // Redirected: UTF-8 bytes, as on Linux.
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return;
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), size, nullptr,
                        nullptr);
    WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

} // namespace zv::os
