// Shared appending on POSIX: O_APPEND makes each write land whole at the end
// of the file, also with other processes writing to it.
//
// Whether the name still leads to the open file is asked of the kernel's
// change notification where it has one: a watch on the file reports that it
// lost a link (removed, or replaced by another file renamed onto its name) or
// moved, and a watch on each folder above it reports that the folder moved.
// The kernel queues these events while the change happens, so an empty
// queue answers "unchanged" without walking the path. After any event, and
// wherever a watch cannot be had, the path is looked up instead.
#include "../zvOsLogFile.h"
#include "../zvOsProcess.h"
#include "zvOsPosixPath.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <sys/inotify.h>
#include <sys/ioctl.h>
#endif

namespace zv::os {

struct sharedAppender {
    int fd;
    dev_t device;
    ino_t inode;
    std::uint64_t size;      // as last seen by the system, plus what we appended since
    std::wstring name;       // as opened, and its host path: mapping it again
    std::string host;        // for every line would cost a lookup of its own
    int watch = -1;          // change notification on `host`, or -1
    unsigned long owner = 0; // the process that reads `watch`
};

namespace {

bool sameFile(const struct stat& st, const sharedAppender& h) {
    return st.st_dev == h.device && st.st_ino == h.inode;
}

#if defined(__linux__)
// Watches the file at `host` and every folder above it; -1 when the path is
// not absolute and plain, when it or a folder on it is a symbolic link (its
// target could change without an event here), when the system has no
// watches left, or when the name no longer leads to the open file once all
// are in place.
int watchPath(const sharedAppender& h) {
    const std::string& host = h.host;
    if (host.empty() || host[0] != '/' || host.find("/./") != std::string::npos ||
        host.find("/../") != std::string::npos || host.find("//") != std::string::npos)
        return -1;
    const int in = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (in < 0)
        return -1;
    bool ok = ::inotify_add_watch(in, host.c_str(),
                                  IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF | IN_DONT_FOLLOW) >= 0;
    // A symbolic link on the way is no folder when not followed: refused.
    for (std::string folder = posix::folderOf(host); ok; folder = posix::folderOf(folder)) {
        ok = ::inotify_add_watch(in, folder.c_str(),
                                 IN_MOVE_SELF | IN_DELETE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR) >= 0;
        if (folder == "/")
            break;
    }
    // A change before the watches were in place sent no event: look once
    // more. Not following a link at the name, which would have been watched
    // instead of the file it leads to.
    struct stat st {};
    if (!ok || ::lstat(host.c_str(), &st) != 0 || !sameFile(st, h)) {
        ::close(in);
        return -1;
    }
    return in;
}

// True when nothing was reported since the last call. Asking how much is
// queued costs less than a read that finds nothing; what is queued is read,
// so that the next call starts from an empty queue.
bool quiet(int watch) {
    int queued = 0;
    if (::ioctl(watch, FIONREAD, &queued) == 0 && queued == 0)
        return true;
    alignas(struct inotify_event) char events[4096];
    bool none = true;
    for (;;) {
        const ssize_t n = ::read(watch, events, sizeof events);
        if (n > 0) {
            none = false;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            none = false; // unknown: look the path up
            continue;
        }
        return none && n < 0 && errno == EAGAIN;
    }
}
#else
int watchPath(const sharedAppender&) {
    return -1;
}
bool quiet(int) {
    return false;
}
#endif

} // namespace

bool keepSharedAppendOpen() {
    return true;
}

sharedAppender* openSharedAppend(const wchar_t* name) {
    std::string path;
    if (name == nullptr || !posix::mapToHost(name, path))
        return nullptr;
    // Without blocking, so that a pipe standing at the name cannot hang us.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto* h =
        new sharedAppender{fd, st.st_dev, st.st_ino, static_cast<std::uint64_t>(st.st_size), name, path};
    h->watch = watchPath(*h);
    h->owner = currentProcessId();
    return h;
}

bool sharedAppendStillNames(sharedAppender* handle, const wchar_t* name, std::uint64_t& size) {
    if (handle == nullptr || name == nullptr)
        return false;
    const bool same = handle->name == name;
    // A child after fork shares the queue with its parent and must not take
    // the parent's events: it looks the path up.
    const bool watched = same && handle->watch >= 0 && handle->owner == currentProcessId();
    if (watched && quiet(handle->watch)) {
        size = handle->size;
        return true;
    }
    std::string mapped;
    if (!same && !posix::mapToHost(name, mapped))
        return false;
    struct stat st {};
    if (::stat(same ? handle->host.c_str() : mapped.c_str(), &st) != 0 || !sameFile(st, *handle))
        return false;
    handle->size = static_cast<std::uint64_t>(st.st_size);
    size = handle->size;
    if (watched) {
        // The name leads to the file in another way now (a link put in its
        // place, say): the watches follow that way, or the path is looked up.
        ::close(handle->watch);
        handle->watch = watchPath(*handle);
    }
    return true;
}

bool sharedAppend(sharedAppender* handle, const void* data, std::size_t size) {
    if (handle == nullptr)
        return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(handle->fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        handle->size += static_cast<std::uint64_t>(n);
    }
    return true;
}

void closeSharedAppend(sharedAppender* handle) {
    if (handle == nullptr)
        return;
    if (handle->watch >= 0)
        ::close(handle->watch);
    ::close(handle->fd);
    delete handle;
}

} // namespace zv::os
