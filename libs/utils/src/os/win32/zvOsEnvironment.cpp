#include "../zvOs.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace zv::os {

// The runtime's copy of the environment, which the runtime keeps in step
// with the process environment.
bool getEnv(const wchar_t* name, std::wstring& value) {
    value.clear();
    if (name == nullptr || *name == L'\0')
        return false;
    const wchar_t* raw = ::_wgetenv(name);
    if (raw == nullptr)
        return false;
    value = raw;
    return true;
}

bool setEnv(const wchar_t* name, const wchar_t* value) {
    if (name == nullptr || *name == L'\0' || std::wcschr(name, L'=') != nullptr)
        return false;
    std::wstring text = std::wstring(name) + L"=" + (value != nullptr ? value : L"");
    return ::_wputenv(text.c_str()) == 0;
}

bool userName(std::wstring& name) {
    wchar_t buffer[128] = {};
    DWORD size = 128;
    name.clear();
    if (!::GetUserNameW(buffer, &size))
        return false;
    name = buffer;
    return !name.empty();
}

bool computerName(std::wstring& name) {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    name.clear();
    if (!::GetComputerNameW(buffer, &size))
        return false;
    name = buffer;
    return !name.empty();
}

} // namespace zv::os
