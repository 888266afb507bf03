#include "../zvOs.h"

#include <cerrno>
#include <ctime>
#include <new>
#include <pthread.h>

namespace zv::os {

struct mutexHandle {
    pthread_mutex_t mutex;
};

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
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000);
        deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_nsec -= 1000000000L;
            ++deadline.tv_sec;
        }
        rc = pthread_mutex_clocklock(&handle->mutex, CLOCK_MONOTONIC, &deadline);
    }
    if (rc == EOWNERDEAD) {
        // The previous owner ended while holding it: ours now, as on Windows.
        pthread_mutex_consistent(&handle->mutex);
        return true;
    }
    return rc == 0;
}

void releaseMutex(mutexHandle* handle) {
    if (handle)
        pthread_mutex_unlock(&handle->mutex);
}

} // namespace zv::os
