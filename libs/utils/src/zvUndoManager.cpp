#include "zvUndoManager.h"

#include "zvLog.h"
#include "zvString.h"

#include <deque>
#include <utility>
#include <vector>

namespace zv {

namespace {

enum : unsigned int {
    flagUndoing = 1,
    flagRedoing = 2,
    flagRollingBack = 4,
};

// The modifications of one transaction, in the order they were registered.
struct transaction {
    std::vector<sharedPtr<iModification>> modifications;
};
using transactionPtr = sharedPtr<transaction>;

// Sets mode flags for the length of an operation and puts back what was there
// before, also when the application throws: a mode left behind would make
// every later change vanish or land in the wrong history.
class flagScope {
public:
    flagScope(unsigned int& flags, unsigned int set) : m_flags(flags), m_saved(flags) { m_flags |= set; }
    ~flagScope() { m_flags = m_saved; }
    flagScope(const flagScope&) = delete;
    flagScope& operator=(const flagScope&) = delete;

private:
    unsigned int& m_flags;
    unsigned int m_saved;
};

// The operations that write trace lines, each through the logger of its own name.
enum traceOp { opStart, opCommit, opRollback };

// The source name trace lines carry.
constexpr const wchar_t* traceSource = L"src/zvTransactionManager";

// A trace line is a side matter: whatever goes wrong with it must not leave an
// operation half done.
void trace(traceOp op, const wchar_t* text, long line) noexcept {
    try {
        // The first trace has the log manager read its configuration; after
        // that, while no logger is configured, a trace costs one flag test.
        static const bool managerMade = (zvlog::logManager::getInstance(), true);
        if (!managerMade || !zvlog::logManager::isActive())
            return;
        static const string names[] = {L"zv::undoManager::startTransaction",
                                       L"zv::undoManager::commitTransaction",
                                       L"zv::undoManager::rollbackTransaction"};
        const string& name = names[op];
        const refPtr<zvlog::logger> log = zvlog::logManager::getLogger(name);
        if (log && log->isLoggingAllowed(zvlog::eTrace))
            log->log_trace(text, string(traceSource), line, name);
    } catch (...) {
    }
}

// Offers `m` to the stored modifications in order; the first that merges it
// absorbs it, otherwise it is appended.
void addModification(transaction& t, const sharedPtr<iModification>& m) {
    // By index and through a copy: an application's merge may register more.
    for (std::size_t i = 0; i < t.modifications.size(); ++i) {
        const sharedPtr<iModification> stored = t.modifications[i];
        if (stored->merge(m))
            return;
    }
    t.modifications.push_back(m);
}

// Reverts the modifications, newest first. Each leaves the transaction before
// its undo runs, so one that throws is gone like those reverted before it.
void revert(transaction& t) {
    while (!t.modifications.empty()) {
        const sharedPtr<iModification> m = std::move(t.modifications.back());
        t.modifications.pop_back();
        m->undo();
    }
}

} // namespace

iModification::~iModification() = default;

// The open levels are kept side by side, outermost first, rather than each
// holding the next: finding the innermost level and dropping thousands of them
// then needs neither a walk nor deep recursion.
struct undoManager::managerData {
    std::deque<transactionPtr> undoHistory; // oldest first
    std::deque<transactionPtr> redoHistory; // oldest first
    std::vector<transactionPtr> open;       // outermost first; empty when none is open
    unsigned int flags = 0;
    unsigned int maxSteps = unlimitedUndoSteps;

    void trim() {
        if (!redoHistory.empty())
            return;
        while (undoHistory.size() > maxSteps)
            undoHistory.pop_front();
    }
};

undoManager::undoManager() : m_data(new managerData) {}

undoManager::~undoManager() {
    delete m_data;
}

refPtr<undoManager> undoManager::create() {
    return refPtr<undoManager>(new undoManager);
}

void undoManager::startTransaction() {
    if (m_data->open.empty())
        trace(opStart, L"Start new transaction", __LINE__);
    else
        trace(opStart, L"Start new nested transaction", __LINE__);
    m_data->open.push_back(transactionPtr(new transaction));
}

void undoManager::commitTransaction() {
    managerData& d = *m_data;
    if (d.open.empty()) {
        trace(opCommit, L"Current transaction not available for commit.", __LINE__);
        return;
    }

    if (d.open.size() > 1) {
        trace(opCommit, L"Call commit for nested transaction.", __LINE__);
        transactionPtr inner = std::move(d.open.back());
        d.open.pop_back();
        const transactionPtr parent = d.open.back();
        std::size_t moved = 0;
        try {
            for (; moved < inner->modifications.size(); ++moved)
                addModification(*parent, inner->modifications[moved]);
        } catch (...) {
            // A merge failed: the level stays open with what it still holds,
            // so nothing is lost and nothing is stored twice.
            auto& rest = inner->modifications;
            rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(moved));
            d.open.push_back(std::move(inner));
            throw;
        }
        return;
    }

    const transactionPtr t = std::move(d.open.back());
    d.open.pop_back();
    if (t->modifications.empty()) {
        trace(opCommit, L"No modifications - Commit not needed.", __LINE__);
        return;
    }
    if (d.flags & flagUndoing) {
        trace(opCommit, L"Commit as redo operation.", __LINE__);
        d.redoHistory.push_back(t);
        return;
    }
    trace(opCommit, L"Commit as undo operation.", __LINE__);
    d.undoHistory.push_back(t);
    if (!(d.flags & flagRedoing))
        d.redoHistory.clear();
    d.trim();
    notifyHistoryChanged();
}

void undoManager::rollbackTransaction() {
    managerData& d = *m_data;
    if (d.open.empty()) {
        trace(opRollback, L"Current transaction not available for rollback.", __LINE__);
        return;
    }

    const bool nested = d.open.size() > 1;
    if (nested)
        trace(opRollback, L"Call rollback for nested transaction.", __LINE__);
    else
        trace(opRollback, L"Call rollback for current transaction.", __LINE__);
    // Detached before reverting, so that whatever the modifications open or
    // close meanwhile cannot touch it; a level whose roll-back throws is gone.
    const transactionPtr t = std::move(d.open.back());
    d.open.pop_back();
    {
        flagScope rollingBack(d.flags, flagRollingBack);
        revert(*t);
    }
    if (!nested)
        notifyHistoryChanged();
}

void undoManager::notifyHistoryChanged() {
    // Nobody to tell is the common case, and an event costs type look-ups.
    if (countObservers() != 0)
        fireEvent(eventHistoryChanged, this, nullptr, nullptr);
}

void undoManager::registerModification(const sharedPtr<iModification>& modification) {
    ZV_ASSERT(modification);
    managerData& d = *m_data;
    if (d.flags & flagRollingBack)
        return;
    if (!(d.flags & (flagUndoing | flagRedoing)))
        d.redoHistory.clear();
    const bool ownTransaction = d.open.empty();
    if (ownTransaction)
        startTransaction();
    const transactionPtr innermost = d.open.back();
    addModification(*innermost, modification);
    if (ownTransaction)
        commitTransaction();
}

// Undo and redo are one operation on two histories: take the newest step out
// of one, revert it inside a transaction of its own, and commit that
// transaction, which holds the inverse modifications.
void undoManager::replay(bool forward) {
    managerData& d = *m_data;
    if (!d.open.empty()) {
        while (!d.open.empty())
            rollbackTransaction();
        return;
    }
    std::deque<transactionPtr>& from = forward ? d.redoHistory : d.undoHistory;
    if (from.empty())
        return;

    flagScope scope(d.flags, forward ? flagRedoing : flagUndoing);
    const std::size_t base = d.open.size();
    startTransaction();
    const transactionPtr step = std::move(from.back());
    from.pop_back();
    try {
        revert(*step);
    } catch (...) {
        // The step stays consumed; the inverses registered so far go with
        // the transaction that held them.
        while (d.open.size() > base)
            d.open.pop_back();
        throw;
    }
    // Levels the application opened and left open are closed with ours.
    while (d.open.size() > base)
        commitTransaction();
}

void undoManager::undo() {
    replay(false);
}

void undoManager::redo() {
    replay(true);
}

bool undoManager::canUndo() const {
    return !m_data->undoHistory.empty();
}

bool undoManager::canRedo() const {
    return !m_data->redoHistory.empty();
}

void undoManager::clear() {
    managerData& d = *m_data;
    try {
        while (!d.open.empty())
            rollbackTransaction();
    } catch (...) {
        d.open.clear();
        d.undoHistory.clear();
        d.redoHistory.clear();
        d.flags = 0;
        throw;
    }
    d.undoHistory.clear();
    d.redoHistory.clear();
    d.flags = 0;
}

unsigned int undoManager::maxNumberOfUndoSteps() const {
    return m_data->maxSteps;
}

void undoManager::setMaxNumberOfUndoSteps(unsigned int maxSteps) {
    m_data->maxSteps = maxSteps;
    m_data->trim();
}

std::size_t undoManager::undoStepCount() const {
    return m_data->undoHistory.size();
}

std::size_t undoManager::redoStepCount() const {
    return m_data->redoHistory.size();
}

std::size_t undoManager::openTransactionCount() const {
    return m_data->open.size();
}

} // namespace zv
