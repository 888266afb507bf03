// zvUndoManager.h - undo and redo of an application's changes, grouped into
// nested transactions.
//
// The application describes every change by a modification object that can
// revert it. Reverting a change is itself a change: while `undo()` runs, the
// modification registers its inverse with the same manager, and these
// inverses form the transaction that `redo` applies later (and the other way
// round).
//
//     struct rename : zv::iModification {
//         rename(document* d, zv::string old) : doc(d), oldName(std::move(old)) {}
//         void undo() override { doc->setName(oldName); }   // registers a rename of its own
//         bool merge(const zv::sharedPtr<zv::iModification>&) override { return false; }
//         document* doc;
//         zv::string oldName;
//     };
//
//     zv::refPtr<zv::undoManager> undo = zv::undoManager::create();
//     undo->startTransaction();
//     doc.setName(L"b");          // registers new rename(&doc, L"a") with `undo`
//     doc.setColour(red);
//     undo->commitTransaction();  // one undo step with both changes
//     undo->undo();               // reverts the colour, then the name
//     undo->redo();               // sets the colour and the name again
//
// A modification registered without an open transaction is a transaction of
// its own. Transactions nest: committing an inner one hands its
// modifications to the enclosing one, rolling it back reverts only its own.
// `undo`, `redo` and `clear` first roll back whatever is still open.
// Observers registered through `zv::iObservable` receive `eventHistoryChanged`
// whenever a commit adds a step to the undo history and whenever an outermost
// transaction is rolled back.
//
// Merging follows registration order: a new modification is offered to every
// modification of its transaction until one absorbs it, and committing a
// nested transaction offers each of its modifications to the parent's in the
// same way. A transaction of n modifications that never merge thus costs up
// to n*n/2 calls of `merge`.
//
// Whatever a modification throws from `undo` or `merge` reaches the caller.
// The manager then stays usable: the operation's own mode is left, the
// transaction it had opened (with the inverses registered so far) is dropped
// and the history step it had taken out stays gone; a level whose roll-back
// failed is closed, and a nested level whose commit failed stays open with
// the modifications not yet handed on. The application's data may be partly
// reverted at that point; what to do about that is its own decision.
//
// A manager belongs to one thread at a time.
#pragma once

#include "zvDefs.h"
#include "zvObserver.h"
#include "zvRefObj.h"
#include "zvSharedPtr.h"

#include <cstddef>

namespace zv {

/// One change of the application's data, able to revert itself.
class ZV_API iModification {
public:
    virtual ~iModification();
    /// Reverts the change; registers the inverse change with the manager the
    /// way any other change is registered.
    virtual void undo() = 0;
    /// Answers true when this modification has absorbed `next`, a change made
    /// after it in the same transaction, which is then not stored on its own.
    virtual bool merge(const sharedPtr<iModification>& next) = 0;
};

/// The undo and redo histories of an application's changes.
class ZV_API undoManager : public refObj, public observable {
public:
    /// The event id observers receive (no name, no parameters).
    static constexpr int eventHistoryChanged = 10000;
    /// The default maximum number of undo steps: no limit.
    static constexpr unsigned int unlimitedUndoSteps = 0xFFFFFFFFu;

    /// A manager with empty histories, no open transaction and no limit.
    static refPtr<undoManager> create();

    /// Opens a transaction, nested inside the innermost open one if any.
    void startTransaction();
    /// Closes the innermost open transaction: a nested one hands its
    /// modifications to its parent, the outermost becomes an undo step (or,
    /// while undoing, a redo step); an empty one is dropped.
    void commitTransaction();
    /// Reverts the modifications of the innermost open transaction, newest
    /// first, and closes it. Changes registered while reverting are ignored.
    void rollbackTransaction();

    /// Records `modification` (which must not be null) in the innermost open
    /// transaction, offering it to the stored ones to merge first; without an
    /// open transaction it becomes a step of its own. Clears the redo history
    /// unless the call comes from undoing or redoing; ignored while rolling back.
    void registerModification(const sharedPtr<iModification>& modification);

    /// Rolls back any open transactions and stops there; otherwise reverts the
    /// newest undo step, whose inverse becomes the newest redo step.
    void undo();
    /// Rolls back any open transactions and stops there; otherwise reverts the
    /// newest redo step, whose inverse becomes the newest undo step.
    void redo();
    /// True when the undo history is not empty.
    bool canUndo() const;
    /// True when the redo history is not empty.
    bool canRedo() const;

    /// Rolls back any open transactions and empties both histories.
    void clear();

    /// The limit of the undo history (`unlimitedUndoSteps` by default).
    unsigned int maxNumberOfUndoSteps() const;
    /// Sets the limit and drops the oldest undo steps above it, unless a redo
    /// step exists (then the history is trimmed by a later commit).
    void setMaxNumberOfUndoSteps(unsigned int maxSteps);

    /// The number of steps in the undo history.
    std::size_t undoStepCount() const;
    /// The number of steps in the redo history.
    std::size_t redoStepCount() const;
    /// The number of open transaction levels (0 when none is open).
    std::size_t openTransactionCount() const;

protected:
    undoManager();
    ~undoManager() override;
    undoManager(const undoManager&) = delete;
    undoManager& operator=(const undoManager&) = delete;

private:
    void replay(bool forward);
    void notifyHistoryChanged();

    struct managerData;
    managerData* m_data;
};

} // namespace zv
