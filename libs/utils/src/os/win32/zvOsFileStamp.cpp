#include "../zvOs.h"

#include <windows.h>

namespace zv::os {

namespace {

long long ticksOf(const FILETIME& ft) {
    return static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) |
                                  ft.dwLowDateTime);
}

} // namespace

bool readFileStamp(const wchar_t* name, fileStamp& stamp) {
    stamp = fileStamp{};
    if (name == nullptr)
        return false;
    // No access asked for: the file may be open for writing elsewhere.
    HANDLE h = ::CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    const bool known = ::GetFileInformationByHandle(h, &info) != 0;
    const bool changeKnown =
        known && ::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) != 0;
    ::CloseHandle(h);
    if (!known)
        return false;
    stamp.exists = true;
    stamp.volume = info.dwVolumeSerialNumber;
    stamp.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modification = ticksOf(info.ftLastWriteTime);
    stamp.change = changeKnown ? static_cast<long long>(basic.ChangeTime.QuadPart) : 0;
    return true;
}

} // namespace zv::os
