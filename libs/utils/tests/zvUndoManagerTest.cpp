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

// A small text document whose edits register their inverses, as an application would.
struct textDoc {
    zv::undoManager& undo;
    std::wstring text;
    void insert(std::size_t pos, const std::wstring& s) { change(true, pos, s); }
    void erase(std::size_t pos, std::size_t n) { change(false, pos, text.substr(pos, n)); }
    void change(bool inserted, std::size_t pos, const std::wstring& s);
};

struct textEdit : zv::iModification {
    textEdit(textDoc& doc, bool inserted, std::size_t pos, std::wstring s)
        : doc(doc), inserted(inserted), pos(pos), text(std::move(s)) {}
    void undo() override { inserted ? doc.erase(pos, text.size()) : doc.insert(pos, text); }
    bool merge(const modPtr&) override { return false; }
    textDoc& doc;
    bool inserted;
    std::size_t pos;
    std::wstring text;
};

void textDoc::change(bool inserted, std::size_t pos, const std::wstring& s) {
    if (inserted)
        text.insert(pos, s);
    else
        text.erase(pos, s.size());
    undo.registerModification(modPtr(new textEdit(*this, inserted, pos, s)));
}

// Counts the manager's events.
class eventCounter : public zv::refObj, public zv::observer {
public:
    int events = 0;
    zv::iRefObj* lastSource = nullptr;
    bool lastBare = false; // neither name nor parameters

    EV_DECLARE_MSGMAP();

private:
    void onChanged(zv::iRefObj* source, const wchar_t* name, zv::iEventParams* params) {
        ++events;
        lastSource = source;
        lastBare = !name && !params;
    }
};

EV_BEGIN_MSGMAP(eventCounter, zv::observer)
EV_ON_EVENT(zv::undoManager::eventHistoryChanged, onChanged)
EV_END_MSGMAP()

// Records what the manager does with it; reverting registers nothing.
struct probe : zv::iModification {
    probe(std::vector<std::string>& log, std::string name, bool absorbs = false)
        : log(log), name(std::move(name)), absorbs(absorbs) {}
    void undo() override {
        log.push_back("undo " + name);
        if (onUndo)
            onUndo();
        if (throwOnUndo)
            throw std::runtime_error("undo failed");
    }
    bool merge(const modPtr& next) override {
        const auto* other = dynamic_cast<const probe*>(next.get());
        log.push_back(name + " merge " + (other ? other->name : "edit"));
        if (throwOnMerge && throwOnMerge--)
            throw std::runtime_error("merge failed");
        return absorbs;
    }
    std::vector<std::string>& log;
    std::string name;
    bool absorbs;
    bool throwOnUndo = false;
    int throwOnMerge = 0;         // merges that still fail
    std::function<void()> onUndo; // what reverting registers
};

// A manager, a document on it and an observer counting its events.
struct fixture {
    zv::refPtr<zv::undoManager> undo = zv::undoManager::create();
    textDoc doc{*undo, L""};
    zv::refPtr<eventCounter> seen = zv::createRefObj<eventCounter>();
    std::vector<std::string> log; // what the probes saw
    fixture() { undo->addObserver(seen.get()); }
    void type(const std::wstring& s) { doc.insert(doc.text.size(), s); }
    void add(probe* p) { undo->registerModification(modPtr(p)); }
    probe* failing(bool onUndo, const std::string& name = "M") {
        auto* p = new probe(log, onUndo ? "P" : name);
        if (onUndo)
            p->throwOnUndo = true;
        else
            p->throwOnMerge = 1;
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
        using action = std::function<void(const std::wstring&)>;
        const std::map<char, action> ops = {
            {'+', [&](const std::wstring& a) { type(a); }},
            {'^', [&](const std::wstring& a) { doc.insert(0, a); }},
            {'-', [&](const std::wstring& a) { doc.erase(doc.text.size() - std::stoul(a), std::stoul(a)); }},
            {'[', [&](const std::wstring&) { u.startTransaction(); }},
            {']', [&](const std::wstring&) { u.commitTransaction(); }},
            {'~', [&](const std::wstring&) { u.rollbackTransaction(); }},
            {'<', [&](const std::wstring&) { u.undo(); }},
            {'>', [&](const std::wstring&) { u.redo(); }},
            {'C', [&](const std::wstring&) { u.clear(); }},
            {'M', [&](const std::wstring& a) { u.setMaxNumberOfUndoSteps(unsigned(std::stoul(a))); }},
            {'p', [&](const std::wstring& a) { add(new probe(log, std::string(a.begin(), a.end()))); }},
            {'a', [&](const std::wstring& a) { add(new probe(log, std::string(a.begin(), a.end()), true)); }},
            {'m', [&](const std::wstring& a) { add(failing(false, std::string(a.begin(), a.end()))); }},
            {'F', [&](const std::wstring&) { add(failing(true)); }},
            {'Q', [&](const std::wstring&) { addReverting([this] { add(failing(true)); }); }},
            {'W',
             [&](const std::wstring&) {
                 addReverting([this] {
                     add(failing(false));
                     add(new probe(log, "N"));
                 });
             }},
        };
        std::istringstream in(script);
        for (std::string op; in >> op;)
            ops.at(op[0])(std::wstring(op.begin() + 1, op.end()));
        return state();
    }
    // "text:undo steps,redo steps,open transactions"; whether one can undo and redo follows the counts.
    std::string state() {
        EXPECT_EQ(undo->canUndo(), undo->undoStepCount() != 0);
        EXPECT_EQ(undo->canRedo(), undo->redoStepCount() != 0);
        return std::string(doc.text.begin(), doc.text.end()) + ":" + std::to_string(undo->undoStepCount()) +
               "," + std::to_string(undo->redoStepCount()) + "," +
               std::to_string(undo->openTransactionCount());
    }
    void addReverting(std::function<void()> onUndo) {
        auto* q = new probe(log, "Q");
        q->onUndo = std::move(onUndo);
        add(q);
    }
};

TEST(undoManager, ScriptedSessions) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"+abc", "abc:1,0,0", 1},
        {"+abc <", ":0,1,0", 1}, // a redo step is not announced
        {"+abc < >", "abc:1,0,0", 2},
        {"+a < ] ~", ":0,1,0", 1}, // nothing open: no change
        {"[ [ ] ]", ":0,0,0", 0},  // empty transactions store nothing
        {"[ +a +b +c ] <", ":0,1,0", 1},
        {"[ +a ^x +c ] < >", "xac:1,0,0", 2},
        {"+a +b < < >", "a:1,1,0", 3},
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

std::filesystem::path hostOf(const zv::fsEntryName& name) {
    return std::filesystem::path(static_cast<const std::wstring&>(name.hostPath()));
}

// Logging into a folder of its own, with lines "function|message".
class undoTrace : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousRoot = zvlog::logUtils::logRootDir();
        zvlog::logUtils::overwriteLogRootDir(m_tmp.dir());
    }
    void TearDown() override {
        zvlog::logUtils::overwriteLogRootDir(m_previousRoot);
        zvlog::logManager::getInstance().reloadConfig();
        zvlog::logSettings::getInstance().initOutputFile();
    }
    zvtest::tempFolder m_tmp;
    zv::directory m_previousRoot;
};

// The root logger stays above trace: only the loggers named after the operations write.
TEST_F(undoTrace, EveryBranchTracesItsTextThroughTheLoggerOfItsOperation) {
    const std::filesystem::path config = hostOf(zvlog::logUtils::configPath(zvlog::logUtils::moduleName()));
    std::filesystem::create_directories(config.parent_path());
    std::ofstream out(config, std::ios::binary);
    out << "<logconfig><globals format=\"%c|%m\"/><root enabled=\"true\" level=\"info\"/><classes>";
    for (const char* op : {"start", "commit", "rollback"})
        out << "<zv.undoManager." << op << "Transaction enabled=\"true\" level=\"trace\"/>";
    out << "</classes></logconfig>";
    out.close();
    zvlog::logManager::getInstance().reloadConfig();
    zvlog::logSettings::getInstance().initOutputFile();
    fixture f;
    f.run("~ ] [ [ +a ] [ ~ ~ [ ] +b <");
    // Each line as "operation: message"; all come from the manager.
    std::vector<std::string> lines;
    std::ifstream in(hostOf(zvlog::logSettings::getInstance().outputFile()), std::ios::binary);
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
}

} // namespace
