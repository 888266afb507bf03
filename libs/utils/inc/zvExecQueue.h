// zvExecQueue.h - work items queued by one thread and run later by another.
//
//     struct redraw : zv::execItem { void execute() override { ... } };
//
//     zv::execQueue queue;
//     queue.add(new redraw, true);                      // owned, deleted after it ran
//     queue.putAtExecutionEnd(L"flush", new flushAll);  // one per name
//     ...                                               // in the main loop:
//     queue.executeStart(); queue.execute(); queue.executeEnd();
//
// Besides the first-in, first-out main list, the queue keeps two lists of
// named items run at the start and at the end of an execution phase; a name
// holds one item. Items of the named lists are owned by the queue; items of
// the main list are deleted after they ran when added with the delete flag,
// and always when the queue is cleared.
//
// Each list has its own lock and no item runs while one is held, so items
// may add to the queue. An item that throws is dropped (deleted as if it had
// run) and the rest run on. The same item may be queued more than once: it
// runs each time and is deleted once, after its last entry is gone.
#pragma once

#include "zvDefs.h"

#include <atomic>
#include <cstddef>

namespace zv {

/// A piece of work for an `execQueue`.
class ZV_API execItem {
public:
    execItem() = default;
    /// A copy has not run.
    execItem(const execItem&) : m_executed(false) {}
    /// Assignment leaves the executed flag alone.
    execItem& operator=(const execItem&) { return *this; }
    virtual ~execItem();

    /// The work; called once by the queue that runs the item.
    virtual void execute() = 0;
    /// True once `execute()` has returned (without throwing) in a queue.
    bool executed() const { return m_executed.load(); }

private:
    friend class execQueue;
    std::atomic<bool> m_executed{false};
};

/// Queued work; every operation may be called from any thread.
class ZV_API execQueue {
public:
    execQueue();
    /// Clears the queue.
    ~execQueue();
    execQueue(const execQueue&) = delete;
    execQueue& operator=(const execQueue&) = delete;

    /// Appends `item` to the main list; `immediate` sets the flag of
    /// `immediateExecRequired` (which then stays set).
    void add(execItem* item, bool immediate = false, bool deleteAfterExecution = true);
    /// True once an item was added with `immediate`.
    bool immediateExecRequired() const;
    /// The number of entries in the main list.
    std::size_t nrOfEntries() const;
    /// Whether `item` waits in the main list.
    bool contains(const execItem* item) const;
    /// Runs the main list until it is empty, including items added meanwhile.
    void execute();

    /// Puts `item` under `name` (compared exactly): an item already there is
    /// replaced and deleted; the same item again changes nothing.
    void putAtExecutionStart(const wchar_t* name, execItem* item);
    /// The same for the list run by `executeEnd`.
    void putAtExecutionEnd(const wchar_t* name, execItem* item);
    /// Whether an item waits under `name` in the start list.
    bool atExecutionStart(const wchar_t* name) const;
    /// Whether an item waits under `name` in the end list.
    bool atExecutionEnd(const wchar_t* name) const;
    /// Run the named lists in insertion order, deleting each item after it ran.
    void executeStart();
    /// Runs the end list the same way.
    void executeEnd();

    /// Deletes every queued item, whatever its flag, and empties all lists.
    void clear();

private:
    struct queueData;
    queueData* m_data;
};

} // namespace zv
