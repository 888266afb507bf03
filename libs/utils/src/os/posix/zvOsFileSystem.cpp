// Files, folders, attributes and volumes on POSIX systems. Attributes follow
// the Windows model: read-only is a missing owner write bit; hidden, system
// and archive live in the "user.DOSATTRIB" extended attribute (text "0xNN");
// a name that starts with "." counts as hidden.
#include "../zvOs.h"
#include "zvOsPosixPath.h"

#include "../../zvCodePageDetail.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace zv::os {

namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr unsigned kXattrBits = attrHidden | attrSystem | attrArchive;

bool host(const wchar_t* name, std::string& out) {
    return posix::mapToHost(name, out);
}

// The bits stored in the extended attribute; 0 when there is none.
unsigned storedAttributes(const std::string& path) {
    char buffer[64] = {};
    const ssize_t n = ::getxattr(path.c_str(), kDosAttrib, buffer, sizeof buffer - 1);
    if (n <= 2 || buffer[0] != '0' || (buffer[1] != 'x' && buffer[1] != 'X'))
        return 0;
    buffer[n] = '\0';
    return static_cast<unsigned>(std::strtoul(buffer + 2, nullptr, 16)) & kXattrBits;
}

bool storeAttributes(const std::string& path, unsigned bits) {
    bits &= kXattrBits;
    if (bits == 0) {
        if (::removexattr(path.c_str(), kDosAttrib) == 0)
            return true;
        return errno == ENODATA || errno == ENOTSUP;
    }
    char text[16];
    const int n = std::snprintf(text, sizeof text, "0x%x", bits);
    return ::setxattr(path.c_str(), kDosAttrib, text, static_cast<std::size_t>(n), 0) == 0;
}

std::string lastComponent(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool readStatus(const std::string& path, entryInfo& info) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
        info.isDirectory = S_ISDIR(sx.stx_mode);
        info.size = sx.stx_size;
        info.accessTime = sx.stx_atime.tv_sec;
        info.modificationTime = sx.stx_mtime.tv_sec;
        info.creationTime = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
        info.attributes = posix::attributesOf(path, info.isDirectory, sx.stx_mode);
        info.isSpecial = !info.isDirectory && !S_ISREG(sx.stx_mode);
        return true;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    info.isDirectory = S_ISDIR(st.st_mode);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.accessTime = st.st_atime;
    info.modificationTime = st.st_mtime;
    info.creationTime = st.st_mtime;
    info.attributes = posix::attributesOf(path, info.isDirectory, st.st_mode);
    info.isSpecial = !info.isDirectory && !S_ISREG(st.st_mode);
    return true;
}

bool isReadOnlyMode(unsigned mode) {
    return (mode & S_IWUSR) == 0;
}

// Opens a regular file only: a pipe or device would block in open() or in
// the first read, so it is opened without blocking and refused.
int openRegular(const std::string& path, int flags, mode_t mode = 0) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

unsigned posix::attributesOf(const std::string& path, bool isDirectory, unsigned mode) {
    unsigned bits = storedAttributes(path);
    if (isDirectory)
        bits |= attrDirectory;
    else if (isReadOnlyMode(mode))
        bits |= attrReadOnly;
    const std::string leaf = lastComponent(path);
    if (!leaf.empty() && leaf[0] == '.' && leaf != "." && leaf != "..")
        bits |= attrHidden;
    return bits;
}

bool entryExists(const wchar_t* name) {
    std::string path;
    return host(name, path) && ::access(path.c_str(), F_OK) == 0;
}

bool entryStatus(const wchar_t* name, entryInfo& info) {
    info = entryInfo{};
    std::string path;
    return host(name, path) && readStatus(path, info);
}

// Write access also needs the owner write bit, so that a read-only file is
// read-only for every caller, as on Windows (root included).
bool checkAccess(const wchar_t* name, int mode) {
    std::string path;
    if (!host(name, path))
        return false;
    int how = F_OK;
    if (mode & 2)
        how |= W_OK;
    if (mode & 4)
        how |= R_OK;
    if (::access(path.c_str(), how) != 0)
        return false;
    if (mode & 2) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return false;
        if (!S_ISDIR(st.st_mode) && isReadOnlyMode(st.st_mode))
            return false;
    }
    return true;
}

bool createNewFile(const wchar_t* name, bool writable) {
    std::string path;
    if (!host(name, path))
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, writable ? 0666 : 0444);
    if (fd < 0)
        return false;
    return ::close(fd) == 0;
}

bool setWritable(const wchar_t* name, bool writable) {
    std::string path;
    struct stat st {};
    if (!host(name, path) || ::stat(path.c_str(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (writable) {
        mode |= S_IWUSR;
    } else {
        mode &= static_cast<mode_t>(~0222);
    }
    return ::chmod(path.c_str(), mode) == 0;
}

bool setAttributes(const wchar_t* name, unsigned attributes) {
    std::string path;
    struct stat st {};
    if (!host(name, path) || ::stat(path.c_str(), &st) != 0)
        return false;
    bool ok = true;
    if (!S_ISDIR(st.st_mode) && isReadOnlyMode(st.st_mode) != ((attributes & attrReadOnly) != 0))
        ok = setWritable(name, (attributes & attrReadOnly) == 0);
    if ((storedAttributes(path) & kXattrBits) != (attributes & kXattrBits))
        ok = storeAttributes(path, attributes) && ok;
    return ok;
}

bool setTimes(const wchar_t* name, const long long*, const long long* access, const long long* modification) {
    std::string path;
    if (!host(name, path))
        return false;
    timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (access != nullptr) {
        times[0].tv_sec = static_cast<time_t>(*access);
        times[0].tv_nsec = 0;
    }
    if (modification != nullptr) {
        times[1].tv_sec = static_cast<time_t>(*modification);
        times[1].tv_nsec = 0;
    }
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool removeFile(const wchar_t* name) {
    std::string path;
    struct stat st {};
    if (!host(name, path) || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (!S_ISLNK(st.st_mode) && isReadOnlyMode(st.st_mode))
        return false; // Windows refuses to delete a read-only file
    return ::unlink(path.c_str()) == 0;
}

bool renameEntry(const wchar_t* from, const wchar_t* to) {
    std::string source, target;
    if (!host(from, source) || !host(to, target))
        return false;
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot refuse the replacement itself.
    if (::access(target.c_str(), F_OK) == 0)
        return false;
    return ::rename(source.c_str(), target.c_str()) == 0;
}

namespace {

bool copyHostFile(const std::string& source, const std::string& target, bool failIfExists) {
    const int in = openRegular(source, O_RDONLY);
    if (in < 0)
        return false;
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        ::close(in);
        return false;
    }
    // Refused: a target that is no writable regular file, or that is the
    // source itself (emptying it would empty the source).
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 &&
        (!S_ISREG(existing.st_mode) || isReadOnlyMode(existing.st_mode) ||
         (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino))) {
        ::close(in);
        return false;
    }
    const int out = openRegular(target, O_WRONLY | O_CREAT | (failIfExists ? O_EXCL : O_TRUNC), 0666);
    if (out < 0) {
        ::close(in);
        return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ssize_t done = 0;
        while (done < got) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                ok = false;
                break;
            }
            done += put;
        }
        if (!ok)
            break;
    }
    if (ok) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        ::fchmod(out, st.st_mode & 07777);
    }
    ok = (::close(out) == 0) && ok;
    ::close(in);
    if (ok) {
        const unsigned bits = storedAttributes(source);
        if (bits != 0)
            storeAttributes(target, bits);
    }
    return ok;
}

} // namespace

bool copyFile(const wchar_t* from, const wchar_t* to, bool failIfExists) {
    std::string source, target;
    if (!host(from, source) || !host(to, target))
        return false;
    return copyHostFile(source, target, failIfExists);
}

bool moveFile(const wchar_t* from, const wchar_t* to) {
    std::string source, target;
    if (!host(from, source) || !host(to, target))
        return false;
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EINVAL || errno == ENOSYS) {
        if (::access(target.c_str(), F_OK) == 0)
            return false;
        if (::rename(source.c_str(), target.c_str()) == 0)
            return true;
    }
    if (errno != EXDEV)
        return false;
    // Another volume: copy, then delete the source.
    if (!copyHostFile(source, target, true))
        return false;
    if (::unlink(source.c_str()) != 0) {
        ::unlink(target.c_str());
        return false;
    }
    return true;
}

bool createDirectory(const wchar_t* name) {
    std::string path;
    return host(name, path) && ::mkdir(path.c_str(), 0777) == 0;
}

// As on Windows, a link to a folder goes itself, never what it leads to.
bool removeDirectory(const wchar_t* name) {
    std::string path;
    if (!host(name, path))
        return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        struct stat target {};
        return ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode) && ::unlink(path.c_str()) == 0;
    }
    return ::rmdir(path.c_str()) == 0;
}

// ---- reading and writing -----------------------------------------------

struct fileHandle {
    int fd;
};

fileHandle* openForRead(const wchar_t* name) {
    std::string path;
    if (!host(name, path))
        return nullptr;
    const int fd = openRegular(path, O_RDONLY);
    if (fd < 0)
        return nullptr;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return new fileHandle{fd};
}

fileHandle* openForReadShared(const wchar_t* name) {
    return openForRead(name); // a reader never excludes a writer here
}

fileHandle* openForAppend(const wchar_t* name) {
    std::string path;
    if (!host(name, path))
        return nullptr;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && isReadOnlyMode(st.st_mode))
        return nullptr;
    const int fd = openRegular(path, O_WRONLY | O_APPEND | O_CREAT, 0666);
    return fd < 0 ? nullptr : new fileHandle{fd};
}

fileHandle* openForWrite(const wchar_t* name) {
    std::string path;
    if (!host(name, path))
        return nullptr;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && isReadOnlyMode(st.st_mode))
        return nullptr;
    const int fd = openRegular(path, O_WRONLY | O_TRUNC | O_CREAT, 0666);
    return fd < 0 ? nullptr : new fileHandle{fd};
}

long long readFile(fileHandle* handle, void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(handle->fd, buffer, size);
        if (got < 0 && errno == EINTR)
            continue;
        return got;
    }
}

bool readFileAt(fileHandle* handle, std::uint64_t offset, void* buffer, std::size_t size) {
    return posix::readAllAt(handle->fd, offset, buffer, size);
}

bool writeFile(fileHandle* handle, const void* data, std::size_t size) {
    return posix::writeAll(handle->fd, data, size);
}

bool fileSizeOf(fileHandle* handle, std::uint64_t& size) {
    struct stat st {};
    if (::fstat(handle->fd, &st) != 0)
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void closeFile(fileHandle* handle) {
    if (handle == nullptr)
        return;
    ::close(handle->fd);
    delete handle;
}

// ---- searching a folder ------------------------------------------------

namespace {

wchar_t foldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
}

// '*' any run, '?' one character, ignoring case; iterative with one
// back-tracking point, so no pattern can make it slow.
bool wildcardMatch(const std::wstring& pattern, const std::wstring& text) {
    std::size_t p = 0, t = 0, star = std::wstring::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || foldAscii(pattern[p]) == foldAscii(text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            mark = t;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

// As the Windows search does, a trailing ".*" or "." in the pattern stands
// for "no extension" too.
bool nameMatches(const std::wstring& pattern, const std::wstring& name) {
    if (wildcardMatch(pattern, name))
        return true;
    if (name.find(L'.') != std::wstring::npos)
        return false;
    // A pattern ending in ".*" also takes names without an extension ("*.*"
    // takes every name); one ending in a lone "." takes only those ("*.").
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, L".*") == 0)
        return wildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    return pattern.size() >= 2 && pattern.back() == L'.' && pattern[pattern.size() - 2] != L'.' &&
           wildcardMatch(pattern.substr(0, pattern.size() - 1), name);
}

// A name that holds a backslash would name another entry once joined to
// its folder, and one that is not valid UTF-8 would not lead back to
// itself: neither can be handled through the library's names, so both are
// left out.
bool expressible(const char* leaf, std::wstring& name) {
    name.clear();
    const std::size_t length = std::strlen(leaf);
    bool wide = false;
    for (std::size_t i = 0; i < length; ++i) {
        if (leaf[i] == '\\')
            return false;
        wide = wide || static_cast<unsigned char>(leaf[i]) >= 0x80;
    }
    detail::utf8ToWide(leaf, length, name);
    if (!wide)
        return true;
    std::string back;
    detail::wideToUtf8(name.data(), name.size(), back);
    return back.size() == length && back.compare(0, length, leaf) == 0;
}

} // namespace

struct findHandle {
    DIR* dir = nullptr;
    std::string folder;
    std::wstring pattern;
    bool matchAll = false;
    unsigned wanted = 0;
};

// Only what the caller looks at is asked for: the folder bit comes from the
// directory entry where the file system fills it in, a status is read for
// the read-only bit, the extended attribute for hidden, system and archive.
bool findNext(findHandle* handle, findData& found) {
    if (handle == nullptr)
        return false;
    while (dirent* entry = ::readdir(handle->dir)) {
        const char* leaf = entry->d_name;
        if (leaf[0] == '.' && (leaf[1] == '\0' || (leaf[1] == '.' && leaf[2] == '\0')))
            continue;
        if (!expressible(leaf, found.name))
            continue;
        if (!handle->matchAll && !nameMatches(handle->pattern, found.name))
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        const bool isLink = entry->d_type == DT_LNK;
        const bool needStatus = entry->d_type == DT_UNKNOWN || isLink || (handle->wanted & attrReadOnly) != 0;
        std::string path;
        if (needStatus || (handle->wanted & kXattrBits) != 0) {
            path = handle->folder;
            if (path.empty() || path.back() != '/')
                path.push_back('/');
            path.append(leaf);
        }
        unsigned mode = 0;
        if (needStatus) {
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0)
                continue; // vanished meanwhile
            isDirectory = S_ISDIR(st.st_mode);
            mode = st.st_mode;
        }
        unsigned bits = isDirectory ? attrDirectory : 0;
        if (needStatus && !isDirectory && isReadOnlyMode(mode))
            bits |= attrReadOnly;
        if (leaf[0] == '.')
            bits |= attrHidden;
        if (isLink)
            bits |= attrReparsePoint;
        if (handle->wanted & kXattrBits)
            bits |= storedAttributes(path);
        found.attributes = bits;
        return true;
    }
    return false;
}

findHandle* findFirst(const wchar_t* pattern, findData& found, unsigned wanted) {
    found = findData{};
    if (pattern == nullptr)
        return nullptr;
    const std::wstring text(pattern);
    const std::size_t cut = text.find_last_of(L"\\/");
    if (cut == std::wstring::npos)
        return nullptr;
    std::string folder;
    if (!host(text.substr(0, cut + 1).c_str(), folder))
        return nullptr;
    auto* handle = new findHandle;
    handle->folder = folder;
    handle->pattern = text.substr(cut + 1);
    handle->matchAll = handle->pattern == L"*" || handle->pattern == L"*.*";
    handle->wanted = wanted;
    handle->dir = ::opendir(folder.c_str());
    if (handle->dir == nullptr || !findNext(handle, found)) {
        findClose(handle);
        return nullptr;
    }
    return handle;
}

void findClose(findHandle* handle) {
    if (handle == nullptr)
        return;
    if (handle->dir != nullptr)
        ::closedir(handle->dir);
    delete handle;
}

// ---- volumes and well-known folders ------------------------------------

bool diskSpace(const wchar_t* dir, std::uint64_t& available, std::uint64_t& total, std::uint64_t& free) {
    std::string path;
    struct statvfs vfs {};
    if (!host(dir, path) || ::statvfs(path.c_str(), &vfs) != 0)
        return false;
    const std::uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    available = static_cast<std::uint64_t>(vfs.f_bavail) * unit;
    total = static_cast<std::uint64_t>(vfs.f_blocks) * unit;
    free = static_cast<std::uint64_t>(vfs.f_bfree) * unit;
    return true;
}

bool isRemoteDrive(const wchar_t* root) {
    std::string path;
    struct statfs fs {};
    if (!host(root, path) || ::statfs(path.c_str(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x73757245UL: // Coda
    case 0x5346414FUL: // AFS
    case 0x00C36400UL: // Ceph
    case 0x01021997UL: // 9P
    case 0x013111A8UL: // IBRIX
    case 0x47504653UL: // GPFS
        return true;
    default:
        return false;
    }
}

namespace {

std::string homeFolder() {
    const char* env = std::getenv("HOME");
    if (env != nullptr && env[0] == '/')
        return env;
    return "/";
}

std::string envFolder(const char* name, const std::string& fallback) {
    const char* env = std::getenv(name);
    return (env != nullptr && env[0] == '/') ? std::string(env) : fallback;
}

// A folder of "user-dirs.dirs" (XDG_DOCUMENTS_DIR="$HOME/Documents").
std::string userDir(const char* key, const std::string& fallback) {
    const std::string file = envFolder("XDG_CONFIG_HOME", homeFolder() + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    const std::string prefix = std::string(key) + "=\"";
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string value = line.substr(prefix.size());
        const std::size_t quote = value.find('"');
        if (quote == std::string::npos)
            break;
        value.resize(quote);
        if (value.compare(0, 5, "$HOME") == 0)
            value = homeFolder() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return value;
        break;
    }
    return fallback;
}

std::string firstOf(const char* listName, const std::string& fallback) {
    const char* env = std::getenv(listName);
    if (env == nullptr || env[0] != '/')
        return fallback;
    std::string list = env;
    return list.substr(0, list.find(':'));
}

} // namespace

bool shellFolderPath(shellFolder which, std::wstring& path) {
    std::string folder;
    const std::string home = homeFolder();
    switch (which) {
    case shellFolder::documents:
        folder = userDir("XDG_DOCUMENTS_DIR", home + "/Documents");
        break;
    case shellFolder::desktop:
        folder = userDir("XDG_DESKTOP_DIR", home + "/Desktop");
        break;
    case shellFolder::commonDocuments:
        folder = userDir("XDG_PUBLICSHARE_DIR", home + "/Public");
        break;
    case shellFolder::appData:
        folder = envFolder("XDG_CONFIG_HOME", home + "/.config");
        break;
    case shellFolder::localAppData:
        folder = envFolder("XDG_DATA_HOME", home + "/.local/share");
        break;
    case shellFolder::commonAppData:
        folder = firstOf("XDG_DATA_DIRS", "/usr/local/share");
        break;
    }
    path = libraryPathFromHost(posix::fromUtf8(folder));
    return !path.empty() && path[0] != L'/';
}

bool fallbackTempDirectory(std::wstring& dir) {
    dir = libraryPathFromHost(posix::fromUtf8(envFolder("TMPDIR", "/tmp")));
    return !dir.empty() && dir[0] != L'/';
}

bool sameEntry(const wchar_t* a, const wchar_t* b) {
    std::string first, second;
    struct stat sa {};
    struct stat sb {};
    return host(a, first) && host(b, second) && ::stat(first.c_str(), &sa) == 0 &&
           ::stat(second.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool isLink(const wchar_t* name) {
    std::string path;
    struct stat st {};
    return host(name, path) && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool canListDirectory(const wchar_t* dir) {
    std::string path;
    if (!host(dir, path))
        return false;
    DIR* d = ::opendir(path.c_str());
    if (d == nullptr)
        return false;
    errno = 0;
    const bool ok = ::readdir(d) != nullptr || errno == 0;
    ::closedir(d);
    return ok;
}

bool systemReadsVersionResources() {
    return false;
}

bool systemFixedVersion(const wchar_t*, std::uint32_t (&)[4]) {
    return false;
}

} // namespace zv::os
