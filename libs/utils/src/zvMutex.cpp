#include "zvMutex.h"

#include "os/zvOs.h"
#include "zvMutexDetail.h"

#include <atomic>

namespace zv {

namespace {

// Locks held by this thread, so that terminating a thread can wait until it
// holds none. Written only by its own thread.
thread_local long heldLocks = 0;

void countHeld(long delta) {
    std::atomic_ref<long> count(heldLocks);
    const long now = count.load(std::memory_order_relaxed) + delta;
    count.store(now < 0 ? 0 : now, std::memory_order_relaxed);
}

bool counted(bool obtained) {
    if (obtained)
        countHeld(1);
    return obtained;
}

} // namespace

long* detail::heldLockCount() {
    return &heldLocks;
}

mutex::mutex() : m_handle(os::createMutex()) {}

mutex::~mutex() {
    os::destroyMutex(m_handle);
}

bool mutex::lock() {
    return counted(os::lockMutex(m_handle, os::waitForever));
}

bool mutex::lock(unsigned int milliseconds) {
    return counted(os::lockMutex(m_handle, milliseconds));
}

void mutex::release() {
    os::releaseMutex(m_handle);
    countHeld(-1);
}

// Counters wrap like the unsigned arithmetic of the hardware instruction; the
// signed forms go through the unsigned type so overflow is defined.
namespace {

template <typename T>
T addAndFetch(T* value, T delta) {
    return std::atomic_ref<T>(*value).fetch_add(delta, std::memory_order_seq_cst) + delta;
}

} // namespace

long interlockedIncrement(long* value) {
    auto* raw = reinterpret_cast<unsigned long*>(value);
    return static_cast<long>(addAndFetch<unsigned long>(raw, 1UL));
}

unsigned long interlockedIncrement(unsigned long* value) {
    return addAndFetch<unsigned long>(value, 1UL);
}

long interlockedDecrement(long* value) {
    auto* raw = reinterpret_cast<unsigned long*>(value);
    return static_cast<long>(addAndFetch<unsigned long>(raw, ~0UL));
}

unsigned long interlockedDecrement(unsigned long* value) {
    return addAndFetch<unsigned long>(value, ~0UL);
}

} // namespace zv
