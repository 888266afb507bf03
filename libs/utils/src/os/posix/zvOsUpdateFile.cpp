// Files built beside their target and then written on in place, on POSIX
// systems: a hidden temporary file in the target's folder, pwrite at any
// offset, and at the first placing fsync, the target's mode, owner and DOS
// attributes and rename(2) over the target while the descriptor stays open.
#include "../zvOsUpdateFile.h"
#include "zvOsPosixPath.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::os {

struct updateHandle {
    int fd = -1;
    std::string target; // a link's destination, so the link stays a link
    std::string temp;
    bool placed = false;
};

updateHandle* beginUpdate(const wchar_t* target) {
    std::string mapped;
    if (target == nullptr || *target == L'\0' || !posix::mapToHost(target, mapped))
        return nullptr;
    auto* handle = new updateHandle;
    struct stat st {};
    bool existed = false;
    if (!posix::resolveLink(mapped, handle->target) ||
        !posix::replaceableTarget(handle->target, st, existed)) {
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
    return handle != nullptr && handle->fd >= 0 && posix::writeAllAt(handle->fd, offset, data, size);
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
    // The target may have become a folder or read-only meanwhile.
    struct stat st {};
    bool existed = false;
    if (!posix::replaceableTarget(handle->target, st, existed) ||
        (existed && !posix::takeOverStatus(handle->fd, handle->target, st)) || ::fsync(handle->fd) != 0 ||
        ::rename(handle->temp.c_str(), handle->target.c_str()) != 0)
        return false;
    handle->placed = true;
    posix::syncFolder(
        posix::folderOf(handle->target)); // the content is in place; this only hastens the new name
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
    return posix::readAllAt(handle->fd, offset, buffer, size);
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
