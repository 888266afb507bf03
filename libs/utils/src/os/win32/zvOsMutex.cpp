#include "../zvOs.h"

#include <windows.h>

namespace zv::os {

// The handle is the kernel mutex object itself.
mutexHandle* createMutex() {
    return reinterpret_cast<mutexHandle*>(CreateMutexW(nullptr, FALSE, nullptr));
}

void destroyMutex(mutexHandle* handle) {
    if (handle)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool lockMutex(mutexHandle* handle, unsigned int timeoutMs) {
    if (!handle)
        return false;
    const DWORD rc = WaitForSingleObject(reinterpret_cast<HANDLE>(handle), timeoutMs);
    return rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED;
}

void releaseMutex(mutexHandle* handle) {
    if (handle)
        ReleaseMutex(reinterpret_cast<HANDLE>(handle));
}

} // namespace zv::os
