// Replacing a file in one step on POSIX systems: a hidden temporary file in
// the target's folder, fsync, the target's mode, owner and DOS attributes,
// rename(2) over the target and an fsync of the folder, so the new name is
// on the disk as well.
#include "../zvOs.h"
#include "zvOsPosixPath.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace zv::os {

struct replaceHandle {
    int fd = -1;
    std::string target; // the file that is replaced (a link's destination)
    std::string temp;
    bool existed = false;
    struct stat targetStatus {};
};

namespace {

void closeAndRemove(replaceHandle* handle) {
    if (handle->fd >= 0)
        ::close(handle->fd);
    handle->fd = -1;
    ::unlink(handle->temp.c_str());
}

} // namespace

replaceHandle* beginReplace(const wchar_t* target) {
    std::string mapped;
    if (target == nullptr || *target == L'\0' || !posix::mapToHost(target, mapped))
        return nullptr;
    auto* handle = new replaceHandle;
    if (!posix::resolveLink(mapped, handle->target)) {
        delete handle;
        return nullptr;
    }
    if (!posix::replaceableTarget(handle->target, handle->targetStatus, handle->existed)) {
        delete handle;
        return nullptr;
    }
    handle->fd = posix::createTempBeside(handle->target, O_WRONLY, handle->temp);
    if (handle->fd >= 0)
        return handle;
    delete handle;
    return nullptr;
}

bool writeReplace(replaceHandle* handle, const void* data, std::size_t size) {
    return handle != nullptr && handle->fd >= 0 && posix::writeAll(handle->fd, data, size);
}

bool commitReplace(replaceHandle* handle) {
    if (handle == nullptr)
        return false;
    bool ok = handle->fd >= 0;
    if (ok && handle->existed)
        ok = posix::takeOverStatus(handle->fd, handle->target, handle->targetStatus);
    ok = ok && ::fsync(handle->fd) == 0;
    if (handle->fd >= 0) {
        ok = ::close(handle->fd) == 0 && ok;
        handle->fd = -1;
    }
    ok = ok && ::rename(handle->temp.c_str(), handle->target.c_str()) == 0;
    // Once renamed the content is in place; syncing the folder only hastens the new name.
    if (!ok)
        closeAndRemove(handle);
    else
        posix::syncFolder(posix::folderOf(handle->target));

    delete handle;
    return ok;
}

std::wstring replaceTempName(const replaceHandle* handle) {
    return handle == nullptr ? std::wstring() : libraryPathFromHost(posix::fromUtf8(handle->temp));
}

void abortReplace(replaceHandle* handle) {
    if (handle == nullptr)
        return;
    closeAndRemove(handle);
    delete handle;
}

namespace posix {

namespace {
constexpr unsigned kMaxTempAttempts = 100;
std::atomic<unsigned> g_tempCounter{0};
} // namespace

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool resolveLink(const std::string& path, std::string& resolved) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        resolved = path;
        return true;
    }
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return false; // a dangling link names no file to replace
    resolved = real;
    std::free(real);
    return true;
}

bool replaceableTarget(const std::string& target, struct stat& status, bool& existed) {
    existed = ::stat(target.c_str(), &status) == 0;
    if (!existed)
        return errno == ENOENT;
    return S_ISREG(status.st_mode) && (status.st_mode & S_IWUSR) != 0;
}

bool takeOverStatus(int fd, const std::string& target, const struct stat& status) {
    if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
        // not the owner: the file keeps ours, as any editor's copy would
    }
    char value[64];
    const ssize_t n = ::getxattr(target.c_str(), "user.DOSATTRIB", value, sizeof value);
    if (n > 0)
        ::fsetxattr(fd, "user.DOSATTRIB", value, static_cast<std::size_t>(n), 0);
    return ::fchmod(fd, status.st_mode & 07777) == 0;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, p, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        p += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool writeAllAt(int fd, std::uint64_t offset, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        if (offset > static_cast<std::uint64_t>(LLONG_MAX) - size)
            return false;
        const ssize_t put = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        p += put;
        size -= static_cast<std::size_t>(put);
        offset += static_cast<std::uint64_t>(put);
    }
    return true;
}

bool readAllAt(int fd, std::uint64_t offset, void* buffer, std::size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        if (offset > static_cast<std::uint64_t>(LLONG_MAX) - size)
            return false;
        const ssize_t got = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

int createTempBeside(const std::string& target, int flags, std::string& temp) {
    const std::string folder = folderOf(target);
    const std::size_t slash = target.find_last_of('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (unsigned attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".~%x%x%lx.tmp", static_cast<unsigned>(::getpid()),
                      g_tempCounter.fetch_add(1), static_cast<unsigned long>(now.tv_nsec));
        // Built by appending: GCC 12 at -O3 misreads a concatenation as overlapping copies.
        temp.assign(folder == "/" ? std::string() : folder);
        temp.append("/.");
        temp.append(base, 0, NAME_MAX - 1 - std::char_traits<char>::length(suffix));
        temp.append(suffix);
        const int fd = ::open(temp.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace posix

} // namespace zv::os
