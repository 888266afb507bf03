// On Windows the library's names are the system's names.
#include "../zvOs.h"

#include <windows.h>

#include <direct.h>
#include <vector>

namespace zv::os {

bool currentDirectory(std::wstring& dir) {
    dir.clear();
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return false;
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD got = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (got == 0 || got >= buffer.size())
        return false;
    dir.assign(buffer.data(), got);
    while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/'))
        dir.pop_back();
    return true;
}

int currentDrive() {
    return ::_getdrive();
}

bool changeDrive(int drive) {
    return drive >= 1 && drive <= 26 && ::_chdrive(drive) == 0;
}

bool changeDirectory(const wchar_t* dir) {
    return dir != nullptr && ::_wchdir(dir) == 0;
}

bool hostPath(const wchar_t* name, std::wstring& host) {
    host = name != nullptr ? name : L"";
    return !host.empty();
}

std::wstring libraryPathFromHost(const std::wstring& host) {
    return host;
}

} // namespace zv::os
