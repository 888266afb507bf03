#include "zvThread.h"

#include "os/zvOs.h"
#include "zvException.h"
#include "zvMutex.h"
#include "zvMutexDetail.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <new>
#include <utility>
#include <vector>

namespace zv {

// ---- signal ------------------------------------------------------------------

refPtr<signal> signal::create(bool manualReset, bool initiallySet, const wchar_t* name) {
    os::eventHandle* event = os::createEvent(manualReset, initiallySet, name);
    signal* s = new (std::nothrow) signal(event);
    if (!s) {
        os::destroyEvent(event);
        throw outOfMemoryException();
    }
    return refPtr<signal>(s);
}

signal::~signal() {
    os::destroyEvent(m_event);
}

void signal::setSignal() {
    if (m_event)
        os::setEvent(m_event);
}

void signal::resetSignal() {
    if (m_event)
        os::resetEvent(m_event);
}

bool signal::wait(unsigned int timeoutMs) {
    return m_event && os::waitEvent(m_event, timeoutMs);
}

startThreadHandler::~startThreadHandler() = default;
endThreadHandler::~endThreadHandler() = default;

// ---- thread ------------------------------------------------------------------

struct thread::threadData {
    mutex lock;
    os::threadHandle* handle = nullptr;
    unsigned long id = 0;
    workFunction work = nullptr;
    void* argument = nullptr;
    bool started = false;
    bool suspended = false;
    std::vector<const startThreadHandler*> startHandlers;
    std::vector<const endThreadHandler*> endHandlers;
    // The running thread's own reference to the object: given up by the
    // routine when it ends, or by `terminate` when the routine never will.
    std::atomic<bool> selfHeld{false};
    // The running routine's count of the library's locks it holds.
    std::atomic<long*> heldLocks{nullptr};
};

namespace {

int levelOf(thread::ePriority priority) {
    switch (priority) {
    case thread::ePriorityTimeCritical:
        return os::priorityTimeCritical;
    case thread::ePriorityHighest:
        return os::priorityHighest;
    case thread::ePriorityAboveNormal:
        return os::priorityAboveNormal;
    case thread::ePriorityNormal:
        return os::priorityNormal;
    case thread::ePriorityBelowNormal:
        return os::priorityBelowNormal;
    case thread::ePriorityLowest:
        return os::priorityLowest;
    default:
        return os::priorityIdle;
    }
}

thread::ePriority priorityOf(int level) {
    switch (level) {
    case os::priorityTimeCritical:
        return thread::ePriorityTimeCritical;
    case os::priorityHighest:
        return thread::ePriorityHighest;
    case os::priorityAboveNormal:
        return thread::ePriorityAboveNormal;
    case os::priorityNormal:
        return thread::ePriorityNormal;
    case os::priorityBelowNormal:
        return thread::ePriorityBelowNormal;
    case os::priorityLowest:
        return thread::ePriorityLowest;
    default:
        return thread::ePriorityOther;
    }
}

[[noreturn]] void missingData() {
    throw unexpectedErrorException(L"Missing threadData");
}

[[noreturn]] void notStarted() {
    throw unexpectedErrorException(L"thread not yet started");
}

void wakePool();

} // namespace

refPtr<thread> thread::create(bool startNow, ePriority priority, bool startSuspended, workFunction work,
                              void* argument) {
    refPtr<thread> t(new thread());
    if (startNow)
        t->start(work, argument, startSuspended, priority);
    return t;
}

thread::thread() : m_data(new (std::nothrow) threadData) {
    if (!m_data)
        throw unexpectedErrorException(L"Failed to allocate threadData");
}

thread::~thread() {
    if (!m_data)
        return;
    // Only a thread that ended, or one in the last steps of its own routine,
    // gets here; either way it is left to finish on its own.
    os::closeThread(m_data->handle);
    delete m_data;
}

int thread::execute() {
    return 0;
}

thread::threadData* thread::data() const {
    if (!m_data)
        missingData();
    return m_data;
}

void thread::start(workFunction work, void* argument, bool startSuspended, ePriority priority) {
    threadData* d = data();
    {
        mutexGuard guard(d->lock);
        if (d->started)
            throw unexpectedErrorException(L"Cannot start thread twice");
        unsigned long id = 0;
        os::threadHandle* handle = os::createSuspendedThread(&thread::entry, this, id);
        if (!handle)
            throw unexpectedErrorException(L"Failed to create thread");
        d->handle = handle;
        d->id = id;
        d->started = true;
        d->work = work;
        d->argument = argument;
        addRef();
        d->selfHeld.store(true);
        if (priority != ePriorityNormal)
            os::setThreadPriority(handle, levelOf(priority));
        if (startSuspended) {
            d->suspended = true;
        } else if (os::resumeThread(handle) != 1) {
            throw unexpectedErrorException(L"Error starting thread");
        }
    }
    // The pool may be watching this object already, without a handle so far.
    wakePool();
}

unsigned int thread::entry(void* self) {
    auto* t = static_cast<thread*>(self);
    threadData* d = t->m_data;
    if (!d)
        return 0;
    d->heldLocks.store(detail::heldLockCount());
    std::vector<const startThreadHandler*> starts;
    {
        mutexGuard guard(d->lock);
        starts = d->startHandlers;
    }
    for (const startThreadHandler* h : starts) {
        try {
            h->threadStarted(*t);
        } catch (...) {
        }
    }
    int code = 1;
    try {
        code = d->work ? d->work(d->argument) : t->execute();
    } catch (...) {
        code = 1;
    }
    std::vector<const endThreadHandler*> ends;
    {
        mutexGuard guard(d->lock);
        ends = d->endHandlers;
    }
    for (auto it = ends.rbegin(); it != ends.rend(); ++it) {
        try {
            (*it)->threadEnded(*t, code);
        } catch (...) {
        }
    }
    // Not ending while another thread holds the data's lock.
    d->lock.lock();
    d->lock.release();
    d->heldLocks.store(nullptr); // the count goes with the thread's storage
    if (d->selfHeld.exchange(false))
        t->release(); // may destroy the object: nothing of it is touched below
    return static_cast<unsigned int>(code);
}

bool thread::isStarted() const {
    threadData* d = data();
    mutexGuard guard(d->lock);
    return d->started;
}

bool thread::isSuspended() const {
    threadData* d = data();
    mutexGuard guard(d->lock);
    return d->suspended;
}

bool thread::isCurrent() const {
    threadData* d = data();
    mutexGuard guard(d->lock);
    return d->started && d->id == os::currentThreadId();
}

bool thread::hasFinished() const {
    threadData* d = data();
    mutexGuard guard(d->lock);
    return d->handle && os::waitThread(d->handle, 0);
}

bool thread::wait(unsigned int timeoutMs) const {
    threadData* d = data();
    os::threadHandle* handle;
    {
        mutexGuard guard(d->lock);
        handle = d->handle;
    }
    // The handle lives as long as the object, so the wait needs no lock.
    return handle && os::waitThread(handle, timeoutMs);
}

unsigned long thread::threadId() const {
    threadData* d = data();
    mutexGuard guard(d->lock);
    return d->id;
}

int thread::exitCode() const {
    threadData* d = data();
    mutexGuard guard(d->lock);
    long code = 0;
    if (!d->handle || !os::threadExitCode(d->handle, code))
        throw unexpectedErrorException(L"Error retrieving thread's exitCode");
    return static_cast<int>(code);
}

void thread::setPriority(ePriority priority) {
    threadData* d = data();
    mutexGuard guard(d->lock);
    if (!d->handle)
        notStarted();
    os::setThreadPriority(d->handle, levelOf(priority));
}

thread::ePriority thread::priority() const {
    threadData* d = data();
    mutexGuard guard(d->lock);
    if (!d->handle)
        notStarted();
    int level = 0;
    return os::threadPriority(d->handle, level) ? priorityOf(level) : ePriorityOther;
}

// Suspending and resuming happen outside the data's lock: a thread that
// suspends itself must not hold it while it waits for its resume.
long thread::suspend() {
    threadData* d = data();
    os::threadHandle* handle;
    {
        mutexGuard guard(d->lock);
        handle = d->handle;
    }
    // Flagged first: a thread that suspends itself returns only once resumed.
    bool wasSuspended;
    {
        mutexGuard guard(d->lock);
        wasSuspended = std::exchange(d->suspended, true);
    }
    const long previous = os::suspendThread(handle);
    if (previous < 0) {
        const long error = os::lastErrorCode();
        {
            mutexGuard guard(d->lock);
            d->suspended = wasSuspended;
        }
        throw unexpectedErrorException(L"Unable to suspend thread (%ld)", error);
    }
    return previous;
}

long thread::resume() {
    threadData* d = data();
    mutexGuard guard(d->lock);
    if (!d->handle)
        notStarted();
    const long previous = os::resumeThread(d->handle);
    if (previous < 0)
        throw unexpectedErrorException(L"Unable to resume thread (%ld)", os::lastErrorCode());
    if (previous == 1)
        d->suspended = false;
    return previous;
}

long thread::immediateResume() {
    threadData* d = data();
    mutexGuard guard(d->lock);
    if (!d->handle)
        notStarted();
    long previous;
    do {
        previous = os::resumeThread(d->handle);
        if (previous <= 0)
            throw unexpectedErrorException(L"Unable to resume thread (%ld)",
                                           previous < 0 ? os::lastErrorCode() : 0L);
    } while (previous >= 2);
    d->suspended = false;
    return previous;
}

namespace {

// Asked while the thread is stopped: it may end only while it holds none of
// the library's locks, so that none is left abandoned half way.
bool holdsNoLocks(void* context) {
    long* held = static_cast<std::atomic<long*>*>(context)->load();
    return !held || std::atomic_ref<long>(*held).load(std::memory_order_relaxed) == 0;
}

} // namespace

void thread::terminate(int exitCode) {
    threadData* d = data();
    os::threadHandle* handle;
    {
        mutexGuard guard(d->lock);
        handle = d->handle;
    }
    if (!handle)
        notStarted();
    // No lock is held meanwhile: the thread may need one to get to a point
    // where it holds none.
    const auto deadline = os::processClockMs() + 5000;
    os::terminateResult result;
    while ((result = os::terminateThread(handle, static_cast<unsigned int>(exitCode), &holdsNoLocks,
                                         &d->heldLocks)) == os::terminateResult::busy &&
           os::processClockMs() < deadline)
        os::sleepMs(1);
    if (result != os::terminateResult::ended)
        throw unexpectedErrorException(L"Error terminating thread");
    {
        mutexGuard guard(d->lock);
        d->suspended = false;
    }
    // The routine will not give up its reference to the object: do it here.
    if (d->selfHeld.exchange(false))
        release();
}

void thread::attachStartHandler(const startThreadHandler* handler) {
    ZV_ASSERT(handler != NULL);
    threadData* d = data();
    mutexGuard guard(d->lock);
    d->startHandlers.push_back(handler);
}

void thread::attachEndHandler(const endThreadHandler* handler) {
    ZV_ASSERT(handler != NULL);
    threadData* d = data();
    mutexGuard guard(d->lock);
    d->endHandlers.push_back(handler);
}

// ---- signal pool -------------------------------------------------------------

template <class T, class Callback>
struct poolEntry {
    refPtr<T> object; // held while attached
    std::vector<std::pair<Callback, void*>> callbacks;
};

struct signalPool::poolData {
    mutex lock;
    std::map<signal*, poolEntry<signal, signalCallback>> signals;
    std::map<thread*, poolEntry<thread, threadCallback>> threads;
    std::atomic<os::eventHandle*> wake{nullptr}; // set once, before the listener starts
    refPtr<thread> listener;
};

namespace {

std::atomic<signalPool::poolData*>& poolInstance() {
    static std::atomic<signalPool::poolData*> instance{nullptr};
    return instance;
}

} // namespace

/// Waits on every attached object and hands what was signalled to the
/// dispatcher, for the life of the process.
class signalPoolListeningThread : public thread {
public:
    explicit signalPoolListeningThread(signalPool::poolData* pool) : m_pool(pool) {}

protected:
    int execute() override;

private:
    void dispatch(signal* s);
    void dispatch(thread* t);

    signalPool::poolData* m_pool;
};

int signalPoolListeningThread::execute() {
    std::vector<os::waitItem> items;
    std::vector<refPtr<signal>> signals;
    std::vector<refPtr<thread>> threads;
    std::vector<std::size_t> signalled;
    for (;;) {
        os::resetEvent(m_pool->wake);
        items.assign(1, os::waitItem{m_pool->wake, nullptr});
        signals.clear();
        threads.clear();
        {
            mutexGuard guard(m_pool->lock);
            for (auto& [s, entry] : m_pool->signals) {
                if (s->m_event) {
                    items.push_back(os::waitItem{s->m_event, nullptr});
                    signals.push_back(entry.object);
                }
            }
            for (auto& [t, entry] : m_pool->threads) {
                mutexGuard threadGuard(t->m_data->lock);
                if (t->m_data->handle) {
                    items.push_back(os::waitItem{nullptr, t->m_data->handle});
                    threads.push_back(entry.object);
                }
            }
        }
        if (!os::waitAny(items, os::waitForever, signalled)) {
            os::sleepMs(10); // should not happen; do not spin
            continue;
        }
        // Every object found signalled gets its turn, so one that stays set
        // cannot starve the others.
        for (std::size_t index : signalled) {
            if (index == 0)
                continue;
            if (index - 1 < signals.size())
                dispatch(signals[index - 1].get());
            else
                dispatch(threads[index - 1 - signals.size()].get());
        }
    }
}

void signalPoolListeningThread::dispatch(signal* s) {
    std::vector<std::pair<signalPool::signalCallback, void*>> callbacks;
    {
        mutexGuard guard(m_pool->lock);
        auto it = m_pool->signals.find(s);
        if (it == m_pool->signals.end())
            return;
        callbacks = it->second.callbacks;
    }
    for (auto& [callback, user] : callbacks) {
        try {
            callback(s, user);
        } catch (...) {
        }
    }
}

void signalPoolListeningThread::dispatch(thread* t) {
    std::vector<std::pair<signalPool::threadCallback, void*>> callbacks;
    {
        mutexGuard guard(m_pool->lock);
        auto it = m_pool->threads.find(t);
        if (it == m_pool->threads.end())
            return;
        callbacks = it->second.callbacks;
    }
    for (auto& [callback, user] : callbacks) {
        try {
            callback(t, user);
        } catch (...) {
        }
    }
    // A finished thread stays signalled: forget the callbacks that were
    // called. One attached meanwhile stays and is called on the next round.
    mutexGuard guard(m_pool->lock);
    auto it = m_pool->threads.find(t);
    if (it == m_pool->threads.end())
        return;
    auto& list = it->second.callbacks;
    for (const auto& called : callbacks) {
        auto found = std::find(list.begin(), list.end(), called);
        if (found != list.end())
            list.erase(found);
    }
    if (list.empty())
        m_pool->threads.erase(it);
}

namespace {

void wakePool() {
    if (signalPool::poolData* pool = poolInstance().load())
        os::setEvent(pool->wake); // null until the first attach: nothing to do
}

// Starts the listener on the first attach; called under the pool's lock.
template <class Pool>
void ensureListener(Pool* pool) {
    if (pool->listener) {
        os::setEvent(pool->wake);
        return;
    }
    if (!pool->wake.load())
        pool->wake.store(os::createEvent(true, false, nullptr));
    if (!pool->wake.load())
        throw unexpectedErrorException(L"Failed to create signal");
    refPtr<thread> listener(new signalPoolListeningThread(pool));
    listener->start(nullptr, nullptr, false, thread::ePriorityNormal);
    pool->listener = listener;
}

template <class Map, class Object, class Callback>
void attachTo(signalPool::poolData* pool, Map& map, Object* object, Callback callback, void* user) {
    ZV_ASSERT(object != NULL);
    ZV_ASSERT(callback != NULL);
    mutexGuard guard(pool->lock);
    ensureListener(pool);
    auto& entry = map[object];
    if (!entry.object)
        entry.object = object;
    entry.callbacks.emplace_back(callback, user);
}

template <class Map, class Object, class Callback>
void detachFrom(signalPool::poolData* pool, Map& map, Object* object, Callback callback, void* user) {
    mutexGuard guard(pool->lock);
    auto it = map.find(object);
    if (it == map.end())
        return;
    auto& list = it->second.callbacks;
    auto found = std::find(list.begin(), list.end(), std::make_pair(callback, user));
    if (found == list.end())
        return;
    list.erase(found);
    if (list.empty()) {
        map.erase(it);
        if (pool->wake)
            os::setEvent(pool->wake); // the listener lets go of the object
    }
}

} // namespace

signalPool::signalPool() : m_data(new poolData) {}

signalPool& signalPool::singleton() {
    // Never destroyed: the listener may run while static objects go.
    static signalPool* instance = [] {
        auto* pool = new signalPool();
        poolInstance().store(pool->m_data);
        return pool;
    }();
    return *instance;
}

void signalPool::attach(signal* s, signalCallback callback, void* user) {
    attachTo(m_data, m_data->signals, s, callback, user);
}

void signalPool::attach(thread* t, threadCallback callback, void* user) {
    attachTo(m_data, m_data->threads, t, callback, user);
}

void signalPool::detach(signal* s, signalCallback callback, void* user) {
    detachFrom(m_data, m_data->signals, s, callback, user);
}

void signalPool::detach(thread* t, threadCallback callback, void* user) {
    detachFrom(m_data, m_data->threads, t, callback, user);
}

} // namespace zv
