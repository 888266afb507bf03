// Lock files on POSIX systems: O_CREAT|O_EXCL decides who holds the lock;
// the holder keeps an exclusive flock(2) on its file, which the kernel drops
// when the process ends, so that a left-behind file can be told from a held
// one and removed by exactly one waiter.
#include "../zvOsLockFile.h"
#include "zvOsPosixPath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace zv::os {

struct lockFileHandle {
    int fd = -1;
    std::string path;
};

namespace {

constexpr std::size_t kMaxRecord = 4096;

bool lockDescriptor(int fd, int how) {
    for (;;) {
        if (::flock(fd, how) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// Whether `path` still names the file open as `fd`.
bool namesSameFile(const std::string& path, int fd) {
    struct stat byName {
    }, byHandle{};
    return ::stat(path.c_str(), &byName) == 0 && ::fstat(fd, &byHandle) == 0 &&
           byName.st_dev == byHandle.st_dev && byName.st_ino == byHandle.st_ino;
}

} // namespace

lockAttempt createLockFile(const wchar_t* name, const std::string& record, lockFileHandle*& handle,
                           unsigned long& error) {
    handle = nullptr;
    error = 0;
    std::string path;
    if (name == nullptr || !posix::mapToHost(name, path)) {
        error = ENOENT;
        return lockAttempt::failed;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            return lockAttempt::exists;
        error = static_cast<unsigned long>(errno);
        return lockAttempt::failed;
    }
    // A waiter that looks at the new file before the record is written
    // finds no record and leaves it alone.
    if (!lockDescriptor(fd, LOCK_EX) || !posix::writeAll(fd, record.data(), record.size())) {
        error = static_cast<unsigned long>(errno);
        ::unlink(path.c_str());
        ::close(fd);
        return lockAttempt::failed;
    }
    static const char hidden[] = "0x2";
    ::fsetxattr(fd, "user.DOSATTRIB", hidden, sizeof hidden - 1, 0); // where the file system takes it
    handle = new lockFileHandle{fd, path};
    return lockAttempt::taken;
}

bool releaseLockFile(lockFileHandle* handle) {
    if (handle == nullptr)
        return true;
    bool ok = true;
    // Deleted while the flock is still held, so no waiter can take the
    // name for a left-behind file meanwhile.
    if (namesSameFile(handle->path, handle->fd))
        ok = ::unlink(handle->path.c_str()) == 0 || errno == ENOENT;
    ::close(handle->fd);
    delete handle;
    return ok;
}

bool removeStaleLockFile(const wchar_t* name, staleTest isStale, void* user) {
    std::string path;
    if (name == nullptr || isStale == nullptr || !posix::mapToHost(name, path))
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    bool removed = false;
    // Holding the flock, this process is the only one that may delete the
    // file; the name must still be this file (another waiter may have
    // removed it and a new holder created one since it was opened).
    if (lockDescriptor(fd, LOCK_EX | LOCK_NB) && namesSameFile(path, fd)) {
        std::string record(kMaxRecord, '\0');
        ssize_t got = -1;
        do
            got = ::pread(fd, record.data(), record.size(), 0);
        while (got < 0 && errno == EINTR);
        if (got > 0) {
            record.resize(static_cast<std::size_t>(got));
            removed = isStale(record, user) && ::unlink(path.c_str()) == 0;
        }
    }
    ::close(fd);
    return removed;
}

} // namespace zv::os
