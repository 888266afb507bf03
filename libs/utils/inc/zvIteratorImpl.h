// zvIteratorImpl.h - ready-made implementations of the interfaces of
// zvInterface.h.
//
// An implementation class derives from the interfaces it offers and from
// `unknownImpl`, and answers `queryInterface`; `intrfaceImpl<T>` wraps it and
// adds the interlocked reference count (the object deletes itself at 0).
// The iterators copy the items they are given, one reference each:
//
//     std::vector<zv::intrface::interfaceptr<zv::intrface::unknown>> items = {a, b};
//     zv::intrface::interfaceptr<zv::intrface::forwardIterator> it =
//         zv::ifimpl::vectorIteratorImpl::createObject(items);
#pragma once

#include "zvDefs.h"
#include "zvInterface.h"
#include "zvMutex.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace zv {
namespace ifimpl {

/// Base of the interface implementations.
class ZV_API unknownImpl {
public:
    virtual ~unknownImpl();
};

/// Supplies the reference count of implementation `T`. Created with a count
/// of 0: the first interface pointer takes the first reference.
template <class T>
class intrfaceImpl final : public T {
public:
    /// Constructs `T` from `args`.
    template <class... Args>
    explicit intrfaceImpl(Args&&... args) : T(std::forward<Args>(args)...), m_count(0) {}

    /// Adds a reference; answers the new count.
    long addRef() override { return interlockedIncrement(&m_count); }
    /// Drops a reference, deleting the object at 0; answers the new count.
    long release() override {
        const long count = interlockedDecrement(&m_count);
        if (count == 0)
            delete this;
        return count;
    }

private:
    long m_count;
};

using unknownPtr = intrface::interfaceptr<intrface::unknown>;

/// A forward iterator over a copied vector of items.
class ZV_API vectorIteratorImpl : public intrface::forwardIterator, public unknownImpl {
public:
    /// A new iterator over a copy of `items`, with a reference count of 0.
    static intrfaceImpl<vectorIteratorImpl>* createObject(const std::vector<unknownPtr>& items);

    /// Answers "zv::intrface::forwardIterator" and "zv::intrface::unknown".
    int queryInterface(const wchar_t* name, void** object) override;
    bool getFirst(intrface::unknown** item) override;
    bool getNext(intrface::unknown** item) override;
    bool done() override;
    /// Walking backwards is not offered: both always answer false.
    bool getLast(intrface::unknown** item);
    /// Always false, as `getLast`.
    bool getPrev(intrface::unknown** item);

protected:
    /// Iterates over a copy of `items`; use `createObject`.
    explicit vectorIteratorImpl(const std::vector<unknownPtr>& items);
    ~vectorIteratorImpl() override;

private:
    bool current(intrface::unknown** item);

    std::vector<unknownPtr> m_items;
    std::size_t m_cursor; // the current item; m_items.size() past the end
    bool m_started;       // false until the first getFirst or getNext
};

/// Concatenates forward iterators: their items in turn, empty ones skipped.
/// An entry that is not a forward iterator is an item of its own, handed out
/// once in its place; null entries are skipped.
class ZV_API compoundIteratorImpl : public intrface::forwardIterator, public unknownImpl {
public:
    /// A new iterator over a copy of `items`, with a reference count of 0.
    static intrfaceImpl<compoundIteratorImpl>* createObject(const std::vector<unknownPtr>& items);

    /// Answers "zv::intrface::forwardIterator" and "zv::intrface::unknown".
    int queryInterface(const wchar_t* name, void** object) override;
    bool getFirst(intrface::unknown** item) override;
    bool getNext(intrface::unknown** item) override;
    bool done() override;

protected:
    /// Iterates over a copy of `items`; use `createObject`.
    explicit compoundIteratorImpl(const std::vector<unknownPtr>& items);
    ~compoundIteratorImpl() override;

private:
    struct entry {
        intrface::interfaceptr<intrface::forwardIterator> iterator;
        unknownPtr single; // set when the entry is not an iterator
    };
    bool startFrom(std::size_t index, intrface::unknown** item);

    std::vector<entry> m_entries;
    std::size_t m_index; // the current entry; m_entries.size() past the end
    bool m_started;
};

} // namespace ifimpl
} // namespace zv
