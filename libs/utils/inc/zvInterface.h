// zvInterface.h - counted interfaces found by name, and forward iterators over
// collections of them.
//
// An object exposes its interfaces through `queryInterface`, which answers
// for a full interface name ("zv::intrface::forwardIterator") a pointer to
// that interface of the same object, with a new reference. `interfaceptr<T>`
// holds one reference and converts between interfaces by asking
// `queryInterface`:
//
//     zv::intrface::interfaceptr<zv::intrface::unknown> any = ...;
//     zv::intrface::interfaceptr<zv::intrface::forwardIterator> it = any;  // null if not an iterator
//     zv::intrface::interfaceptr<zv::intrface::unknown> item;
//     for (bool ok = it && it->getFirst(item.receive()); ok; ok = it->getNext(item.receive()))
//         use(item);
//
// Ready-made implementations live in zvIteratorImpl.h.
#pragma once

#include "zvDefs.h"

#include <cstddef>
#include <type_traits>
#include <utility>

namespace zv {
namespace intrface {

/// The root of every interface: reference counting and the lookup of the
/// object's other interfaces by name.
class ZV_API unknown {
public:
    /// The name `queryInterface` answers to.
    static constexpr const wchar_t* interfaceName = L"zv::intrface::unknown";

    /// Takes one reference; returns the new count.
    virtual long addRef() = 0;
    /// Drops one reference (the object goes at 0); returns the new count.
    virtual long release() = 0;
    /// Stores the interface called `name` of this object in `*object` with a
    /// new reference and answers non-zero; otherwise stores null and answers 0.
    virtual int queryInterface(const wchar_t* name, void** object) = 0;

protected:
    virtual ~unknown();
};

/// Walks a collection once from the front. Items come with a new reference
/// each; an item may be null where the collection holds a null entry.
class ZV_API forwardIterator : public unknown {
public:
    /// The name `queryInterface` answers to.
    static constexpr const wchar_t* interfaceName = L"zv::intrface::forwardIterator";

    /// Starts over: stores the first item and answers true, or false when empty.
    virtual bool getFirst(unknown** item) = 0;
    /// Stores the next item and answers true, or false when there is none.
    virtual bool getNext(unknown** item) = 0;
    /// True once the iterator has run past its last item.
    virtual bool done() = 0;

protected:
    ~forwardIterator() override;
};

/// Common base of the interface pointers: a validity test.
class ZV_API interfaceptrbase {
public:
    /// True when the pointer is not null.
    virtual bool isValid() const = 0;

protected:
    interfaceptrbase() = default;
    /// A copy.
    interfaceptrbase(const interfaceptrbase&) = default;
    /// Assignment.
    interfaceptrbase& operator=(const interfaceptrbase&) = default;
    virtual ~interfaceptrbase();
};

/// Common base of the read-only interface pointers: a validity test.
class ZV_API const_interfaceptrbase {
public:
    /// True when the pointer is not null.
    virtual bool isValid() const = 0;

protected:
    const_interfaceptrbase() = default;
    /// A copy.
    const_interfaceptrbase(const const_interfaceptrbase&) = default;
    /// Assignment.
    const_interfaceptrbase& operator=(const const_interfaceptrbase&) = default;
    virtual ~const_interfaceptrbase();
};

namespace detail {

// Asks `from` for interface `T`; null when it has none.
template <class T, class U>
T* queryAs(U* from) {
    if (!from)
        return nullptr;
    if constexpr (std::is_convertible_v<U*, T*>) {
        T* p = from;
        p->addRef();
        return p;
    } else {
        void* object = nullptr;
        if (!from->queryInterface(T::interfaceName, &object))
            return nullptr;
        return static_cast<T*>(object);
    }
}

} // namespace detail

/// Holds one reference to interface `T` (or nothing).
template <class T>
class interfaceptr : public interfaceptrbase {
public:
    interfaceptr() noexcept : m_p(nullptr) {}
    /// Holds nothing.
    interfaceptr(std::nullptr_t) noexcept : m_p(nullptr) {}
    /// Takes a new reference to `p`.
    interfaceptr(T* p) : m_p(p) {
        if (m_p)
            m_p->addRef();
    }
    /// Another reference to `other`'s interface.
    interfaceptr(const interfaceptr& other) : interfaceptrbase(), m_p(other.m_p) {
        if (m_p)
            m_p->addRef();
    }
    /// Takes over `other`'s reference; `other` is left null.
    interfaceptr(interfaceptr&& other) noexcept
        : interfaceptrbase(), m_p(std::exchange(other.m_p, nullptr)) {}
    /// From another interface of the same object: a base interface directly,
    /// any other through `queryInterface` (null when the object lacks it).
    template <class U>
    requires(!std::is_same_v<U, T>) interfaceptr(const interfaceptr<U>& other)
        : m_p(detail::queryAs<T>(other.get())) {}

    ~interfaceptr() override { reset(); }

    /// Refers to `other`'s interface, dropping the current reference.
    interfaceptr& operator=(const interfaceptr& other) {
        interfaceptr(other).swap(*this);
        return *this;
    }
    /// Takes over `other`'s reference, dropping the current one.
    interfaceptr& operator=(interfaceptr&& other) noexcept {
        interfaceptr(std::move(other)).swap(*this);
        return *this;
    }
    /// Refers to `p` (taking a new reference), dropping the current one.
    interfaceptr& operator=(T* p) {
        interfaceptr(p).swap(*this);
        return *this;
    }
    /// Drops the current reference.
    interfaceptr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    bool isValid() const override { return m_p != nullptr; }

    /// Drops the reference (if any).
    void reset() {
        if (T* p = std::exchange(m_p, nullptr))
            p->release();
    }
    /// Takes over a reference the caller already owns (no new reference).
    void attach(T* p) {
        reset();
        m_p = p;
    }
    /// Empties the pointer and lends its address to a call that stores an
    /// item with a reference of its own (`getFirst(item.receive())`).
    T** receive() {
        reset();
        return &m_p;
    }
    /// Exchanges the interfaces of both pointers.
    void swap(interfaceptr& other) noexcept { std::swap(m_p, other.m_p); }

    /// The interface, or null.
    T* get() const noexcept { return m_p; }
    /// The interface; a null pointer is an assertion.
    T* operator->() const {
        ZV_ASSERT(m_p != NULL);
        return m_p;
    }
    /// The interface; a null pointer is an assertion.
    T& operator*() const {
        ZV_ASSERT(m_p != NULL);
        return *m_p;
    }
    /// True when an interface is referenced.
    explicit operator bool() const noexcept { return m_p != nullptr; }

private:
    T* m_p;
};

/// Holds one reference to a read-only interface `T` (or nothing).
template <class T>
class const_interfaceptr : public const_interfaceptrbase {
public:
    const_interfaceptr() noexcept : m_p(nullptr) {}
    /// Holds nothing.
    const_interfaceptr(std::nullptr_t) noexcept : m_p(nullptr) {}
    /// Takes a new reference to `p`.
    const_interfaceptr(const T* p) : m_p(p) {
        if (m_p)
            const_cast<T*>(m_p)->addRef();
    }
    /// Another reference to `other`'s interface.
    const_interfaceptr(const const_interfaceptr& other) : const_interfaceptrbase(), m_p(other.m_p) {
        if (m_p)
            const_cast<T*>(m_p)->addRef();
    }
    /// Takes over `other`'s reference; `other` is left null.
    const_interfaceptr(const_interfaceptr&& other) noexcept
        : const_interfaceptrbase(), m_p(std::exchange(other.m_p, nullptr)) {}
    /// The interface `T` of `other`'s object, looked up by name (null when it has none).
    template <class U>
    const_interfaceptr(const interfaceptr<U>& other) : m_p(detail::queryAs<T>(other.get())) {}
    /// The interface `T` of `other`'s object, looked up by name (null when it has none).
    template <class U>
    requires(!std::is_same_v<U, T>) const_interfaceptr(const const_interfaceptr<U>& other)
        : m_p(detail::queryAs<T>(const_cast<U*>(other.get()))) {}

    ~const_interfaceptr() override { reset(); }

    /// Refers to `other`'s interface, dropping the current reference.
    const_interfaceptr& operator=(const const_interfaceptr& other) {
        const_interfaceptr(other).swap(*this);
        return *this;
    }
    /// Takes over `other`'s reference, dropping the current one.
    const_interfaceptr& operator=(const_interfaceptr&& other) noexcept {
        const_interfaceptr(std::move(other)).swap(*this);
        return *this;
    }
    /// Drops the current reference.
    const_interfaceptr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    bool isValid() const override { return m_p != nullptr; }

    /// Drops the current reference; the pointer is null afterwards.
    void reset() {
        if (const T* p = std::exchange(m_p, nullptr))
            const_cast<T*>(p)->release();
    }
    /// Exchanges the interfaces of both pointers.
    void swap(const_interfaceptr& other) noexcept { std::swap(m_p, other.m_p); }

    /// The interface, or null.
    const T* get() const noexcept { return m_p; }
    /// The interface; a null pointer is an assertion.
    const T* operator->() const {
        ZV_ASSERT(m_p != NULL);
        return m_p;
    }
    /// The interface; a null pointer is an assertion.
    const T& operator*() const {
        ZV_ASSERT(m_p != NULL);
        return *m_p;
    }
    /// True when an interface is referenced.
    explicit operator bool() const noexcept { return m_p != nullptr; }

private:
    const T* m_p;
};

} // namespace intrface
} // namespace zv
