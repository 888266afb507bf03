// Files, folders, attributes and volumes through the Win32 API.
#include "../zvOs.h"
#include "zvOsWin32File.h"

#include <windows.h>

#include <shlobj.h>
#include <winver.h>

#include <cwchar>
#include <io.h>
#include <vector>

namespace zv::os {

namespace {

constexpr long long kEpochDifference = 11644473600LL; // seconds from 1601 to 1970

long long secondsFromFileTime(const FILETIME& ft) {
    const unsigned long long ticks =
        (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<long long>(ticks / 10000000ULL) - kEpochDifference;
}

FILETIME fileTimeFromSeconds(long long seconds) {
    const unsigned long long ticks =
        static_cast<unsigned long long>(seconds + kEpochDifference) * 10000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFULL);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

constexpr DWORD kReportedBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE |
                                FILE_ATTRIBUTE_REPARSE_POINT;

} // namespace

bool entryExists(const wchar_t* name) {
    return name != nullptr && *name != L'\0' && ::GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES;
}

bool entryStatus(const wchar_t* name, entryInfo& info) {
    info = entryInfo{};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (name == nullptr || !::GetFileAttributesExW(name, GetFileExInfoStandard, &data))
        return false;
    info.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.creationTime = secondsFromFileTime(data.ftCreationTime);
    info.accessTime = secondsFromFileTime(data.ftLastAccessTime);
    info.modificationTime = secondsFromFileTime(data.ftLastWriteTime);
    info.attributes = data.dwFileAttributes & kReportedBits;
    return true;
}

bool checkAccess(const wchar_t* name, int mode) {
    return name != nullptr && ::_waccess(name, mode & 6) == 0;
}

bool createNewFile(const wchar_t* name, bool writable) {
    HANDLE h = ::CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             writable ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    return ::CloseHandle(h) != 0;
}

bool setWritable(const wchar_t* name, bool writable) {
    const DWORD attributes = ::GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD wanted = writable ? (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))
                            : (attributes | FILE_ATTRIBUTE_READONLY);
    if (wanted == 0)
        wanted = FILE_ATTRIBUTE_NORMAL;
    return wanted == attributes || ::SetFileAttributesW(name, wanted) != 0;
}

bool setAttributes(const wchar_t* name, unsigned attributes) {
    const DWORD current = ::GetFileAttributesW(name);
    if (current == INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD wanted = (current & ~static_cast<DWORD>(attrSettable)) | (attributes & attrSettable);
    wanted &= ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    if (wanted == 0)
        wanted = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesW(name, wanted) != 0;
}

bool setTimes(const wchar_t* name, const long long* creation, const long long* access,
              const long long* modification) {
    HANDLE h = ::CreateFileW(name, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FILETIME c{}, a{}, m{};
    if (creation != nullptr)
        c = fileTimeFromSeconds(*creation);
    if (access != nullptr)
        a = fileTimeFromSeconds(*access);
    if (modification != nullptr)
        m = fileTimeFromSeconds(*modification);
    const bool ok =
        ::SetFileTime(h, creation ? &c : nullptr, access ? &a : nullptr, modification ? &m : nullptr) != 0;
    ::CloseHandle(h);
    return ok;
}

bool removeFile(const wchar_t* name) {
    return name != nullptr && ::DeleteFileW(name) != 0;
}

bool renameEntry(const wchar_t* from, const wchar_t* to) {
    return ::MoveFileExW(from, to, 0) != 0;
}

bool copyFile(const wchar_t* from, const wchar_t* to, bool failIfExists) {
    return ::CopyFileW(from, to, failIfExists ? TRUE : FALSE) != 0;
}

bool moveFile(const wchar_t* from, const wchar_t* to) {
    return ::MoveFileExW(from, to, MOVEFILE_COPY_ALLOWED) != 0;
}

bool createDirectory(const wchar_t* name) {
    return ::CreateDirectoryW(name, nullptr) != 0;
}

bool removeDirectory(const wchar_t* name) {
    return ::RemoveDirectoryW(name) != 0;
}

// ---- reading and writing -----------------------------------------------

struct fileHandle {
    HANDLE h;
};

fileHandle* openForRead(const wchar_t* name) {
    HANDLE h = ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE,
                             nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : new fileHandle{h};
}

fileHandle* openForReadShared(const wchar_t* name) {
    HANDLE h = ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : new fileHandle{h};
}

fileHandle* openForAppend(const wchar_t* name) {
    HANDLE h = ::CreateFileW(name, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : new fileHandle{h};
}

// Opened and then cut rather than CREATE_ALWAYS, which refuses hidden and
// system files. The read-only bit is checked first, since a file system
// that maps it to permissions lets an administrator write anyway.
fileHandle* openForWrite(const wchar_t* name) {
    const DWORD attributes = ::GetFileAttributesW(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return nullptr;
    HANDLE h = ::CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    if (!::SetEndOfFile(h)) {
        ::CloseHandle(h);
        return nullptr;
    }
    return new fileHandle{h};
}

long long readFile(fileHandle* handle, void* buffer, std::size_t size) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!::ReadFile(handle->h, buffer, chunk, &got, nullptr))
        return -1;
    return static_cast<long long>(got);
}

bool readFileAt(fileHandle* handle, std::uint64_t offset, void* buffer, std::size_t size) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(handle->h, position, nullptr, FILE_BEGIN))
        return false;
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const long long got = readFile(handle, p, size);
        if (got <= 0)
            return false;
        p += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool writeFile(fileHandle* handle, const void* data, std::size_t size) {
    return win32::writeAll(handle->h, data, size);
}

bool fileSizeOf(fileHandle* handle, std::uint64_t& size) {
    LARGE_INTEGER value;
    if (!::GetFileSizeEx(handle->h, &value))
        return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

void closeFile(fileHandle* handle) {
    if (handle == nullptr)
        return;
    ::CloseHandle(handle->h);
    delete handle;
}

// ---- searching a folder ------------------------------------------------

struct findHandle {
    HANDLE h;
    bool noExtensionOnly; // the pattern ends in a lone "." ("*.")
};

namespace {

void takeFound(const WIN32_FIND_DATAW& data, findData& found) {
    found.name = data.cFileName;
    found.attributes = data.dwFileAttributes & kReportedBits;
}

// A pattern ending in a lone "." takes only names without an extension.
// Windows does so itself; the filter holds it where a compatible system
// does not (Wine takes every name).
bool endsInLoneDot(const wchar_t* pattern) {
    const std::size_t n = std::wcslen(pattern);
    return n >= 2 && pattern[n - 1] == L'.' && pattern[n - 2] != L'.' && pattern[n - 2] != L'\\' &&
           pattern[n - 2] != L'/';
}

bool wanted(const findHandle& handle, const WIN32_FIND_DATAW& data) {
    return !handle.noExtensionOnly || std::wcschr(data.cFileName, L'.') == nullptr;
}

} // namespace

findHandle* findFirst(const wchar_t* pattern, findData& found, unsigned) {
    found = findData{};
    if (pattern == nullptr)
        return nullptr;
    WIN32_FIND_DATAW data{};
    HANDLE h = ::FindFirstFileW(pattern, &data);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    auto* handle = new findHandle{h, endsInLoneDot(pattern)};
    if (wanted(*handle, data)) {
        takeFound(data, found);
        return handle;
    }
    if (findNext(handle, found))
        return handle;
    findClose(handle);
    return nullptr;
}

bool findNext(findHandle* handle, findData& found) {
    WIN32_FIND_DATAW data{};
    if (handle == nullptr)
        return false;
    do {
        if (!::FindNextFileW(handle->h, &data))
            return false;
    } while (!wanted(*handle, data));
    takeFound(data, found);
    return true;
}

void findClose(findHandle* handle) {
    if (handle == nullptr)
        return;
    ::FindClose(handle->h);
    delete handle;
}

// ---- volumes and well-known folders ------------------------------------

bool diskSpace(const wchar_t* dir, std::uint64_t& available, std::uint64_t& total, std::uint64_t& free) {
    ULARGE_INTEGER a{}, t{}, f{};
    if (!::GetDiskFreeSpaceExW(dir, &a, &t, &f))
        return false;
    available = a.QuadPart;
    total = t.QuadPart;
    free = f.QuadPart;
    return true;
}

bool isRemoteDrive(const wchar_t* root) {
    return ::GetDriveTypeW(root) == DRIVE_REMOTE;
}

bool shellFolderPath(shellFolder which, std::wstring& path) {
    int csidl = CSIDL_PERSONAL;
    switch (which) {
    case shellFolder::documents:
        csidl = CSIDL_PERSONAL;
        break;
    case shellFolder::appData:
        csidl = CSIDL_APPDATA;
        break;
    case shellFolder::localAppData:
        csidl = CSIDL_LOCAL_APPDATA;
        break;
    case shellFolder::commonAppData:
        csidl = CSIDL_COMMON_APPDATA;
        break;
    case shellFolder::commonDocuments:
        csidl = CSIDL_COMMON_DOCUMENTS;
        break;
    case shellFolder::desktop:
        csidl = CSIDL_DESKTOPDIRECTORY;
        break;
    }
    wchar_t buffer[MAX_PATH] = {};
    path.clear();
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, buffer)))
        return false;
    path = buffer;
    return !path.empty();
}

bool fallbackTempDirectory(std::wstring& dir) {
    dir.clear();
    return false;
}

namespace {

// The volume and file id of an entry, links followed.
bool fileIdOf(const wchar_t* name, BY_HANDLE_FILE_INFORMATION& info) {
    if (name == nullptr || *name == L'\0')
        return false;
    HANDLE h = ::CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    return ok;
}

} // namespace

bool sameEntry(const wchar_t* a, const wchar_t* b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return fileIdOf(a, first) && fileIdOf(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

bool isLink(const wchar_t* name) {
    if (name == nullptr || *name == L'\0')
        return false;
    const DWORD attributes = ::GetFileAttributesW(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool canListDirectory(const wchar_t* dir) {
    if (dir == nullptr || *dir == L'\0')
        return false;
    std::wstring pattern(dir);
    if (pattern.back() != L'\\' && pattern.back() != L'/')
        pattern.push_back(L'\\');
    pattern.push_back(L'*');
    WIN32_FIND_DATAW data{};
    HANDLE h = ::FindFirstFileW(pattern.c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        ::FindClose(h);
        return true;
    }
    // Only an empty root has not even "." and "..".
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(dir);
    return error == ERROR_FILE_NOT_FOUND && attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool systemReadsVersionResources() {
    return true;
}

bool systemFixedVersion(const wchar_t* name, std::uint32_t (&words)[4]) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(name, &ignored);
    if (size == 0)
        return false;
    std::vector<unsigned char> block(size);
    if (!::GetFileVersionInfoW(name, 0, size, block.data()))
        return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO))
        return false;
    words[0] = fixed->dwFileVersionMS;
    words[1] = fixed->dwFileVersionLS;
    words[2] = fixed->dwProductVersionMS;
    words[3] = fixed->dwProductVersionLS;
    return true;
}

} // namespace zv::os
