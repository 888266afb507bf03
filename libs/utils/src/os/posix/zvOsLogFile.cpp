// Shared appending on POSIX: O_APPEND makes each write land whole at the end
// of the file, also with other processes writing to it.
#include "../zvOsLogFile.h"
#include "zvOsPosixPath.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::os {

struct sharedAppender {
    int fd;
    dev_t device;
    ino_t inode;
    std::wstring name; // as opened, and its host path: mapping it again
    std::string host;  // for every line would cost a lookup of its own
};

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
    return new sharedAppender{fd, st.st_dev, st.st_ino, name, path};
}

bool sharedAppendStillNames(sharedAppender* handle, const wchar_t* name, std::uint64_t& size) {
    if (handle == nullptr || name == nullptr)
        return false;
    std::string mapped;
    const bool same = handle->name == name;
    if (!same && !posix::mapToHost(name, mapped))
        return false;
    struct stat st {};
    if (::stat(same ? handle->host.c_str() : mapped.c_str(), &st) != 0 || st.st_dev != handle->device || st.st_ino != handle->inode)
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
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
    }
    return true;
}

void closeSharedAppend(sharedAppender* handle) {
    if (handle == nullptr)
        return;
    ::close(handle->fd);
    delete handle;
}

} // namespace zv::os
