// Shared appending on Windows: FILE_APPEND_DATA makes each WriteFile land
// whole at the end of the file; the file stays open to other readers,
// writers and to deletion, so that nobody is locked out by the log.
#include "../zvOsLogFile.h"

#include <windows.h>

namespace zv::os {

namespace {
constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
} // namespace

struct sharedAppender {
    HANDLE handle;
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

bool keepSharedAppendOpen() {
    return false;
}

sharedAppender* openSharedAppend(const wchar_t* name) {
    if (name == nullptr)
        return nullptr;
    HANDLE h = ::CreateFileW(name, FILE_APPEND_DATA, shareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info)) {
        ::CloseHandle(h);
        return nullptr;
    }
    return new sharedAppender{h, info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

bool sharedAppendStillNames(sharedAppender* handle, const wchar_t* name, std::uint64_t& size) {
    if (handle == nullptr || name == nullptr)
        return false;
    HANDLE h = ::CreateFileW(name, FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool same = ::GetFileInformationByHandle(h, &info) && info.dwVolumeSerialNumber == handle->volume &&
                      info.nFileIndexHigh == handle->indexHigh && info.nFileIndexLow == handle->indexLow;
    ::CloseHandle(h);
    if (same)
        size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return same;
}

bool sharedAppend(sharedAppender* handle, const void* data, std::size_t size) {
    if (handle == nullptr)
        return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(handle->handle, p, chunk, &written, nullptr) || written == 0)
            return false;
        p += written;
        size -= written;
    }
    return true;
}

void closeSharedAppend(sharedAppender* handle) {
    if (handle == nullptr)
        return;
    ::CloseHandle(handle->handle);
    delete handle;
}

} // namespace zv::os
