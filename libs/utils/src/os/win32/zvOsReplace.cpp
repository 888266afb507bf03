// Replacing a file in one step through the Win32 API: a hidden temporary
// file in the target's folder, FlushFileBuffers, the target's attributes and
// MoveFileExW with replace and write-through.
#include "../zvOs.h"

#include <windows.h>

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

constexpr unsigned kMaxTempAttempts = 100;
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
std::atomic<unsigned> g_tempCounter{0};

void closeAndRemove(replaceHandle* handle) {
    if (handle->h != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle->h);
    handle->h = INVALID_HANDLE_VALUE;
    ::SetFileAttributesW(handle->temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(handle->temp.c_str());
}

} // namespace

replaceHandle* beginReplace(const wchar_t* target) {
    if (target == nullptr || *target == L'\0')
        return nullptr;
    auto* handle = new replaceHandle;
    handle->target = target;
    handle->targetAttributes = ::GetFileAttributesW(target);
    if (handle->targetAttributes != INVALID_FILE_ATTRIBUTES &&
        (handle->targetAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        delete handle;
        return nullptr;
    }
    const std::size_t slash = handle->target.find_last_of(L"\\/");
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : handle->target.substr(0, slash + 1);
    const std::wstring base = slash == std::wstring::npos ? handle->target : handle->target.substr(slash + 1);
    for (unsigned attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
        wchar_t suffix[64];
        std::swprintf(suffix, 64, L".~%lx%x%lx.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                      g_tempCounter.fetch_add(1), static_cast<unsigned long>(::GetTickCount()));
        handle->temp = folder + L"~" + base.substr(0, 200) + suffix;
        handle->h = ::CreateFileW(handle->temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle->h != INVALID_HANDLE_VALUE)
            return handle;
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    delete handle;
    return nullptr;
}

bool writeReplace(replaceHandle* handle, const void* data, std::size_t size) {
    if (handle == nullptr || handle->h == INVALID_HANDLE_VALUE)
        return false;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD put = 0;
        if (!::WriteFile(handle->h, p, chunk, &put, nullptr) || put == 0)
            return false;
        p += put;
        size -= put;
    }
    return true;
}

bool commitReplace(replaceHandle* handle) {
    if (handle == nullptr)
        return false;
    bool ok = handle->h != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle->h) != 0;
    if (handle->h != INVALID_HANDLE_VALUE) {
        ok = ::CloseHandle(handle->h) != 0 && ok;
        handle->h = INVALID_HANDLE_VALUE;
    }
    const DWORD attributes = handle->targetAttributes == INVALID_FILE_ATTRIBUTES
                                 ? FILE_ATTRIBUTE_ARCHIVE
                                 : (handle->targetAttributes & kCopiedAttributes);
    ok = ok &&
         ::SetFileAttributesW(handle->temp.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
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

} // namespace zv::os
