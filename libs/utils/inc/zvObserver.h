// zvObserver.h - observers, the objects they watch, and message maps that
// route events to member functions.
//
// A `zv::observable` keeps an ordered list of observers, one counted reference
// each, and `fireEvent` calls `handleEvent` on every one of them. A
// `zv::observer` answers events through a message map: a table of (event id,
// event name, member function) declared with the macros below. Maps chain to
// the map of the base class; every matching entry is called, the derived
// class's entries first. Names match ignoring case; an entry without a name
// takes every name.
//
//     class view : public zv::refObj, public zv::observer {
//         EV_DECLARE_MSGMAP();
//         void onChanged(zv::iRefObj* source, const wchar_t* name, zv::iEventParams* params);
//     };
//     EV_BEGIN_MSGMAP(view, zv::observer)
//         EV_ON_NAMED_EVENT(1, L"Changed", onChanged)
//         EV_ON_EVENT(10000, onChanged)
//     EV_END_MSGMAP()
//
//     document->addObserver(aView.get());
//     document->fireEvent(1, document.get(), L"changed", nullptr);   // aView->onChanged
//
// Lifetime: the list holds a reference to each observer, so a counted observer
// lives at least as long as it is registered. An observer that is destroyed
// anyway (one on the stack, say) takes itself off every `zv::observable` it is
// registered with; an observable that is destroyed first drops its observers'
// references and leaves nothing behind that points to it. During `fireEvent`
// a counted source (a `zv::refObj` somebody holds) is kept alive, so a handler
// may drop the last outside reference to it. An observer that is not managed
// by references (count 0 before it was added) must end while still listed:
// `removeObserver`, `removeAllObservers` or the end of the list would drop the
// list's reference and delete it. Destroying an observer while an event is
// being dispatched to it is not supported. Observer lists belong to one
// thread at a time.
#pragma once

#include "zvDefs.h"
#include "zvRefObj.h"

#include <cstddef>
#include <vector>

namespace zv {

/// The parameters of an event: opaque here, passed through unchanged.
class ZV_API iEventParams {
public:
    virtual ~iEventParams();
};

class iObserver;

/// Something that can be observed.
class ZV_API iObservable {
public:
    /// Appends `observer` (null is ignored); one already listed moves to the end.
    virtual void addObserver(iObserver* observer) = 0;
    /// Removes `observer`; one that is not listed is ignored.
    virtual void removeObserver(iObserver* observer) = 0;
    /// Removes every observer.
    virtual void removeAllObservers() = 0;
    /// The number of listed observers.
    virtual unsigned int countObservers() const = 0;

protected:
    virtual ~iObservable();
};

/// A counted receiver of events.
class ZV_API iObserver : public virtual iRefObj {
public:
    /// Called for each event of an observable the observer is registered with.
    virtual void handleEvent(int eventId, iRefObj* source, const wchar_t* name, iEventParams* params) = 0;

protected:
    ~iObserver() override;
};

class observer;

/// A message map handler: a member function of a class derived from `observer`.
using EV_HANDLER = void (observer::*)(iRefObj* source, const wchar_t* name, iEventParams* params);

/// One line of a message map. The member function pointer carries the
/// adjustment of `this` from `observer` to the handler's class.
struct EV_MSGMAP_ENTRY {
    /// The event the line handles.
    int eventId;
    const wchar_t* name; ///< null: any name
    EV_HANDLER handler;  ///< null ends the table
};

/// The message map of one class: its table and the map of its base class.
struct EV_MSGMAP {
    const EV_MSGMAP* (*baseMap)(); ///< null, or answers null, at the root
    /// The table, ended by a line with a null handler.
    const EV_MSGMAP_ENTRY* entries;
};

/// The list behind `iObservable`; mix into a counted class:
/// `class document : public zv::refObj, public zv::observable`.
class ZV_API observable : public virtual iObservable {
public:
    void addObserver(iObserver* observer) override;
    void removeObserver(iObserver* observer) override;
    /// Removes every observer.
    void removeAllObservers() override;
    /// The number of listed observers.
    unsigned int countObservers() const override;

    /// Calls `handleEvent` on each observer, in list order, over a copy of
    /// the list taken first: observers added or removed by a handler take
    /// effect with the next event. `source` reaches the handlers as its
    /// `iRefObj` (null if it is not counted).
    void fireEvent(int eventId, iObservable* source, const wchar_t* name, iEventParams* params);

protected:
    observable();
    ~observable() override;
    observable(const observable&) = delete;
    observable& operator=(const observable&) = delete;

private:
    friend class observer;
    void forget(iObserver* observer);

    std::vector<iObserver*> m_observers; // one reference each
};

/// Answers events through message maps. Counting comes from a `zv::refObj`
/// among the bases of the concrete class.
class ZV_API observer : public virtual iObserver {
public:
    /// Calls every entry of the message maps, derived first, whose id is
    /// `eventId` and whose name is null or equals `name` ignoring case.
    void handleEvent(int eventId, iRefObj* source, const wchar_t* name, iEventParams* params) override;

    /// The message map of the object's class; null for a plain `observer`.
    virtual const EV_MSGMAP* messageMap() const;
    /// The message map of `observer` itself: none.
    static const EV_MSGMAP* sMessageMap();

protected:
    observer();
    ~observer() override;
    observer(const observer&) = delete;
    observer& operator=(const observer&) = delete;

private:
    friend class observable;
    std::vector<observable*> m_observables; // where this observer is listed, not owned
};

} // namespace zv

/// Declares the message map of a class derived from `zv::observer`. The
/// declarations that follow it in the class are public.
#define EV_DECLARE_MSGMAP()                                                                                  \
public:                                                                                                      \
    static const ::zv::EV_MSGMAP* sMessageMap();                                                             \
    const ::zv::EV_MSGMAP* messageMap() const override;                                                      \
    static_assert(true)

/// Opens the map of `cls`, chained to the map of `base`.
#define EV_BEGIN_MSGMAP(cls, base)                                                                           \
    const ::zv::EV_MSGMAP* cls::messageMap() const {                                                         \
        return cls::sMessageMap();                                                                           \
    }                                                                                                        \
    const ::zv::EV_MSGMAP* cls::sMessageMap() {                                                              \
        using evThisClass = cls;                                                                             \
        using evBaseClass = base;                                                                            \
        static const ::zv::EV_MSGMAP_ENTRY evEntries[] = {

/// Calls member `fn` for event `id` with any name.
#define EV_ON_EVENT(id, fn) {(id), nullptr, static_cast<::zv::EV_HANDLER>(&evThisClass::fn)},

/// Calls member `fn` for event `id` named `name` (compared ignoring case).
#define EV_ON_NAMED_EVENT(id, name, fn) {(id), (name), static_cast<::zv::EV_HANDLER>(&evThisClass::fn)},

/// Closes the map opened by `EV_BEGIN_MSGMAP`.
#define EV_END_MSGMAP()                                                                                      \
    { 0, nullptr, nullptr }                                                                                  \
    }                                                                                                        \
    ;                                                                                                        \
    static const ::zv::EV_MSGMAP evMap = {&evBaseClass::sMessageMap, evEntries};                             \
    return &evMap;                                                                                           \
    }
