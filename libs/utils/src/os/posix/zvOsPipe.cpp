// Named pipes on Linux: two FIFOs per pipe pair in a private folder of the
// user, locks against a second server or client, poll() for every wait.
#include "../zvOsPipe.h"
#include "../zvOs.h"
#include "zvOsPosixPath.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cwctype>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::os {

struct pipeConnection {
    bool server = false;
    int readFd = -1;
    int writeFd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    int lockFd = -1;
    std::string readPath, writePath, lockPath;
    bool readGone = false;
    bool writeGone = false;
};

namespace {

using clock = std::chrono::steady_clock;

// The folder of the FIFOs, created on first use; empty when it cannot be
// made private to the user (a folder of someone else, or a link, is refused).
std::string pipeFolder() {
    std::string dir;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        dir = std::string(runtime) + "/zv-pipes";
    else
        dir = "/tmp/zv-pipes-" + std::to_string(::geteuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return std::string();
    if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0)
        return std::string();
    return dir;
}

// The file name of a pipe: "\\.\PIPE\Name_IN" gives "name_in". False for
// another machine, another namespace or an empty or invalid name.
bool pipeFileName(const std::wstring& pipeName, std::string& file) {
    static const std::wstring local = L"\\\\.\\";
    if (pipeName.size() <= local.size() + 5 || pipeName.compare(0, local.size(), local) != 0)
        return false;
    std::wstring rest = pipeName.substr(local.size());
    for (wchar_t& c : rest)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    if (rest.compare(0, 5, L"pipe\\") != 0)
        return false;
    rest.erase(0, 5);
    if (rest.empty() || rest.find(L'\\') != std::wstring::npos)
        return false;
    const std::string bytes = posix::toUtf8(rest);
    static const char hex[] = "0123456789ABCDEF";
    file.clear();
    for (const char ch : bytes) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '.' || b == '_' || b == '-') {
            file += static_cast<char>(b);
        } else {
            file += '%';
            file += hex[b >> 4];
            file += hex[b & 15];
        }
    }
    // Leave room for the lock files' suffix within the file name limit.
    return !file.empty() && file.size() <= 200 && file != "." && file != "..";
}

// An exclusive lock on `path`, held through the descriptor; -1 when someone
// holds it. A lock file that was replaced while we took it is tried again.
int takeLock(const std::string& path) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return -1;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return fd;
        ::close(fd);
    }
    return -1;
}

void releaseLock(pipeConnection& c) {
    if (c.lockFd >= 0) {
        ::unlink(c.lockPath.c_str()); // still ours: we hold the lock
        ::close(c.lockFd);
        c.lockFd = -1;
    }
}

// Opens a FIFO without blocking; -1 (errno set) for anything but a FIFO.
int openFifo(const std::string& path, int mode) {
    const int fd = ::open(path.c_str(), mode | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETPIPE_SZ, 131072); // as large as the Windows buffers; best effort
    return fd;
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool prepare(const std::wstring& readName, const std::wstring& writeName, const std::wstring& lockName,
             const char* lockSuffix, pipeConnection& c) {
    std::string readFile, writeFile, lockFile;
    if (!pipeFileName(readName, readFile) || !pipeFileName(writeName, writeFile) ||
        !pipeFileName(lockName, lockFile) || readFile == writeFile)
        return false;
    const std::string dir = pipeFolder();
    if (dir.empty())
        return false;
    c.readPath = dir + "/" + readFile;
    c.writePath = dir + "/" + writeFile;
    c.lockPath = dir + "/" + lockFile + lockSuffix;
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return false;
    c.wakeRead = fds[0];
    c.wakeWrite = fds[1];
    return true;
}

void closeAll(pipeConnection* c) {
    closeFd(c->readFd);
    closeFd(c->writeFd);
    if (c->server && c->lockFd >= 0) { // only the server that holds the name
        ::unlink(c->readPath.c_str());
        ::unlink(c->writePath.c_str());
    }
    releaseLock(*c);
    closeFd(c->wakeRead);
    closeFd(c->wakeWrite);
}

// Milliseconds left until `deadline` for poll(); -1 waits without limit.
int remainingMs(bool forever, clock::time_point deadline) {
    if (forever)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now()).count();
    if (left <= 0)
        return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// write() that never raises SIGPIPE: the signal is blocked for this thread
// during the call and one that the call caused is taken back.
ssize_t writeQuietly(int fd, const void* data, std::size_t size) {
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigset_t pending;
    sigemptyset(&pending);
    ::sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    const ssize_t n = ::write(fd, data, size);
    const int error = errno;
    if (n < 0 && error == EPIPE && !wasPending) {
        const timespec none{0, 0};
        while (::sigtimedwait(&pipeSignal, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return n;
}

} // namespace

pipeConnection* createPipeServer(const std::wstring& readName, const std::wstring& writeName) {
    auto* c = new pipeConnection;
    c->server = true;
    if (prepare(readName, writeName, readName, ".server", *c)) {
        c->lockFd = takeLock(c->lockPath);
        if (c->lockFd >= 0) {
            // Whatever a server that died left behind is replaced.
            ::unlink(c->readPath.c_str());
            ::unlink(c->writePath.c_str());
            if (::mkfifo(c->readPath.c_str(), 0600) == 0 && ::mkfifo(c->writePath.c_str(), 0600) == 0) {
                c->readFd = openFifo(c->readPath, O_RDONLY);
                if (c->readFd >= 0)
                    return c; // the write end opens once a client reads
            }
        }
    }
    closeAll(c);
    delete c;
    return nullptr;
}

pipeConnection* openPipeClient(const std::wstring& readName, const std::wstring& writeName) {
    auto* c = new pipeConnection;
    if (prepare(readName, writeName, writeName, ".client", *c)) {
        c->lockFd = takeLock(c->lockPath);
        if (c->lockFd >= 0) {
            // Reading end first: once the server sees us writing, it can
            // open its end for writing to us.
            c->readFd = openFifo(c->readPath, O_RDONLY);
            if (c->readFd >= 0) {
                c->writeFd = openFifo(c->writePath, O_WRONLY); // ENXIO: no server reads
                if (c->writeFd >= 0)
                    return c;
            }
        }
    }
    closeAll(c);
    delete c;
    return nullptr;
}

void closePipe(pipeConnection* connection) {
    if (connection == nullptr)
        return;
    closeAll(connection);
    delete connection;
}

pipeIo readPipe(pipeConnection* c, void* buffer, std::size_t capacity, unsigned int timeoutMs,
                std::size_t& got) {
    got = 0;
    if (c == nullptr || buffer == nullptr || capacity == 0)
        return pipeIo::failed;
    if (c->readGone || c->readFd < 0)
        return c->readGone ? pipeIo::peerGone : pipeIo::failed;
    const bool forever = timeoutMs == waitForever;
    const auto deadline = clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    for (;;) {
        // A client also watches its write end, which reports an error once
        // the server (its reader) is gone, even if the server never wrote.
        pollfd fds[3] = {{c->readFd, POLLIN, 0}, {c->wakeRead, POLLIN, 0}, {c->writeFd, 0, 0}};
        const nfds_t count = (!c->server && c->writeFd >= 0) ? 3 : 2;
        const int n = ::poll(fds, count, remainingMs(forever, deadline));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return pipeIo::failed;
        }
        if (fds[0].revents != 0) {
            const ssize_t r = ::read(c->readFd, buffer, capacity > SSIZE_MAX ? SSIZE_MAX : capacity);
            if (r > 0) {
                got = static_cast<std::size_t>(r);
                return pipeIo::done;
            }
            if (r == 0) {
                // Every writer has gone. A server lets go of its end, so
                // that no new client connects to a pipe it no longer reads.
                c->readGone = true;
                if (c->server)
                    closeFd(c->readFd);
                return pipeIo::peerGone;
            }
            if (errno != EAGAIN && errno != EINTR)
                return pipeIo::failed;
            continue;
        }
        if (fds[1].revents != 0)
            return pipeIo::woken;
        if (count == 3 && (fds[2].revents & (POLLERR | POLLHUP)) != 0) {
            c->readGone = true;
            return pipeIo::peerGone;
        }
        if (n == 0)
            return pipeIo::timedOut;
    }
}

pipeIo writePipe(pipeConnection* c, const void* data, std::size_t size, unsigned int timeoutMs,
                 std::size_t& written) {
    written = 0;
    if (c == nullptr || (data == nullptr && size > 0))
        return pipeIo::failed;
    if (c->writeGone)
        return pipeIo::peerGone;
    if (c->writeFd < 0) {
        if (!c->server)
            return pipeIo::failed;
        c->writeFd = openFifo(c->writePath, O_WRONLY);
        if (c->writeFd < 0)
            return pipeIo::failed; // no client reads yet
    }
    const bool forever = timeoutMs == waitForever;
    const auto deadline = clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    const char* p = static_cast<const char*>(data);
    while (written < size) {
        const std::size_t chunk = size - written > SSIZE_MAX ? SSIZE_MAX : size - written;
        const ssize_t n = writeQuietly(c->writeFd, p + written, chunk);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EPIPE) {
            c->writeGone = true;
            return pipeIo::peerGone;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return pipeIo::failed;
        if (n < 0 && errno == EINTR)
            continue;
        pollfd fd{c->writeFd, POLLOUT, 0};
        const int ready = ::poll(&fd, 1, remainingMs(forever, deadline));
        if (ready < 0 && errno != EINTR)
            return pipeIo::failed;
        if (ready == 0)
            return pipeIo::timedOut;
        if (ready > 0 && (fd.revents & (POLLERR | POLLHUP)) != 0 && (fd.revents & POLLOUT) == 0) {
            c->writeGone = true;
            return pipeIo::peerGone;
        }
    }
    return pipeIo::done;
}

void wakePipe(pipeConnection* c) {
    if (c == nullptr || c->wakeWrite < 0)
        return;
    const char one = 1;
    const ssize_t n = ::write(c->wakeWrite, &one, 1); // a full pipe is awake enough
    (void)n;
}

void clearWake(pipeConnection* c) {
    if (c == nullptr || c->wakeRead < 0)
        return;
    char drain[64];
    while (::read(c->wakeRead, drain, sizeof drain) > 0) {
    }
}

} // namespace zv::os
