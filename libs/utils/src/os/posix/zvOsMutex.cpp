#include "../zvOs.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <new>
#include <pthread.h>

// ThreadSanitizer does not know pthread_mutex_clocklock and would lose track
// of the owner; under it the realtime-clock form is used instead.
#if defined(__SANITIZE_THREAD__)
#define ZV_MUTEX_CLOCK CLOCK_REALTIME
#else
#define ZV_MUTEX_CLOCK CLOCK_MONOTONIC
#endif

namespace zv::os {

struct mutexHandle {
    pthread_mutex_t mutex;
    // Owner and depth, kept here so a release by a thread that does not own
    // the mutex is refused before it reaches pthreads (as Windows refuses it).
    // One atomic word (no thread has the id 0), so a reader never pairs a
    // stale id with a fresh flag.
    std::atomic<pthread_t> owner{};
    unsigned long depth = 0; // touched only by the owner
};

namespace {

bool ownedByCaller(const mutexHandle* handle) {
    const pthread_t owner = handle->owner.load(std::memory_order_relaxed);
    return owner != pthread_t{} && pthread_equal(owner, pthread_self());
}

bool obtained(mutexHandle* handle) {
    if (ownedByCaller(handle)) {
        ++handle->depth;
    } else {
        handle->owner.store(pthread_self(), std::memory_order_relaxed);
        handle->depth = 1;
    }
    return true;
}

} // namespace

mutexHandle* createMutex() {
    auto* handle = new (std::nothrow) mutexHandle;
    if (!handle)
        return nullptr;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    // Robust, so that a thread ending while it holds the mutex leaves it
    // "abandoned" (the next locker obtains it) instead of locked for ever.
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    const int rc = pthread_mutex_init(&handle->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    if (rc != 0) {
        delete handle;
        return nullptr;
    }
    return handle;
}

void destroyMutex(mutexHandle* handle) {
    if (!handle)
        return;
    pthread_mutex_destroy(&handle->mutex);
    delete handle;
}

bool lockMutex(mutexHandle* handle, unsigned int timeoutMs) {
    if (!handle)
        return false;
    int rc;
    if (timeoutMs == waitForever) {
        rc = pthread_mutex_lock(&handle->mutex);
    } else if (timeoutMs == 0) {
        rc = pthread_mutex_trylock(&handle->mutex);
    } else {
        timespec deadline{};
        clock_gettime(ZV_MUTEX_CLOCK, &deadline);
        deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000);
        deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_nsec -= 1000000000L;
            ++deadline.tv_sec;
        }
#if defined(__SANITIZE_THREAD__)
        rc = pthread_mutex_timedlock(&handle->mutex, &deadline);
#else
        // A monotonic deadline: setting the clock neither cuts nor stretches the wait.
        rc = pthread_mutex_clocklock(&handle->mutex, CLOCK_MONOTONIC, &deadline);
#endif
    }
    if (rc == EOWNERDEAD) {
        // The previous owner ended while holding it: ours now, as on Windows.
        pthread_mutex_consistent(&handle->mutex);
        handle->owner.store(pthread_t{}, std::memory_order_relaxed);
        return obtained(handle);
    }
    return rc == 0 && obtained(handle);
}

void releaseMutex(mutexHandle* handle) {
    if (!handle || !ownedByCaller(handle))
        return;
    if (--handle->depth == 0)
        handle->owner.store(pthread_t{}, std::memory_order_relaxed);
    pthread_mutex_unlock(&handle->mutex);
}

} // namespace zv::os
