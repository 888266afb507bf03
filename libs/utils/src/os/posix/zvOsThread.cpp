// Events, threads and waits on Linux: eventfd and poll for unnamed events and
// thread ends; shared memory with a process-shared mutex and condition for
// named events.
#include "../zvOs.h"
#include "zvOsPosixPath.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zv::os {

long lastErrorCode() {
    return errno;
}

namespace {

using steadyClock = std::chrono::steady_clock;

// The milliseconds left until `deadline` for poll (-1: no limit).
int pollTimeout(bool forever, steadyClock::time_point deadline) {
    if (forever)
        return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steadyClock::now()).count();
    if (left <= 0)
        return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

bool signalFd(int fd) {
    const std::uint64_t one = 1;
    // A counter at its limit is set already.
    return ::write(fd, &one, sizeof one) == sizeof one || errno == EAGAIN;
}

// Clears the fd's counter; true when it was set.
bool drainFd(int fd) {
    std::uint64_t value = 0;
    return ::read(fd, &value, sizeof value) == sizeof value;
}

int newEventFd(bool set) {
    return ::eventfd(set ? 1u : 0u, EFD_NONBLOCK | EFD_CLOEXEC);
}

// ---- named events ----------------------------------------------------------

constexpr std::uint32_t sharedMagic = 0x7A765367; // written last by the creator

struct sharedEvent {
    std::atomic<std::uint32_t> magic;
    std::uint32_t manualReset;
    std::uint32_t state;
    std::uint32_t users; // handles open in all processes
    std::uint32_t dead;  // the last user has gone and the name is being removed
    pthread_mutex_t mutex;
    pthread_cond_t cond;
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// The shared-memory name of a signal name: characters that are safe in a file
// name stay, others are written as %XX of their UTF-8 bytes; a long result
// is replaced by a hash of the whole name.
std::string sharedName(const wchar_t* name) {
    const std::string utf8 = posix::toUtf8(name);
    std::string out = "/zvsig-" + std::to_string(::getuid()) + "-";
    std::string encoded;
    for (unsigned char c : utf8) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '-' || c == '.') {
            encoded += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            encoded += hex;
        }
    }
    if (encoded.size() > 180) {
        std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
        for (unsigned char c : utf8)
            hash = (hash ^ c) * 1099511628211ULL;
        char text[40];
        std::snprintf(text, sizeof text, "h%016llx-%zu", static_cast<unsigned long long>(hash), utf8.size());
        encoded = text;
    }
    return out + encoded;
}

// Locks the shared mutex; a holder that died leaves it to us.
void lockShared(sharedEvent* shared) {
    if (pthread_mutex_lock(&shared->mutex) == EOWNERDEAD)
        pthread_mutex_consistent(&shared->mutex);
}

void unlockShared(sharedEvent* shared) {
    pthread_mutex_unlock(&shared->mutex);
}

bool initShared(sharedEvent* shared, bool manualReset, bool initiallySet) {
    pthread_mutexattr_t ma;
    pthread_mutexattr_init(&ma);
    pthread_mutexattr_setpshared(&ma, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&ma, PTHREAD_MUTEX_ROBUST);
    const int rm = pthread_mutex_init(&shared->mutex, &ma);
    pthread_mutexattr_destroy(&ma);
    pthread_condattr_t ca;
    pthread_condattr_init(&ca);
    pthread_condattr_setpshared(&ca, PTHREAD_PROCESS_SHARED);
    pthread_condattr_setclock(&ca, CLOCK_MONOTONIC);
    const int rc = pthread_cond_init(&shared->cond, &ca);
    pthread_condattr_destroy(&ca);
    if (rm != 0 || rc != 0)
        return false;
    shared->manualReset = manualReset ? 1 : 0;
    shared->state = initiallySet ? 1 : 0;
    shared->users = 1;
    shared->dead = 0;
    shared->magic.store(sharedMagic, std::memory_order_release);
    return true;
}

// Waits a little while for another process to finish what it started.
template <typename F>
bool waitBriefly(F ready) {
    const auto deadline = steadyClock::now() + std::chrono::seconds(2);
    while (!ready()) {
        if (steadyClock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

sharedEvent* mapShared(int fd) {
    void* p = ::mmap(nullptr, sizeof(sharedEvent), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return p == MAP_FAILED ? nullptr : static_cast<sharedEvent*>(p);
}

// Creates or opens the shared event; null on failure.
sharedEvent* openShared(const std::string& name, bool manualReset, bool initiallySet) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            sharedEvent* shared = nullptr;
            if (::ftruncate(fd, sizeof(sharedEvent)) == 0)
                shared = mapShared(fd);
            ::close(fd);
            if (shared && initShared(shared, manualReset, initiallySet))
                return shared;
            if (shared)
                ::munmap(shared, sizeof(sharedEvent));
            ::shm_unlink(name.c_str());
            return nullptr;
        }
        if (errno != EEXIST)
            return nullptr;
        fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0) {
            if (errno != ENOENT)
                return nullptr;
            continue; // removed meanwhile: create it anew
        }
        const bool sized = waitBriefly([&] {
            struct stat st {};
            return ::fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof(sharedEvent));
        });
        sharedEvent* shared = sized ? mapShared(fd) : nullptr;
        ::close(fd);
        if (!shared)
            return nullptr;
        if (!waitBriefly([&] { return shared->magic.load(std::memory_order_acquire) == sharedMagic; })) {
            ::munmap(shared, sizeof(sharedEvent));
            return nullptr;
        }
        lockShared(shared);
        const bool dead = shared->dead != 0;
        if (!dead)
            ++shared->users;
        unlockShared(shared);
        if (!dead)
            return shared;
        ::munmap(shared, sizeof(sharedEvent));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return nullptr;
}

void closeShared(sharedEvent* shared, const std::string& name) {
    lockShared(shared);
    if (--shared->users == 0) {
        shared->dead = 1;
        ::shm_unlink(name.c_str());
    }
    unlockShared(shared);
    ::munmap(shared, sizeof(sharedEvent));
}

// Takes the state of a named event as a wait that succeeds would.
bool consumeShared(sharedEvent* shared) {
    lockShared(shared);
    const bool set = shared->state != 0;
    if (set && !shared->manualReset)
        shared->state = 0;
    unlockShared(shared);
    return set;
}

} // namespace

struct eventHandle {
    bool manualReset = false;
    int fd = -1; // unnamed: the eventfd holding the state

    // Named: the shared state, and a relay thread that makes it pollable. The
    // relay waits on the shared condition until the event is set, signals
    // `relayFd`, and waits to be re-armed by the waiter that looked at it.
    sharedEvent* shared = nullptr;
    std::string name;
    std::mutex relayMutex;
    std::condition_variable relayCond;
    std::thread relay;
    int relayFd = -1;
    bool armed = true;
    std::atomic<bool> quit{false};
};

namespace {

void relayLoop(eventHandle* h) {
    for (;;) {
        lockShared(h->shared);
        while (h->shared->state == 0 && !h->quit.load())
            if (pthread_cond_wait(&h->shared->cond, &h->shared->mutex) == EOWNERDEAD)
                pthread_mutex_consistent(&h->shared->mutex);
        unlockShared(h->shared);
        std::unique_lock<std::mutex> lock(h->relayMutex);
        if (h->quit.load())
            return;
        h->armed = false;
        signalFd(h->relayFd);
        h->relayCond.wait(lock, [&] { return h->armed || h->quit.load(); });
        if (h->quit.load())
            return;
    }
}

// The descriptor that becomes readable when the event may be set; -1 when
// the relay of a named event cannot be started.
int pollFdOf(eventHandle* h) {
    if (!h->shared)
        return h->fd;
    std::lock_guard<std::mutex> lock(h->relayMutex);
    if (h->relayFd < 0) {
        const int fd = newEventFd(false);
        if (fd < 0)
            return -1;
        h->relayFd = fd;
        try {
            h->relay = std::thread(relayLoop, h);
        } catch (...) {
            ::close(fd);
            h->relayFd = -1;
            return -1;
        }
    }
    return h->relayFd;
}

// After the relay fd was readable: whether the event was set (taking it as a
// wait would); the relay then watches again.
bool takeRelayed(eventHandle* h) {
    drainFd(h->relayFd);
    const bool set = consumeShared(h->shared);
    std::lock_guard<std::mutex> lock(h->relayMutex);
    h->armed = true;
    h->relayCond.notify_all();
    return set;
}

} // namespace

eventHandle* createEvent(bool manualReset, bool initiallySet, const wchar_t* name) {
    auto* h = new (std::nothrow) eventHandle;
    if (!h)
        return nullptr;
    if (name) {
        h->name = sharedName(name);
        h->shared = openShared(h->name, manualReset, initiallySet);
        if (!h->shared) {
            delete h;
            return nullptr;
        }
        h->manualReset = h->shared->manualReset != 0;
        return h;
    }
    h->manualReset = manualReset;
    h->fd = newEventFd(initiallySet);
    if (h->fd < 0) {
        delete h;
        return nullptr;
    }
    return h;
}

void destroyEvent(eventHandle* h) {
    if (!h)
        return;
    if (h->shared) {
        if (h->relay.joinable()) {
            h->quit.store(true);
            lockShared(h->shared);
            pthread_cond_broadcast(&h->shared->cond);
            unlockShared(h->shared);
            {
                std::lock_guard<std::mutex> lock(h->relayMutex);
                h->relayCond.notify_all();
            }
            h->relay.join();
        }
        if (h->relayFd >= 0)
            ::close(h->relayFd);
        closeShared(h->shared, h->name);
    }
    if (h->fd >= 0)
        ::close(h->fd);
    delete h;
}

bool setEvent(eventHandle* h) {
    if (!h)
        return false;
    if (!h->shared)
        return signalFd(h->fd);
    lockShared(h->shared);
    h->shared->state = 1;
    pthread_cond_broadcast(&h->shared->cond);
    unlockShared(h->shared);
    return true;
}

bool resetEvent(eventHandle* h) {
    if (!h)
        return false;
    if (!h->shared) {
        drainFd(h->fd);
        return true;
    }
    lockShared(h->shared);
    h->shared->state = 0;
    unlockShared(h->shared);
    return true;
}

bool waitEvent(eventHandle* h, unsigned int timeoutMs) {
    if (!h)
        return false;
    const bool forever = timeoutMs == waitForever;
    const auto deadline = steadyClock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    if (h->shared) {
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_sec += static_cast<time_t>(timeoutMs / 1000);
        until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_nsec -= 1000000000L;
            ++until.tv_sec;
        }
        lockShared(h->shared);
        int rc = 0;
        while (h->shared->state == 0 && rc != ETIMEDOUT) {
            rc = forever ? pthread_cond_wait(&h->shared->cond, &h->shared->mutex)
                         : pthread_cond_timedwait(&h->shared->cond, &h->shared->mutex, &until);
            if (rc == EOWNERDEAD)
                pthread_mutex_consistent(&h->shared->mutex);
        }
        const bool set = h->shared->state != 0;
        if (set && !h->shared->manualReset)
            h->shared->state = 0;
        unlockShared(h->shared);
        return set;
    }
    for (;;) {
        pollfd p{h->fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, pollTimeout(forever, deadline));
        if (rc < 0 && errno != EINTR)
            return false;
        if (rc > 0) {
            if (h->manualReset || drainFd(h->fd))
                return true;
            // Another waiter took it first; wait on.
        }
        if (rc == 0 || (!forever && steadyClock::now() >= deadline))
            return false;
    }
}

// ---- threads ---------------------------------------------------------------

struct threadHandle {
    std::atomic<int> holds{2}; // the owner and the thread itself
    threadRoutine routine = nullptr;
    void* argument = nullptr;
    int doneFd = -1; // readable once the routine has returned

    std::mutex mutex;
    std::condition_variable changed;
    pid_t tid = 0;
    long suspendCount = 1;
    bool begun = false;     // the routine was entered
    bool finished = false;  // the routine returned (or never will run)
    bool cancelled = false; // terminated before it began
    long exitCode = stillActive;
    int level = priorityNormal;
};

namespace {

thread_local threadHandle* currentThread = nullptr;

void dropHold(threadHandle* h) {
    if (h->holds.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        ::close(h->doneFd);
        delete h;
    }
}

int niceOf(int level) {
    switch (level) {
    case priorityTimeCritical:
        return -20;
    case priorityHighest:
        return -10;
    case priorityAboveNormal:
        return -5;
    case priorityNormal:
        return 0;
    case priorityBelowNormal:
        return 5;
    case priorityLowest:
        return 10;
    default:
        return 19;
    }
}

void* threadStart(void* argument) {
    auto* h = static_cast<threadHandle*>(argument);
    currentThread = h;
    bool run = false;
    {
        std::unique_lock<std::mutex> lock(h->mutex);
        h->tid = ::gettid();
        h->changed.notify_all();
        h->changed.wait(lock, [&] { return h->suspendCount == 0 || h->cancelled; });
        run = !h->cancelled;
        h->begun = run;
    }
    long code = 0;
    if (run)
        code = static_cast<long>(static_cast<int>(h->routine(h->argument)));
    {
        std::lock_guard<std::mutex> lock(h->mutex);
        if (run)
            h->exitCode = code;
        h->finished = true;
        h->changed.notify_all();
    }
    signalFd(h->doneFd);
    currentThread = nullptr;
    dropHold(h);
    return nullptr;
}

} // namespace

threadHandle* createSuspendedThread(threadRoutine routine, void* argument, unsigned long& id) {
    auto* h = new (std::nothrow) threadHandle;
    if (!h)
        return nullptr;
    h->routine = routine;
    h->argument = argument;
    h->doneFd = newEventFd(false);
    if (h->doneFd < 0) {
        delete h;
        return nullptr;
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, &threadStart, h);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        ::close(h->doneFd);
        delete h;
        errno = rc;
        return nullptr;
    }
    std::unique_lock<std::mutex> lock(h->mutex);
    h->changed.wait(lock, [&] { return h->tid != 0; });
    id = static_cast<unsigned long>(h->tid);
    return h;
}

void closeThread(threadHandle* h) {
    if (h)
        dropHold(h);
}

long suspendThread(threadHandle* h) {
    if (!h) {
        errno = EINVAL;
        return -1;
    }
    std::unique_lock<std::mutex> lock(h->mutex);
    if (currentThread == h) {
        // A thread suspending itself stops at a known point: wait for resume.
        const long previous = h->suspendCount++;
        h->changed.wait(lock, [&] { return h->suspendCount == 0; });
        return previous;
    }
    if (h->finished) {
        errno = ESRCH;
        return -1;
    }
    if (h->begun) {
        // Stopping a running thread wherever it is (perhaps holding a lock of
        // the C runtime) is not safe with POSIX threads.
        errno = ENOTSUP;
        return -1;
    }
    return h->suspendCount++;
}

long resumeThread(threadHandle* h) {
    if (!h) {
        errno = EINVAL;
        return -1;
    }
    std::lock_guard<std::mutex> lock(h->mutex);
    const long previous = h->suspendCount;
    if (h->suspendCount > 0 && --h->suspendCount == 0)
        h->changed.notify_all();
    return previous;
}

bool setThreadPriority(threadHandle* h, int level) {
    if (!h) {
        errno = EINVAL;
        return false;
    }
    std::lock_guard<std::mutex> lock(h->mutex);
    h->level = level;
    // Best effort: an unprivileged process may lower its threads' priority,
    // not raise it; the level is kept either way.
    if (!h->finished)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(h->tid), niceOf(level));
    return true;
}

bool threadPriority(threadHandle* h, int& level) {
    if (!h) {
        errno = EINVAL;
        return false;
    }
    std::lock_guard<std::mutex> lock(h->mutex);
    level = h->level;
    return true;
}

terminateResult terminateThread(threadHandle* h, unsigned int exitCode, bool (*)(void*), void*) {
    if (!h) {
        errno = EINVAL;
        return terminateResult::failed;
    }
    std::unique_lock<std::mutex> lock(h->mutex);
    if (h->finished)
        return terminateResult::ended;
    if (h->begun || currentThread == h) {
        errno = ENOTSUP;
        return terminateResult::failed;
    }
    // Not yet begun: it ends without running its routine.
    h->cancelled = true;
    h->exitCode = static_cast<long>(static_cast<int>(exitCode));
    h->changed.notify_all();
    h->changed.wait(lock, [&] { return h->finished; });
    return terminateResult::ended;
}

bool threadExitCode(threadHandle* h, long& exitCode) {
    if (!h) {
        errno = EINVAL;
        return false;
    }
    std::lock_guard<std::mutex> lock(h->mutex);
    exitCode = h->exitCode;
    return true;
}

bool waitThread(threadHandle* h, unsigned int timeoutMs) {
    if (!h)
        return false;
    std::unique_lock<std::mutex> lock(h->mutex);
    if (timeoutMs == waitForever) {
        h->changed.wait(lock, [&] { return h->finished; });
        return true;
    }
    return h->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return h->finished; });
}

// ---- waiting on many ---------------------------------------------------------

bool waitAny(const std::vector<waitItem>& items, unsigned int timeoutMs,
             std::vector<std::size_t>& signalled) {
    signalled.clear();
    const bool forever = timeoutMs == waitForever;
    if (items.empty() && forever)
        return false; // nothing could ever end the wait
    const auto deadline = steadyClock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    std::vector<pollfd> fds(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const waitItem& item = items[i];
        const int fd = item.thread ? item.thread->doneFd : item.event ? pollFdOf(item.event) : -1;
        fds[i] = pollfd{fd, POLLIN, 0}; // a negative fd is left out by poll
    }
    for (;;) {
        const int rc = ::poll(fds.data(), fds.size(), pollTimeout(forever, deadline));
        if (rc < 0 && errno != EINTR)
            return false;
        if (rc > 0) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if ((fds[i].revents & (POLLIN | POLLERR | POLLHUP)) == 0)
                    continue;
                const waitItem& item = items[i];
                bool set = true;
                if (item.event && item.event->shared)
                    set = takeRelayed(item.event);
                else if (item.event && !item.event->manualReset)
                    set = drainFd(item.event->fd); // another waiter may have taken it
                if (set)
                    signalled.push_back(i);
            }
            if (!signalled.empty())
                return true;
        }
        if (rc == 0 || (!forever && steadyClock::now() >= deadline))
            return false;
    }
}

} // namespace zv::os
