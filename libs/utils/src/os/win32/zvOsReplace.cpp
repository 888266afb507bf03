// Replacing a file in one step through the Win32 API: a hidden temporary
// file in the target's folder, FlushFileBuffers, the target's attributes and
// MoveFileExW with replace and write-through.
#include "../zvOs.h"
#include "zvOsWin32File.h"

#include <atomic>
#include <cwchar>
#include <string>

namespace zv::os {

struct replaceHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::wstring target;
    std::wstring temp;
    DWORD targetAttributes = INVALID_FILE_ATTRIBUTES;
};

namespace {

void closeAndRemove(replaceHandle* handle) {
    if (handle->h != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle->h);
    handle->h = INVALID_HANDLE_VALUE;
    win32::removeTemp(handle->temp);
}

} // namespace

replaceHandle* beginReplace(const wchar_t* target) {
    if (target == nullptr || *target == L'\0')
        return nullptr;
    auto* handle = new replaceHandle;
    handle->target = target;
    handle->targetAttributes = ::GetFileAttributesW(target);
    if (!win32::refusedTarget(handle->targetAttributes)) {
        handle->h = win32::createTempBeside(handle->target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            handle->temp);
        if (handle->h != INVALID_HANDLE_VALUE)
            return handle;
    }
    delete handle;
    return nullptr;
}

bool writeReplace(replaceHandle* handle, const void* data, std::size_t size) {
    return handle != nullptr && handle->h != INVALID_HANDLE_VALUE && win32::writeAll(handle->h, data, size);
}

bool commitReplace(replaceHandle* handle) {
    if (handle == nullptr)
        return false;
    bool ok = handle->h != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle->h) != 0;
    if (handle->h != INVALID_HANDLE_VALUE) {
        ok = ::CloseHandle(handle->h) != 0 && ok;
        handle->h = INVALID_HANDLE_VALUE;
    }
    ok = ok &&
         ::SetFileAttributesW(handle->temp.c_str(), win32::replacementAttributes(handle->targetAttributes));
    ok = ok && ::MoveFileExW(handle->temp.c_str(), handle->target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        closeAndRemove(handle);
    delete handle;
    return ok;
}

std::wstring replaceTempName(const replaceHandle* handle) {
    return handle == nullptr ? std::wstring() : handle->temp;
}

void abortReplace(replaceHandle* handle) {
    if (handle == nullptr)
        return;
    closeAndRemove(handle);
    delete handle;
}

namespace win32 {

namespace {
constexpr unsigned kMaxTempAttempts = 100;
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD kMaxChunk = 0x40000000u;
std::atomic<unsigned> g_tempCounter{0};

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}
} // namespace

bool writeAll(HANDLE h, const void* data, std::size_t size, const std::uint64_t* offset) {
    const auto* p = static_cast<const char*>(data);
    std::uint64_t next = offset != nullptr ? *offset : 0;
    while (size > 0) {
        const DWORD chunk = size > kMaxChunk ? kMaxChunk : static_cast<DWORD>(size);
        OVERLAPPED where = at(next);
        DWORD put = 0;
        if (!::WriteFile(h, p, chunk, &put, offset != nullptr ? &where : nullptr) || put == 0)
            return false;
        p += put;
        size -= put;
        next += put;
    }
    return true;
}

bool readAllAt(HANDLE h, std::uint64_t offset, void* buffer, std::size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const DWORD chunk = size > kMaxChunk ? kMaxChunk : static_cast<DWORD>(size);
        OVERLAPPED where = at(offset);
        DWORD got = 0;
        if (!::ReadFile(h, p, chunk, &got, &where) || got == 0)
            return false;
        p += got;
        size -= got;
        offset += got;
    }
    return true;
}

bool refusedTarget(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0;
}

DWORD replacementAttributes(DWORD targetAttributes) {
    const DWORD kept = targetAttributes == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_ARCHIVE
                                                                   : (targetAttributes & kCopiedAttributes);
    return kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
}

HANDLE createTempBeside(const std::wstring& target, DWORD access, DWORD share, std::wstring& temp) {
    const std::size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring base = slash == std::wstring::npos ? target : target.substr(slash + 1);
    for (unsigned attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
        wchar_t suffix[64];
        std::swprintf(suffix, 64, L".~%lx%x%lx.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                      g_tempCounter.fetch_add(1), static_cast<unsigned long>(::GetTickCount()));
        temp = folder + L"~" + base.substr(0, 200) + suffix;
        HANDLE h =
            ::CreateFileW(temp.c_str(), access, share, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

void removeTemp(const std::wstring& temp) {
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(temp.c_str());
}

} // namespace win32

} // namespace zv::os
