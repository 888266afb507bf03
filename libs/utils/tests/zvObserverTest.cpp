#include "zvObserver.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using eventLog = std::vector<std::wstring>;

// A counted observable; reports its destruction.
class document : public zv::refObj, public zv::observable {
public:
    explicit document(bool* destroyed = nullptr) : m_destroyed(destroyed) {}
    ~document() override {
        if (m_destroyed)
            *m_destroyed = true;
    }
    void changed(const wchar_t* name = nullptr, zv::iEventParams* params = nullptr) {
        fireEvent(1, this, name, params);
    }

private:
    bool* m_destroyed;
};

// Writes "<tag>:<handler>" into a shared log for every call.
class recorder : public zv::refObj, public zv::observer {
public:
    recorder(eventLog* log, std::wstring tag, int* destroyed = nullptr)
        : m_log(log), m_tag(std::move(tag)), m_destroyed(destroyed) {}
    ~recorder() override {
        if (m_destroyed)
            ++*m_destroyed;
    }
    zv::iRefObj* lastSource = nullptr;
    zv::iEventParams* lastParams = nullptr;

    EV_DECLARE_MSGMAP();

protected:
    void note(const wchar_t* what) { m_log->push_back(m_tag + L":" + what); }
    void onAny(zv::iRefObj* source, const wchar_t*, zv::iEventParams* params) {
        lastSource = source;
        lastParams = params;
        note(L"any");
    }
    void onTwo(zv::iRefObj*, const wchar_t*, zv::iEventParams*) { note(L"two"); }

    eventLog* m_log;
    std::wstring m_tag;
    int* m_destroyed;
};

EV_BEGIN_MSGMAP(recorder, zv::observer)
EV_ON_EVENT(1, onAny)
EV_ON_EVENT(2, onTwo)
EV_END_MSGMAP()

// Adds a named entry and a second unnamed one for event 1 on top of the base map.
class namedRecorder : public recorder {
public:
    using recorder::recorder;
    EV_DECLARE_MSGMAP();

private:
    void onChanged(zv::iRefObj*, const wchar_t*, zv::iEventParams*) { note(L"Changed"); }
    void onFirst(zv::iRefObj*, const wchar_t*, zv::iEventParams*) { note(L"first"); }
};

EV_BEGIN_MSGMAP(namedRecorder, recorder)
EV_ON_NAMED_EVENT(1, L"Changed", onChanged)
EV_ON_EVENT(1, onFirst)
EV_END_MSGMAP()

struct opaqueParams : zv::iEventParams {};

// The references an object holds, not counting the one taken to ask.
int refs(zv::iRefObj* o) {
    const int n = static_cast<int>(o->addRef()) - 1;
    o->release();
    return n;
}

// Runs its action for event 1.
class actor : public recorder {
public:
    actor(eventLog* log, std::wstring tag, std::function<void(actor&)> action, int* destroyed = nullptr)
        : recorder(log, std::move(tag), destroyed), m_action(std::move(action)) {}
    using recorder::note;
    EV_DECLARE_MSGMAP();

private:
    void onAct(zv::iRefObj*, const wchar_t*, zv::iEventParams*) { m_action(*this); }
    std::function<void(actor&)> m_action;
};

EV_BEGIN_MSGMAP(actor, zv::observer)
EV_ON_EVENT(1, onAct)
EV_END_MSGMAP()

} // namespace

TEST(observable, KeepsEachObserverOnceAndReAddingMovesItToTheEnd) {
    eventLog log;
    zv::refPtr<document> doc = zv::createRefObj<document>();
    zv::refPtr<recorder> a = zv::createRefObj<recorder>(&log, L"a");
    zv::refPtr<recorder> b = zv::createRefObj<recorder>(&log, L"b");
    doc->addObserver(nullptr);
    doc->addObserver(a.get());
    doc->addObserver(a.get());
    EXPECT_EQ(doc->countObservers(), 1u);
    doc->addObserver(b.get());
    doc->addObserver(a.get()); // now b, a
    EXPECT_EQ(doc->countObservers(), 2u);
    doc->changed();
    EXPECT_EQ(log, (eventLog{L"b:any", L"a:any"}));

    // The list holds one reference per observer, however often it was added.
    EXPECT_EQ(refs(a.get()), 2);
    doc->removeObserver(a.get());
    doc->removeObserver(a.get()); // not listed any more: ignored
    EXPECT_EQ(refs(a.get()), 1);
    EXPECT_EQ(doc->countObservers(), 1u);
    doc->removeAllObservers();
    EXPECT_EQ(doc->countObservers(), 0u);
    EXPECT_EQ(refs(b.get()), 1);
}

TEST(observable, ChangesMadeByAHandlerTakeEffectWithTheNextEvent) {
    eventLog log;
    int destroyed = 0;
    zv::refPtr<document> doc = zv::createRefObj<document>();
    zv::refPtr<recorder> first = zv::createRefObj<recorder>(&log, L"first");
    zv::refPtr<recorder> last = zv::createRefObj<recorder>(&log, L"last");
    zv::refPtr<recorder> newcomer = zv::createRefObj<recorder>(&log, L"new");
    doc->addObserver(first.get());
    // Held by the list only: it lives through its own handler and goes after.
    const auto leave = [&](actor& me) { // removes itself and adds a newcomer
        me.note(L"leave");
        doc->removeObserver(&me);
        doc->addObserver(newcomer.get());
    };
    doc->addObserver(zv::createRefObj<actor>(&log, L"leaver", leave, &destroyed).get());
    doc->addObserver(last.get());
    EXPECT_EQ(destroyed, 0);

    doc->changed();
    EXPECT_EQ(log, (eventLog{L"first:any", L"leaver:leave", L"last:any"}));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(doc->countObservers(), 3u); // first, last, new
    log.clear();
    doc->changed();
    EXPECT_EQ(log, (eventLog{L"first:any", L"last:any", L"new:any"}));
}

TEST(observable, ObserverDestroyedWhileRegisteredTakesItselfOff) {
    eventLog log;
    zv::refPtr<document> doc = zv::createRefObj<document>();
    zv::refPtr<document> other = zv::createRefObj<document>();
    zv::refPtr<recorder> kept = zv::createRefObj<recorder>(&log, L"kept");
    {
        recorder onStack(&log, L"stack"); // not managed by references
        doc->addObserver(&onStack);
        other->addObserver(&onStack);
        doc->addObserver(kept.get());
        doc->changed();
        EXPECT_EQ(doc->countObservers(), 2u);
    }
    EXPECT_EQ(doc->countObservers(), 1u);
    EXPECT_EQ(other->countObservers(), 0u);
    log.clear();
    doc->changed(); // must not reach the destroyed observer
    EXPECT_EQ(log, (eventLog{L"kept:any"}));
}

TEST(observable, ObservableDestroyedFirstReleasesItsObservers) {
    eventLog log;
    int destroyed = 0;
    bool docGone = false;
    zv::refPtr<recorder> watcher = zv::createRefObj<recorder>(&log, L"w", &destroyed);
    zv::refPtr<document> doc = zv::createRefObj<document>(&docGone);
    zv::refPtr<document> other = zv::createRefObj<document>();
    doc->addObserver(watcher.get());
    other->addObserver(watcher.get());
    EXPECT_EQ(refs(watcher.get()), 3);

    doc = nullptr;
    EXPECT_TRUE(docGone);
    EXPECT_EQ(refs(watcher.get()), 2); // the destroyed list gave its reference back
    // The watcher keeps no link to the destroyed list; dropping it now is clean.
    other = nullptr;
    watcher = nullptr;
    EXPECT_EQ(destroyed, 1);

    // An observer held only by the list goes with the list.
    bool gone = false;
    zv::refPtr<document> owner = zv::createRefObj<document>(&gone);
    owner->addObserver(zv::createRefObj<recorder>(&log, L"owned", &destroyed).get());
    owner = nullptr;
    EXPECT_EQ(destroyed, 2);
}

TEST(observable, SourceOutlivesAHandlerThatDropsIt) {
    eventLog log;
    bool gone = false;
    zv::refPtr<document> doc = zv::createRefObj<document>(&gone);
    auto d = zv::createRefObj<actor>(&log, L"dropper", [&](actor& me) {
        me.note(L"drop");
        doc = nullptr;
    });
    auto p = zv::createRefObj<actor>(&log, L"prober", [&](actor& me) { me.note(gone ? L"dead" : L"alive"); });
    doc->addObserver(d.get());
    doc->addObserver(p.get());
    document* raw = doc.get();
    raw->changed();
    EXPECT_EQ(log, (eventLog{L"dropper:drop", L"prober:alive"}));
    EXPECT_TRUE(gone);           // released when the dispatch ended
    EXPECT_EQ(refs(d.get()), 1); // and its list gave the references back

    // A source that nobody holds by reference is not deleted by the dispatch.
    eventLog quiet;
    bool stackGone = false;
    {
        document onStack(&stackGone);
        zv::refPtr<recorder> r = zv::createRefObj<recorder>(&quiet, L"r");
        onStack.addObserver(r.get());
        onStack.changed();
        EXPECT_FALSE(stackGone);
    }
    EXPECT_TRUE(stackGone);
    EXPECT_EQ(quiet, (eventLog{L"r:any"}));
}

TEST(observer, MessageMapsCallEveryMatchDerivedFirstPassingSourceAndParams) {
    eventLog log;
    zv::refPtr<document> doc = zv::createRefObj<document>();
    zv::refPtr<namedRecorder> n = zv::createRefObj<namedRecorder>(&log, L"n");
    doc->addObserver(n.get());

    opaqueParams params;
    doc->changed(L"changed", &params); // names match ignoring case
    EXPECT_EQ(log, (eventLog{L"n:Changed", L"n:first", L"n:any"}));
    EXPECT_EQ(n->lastSource, static_cast<zv::iRefObj*>(doc.get()));
    EXPECT_EQ(n->lastParams, &params);
    log.clear();
    doc->changed(nullptr); // a named entry never matches a missing name
    EXPECT_EQ(log, (eventLog{L"n:first", L"n:any"}));
    log.clear();
    doc->changed(L"Renamed");
    EXPECT_EQ(log, (eventLog{L"n:first", L"n:any"}));
    log.clear();
    doc->fireEvent(2, doc.get(), L"whatever", nullptr); // only the base map has 2
    doc->fireEvent(3, doc.get(), nullptr, nullptr);     // nobody maps 3
    EXPECT_EQ(log, (eventLog{L"n:two"}));
}
