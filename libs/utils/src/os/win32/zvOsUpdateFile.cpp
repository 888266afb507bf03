// Files built beside their target and then written on in place, through the
// Win32 API: a hidden temporary file in the target's folder, opened with
// delete sharing so that it can be renamed while it stays open; at the first
// placing FlushFileBuffers, the target's attributes and MoveFileExW with
// replace and write-through.
#include "../zvOsUpdateFile.h"
#include "zvOsWin32File.h"

#include <string>

namespace zv::os {

struct updateHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::wstring target;
    std::wstring temp;
    bool placed = false;
};

updateHandle* beginUpdate(const wchar_t* target) {
    if (target == nullptr || *target == L'\0' || win32::refusedTarget(::GetFileAttributesW(target)))
        return nullptr;
    auto* handle = new updateHandle;
    handle->target = target;
    handle->h = win32::createTempBeside(handle->target, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, handle->temp);
    if (handle->h != INVALID_HANDLE_VALUE)
        return handle;
    delete handle;
    return nullptr;
}

bool writeUpdateAt(updateHandle* handle, std::uint64_t offset, const void* data, std::size_t size) {
    return handle != nullptr && handle->h != INVALID_HANDLE_VALUE &&
           win32::writeAll(handle->h, data, size, &offset);
}

bool setUpdateSize(updateHandle* handle, std::uint64_t size) {
    if (handle == nullptr || handle->h == INVALID_HANDLE_VALUE || size > 0x7FFFFFFFFFFFFFFFull)
        return false;
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFileInformationByHandle(handle->h, FileEndOfFileInfo, &info, sizeof info) != 0;
}

bool syncUpdate(updateHandle* handle) {
    return handle != nullptr && handle->h != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle->h) != 0;
}

bool placeUpdate(updateHandle* handle) {
    if (handle == nullptr || handle->h == INVALID_HANDLE_VALUE)
        return false;
    if (handle->placed)
        return true;
    const DWORD targetAttributes = ::GetFileAttributesW(handle->target.c_str());
    if (win32::refusedTarget(targetAttributes) || !::FlushFileBuffers(handle->h))
        return false;
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = win32::replacementAttributes(targetAttributes);
    if (!::SetFileInformationByHandle(handle->h, FileBasicInfo, &basic, sizeof basic) ||
        !::MoveFileExW(handle->temp.c_str(), handle->target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    handle->placed = true;
    return true;
}

bool endUpdate(updateHandle* handle) {
    if (handle == nullptr)
        return true;
    bool ok = true;
    if (handle->h != INVALID_HANDLE_VALUE)
        ok = ::CloseHandle(handle->h) != 0;
    if (!handle->placed) {
        win32::removeTemp(handle->temp);
    }
    delete handle;
    return ok;
}

struct sharedReadHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
};

sharedReadHandle* openSharedRead(const wchar_t* name) {
    if (name == nullptr || *name == L'\0')
        return nullptr;
    HANDLE h = ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : new sharedReadHandle{h};
}

bool readSharedAt(sharedReadHandle* handle, std::uint64_t offset, void* buffer, std::size_t size) {
    return win32::readAllAt(handle->h, offset, buffer, size);
}

bool sharedReadSize(sharedReadHandle* handle, std::uint64_t& size) {
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(handle->h, &value))
        return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

void closeSharedRead(sharedReadHandle* handle) {
    if (handle == nullptr)
        return;
    ::CloseHandle(handle->h);
    delete handle;
}

} // namespace zv::os
