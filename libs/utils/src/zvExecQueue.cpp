#include "zvExecQueue.h"

#include "zvMutex.h"
#include "zvString.h"

#include <algorithm>
#include <deque>
#include <unordered_map>
#include <utility>

namespace zv {

execItem::~execItem() = default;

namespace {

struct mainEntry {
    execItem* item;
    bool deleteAfterExecution;
};

using namedList = std::deque<std::pair<zv::string, execItem*>>;

} // namespace

struct execQueue::queueData {
    mutable mutex immediateLock;
    bool immediate = false;

    mutable mutex startLock;
    namedList start;
    mutable mutex mainLock;
    std::deque<mainEntry> main;
    mutable mutex endLock;
    namedList end;

    // How many entries (queued or running) hold each item, and whether one of
    // them owned it: an item is deleted once, when its last entry goes. The
    // lock is taken last, under any list lock, and nothing runs under it.
    struct holding {
        std::size_t entries = 0;
        bool owned = false;
    };
    mutex holdingsLock;
    std::unordered_map<execItem*, holding> holdings;

    void hold(execItem* item, bool owning) {
        mutexGuard guard(holdingsLock);
        holding& h = holdings[item];
        ++h.entries;
        h.owned = h.owned || owning;
    }

    // Gives up one entry; true when the item must now be deleted.
    bool letGo(execItem* item, bool owning) {
        mutexGuard guard(holdingsLock);
        auto it = holdings.find(item);
        if (it == holdings.end())
            return false;
        it->second.owned = it->second.owned || owning;
        if (--it->second.entries > 0)
            return false;
        const bool owned = it->second.owned;
        holdings.erase(it);
        return owned;
    }

    void finish(execItem* item, bool owning) {
        if (letGo(item, owning))
            delete item;
    }

    void put(mutex& lock, namedList& list, const wchar_t* name, execItem* item) {
        execItem* replaced = nullptr;
        {
            mutexGuard guard(lock);
            auto it = std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first == name; });
            if (it != list.end() && it->second == item)
                return; // already there: deleting it would leave the entry dangling
            hold(item, true);
            if (it != list.end())
                replaced = std::exchange(it->second, item);
            else
                list.emplace_back(zv::string(name), item);
        }
        if (replaced)
            finish(replaced, true);
    }

    bool has(mutex& lock, const namedList& list, const wchar_t* name) const {
        mutexGuard guard(lock);
        return std::any_of(list.begin(), list.end(), [&](const auto& e) { return e.first == name; });
    }

    void run(mutex& lock, namedList& list) {
        for (;;) {
            execItem* item;
            {
                mutexGuard guard(lock);
                if (list.empty())
                    return;
                item = list.front().second;
                list.pop_front();
            }
            runOne(item);
            finish(item, true);
        }
    }

    static void runOne(execItem* item) {
        try {
            item->execute();
            item->m_executed.store(true);
        } catch (...) {
            // A failing item does not stop the ones after it.
        }
    }
};

execQueue::execQueue() : m_data(new queueData) {}

execQueue::~execQueue() {
    clear();
    delete m_data;
}

void execQueue::add(execItem* item, bool immediate, bool deleteAfterExecution) {
    ZV_ASSERT(item != NULL);
    m_data->hold(item, deleteAfterExecution);
    {
        mutexGuard guard(m_data->mainLock);
        m_data->main.push_back(mainEntry{item, deleteAfterExecution});
    }
    if (immediate) {
        mutexGuard guard(m_data->immediateLock);
        m_data->immediate = true;
    }
}

bool execQueue::immediateExecRequired() const {
    mutexGuard guard(m_data->immediateLock);
    return m_data->immediate;
}

std::size_t execQueue::nrOfEntries() const {
    mutexGuard guard(m_data->mainLock);
    return m_data->main.size();
}

bool execQueue::contains(const execItem* item) const {
    mutexGuard guard(m_data->mainLock);
    return std::any_of(m_data->main.begin(), m_data->main.end(),
                       [&](const mainEntry& e) { return e.item == item; });
}

void execQueue::execute() {
    for (;;) {
        mainEntry entry;
        {
            mutexGuard guard(m_data->mainLock);
            if (m_data->main.empty())
                return;
            entry = m_data->main.front();
            m_data->main.pop_front();
        }
        queueData::runOne(entry.item);
        m_data->finish(entry.item, entry.deleteAfterExecution);
    }
}

void execQueue::putAtExecutionStart(const wchar_t* name, execItem* item) {
    ZV_ASSERT(name != NULL);
    ZV_ASSERT(item != NULL);
    m_data->put(m_data->startLock, m_data->start, name, item);
}

void execQueue::putAtExecutionEnd(const wchar_t* name, execItem* item) {
    ZV_ASSERT(name != NULL);
    ZV_ASSERT(item != NULL);
    m_data->put(m_data->endLock, m_data->end, name, item);
}

bool execQueue::atExecutionStart(const wchar_t* name) const {
    return name && m_data->has(m_data->startLock, m_data->start, name);
}

bool execQueue::atExecutionEnd(const wchar_t* name) const {
    return name && m_data->has(m_data->endLock, m_data->end, name);
}

void execQueue::executeStart() {
    m_data->run(m_data->startLock, m_data->start);
}

void execQueue::executeEnd() {
    m_data->run(m_data->endLock, m_data->end);
}

void execQueue::clear() {
    namedList start;
    std::deque<mainEntry> main;
    namedList end;
    {
        // Always in this order: start, main, end.
        mutexGuard startGuard(m_data->startLock);
        mutexGuard mainGuard(m_data->mainLock);
        mutexGuard endGuard(m_data->endLock);
        start.swap(m_data->start);
        main.swap(m_data->main);
        end.swap(m_data->end);
    }
    // Deleted outside the locks: an item's destructor may use the queue.
    for (const auto& e : start)
        m_data->finish(e.second, true);
    for (const mainEntry& e : main)
        m_data->finish(e.item, true);
    for (const auto& e : end)
        m_data->finish(e.second, true);
}

} // namespace zv
