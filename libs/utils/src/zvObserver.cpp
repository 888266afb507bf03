#include "zvObserver.h"

#include "zvString.h"

#include <algorithm>
#include <utility>

namespace zv {

namespace {

// Erases the first occurrence of `value`; true when there was one.
template <class T>
bool eraseFirst(std::vector<T*>& list, T* value) {
    const auto it = std::find(list.begin(), list.end(), value);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

} // namespace

// Out of line so that the vtables and type information live in the library.
iEventParams::~iEventParams() = default;
iObservable::~iObservable() = default;
iObserver::~iObserver() = default;

// observable

observable::observable() = default;

observable::~observable() {
    observable::removeAllObservers();
}

void observable::addObserver(iObserver* o) {
    if (!o)
        return;
    const auto it = std::find(m_observers.begin(), m_observers.end(), o);
    if (it != m_observers.end()) {
        // Already listed: move it to the end, keeping its reference.
        std::rotate(it, it + 1, m_observers.end());
        return;
    }
    o->addRef();
    m_observers.push_back(o);
    if (auto* watcher = dynamic_cast<observer*>(o))
        watcher->m_observables.push_back(this);
}

void observable::removeObserver(iObserver* o) {
    if (!o || !eraseFirst(m_observers, o))
        return;
    if (auto* watcher = dynamic_cast<observer*>(o))
        eraseFirst(watcher->m_observables, static_cast<observable*>(this));
    // Last: this may destroy the observer.
    o->release();
}

void observable::removeAllObservers() {
    std::vector<iObserver*> list;
    list.swap(m_observers);
    for (iObserver* o : list)
        if (auto* watcher = dynamic_cast<observer*>(o))
            eraseFirst(watcher->m_observables, static_cast<observable*>(this));
    for (iObserver* o : list)
        o->release();
}

unsigned int observable::countObservers() const {
    return static_cast<unsigned int>(m_observers.size());
}

void observable::forget(iObserver* o) {
    // The observer is going away on its own: its reference goes with it.
    eraseFirst(m_observers, o);
}

void observable::fireEvent(int eventId, iObservable* source, const wchar_t* name, iEventParams* params) {
    iRefObj* counted = dynamic_cast<iRefObj*>(source);
    // Keep a counted source alive while handlers run. One that nobody holds by
    // reference (count 0) is left alone: a temporary reference would delete it.
    refPtr<refObj> keepSource;
    if (refObj* held = dynamic_cast<refObj*>(source); held && held->addRefIfHeld())
        keepSource.attach(held);
    // A handler may add or remove observers, or even destroy this list; the
    // copy and its references keep the current round intact.
    std::vector<refPtr<iObserver>> round(m_observers.begin(), m_observers.end());
    for (const refPtr<iObserver>& o : round)
        o->handleEvent(eventId, counted, name, params);
}

// observer

observer::observer() = default;

observer::~observer() {
    for (observable* list : m_observables)
        list->forget(this);
}

const EV_MSGMAP* observer::messageMap() const {
    return nullptr;
}

const EV_MSGMAP* observer::sMessageMap() {
    return nullptr;
}

void observer::handleEvent(int eventId, iRefObj* source, const wchar_t* name, iEventParams* params) {
    for (const EV_MSGMAP* map = messageMap(); map; map = map->baseMap ? map->baseMap() : nullptr) {
        for (const EV_MSGMAP_ENTRY* e = map->entries; e && e->handler; ++e) {
            if (e->eventId != eventId)
                continue;
            if (e->name && !(name && string(name).isEqualTo(e->name, false)))
                continue;
            (this->*(e->handler))(source, name, params);
        }
    }
}

} // namespace zv
