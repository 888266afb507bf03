// Files built beside their target and then written on in place, through the
// Win32 API: a hidden temporary file in the target's folder, opened with
// delete sharing so that it can be renamed while it stays open; at the first
// placing FlushFileBuffers, the target's attributes and MoveFileExW with
// replace and write-through.
#include "../zvOsUpdateFile.h"

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <string>

namespace zv::os {

struct updateHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::wstring target;
    std::wstring temp;
    bool placed = false;
};

namespace {

constexpr unsigned kMaxTempAttempts = 100;
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
std::atomic<unsigned> g_updateCounter{0};

bool refused(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0;
}

} // namespace

updateHandle* beginUpdate(const wchar_t* target) {
    if (target == nullptr || *target == L'\0' || refused(::GetFileAttributesW(target)))
        return nullptr;
    auto* handle = new updateHandle;
    handle->target = target;
    const std::size_t slash = handle->target.find_last_of(L"\\/");
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : handle->target.substr(0, slash + 1);
    const std::wstring base = slash == std::wstring::npos ? handle->target : handle->target.substr(slash + 1);
    for (unsigned attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
        wchar_t suffix[64];
        std::swprintf(suffix, 64, L".~%lx%x%lx.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                      g_updateCounter.fetch_add(1), static_cast<unsigned long>(::GetTickCount()));
        handle->temp = folder + L"~" + base.substr(0, 200) + suffix;
        handle->h = ::CreateFileW(handle->temp.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle->h != INVALID_HANDLE_VALUE)
            return handle;
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    delete handle;
    return nullptr;
}

bool writeUpdateAt(updateHandle* handle, std::uint64_t offset, const void* data, std::size_t size) {
    if (handle == nullptr || handle->h == INVALID_HANDLE_VALUE)
        return false;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD put = 0;
        if (!::WriteFile(handle->h, p, chunk, &put, &at) || put == 0)
            return false;
        p += put;
        size -= put;
        offset += put;
    }
    return true;
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
    if (refused(targetAttributes) || !::FlushFileBuffers(handle->h))
        return false;
    const DWORD kept = targetAttributes == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_ARCHIVE
                                                                   : (targetAttributes & kCopiedAttributes);
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
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
        ::SetFileAttributesW(handle->temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(handle->temp.c_str());
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
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!::ReadFile(handle->h, p, chunk, &got, &at) || got == 0)
            return false;
        p += got;
        size -= got;
        offset += got;
    }
    return true;
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
