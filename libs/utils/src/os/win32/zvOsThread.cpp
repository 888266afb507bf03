// Events, threads and waits on Windows: kernel objects. A wait on more
// objects than one WaitForMultipleObjects takes is spread over helper threads.
#include "../zvOs.h"

#include <algorithm>
#include <new>
#include <vector>
#include <windows.h>

namespace zv::os {

namespace {

HANDLE kernel(eventHandle* h) {
    return reinterpret_cast<HANDLE>(h);
}
HANDLE kernel(threadHandle* h) {
    return reinterpret_cast<HANDLE>(h);
}

struct startData {
    threadRoutine routine;
    void* argument;
};

DWORD WINAPI threadStart(LPVOID parameter) {
    const startData data = *static_cast<startData*>(parameter);
    delete static_cast<startData*>(parameter);
    return data.routine(data.argument);
}

} // namespace

long lastErrorCode() {
    return static_cast<long>(::GetLastError());
}

// ---- events --------------------------------------------------------------

eventHandle* createEvent(bool manualReset, bool initiallySet, const wchar_t* name) {
    return reinterpret_cast<eventHandle*>(::CreateEventW(nullptr, manualReset, initiallySet, name));
}

void destroyEvent(eventHandle* handle) {
    if (handle)
        ::CloseHandle(kernel(handle));
}

bool setEvent(eventHandle* handle) {
    return handle && ::SetEvent(kernel(handle));
}

bool resetEvent(eventHandle* handle) {
    return handle && ::ResetEvent(kernel(handle));
}

bool waitEvent(eventHandle* handle, unsigned int timeoutMs) {
    return handle && ::WaitForSingleObject(kernel(handle), timeoutMs) == WAIT_OBJECT_0;
}

// ---- threads -------------------------------------------------------------

threadHandle* createSuspendedThread(threadRoutine routine, void* argument, unsigned long& id) {
    auto* data = new (std::nothrow) startData{routine, argument};
    if (!data)
        return nullptr;
    DWORD tid = 0;
    HANDLE h = ::CreateThread(nullptr, 0, &threadStart, data, CREATE_SUSPENDED, &tid);
    if (!h) {
        delete data;
        return nullptr;
    }
    id = tid;
    return reinterpret_cast<threadHandle*>(h);
}

void closeThread(threadHandle* handle) {
    if (handle)
        ::CloseHandle(kernel(handle));
}

long suspendThread(threadHandle* handle) {
    const DWORD previous = handle ? ::SuspendThread(kernel(handle)) : static_cast<DWORD>(-1);
    return previous == static_cast<DWORD>(-1) ? -1 : static_cast<long>(previous);
}

long resumeThread(threadHandle* handle) {
    const DWORD previous = handle ? ::ResumeThread(kernel(handle)) : static_cast<DWORD>(-1);
    return previous == static_cast<DWORD>(-1) ? -1 : static_cast<long>(previous);
}

bool setThreadPriority(threadHandle* handle, int level) {
    return handle && ::SetThreadPriority(kernel(handle), level);
}

bool threadPriority(threadHandle* handle, int& level) {
    if (!handle)
        return false;
    const int value = ::GetThreadPriority(kernel(handle));
    if (value == THREAD_PRIORITY_ERROR_RETURN)
        return false;
    level = value;
    return true;
}

terminateResult terminateThread(threadHandle* handle, unsigned int exitCode, bool (*mayEnd)(void*),
                                void* context) {
    if (!handle)
        return terminateResult::failed;
    HANDLE h = kernel(handle);
    const bool self = ::GetThreadId(h) == ::GetCurrentThreadId();
    if (!self) {
        if (::SuspendThread(h) == static_cast<DWORD>(-1))
            return ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0 ? terminateResult::ended
                                                                : terminateResult::failed;
        // SuspendThread only asks; reading the context waits until it stopped.
        CONTEXT ctx{};
        ctx.ContextFlags = CONTEXT_CONTROL;
        ::GetThreadContext(h, &ctx);
    }
    if (mayEnd && !mayEnd(context)) {
        if (!self)
            ::ResumeThread(h);
        return terminateResult::busy;
    }
    if (!::TerminateThread(h, exitCode)) {
        if (!self)
            ::ResumeThread(h);
        return terminateResult::failed;
    }
    // Termination completes asynchronously; callers expect it done.
    ::WaitForSingleObject(h, INFINITE);
    return terminateResult::ended;
}

bool threadExitCode(threadHandle* handle, long& exitCode) {
    DWORD code = 0;
    if (!handle || !::GetExitCodeThread(kernel(handle), &code))
        return false;
    exitCode = static_cast<long>(static_cast<int>(code));
    return true;
}

bool waitThread(threadHandle* handle, unsigned int timeoutMs) {
    return handle && ::WaitForSingleObject(kernel(handle), timeoutMs) == WAIT_OBJECT_0;
}

// ---- waiting on many -----------------------------------------------------

namespace {

// Adds the index of every handle from `first` on that is signalled now.
void collectSignalled(const HANDLE* handles, std::size_t count, std::size_t first, std::size_t base,
                      std::vector<std::size_t>& out) {
    out.push_back(base + first);
    for (std::size_t i = first + 1; i < count; ++i)
        if (::WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0)
            out.push_back(base + i);
}

// Waits on at most MAXIMUM_WAIT_OBJECTS handles.
bool waitFew(const HANDLE* handles, std::size_t count, DWORD timeoutMs, std::size_t base,
             std::vector<std::size_t>& out) {
    const DWORD rc = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, timeoutMs);
    if (rc >= WAIT_OBJECT_0 && rc < WAIT_OBJECT_0 + count) {
        collectSignalled(handles, count, rc - WAIT_OBJECT_0, base, out);
        return true;
    }
    return false;
}

// One helper's share of a large wait: a slice of the handles and, last, the
// event that calls every helper off.
struct slice {
    std::vector<HANDLE> handles;
    std::size_t base = 0;
    HANDLE done = nullptr;
    std::vector<std::size_t> found;
};

DWORD WINAPI waitSlice(LPVOID parameter) {
    auto* s = static_cast<slice*>(parameter);
    const std::size_t own = s->handles.size() - 1;
    const DWORD rc =
        ::WaitForMultipleObjects(static_cast<DWORD>(s->handles.size()), s->handles.data(), FALSE, INFINITE);
    if (rc >= WAIT_OBJECT_0 && rc < WAIT_OBJECT_0 + own) {
        collectSignalled(s->handles.data(), own, rc - WAIT_OBJECT_0, s->base, s->found);
        ::SetEvent(s->done);
    }
    return 0;
}

bool waitMany(const std::vector<HANDLE>& handles, DWORD timeoutMs, std::vector<std::size_t>& out) {
    // Whatever is set already needs no helper.
    for (std::size_t i = 0; i < handles.size(); ++i)
        if (::WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0)
            out.push_back(i);
    if (!out.empty() || timeoutMs == 0)
        return !out.empty();
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done)
        return false;
    constexpr std::size_t perSlice = MAXIMUM_WAIT_OBJECTS - 1;
    std::vector<slice> slices((handles.size() + perSlice - 1) / perSlice);
    std::vector<HANDLE> helpers;
    bool ok = true;
    for (std::size_t k = 0; k < slices.size(); ++k) {
        slice& s = slices[k];
        s.base = k * perSlice;
        const std::size_t end = std::min(handles.size(), s.base + perSlice);
        s.handles.assign(handles.begin() + static_cast<std::ptrdiff_t>(s.base),
                         handles.begin() + static_cast<std::ptrdiff_t>(end));
        s.handles.push_back(done);
        s.done = done;
        HANDLE helper =
            ::CreateThread(nullptr, 64 * 1024, &waitSlice, &s, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (!helper) {
            ok = false;
            break;
        }
        helpers.push_back(helper);
    }
    if (ok)
        ::WaitForSingleObject(done, timeoutMs);
    // Call the others off and take what each found: an automatic-reset event
    // a helper saw is cleared and must not get lost.
    ::SetEvent(done);
    for (HANDLE helper : helpers) {
        ::WaitForSingleObject(helper, INFINITE);
        ::CloseHandle(helper);
    }
    ::CloseHandle(done);
    for (const slice& s : slices)
        out.insert(out.end(), s.found.begin(), s.found.end());
    return !out.empty();
}

} // namespace

bool waitAny(const std::vector<waitItem>& items, unsigned int timeoutMs,
             std::vector<std::size_t>& signalled) {
    signalled.clear();
    std::vector<HANDLE> handles;
    std::vector<std::size_t> indexOf;
    handles.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        HANDLE h = items[i].thread  ? kernel(items[i].thread)
                   : items[i].event ? kernel(items[i].event)
                                    : nullptr;
        if (h) {
            handles.push_back(h);
            indexOf.push_back(i);
        }
    }
    if (handles.empty()) {
        if (timeoutMs != waitForever)
            ::Sleep(timeoutMs);
        return false;
    }
    std::vector<std::size_t> found;
    const bool any = handles.size() <= MAXIMUM_WAIT_OBJECTS
                         ? waitFew(handles.data(), handles.size(), timeoutMs, 0, found)
                         : waitMany(handles, timeoutMs, found);
    for (std::size_t k : found)
        signalled.push_back(indexOf[k]);
    return any;
}

} // namespace zv::os
