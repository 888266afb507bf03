#include "zvIteratorImpl.h"

#include <cwchar>
#include <new>

namespace zv {

namespace intrface {

// Out of line so that the vtables and type information live in the library.
unknown::~unknown() = default;
forwardIterator::~forwardIterator() = default;
interfaceptrbase::~interfaceptrbase() = default;
const_interfaceptrbase::~const_interfaceptrbase() = default;

} // namespace intrface

namespace ifimpl {

namespace {

// Answers the two interfaces every iterator offers, with a new reference.
int queryIterator(intrface::forwardIterator* self, const wchar_t* name, void** object) {
    if (!object)
        return 0;
    *object = nullptr;
    if (!name)
        return 0;
    if (std::wcscmp(name, intrface::forwardIterator::interfaceName) == 0) {
        self->addRef();
        *object = self;
        return 1;
    }
    if (std::wcscmp(name, intrface::unknown::interfaceName) == 0) {
        self->addRef();
        *object = static_cast<intrface::unknown*>(self);
        return 1;
    }
    return 0;
}

// Stores `p` with a new reference for the caller.
void handOut(intrface::unknown* p, intrface::unknown** item) {
    if (p)
        p->addRef();
    *item = p;
}

} // namespace

unknownImpl::~unknownImpl() = default;

// vectorIteratorImpl

intrfaceImpl<vectorIteratorImpl>* vectorIteratorImpl::createObject(const std::vector<unknownPtr>& items) {
    auto* pObj = new (std::nothrow) intrfaceImpl<vectorIteratorImpl>(items);
    ZV_ASSERT(pObj);
    return pObj;
}

vectorIteratorImpl::vectorIteratorImpl(const std::vector<unknownPtr>& items)
    : m_items(items), m_cursor(0), m_started(false) {}

vectorIteratorImpl::~vectorIteratorImpl() = default;

int vectorIteratorImpl::queryInterface(const wchar_t* name, void** object) {
    return queryIterator(this, name, object);
}

bool vectorIteratorImpl::current(intrface::unknown** item) {
    if (m_cursor >= m_items.size()) {
        if (item)
            *item = nullptr;
        return false;
    }
    if (item)
        handOut(m_items[m_cursor].get(), item);
    return true;
}

bool vectorIteratorImpl::getFirst(intrface::unknown** item) {
    m_started = true;
    m_cursor = 0;
    return current(item);
}

bool vectorIteratorImpl::getNext(intrface::unknown** item) {
    // Before any getFirst the next item is the first one.
    if (!m_started)
        return getFirst(item);
    if (m_cursor < m_items.size())
        ++m_cursor;
    return current(item);
}

bool vectorIteratorImpl::done() {
    return m_started ? m_cursor >= m_items.size() : m_items.empty();
}

bool vectorIteratorImpl::getLast(intrface::unknown** item) {
    if (item)
        *item = nullptr;
    return false;
}

bool vectorIteratorImpl::getPrev(intrface::unknown** item) {
    if (item)
        *item = nullptr;
    return false;
}

// compoundIteratorImpl

intrfaceImpl<compoundIteratorImpl>* compoundIteratorImpl::createObject(const std::vector<unknownPtr>& items) {
    auto* pObj = new (std::nothrow) intrfaceImpl<compoundIteratorImpl>(items);
    ZV_ASSERT(pObj);
    return pObj;
}

compoundIteratorImpl::compoundIteratorImpl(const std::vector<unknownPtr>& items)
    : m_index(0), m_started(false) {
    m_entries.reserve(items.size());
    for (const unknownPtr& item : items) {
        if (!item)
            continue;
        entry e;
        e.iterator = intrface::interfaceptr<intrface::forwardIterator>(item);
        if (!e.iterator)
            e.single = item;
        m_entries.push_back(std::move(e));
    }
}

compoundIteratorImpl::~compoundIteratorImpl() = default;

int compoundIteratorImpl::queryInterface(const wchar_t* name, void** object) {
    return queryIterator(this, name, object);
}

bool compoundIteratorImpl::startFrom(std::size_t index, intrface::unknown** item) {
    for (m_index = index; m_index < m_entries.size(); ++m_index) {
        entry& e = m_entries[m_index];
        if (!e.iterator) {
            handOut(e.single.get(), item);
            return true;
        }
        if (e.iterator->getFirst(item))
            return true;
    }
    *item = nullptr;
    return false;
}

bool compoundIteratorImpl::getFirst(intrface::unknown** item) {
    // A caller that only asks whether there is an item passes null.
    unknownPtr ignored;
    m_started = true;
    return startFrom(0, item ? item : ignored.receive());
}

bool compoundIteratorImpl::getNext(intrface::unknown** item) {
    if (!m_started)
        return getFirst(item);
    unknownPtr ignored;
    if (!item)
        item = ignored.receive();
    if (m_index >= m_entries.size()) {
        *item = nullptr;
        return false;
    }
    entry& e = m_entries[m_index];
    if (e.iterator && e.iterator->getNext(item))
        return true;
    // The current entry is used up: the next one that has an item takes over.
    return startFrom(m_index + 1, item);
}

bool compoundIteratorImpl::done() {
    if (m_started)
        return m_index >= m_entries.size();
    return m_entries.empty();
}

} // namespace ifimpl
} // namespace zv
