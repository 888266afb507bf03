// Lock files through the Win32 API: CreateFileW with CREATE_NEW, no sharing
// and the hidden attribute decides who holds the lock. The holder keeps the
// handle open, so a file that another process can open exclusively has been
// left behind; it and the holder's own release delete through the open
// handle, so nobody can take the name in between.
#include "../zvOsLockFile.h"

#include <windows.h>

namespace zv::os {

struct lockFileHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::wstring name;
};

namespace {

constexpr DWORD kMaxRecord = 4096;

bool deleteThroughHandle(HANDLE h) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

} // namespace

lockAttempt createLockFile(const wchar_t* name, const std::string& record, lockFileHandle*& handle,
                           unsigned long& error) {
    handle = nullptr;
    error = 0;
    if (name == nullptr || *name == L'\0') {
        error = ERROR_INVALID_NAME;
        return lockAttempt::failed;
    }
    HANDLE h =
        ::CreateFileW(name, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
            return lockAttempt::exists;
        // A file whose deletion is pending refuses access for a moment.
        const DWORD attributes = ::GetFileAttributesW(name);
        if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return lockAttempt::exists;
        error = code;
        return lockAttempt::failed;
    }
    DWORD put = 0;
    if (!::WriteFile(h, record.data(), static_cast<DWORD>(record.size()), &put, nullptr) ||
        put != record.size()) {
        error = ::GetLastError();
        deleteThroughHandle(h);
        ::CloseHandle(h);
        return lockAttempt::failed;
    }
    handle = new lockFileHandle{h, name};
    return lockAttempt::taken;
}

bool releaseLockFile(lockFileHandle* handle) {
    if (handle == nullptr)
        return true;
    const bool marked = deleteThroughHandle(handle->h);
    ::CloseHandle(handle->h);
    bool ok = marked;
    if (!marked) {
        ::SetFileAttributesW(handle->name.c_str(), FILE_ATTRIBUTE_NORMAL);
        ok = ::DeleteFileW(handle->name.c_str()) != 0 || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    delete handle;
    return ok;
}

bool removeStaleLockFile(const wchar_t* name, staleTest isStale, void* user) {
    if (name == nullptr || isStale == nullptr)
        return false;
    // Exclusive: fails while the holder (or anybody else) has it open.
    HANDLE h =
        ::CreateFileW(name, GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string record(kMaxRecord, '\0');
    DWORD got = 0;
    bool removed = false;
    if (::ReadFile(h, record.data(), kMaxRecord, &got, nullptr) && got > 0) {
        record.resize(got);
        removed = isStale(record, user) && deleteThroughHandle(h);
    }
    ::CloseHandle(h);
    return removed;
}

} // namespace zv::os
