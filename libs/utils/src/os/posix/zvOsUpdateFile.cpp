// Files built beside their target and then written on in place, on POSIX
// systems: a hidden temporary file in the target's folder, pwrite at any
// offset, and at the first placing fsync, the target's mode, owner and DOS
// attributes and rename(2) over the target while the descriptor stays open.
#include "../zvOsUpdateFile.h"
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

struct updateHandle {
    int fd = -1;
    std::string target; // a link's destination, so the link stays a link
    std::string temp;
    bool placed = false;
};

namespace {

// Owner and "user.DOSATTRIB" as far as the system allows; the mode must take.
bool takeOverTarget(const updateHandle& handle) {
    struct stat st {};
    if (::stat(handle.target.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0)
        return false; // became a folder or read-only meanwhile
    if (::fchown(handle.fd, st.st_uid, st.st_gid) != 0) {
        // not the owner: the file keeps ours, as any editor's copy would
    }
    char value[64];
    const ssize_t n = ::getxattr(handle.target.c_str(), "user.DOSATTRIB", value, sizeof value);
    if (n > 0)
        ::fsetxattr(handle.fd, "user.DOSATTRIB", value, static_cast<std::size_t>(n), 0);
    return ::fchmod(handle.fd, st.st_mode & 07777) == 0;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

updateHandle* beginUpdate(const wchar_t* target) {
    std::string mapped;
    if (target == nullptr || *target == L'\0' || !posix::mapToHost(target, mapped))
        return nullptr;
    auto* handle = new updateHandle;
    struct stat st {};
    if (!posix::resolveLink(mapped, handle->target) ||
        (::stat(handle->target.c_str(), &st) == 0 ? (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0)
                                                  : errno != ENOENT)) {
        delete handle;
        return nullptr;
    }
    handle->fd = posix::createTempBeside(handle->target, O_RDWR, handle->temp);
    if (handle->fd >= 0)
        return handle;
    delete handle;
    return nullptr;
}

bool writeUpdateAt(updateHandle* handle, std::uint64_t offset, const void* data, std::size_t size) {
    if (handle == nullptr || handle->fd < 0)
        return false;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        if (offset > static_cast<std::uint64_t>(LLONG_MAX) - size)
            return false;
        const ssize_t put = ::pwrite(handle->fd, p, size, static_cast<off_t>(offset));
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

bool setUpdateSize(updateHandle* handle, std::uint64_t size) {
    return handle != nullptr && handle->fd >= 0 && size <= static_cast<std::uint64_t>(LLONG_MAX) &&
           ::ftruncate(handle->fd, static_cast<off_t>(size)) == 0;
}

bool syncUpdate(updateHandle* handle) {
    return handle != nullptr && handle->fd >= 0 && ::fsync(handle->fd) == 0;
}

bool placeUpdate(updateHandle* handle) {
    if (handle == nullptr || handle->fd < 0)
        return false;
    if (handle->placed)
        return true;
    if (!takeOverTarget(*handle) || ::fsync(handle->fd) != 0 ||
        ::rename(handle->temp.c_str(), handle->target.c_str()) != 0)
        return false;
    handle->placed = true;
    syncFolder(posix::folderOf(handle->target)); // the content is in place; this only hastens the new name
    return true;
}

bool endUpdate(updateHandle* handle) {
    if (handle == nullptr)
        return true;
    bool ok = true;
    if (handle->fd >= 0)
        ok = ::close(handle->fd) == 0;
    if (!handle->placed)
        ::unlink(handle->temp.c_str());
    delete handle;
    return ok;
}

struct sharedReadHandle {
    int fd = -1;
};

sharedReadHandle* openSharedRead(const wchar_t* name) {
    std::string path;
    if (name == nullptr || !posix::mapToHost(name, path))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0)
        return nullptr;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return new sharedReadHandle{fd};
}

bool readSharedAt(sharedReadHandle* handle, std::uint64_t offset, void* buffer, std::size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        if (offset > static_cast<std::uint64_t>(LLONG_MAX) - size)
            return false;
        const ssize_t got = ::pread(handle->fd, p, size, static_cast<off_t>(offset));
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

bool sharedReadSize(sharedReadHandle* handle, std::uint64_t& size) {
    struct stat st {};
    if (::fstat(handle->fd, &st) != 0)
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void closeSharedRead(sharedReadHandle* handle) {
    if (handle == nullptr)
        return;
    ::close(handle->fd);
    delete handle;
}

} // namespace zv::os
