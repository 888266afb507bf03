#include "zvUndoManager.h"

#include "zvFile.h"
#include "zvLog.h"

#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using modPtr = zv::sharedPtr<zv::iModification>;

// Counts the manager's history events; "bare" ones carry neither name nor parameters.
struct eventCounter : zv::refObj, zv::iObserver {
    int events = 0;
    zv::iRefObj* lastSource = nullptr;
    bool lastBare = false;
    void handleEvent(int id, zv::iRefObj* source, const wchar_t* name, zv::iEventParams* params) override {
        if (id != zv::undoManager::eventHistoryChanged)
            return;
        ++events;
        lastSource = source;
        lastBare = !name && !params;
    }
};

// Records what the manager does with it in `log`, when given one, and runs `onUndo` when reverted.
struct probe : zv::iModification {
    probe(std::vector<std::string>* log, std::string name, bool absorbs = false)
        : log(log), name(std::move(name)), absorbs(absorbs) {}
    void undo() override {
        if (log)
            log->push_back("undo " + name);
        if (onUndo)
            onUndo();
        if (undoFails)
            throw std::runtime_error("undo failed");
    }
    bool merge(const modPtr& next) override {
        if (!log)
            return false;
        log->push_back(name + " merge " + dynamic_cast<const probe&>(*next).name);
        if (mergeFails && mergeFails--)
            throw std::runtime_error("merge failed");
        return absorbs;
    }
    std::vector<std::string>* log;
    std::string name;
    bool absorbs;
    int undoFails = 0, mergeFails = 0; // merges that still fail
    std::function<void()> onUndo;
};

// A manager, a text whose edits register their inverses as an application would, the
// probes' log and an observer counting the manager's events.
struct fixture {
    zv::refPtr<zv::undoManager> undo = zv::undoManager::create();
    std::string text;
    zv::refPtr<eventCounter> seen = zv::createRefObj<eventCounter>();
    std::vector<std::string> log;
    fixture() { undo->addObserver(seen.get()); }
    void edit(bool insert, std::size_t pos, const std::string& s) {
        insert ? void(text.insert(pos, s)) : void(text.erase(pos, s.size()));
        add(new probe(nullptr, "edit"), [=, this] { edit(!insert, pos, s); });
    }
    probe* add(probe* p, std::function<void()> onUndo = {}) {
        p->onUndo = std::move(onUndo);
        undo->registerModification(modPtr(p));
        return p;
    }
    probe* failing(bool onUndo, const std::string& name = "M") {
        auto* p = new probe(&log, onUndo ? "P" : name);
        ++(onUndo ? p->undoFails : p->mergeFails);
        return p;
    }
    // Runs a session written as a script: "+s" types s at the end, "^s" inserts s at the
    // front, "-n" deletes n characters at the end, "[" "]" "~" start, commit and roll
    // back, "<" ">" undo and redo, "C" clears, "Mn" sets the maximum. "F" registers a
    // modification whose undo throws, "Q" one whose undo registers such a modification,
    // "W" one whose undo registers a modification whose merge throws and then another.
    // "pX", "aX" and "mX" register modifications named X that keep apart, absorb, and
    // throw on their first merge.
    // Returns the state it leaves behind.
    std::string run(const std::string& script) {
        auto& u = *undo;
        const std::map<char, std::function<void(const std::string&)>> ops = {
            {'+', [&](const std::string& a) { edit(true, text.size(), a); }},
            {'^', [&](const std::string& a) { edit(true, 0, a); }},
            {'-',
             [&](const std::string& a) {
                 edit(false, text.size() - std::stoul(a), text.substr(text.size() - std::stoul(a)));
             }},
            {'[', [&](const std::string&) { u.startTransaction(); }},
            {']', [&](const std::string&) { u.commitTransaction(); }},
            {'~', [&](const std::string&) { u.rollbackTransaction(); }},
            {'<', [&](const std::string&) { u.undo(); }},
            {'>', [&](const std::string&) { u.redo(); }},
            {'C', [&](const std::string&) { u.clear(); }},
            {'M', [&](const std::string& a) { u.setMaxNumberOfUndoSteps(unsigned(std::stoul(a))); }},
            {'p', [&](const std::string& a) { add(new probe(&log, a)); }},
            {'a', [&](const std::string& a) { add(new probe(&log, a, true)); }},
            {'m', [&](const std::string& a) { add(failing(false, a)); }},
            {'F', [&](const std::string&) { add(failing(true)); }},
            {'Q', [&](const std::string&) { add(new probe(&log, "Q"), [this] { add(failing(true)); }); }},
            {'W',
             [&](const std::string&) {
                 add(new probe(&log, "Q"), [this] {
                     add(failing(false));
                     add(new probe(&log, "N"));
                 });
             }},
        };
        std::istringstream in(script);
        for (std::string op; in >> op;)
            ops.at(op[0])(op.substr(1));
        return state();
    }
    // "text:undo steps,redo steps,open transactions"; whether one can undo and redo follows the counts.
    std::string state() {
        EXPECT_EQ(undo->canUndo(), undo->undoStepCount() != 0);
        EXPECT_EQ(undo->canRedo(), undo->redoStepCount() != 0);
        return text + ":" + std::to_string(undo->undoStepCount()) + "," +
               std::to_string(undo->redoStepCount()) + "," + std::to_string(undo->openTransactionCount());
    }
};

TEST(undoManager, ScriptedSessions) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"+abc <", ":0,1,0", 1}, // a redo step is not announced
        {"+abc < >", "abc:1,0,0", 2},
        {"+a < ] ~", ":0,1,0", 1}, // nothing open: no change
        {"[ [ ] ]", ":0,0,0", 0},  // empty transactions store nothing
        {"[ +a +b +c ] <", ":0,1,0", 1},
        {"+a +b < < > +c", "ac:2,0,0", 4}, // a new change ends the redo history
        {"+a < [ +b", "b:0,0,1", 1},       // at once, inside a transaction
        {"+a < [ +b ~", ":0,0,0", 2},
        {"+x [ +ab -1 ^cd ~", "x:1,0,0", 2}, // reverted newest first, inverses ignored
        {"[ +a [ ^b +c ~", "a:0,0,1", 0},    // a nested roll-back is not announced
        {"[ +a [ ^b +c ~ ] <", ":0,1,0", 1},
        {"[ +a [ ^b ] ^c ] <", ":0,1,0", 1},
        {"[ +a [ ^b ] ^c ] < >", "cba:1,0,0", 2},
        {"+a +b < [ +c [ +d <", "a:1,0,0", 3}, // open levels rolled back, nothing undone
        {"+a +b < [ +c [ +d >", "a:1,0,0", 3},
        {"+a +b < [ +c [ +d C", "a:0,0,0", 3},
        {"M2 +a +b +c", "abc:2,0,0", 3},
        {"M2 +a +b +c < M0", "ab:1,1,0", 3}, // nothing trimmed while redo steps exist
        {"M2 +a +b +c < M0 M1 >", "abc:1,0,0", 4},
        {"M2 +a +b +c < < < <", "a:0,2,0", 3},
        {"M0 +a", "a:0,0,0", 1},
        {"M2 +a +b +c < [ +d ]", "abd:2,0,0", 4}, // trimmed once the commit ends the redo history
        {"+a [ +b [ +c ] ~ +d", "ad:2,0,0", 3},   // the parent's roll-back takes what the child committed
    };
    for (const auto& [script, state, events] : cases) {
        SCOPED_TRACE(script);
        fixture f;
        EXPECT_EQ(f.run(script), state);
        EXPECT_EQ(f.seen->events, events);
        if (events) { // announced by the manager, without name or parameters
            EXPECT_EQ(f.seen->lastSource, static_cast<zv::iRefObj*>(f.undo.get()));
            EXPECT_TRUE(f.seen->lastBare);
        }
    }
    EXPECT_EQ(zv::undoManager::create()->maxNumberOfUndoSteps(), 0xFFFFFFFFu);
}

// Each new modification is offered to the stored ones in order until one absorbs it; a
// nested commit offers its modifications to the parent's.
TEST(undoManager, MergesAreOfferedInOrderAndNestedCommitsToTheParent) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"[ pA aB pC pD", {"A merge B", "A merge C", "B merge C", "A merge D", "B merge D"}},
        {"[ pA [ pB", {}}, // alone in the nested transaction
        {"[ pA [ pB ] ] <", {"A merge B", "undo B", "undo A"}},
        {"[ aA [ pB ] ] <", {"A merge B", "undo A"}},
    };
    for (const auto& [script, log] : cases) {
        SCOPED_TRACE(script);
        fixture f;
        f.run(script);
        EXPECT_EQ(f.log, log);
    }
}

TEST(undoManager, NullModificationIsRefused) {
    zvtest::assertCapture capture;
    fixture f;
    f.run("+a <");
    EXPECT_THROW(f.undo->registerModification(modPtr()), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(f.state(), ":0,1,0");
}

// A modification whose undo or merge throws must not leave the manager in a
// mode that swallows or misfiles later changes.
TEST(undoManager, FailingApplicationLeavesTheManagerUsable) {
    const std::tuple<const char*, std::string, int, int> cases[] = {
        {"+a [ +b F ^c ] <", "ab", 1, 0}, // undo
        {"Q +a < < >", "", 0, 1},         // redo of the step that undoing Q stored
        {"+a [ F +b ~", "a", 1, 0},       // rollback
        {"+a W <", "a", 1, 0},            // merge while undoing
    };
    for (const auto& [script, text, undoSteps, redoSteps] : cases) {
        SCOPED_TRACE(script);
        fixture f;
        EXPECT_THROW(f.run(script), std::runtime_error);
        const std::string steps = std::to_string(undoSteps);
        EXPECT_EQ(f.state(), text + ":" + steps + "," + std::to_string(redoSteps) + ",0")
            << "the step taken stays consumed";
        // A later change lands in the undo history, ends the redo history and
        // is undone and redone like any other.
        const std::string later = text + "z:" + std::to_string(undoSteps + 1) + ",0,0";
        EXPECT_EQ(f.run("+z"), later);
        EXPECT_EQ(f.run("<"), text + ":" + steps + ",1,0");
        EXPECT_EQ(f.run(">"), later);
    }
}

TEST(undoManager, FailingMergeInNestedCommitKeepsTheLevelOpenWithWhatItHolds) {
    fixture f;
    f.run("[ mA [ pB pC");
    EXPECT_THROW(f.run("]"), std::runtime_error);
    EXPECT_EQ(f.state(), ":0,0,2");
    f.run("] ]");
    f.log.clear();
    f.run("<");
    EXPECT_EQ(f.log, (std::vector<std::string>{"undo C", "undo B", "undo A"})) << "each stored once";
}

// Deep nesting must neither recurse when the innermost level is found nor
// when the levels are dropped. Only some levels change the document: each
// nested commit offers its modifications to the parent's again, so
// thousands of modifications would measure the application's merge instead.
TEST(undoManager, TenThousandNestedLevels) {
    constexpr int levels = 10000;
    std::string open, commitAll, rollBackAll;
    for (int i = 0; i < levels; ++i) {
        open += i % 500 == 0 || i == levels - 1 ? "[ ^x " : "[ ";
        commitAll += "] ";
        rollBackAll += "~ ";
    }
    const std::string all(levels / 500 + 1, 'x');
    fixture f;
    EXPECT_EQ(f.run(open), all + ":0,0," + std::to_string(levels));
    EXPECT_EQ(f.run(commitAll), all + ":1,0,0");
    EXPECT_EQ(f.seen->events, 1);
    EXPECT_EQ(f.run("<"), ":0,1,0");
    EXPECT_EQ(f.run(">"), all + ":1,0,0");
    // Undo and redo roll the open levels back, clearing drops them with the history.
    const std::pair<std::string, std::string> closes[] = {
        {"<", all + ":1,0,0"}, {">", all + ":1,0,0"}, {"C", all + ":0,0,0"}, {rollBackAll, all + ":0,0,0"}};
    for (const auto& [close, state] : closes)
        EXPECT_EQ(f.run(open + close), state) << close.substr(0, 1);
    fixture dropped; // with the manager while open
    dropped.run(open);
}

// Logging into a folder of its own with lines "function|message"; the root logger stays above
// trace, so only the loggers named after the operations write.
TEST(undoTrace, EveryBranchTracesItsTextThroughTheLoggerOfItsOperation) {
    zvtest::tempFolder tmp;
    const zv::directory previousRoot = zvlog::logUtils::logRootDir();
    zvlog::logUtils::overwriteLogRootDir(tmp.dir());
    const std::filesystem::path config(static_cast<const std::wstring&>(
        zvlog::logUtils::configPath(zvlog::logUtils::moduleName()).hostPath()));
    std::filesystem::create_directories(config.parent_path());
    std::string classes;
    for (const char* op : {"start", "commit", "rollback"})
        classes += "<zv.undoManager." + std::string(op) + "Transaction enabled=\"true\" level=\"trace\"/>";
    std::ofstream(config, std::ios::binary) << "<logconfig><globals format=\"%c|%m\"/><root enabled=\"true\" "
                                               "level=\"info\"/><classes>" +
                                                   classes + "</classes></logconfig>";
    const auto reload = [] {
        zvlog::logManager::getInstance().reloadConfig();
        zvlog::logSettings::getInstance().initOutputFile();
    };
    reload();
    fixture f;
    f.run("~ ] [ [ +a ] [ ~ ~ [ ] +b <");
    // Each line as "operation: message"; all come from the manager.
    std::vector<std::string> lines;
    std::istringstream in(zvtest::readAll(zvlog::logSettings::getInstance().outputFile()));
    for (std::string line; std::getline(in, line);) {
        const std::size_t bar = line.find('|');
        EXPECT_EQ(line.rfind("zv::undoManager::", 0), 0u) << line;
        lines.push_back(line.substr(17, line.find_first_of(" |", 17) - 17) + ": " +
                        line.substr(bar + 1, line.find_last_not_of('\r') - bar));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "rollbackTransaction: Current transaction not available for rollback.",
                         "commitTransaction: Current transaction not available for commit.",
                         "startTransaction: Start new transaction",
                         "startTransaction: Start new nested transaction",
                         "commitTransaction: Call commit for nested transaction.",
                         "startTransaction: Start new nested transaction",
                         "rollbackTransaction: Call rollback for nested transaction.",
                         "rollbackTransaction: Call rollback for current transaction.",
                         "startTransaction: Start new transaction",
                         "commitTransaction: No modifications - Commit not needed.",
                         "startTransaction: Start new transaction",
                         "commitTransaction: Commit as undo operation.",
                         "startTransaction: Start new transaction",
                         "commitTransaction: Commit as redo operation.",
                     }));
    zvlog::logUtils::overwriteLogRootDir(previousRoot);
    reload();
}

} // namespace
