#include "zvObserver.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using eventLog = std::vector<std::wstring>;

// A counted observable; counts its destruction.
class document : public zv::refObj, public zv::observable {
public:
    explicit document(int* destroyed = nullptr) : m_destroyed(destroyed) {}
    ~document() override {
        if (m_destroyed)
            ++*m_destroyed;
    }
    void changed(const wchar_t* name = nullptr, zv::iEventParams* params = nullptr) {
        fireEvent(1, this, name, params);
    }

private:
    int* m_destroyed;
};

// Writes "<tag>:<handler>" into a shared log for every call, or runs its action for event 1
// instead; counts its destruction.
class recorder : public zv::refObj, public zv::observer {
public:
    using action = std::function<void(recorder&)>;
    recorder(eventLog* log, std::wstring tag, action act = {}, int* destroyed = nullptr)
        : m_log(log), m_tag(std::move(tag)), m_action(std::move(act)), m_destroyed(destroyed) {}
    ~recorder() override {
        if (m_destroyed)
            ++*m_destroyed;
    }
    void note(const wchar_t* what) { m_log->push_back(m_tag + L":" + what); }
    zv::iRefObj* lastSource = nullptr;
    zv::iEventParams* lastParams = nullptr;

    EV_DECLARE_MSGMAP();

protected:
    void onAny(zv::iRefObj* source, const wchar_t*, zv::iEventParams* params) {
        lastSource = source;
        lastParams = params;
        m_action ? m_action(*this) : note(L"any");
    }
    void onTwo(zv::iRefObj*, const wchar_t*, zv::iEventParams*) { note(L"two"); }

    eventLog* m_log;
    std::wstring m_tag;
    action m_action;
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

// A document, the log its observers write and one count of destroyed documents and recorders.
class observable : public ::testing::Test {
protected:
    zv::refPtr<recorder> rec(const wchar_t* tag, recorder::action act = {}) {
        return zv::createRefObj<recorder>(&log, tag, std::move(act), &destroyed);
    }
    // What one event 1 made the observers write.
    eventLog fire(const wchar_t* name = nullptr, zv::iEventParams* params = nullptr) {
        log.clear();
        doc->changed(name, params);
        return log;
    }

    eventLog log;
    int destroyed = 0;
    zv::refPtr<document> doc = zv::createRefObj<document>(&destroyed);
};
using observer = observable;

} // namespace

TEST_F(observable, KeepsEachObserverOnceAndReAddingMovesItToTheEnd) {
    auto a = rec(L"a"), b = rec(L"b");
    doc->addObserver(nullptr);
    doc->addObserver(a.get());
    doc->addObserver(a.get());
    EXPECT_EQ(doc->countObservers(), 1u);
    doc->addObserver(b.get());
    doc->addObserver(a.get()); // now b, a
    EXPECT_EQ(fire(), (eventLog{L"b:any", L"a:any"}));

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

TEST_F(observable, ChangesMadeByAHandlerTakeEffectWithTheNextEvent) {
    auto first = rec(L"first"), last = rec(L"last"), newcomer = rec(L"new");
    doc->addObserver(first.get());
    // Held by the list only: it lives through its own handler and goes after.
    doc->addObserver(rec(L"leaver",
                         [&](recorder& me) { // removes itself and adds a newcomer
                             me.note(L"leave");
                             doc->removeObserver(&me);
                             doc->addObserver(newcomer.get());
                         })
                         .get());
    doc->addObserver(last.get());
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(fire(), (eventLog{L"first:any", L"leaver:leave", L"last:any"}));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(fire(), (eventLog{L"first:any", L"last:any", L"new:any"}));
}

TEST_F(observable, ObserverDestroyedWhileRegisteredTakesItselfOff) {
    zv::refPtr<document> other = zv::createRefObj<document>();
    auto kept = rec(L"kept");
    {
        recorder onStack(&log, L"stack"); // not managed by references
        doc->addObserver(&onStack);
        other->addObserver(&onStack);
        doc->addObserver(kept.get());
        EXPECT_EQ(fire(), (eventLog{L"stack:any", L"kept:any"}));
    }
    EXPECT_EQ(other->countObservers(), 0u);
    EXPECT_EQ(fire(), (eventLog{L"kept:any"})); // must not reach the destroyed observer
}

TEST_F(observable, ObservableDestroyedFirstReleasesItsObservers) {
    auto watcher = rec(L"w");
    zv::refPtr<document> other = zv::createRefObj<document>();
    doc->addObserver(watcher.get());
    other->addObserver(watcher.get());
    EXPECT_EQ(refs(watcher.get()), 3);
    doc = nullptr;
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(refs(watcher.get()), 2); // the destroyed list gave its reference back
    // The watcher keeps no link to the destroyed list; dropping it now is clean.
    other = nullptr;
    watcher = nullptr;
    EXPECT_EQ(destroyed, 2);

    // An observer held only by the list goes with the list.
    doc = zv::createRefObj<document>(&destroyed);
    doc->addObserver(rec(L"owned").get());
    doc = nullptr;
    EXPECT_EQ(destroyed, 4);
}

TEST_F(observable, SourceOutlivesAHandlerThatDropsIt) {
    auto dropper = rec(L"dropper", [&](recorder& me) {
        me.note(L"drop");
        doc = nullptr;
    });
    auto prober = rec(L"prober", [&](recorder& me) { me.note(destroyed ? L"dead" : L"alive"); });
    doc->addObserver(dropper.get());
    doc->addObserver(prober.get());
    document* raw = doc.get();
    raw->changed();
    EXPECT_EQ(log, (eventLog{L"dropper:drop", L"prober:alive"}));
    EXPECT_EQ(destroyed, 1);           // released when the dispatch ended
    EXPECT_EQ(refs(dropper.get()), 1); // and its list gave the references back

    // A source that nobody holds by reference is not deleted by the dispatch.
    {
        document onStack(&destroyed);
        auto r = rec(L"r");
        onStack.addObserver(r.get());
        onStack.changed();
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 3); // the document, then the observer its list held
    EXPECT_EQ(log.back(), L"r:any");
}

TEST_F(observer, MessageMapsCallEveryMatchDerivedFirstPassingSourceAndParams) {
    zv::refPtr<namedRecorder> n = zv::createRefObj<namedRecorder>(&log, L"n");
    doc->addObserver(n.get());
    opaqueParams params; // names match ignoring case
    EXPECT_EQ(fire(L"changed", &params), (eventLog{L"n:Changed", L"n:first", L"n:any"}));
    EXPECT_EQ(n->lastSource, static_cast<zv::iRefObj*>(doc.get()));
    EXPECT_EQ(n->lastParams, &params);
    // A named entry never matches a missing or another name.
    for (const wchar_t* name : {static_cast<const wchar_t*>(nullptr), L"Renamed"})
        EXPECT_EQ(fire(name), (eventLog{L"n:first", L"n:any"}));
    log.clear();
    doc->fireEvent(2, doc.get(), L"whatever", nullptr); // only the base map has 2
    doc->fireEvent(3, doc.get(), nullptr, nullptr);     // nobody maps 3
    EXPECT_EQ(log, (eventLog{L"n:two"}));
}
