// zvRefPtr.h - intrusive pointers to reference-counted objects.
//
// `zv::refPtr<T>` holds one reference to an object that counts its own
// references (`addRef` / `release`, usually by deriving from `zv::refObj`).
// Copying takes another reference, destruction and reassignment drop one; the
// object deletes itself when the last reference goes. `zv::const_refPtr<T>`
// is the read-only twin. Dereferencing a null pointer is a broken invariant
// (the assertion convention of zvDefs.h with the text "m_p != NULL").
//
//     zv::refPtr<node> a = node::create();   // count 1
//     zv::refPtr<node> b = a;                // count 2
//     a = nullptr;                           // count 1; b keeps it alive
//     zv::const_refPtr<node> c = b;          // read-only view, count 2
#pragma once

#include "zvDefs.h"

#include <cstddef>
#include <type_traits>
#include <utility>

namespace zv {

/// Reference policy of `refPtr`: takes one reference through `T::addRef`.
template <class T>
struct addRef {
    /// Takes one reference to `*p`.
    void operator()(T* p) const { p->addRef(); }
};

/// Reference policy of `refPtr`: drops one reference through `T::release`.
template <class T>
struct release {
    /// Drops one reference to `*p`.
    void operator()(T* p) const { p->release(); }
};

/// Holds one counted reference to a `T` (or nothing).
template <class T, class AddRefPolicy = ::zv::addRef<T>, class ReleasePolicy = ::zv::release<T>>
class refPtr {
public:
    /// The type of the referenced object.
    using element_type = T;

    refPtr() noexcept : m_p(nullptr) {}
    /// Holds nothing.
    refPtr(std::nullptr_t) noexcept : m_p(nullptr) {}
    /// Takes a new reference to `p` (the object keeps its own count, so a raw
    /// pointer may be wrapped any number of times).
    refPtr(T* p) : m_p(p) {
        if (m_p)
            AddRefPolicy()(m_p);
    }
    /// Another reference to `other`'s object.
    refPtr(const refPtr& other) : refPtr(other.m_p) {}
    /// Takes over `other`'s reference; `other` is left null.
    refPtr(refPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    /// From a pointer to a derived class.
    template <class U, class A, class R>
    requires std::is_convertible_v<U*, T*> refPtr(const refPtr<U, A, R>& other)
        : refPtr(static_cast<T*>(other.get())) {}

    ~refPtr() { reset(); }

    /// Refers to `other`'s object, dropping the current reference.
    refPtr& operator=(const refPtr& other) {
        refPtr(other).swap(*this);
        return *this;
    }
    /// Takes over `other`'s reference, dropping the current one.
    refPtr& operator=(refPtr&& other) noexcept {
        refPtr(std::move(other)).swap(*this);
        return *this;
    }
    /// Refers to `p` (taking a new reference), dropping the current one.
    refPtr& operator=(T* p) {
        refPtr(p).swap(*this);
        return *this;
    }
    /// Drops the current reference.
    refPtr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    /// Drops the reference (if any); the pointer becomes null.
    void reset() {
        if (T* p = std::exchange(m_p, nullptr))
            ReleasePolicy()(p);
    }
    /// Hands the reference over to the caller without dropping it.
    [[nodiscard]] T* detach() noexcept { return std::exchange(m_p, nullptr); }
    /// Takes over a reference the caller already owns (no new reference).
    void attach(T* p) {
        reset();
        m_p = p;
    }
    /// Exchanges the objects of both pointers.
    void swap(refPtr& other) noexcept { std::swap(m_p, other.m_p); }

    /// The object, or null.
    T* get() const noexcept { return m_p; }
    /// The object; a null pointer is an assertion.
    T* operator->() const {
        ZV_ASSERT(m_p != NULL);
        return m_p;
    }
    /// The object; a null pointer is an assertion.
    T& operator*() const {
        ZV_ASSERT(m_p != NULL);
        return *m_p;
    }
    /// True when an object is referenced.
    explicit operator bool() const noexcept { return m_p != nullptr; }
    /// True when nothing is referenced.
    bool isNull() const noexcept { return m_p == nullptr; }

private:
    T* m_p;
};

/// Holds one counted reference to a `const T` (or nothing). Counting is not a
/// change of the object's value, so the policies still see a `T*`.
template <class T, class AddRefPolicy = ::zv::addRef<T>, class ReleasePolicy = ::zv::release<T>>
class const_refPtr {
public:
    /// The type of the referenced object.
    using element_type = const T;

    const_refPtr() noexcept : m_p(nullptr) {}
    /// Holds nothing.
    const_refPtr(std::nullptr_t) noexcept : m_p(nullptr) {}
    /// Takes a new reference to `p`.
    const_refPtr(const T* p) : m_p(p) {
        if (m_p)
            AddRefPolicy()(const_cast<T*>(m_p));
    }
    /// Another reference to `other`'s object.
    const_refPtr(const const_refPtr& other) : const_refPtr(other.m_p) {}
    /// Takes over `other`'s reference; `other` is left null.
    const_refPtr(const_refPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    /// From a writable pointer, to the same or a derived class.
    template <class U, class A, class R>
    requires std::is_convertible_v<U*, T*> const_refPtr(const refPtr<U, A, R>& other)
        : const_refPtr(static_cast<const T*>(other.get())) {}
    /// From a read-only pointer to a derived class.
    template <class U, class A, class R>
    requires(std::is_convertible_v<U*, T*> && !std::is_same_v<U, T>)
        const_refPtr(const const_refPtr<U, A, R>& other)
        : const_refPtr(static_cast<const T*>(other.get())) {}

    ~const_refPtr() { reset(); }

    /// Refers to `other`'s object, dropping the current reference.
    const_refPtr& operator=(const const_refPtr& other) {
        const_refPtr(other).swap(*this);
        return *this;
    }
    /// Takes over `other`'s reference, dropping the current one.
    const_refPtr& operator=(const_refPtr&& other) noexcept {
        const_refPtr(std::move(other)).swap(*this);
        return *this;
    }
    /// Refers to `p` (taking a new reference), dropping the current one.
    const_refPtr& operator=(const T* p) {
        const_refPtr(p).swap(*this);
        return *this;
    }
    /// Drops the current reference.
    const_refPtr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }

    /// Drops the current reference; the pointer is null afterwards.
    void reset() {
        if (const T* p = std::exchange(m_p, nullptr))
            ReleasePolicy()(const_cast<T*>(p));
    }
    /// Exchanges the objects of both pointers.
    void swap(const_refPtr& other) noexcept { std::swap(m_p, other.m_p); }

    /// The object, or null.
    const T* get() const noexcept { return m_p; }
    /// The object; a null pointer is an assertion.
    const T* operator->() const {
        ZV_ASSERT(m_p != NULL);
        return m_p;
    }
    /// The object; a null pointer is an assertion.
    const T& operator*() const {
        ZV_ASSERT(m_p != NULL);
        return *m_p;
    }
    /// True when an object is referenced.
    explicit operator bool() const noexcept { return m_p != nullptr; }
    /// True when nothing is referenced.
    bool isNull() const noexcept { return m_p == nullptr; }

private:
    const T* m_p;
};

template <class T, class A1, class R1, class U, class A2, class R2>
bool operator==(const refPtr<T, A1, R1>& a, const refPtr<U, A2, R2>& b) noexcept {
    return a.get() == b.get();
}
template <class T, class A, class R>
bool operator==(const refPtr<T, A, R>& a, std::nullptr_t) noexcept {
    return a.get() == nullptr;
}
template <class T, class A1, class R1, class U, class A2, class R2>
bool operator==(const const_refPtr<T, A1, R1>& a, const const_refPtr<U, A2, R2>& b) noexcept {
    return a.get() == b.get();
}
template <class T, class A, class R>
bool operator==(const const_refPtr<T, A, R>& a, std::nullptr_t) noexcept {
    return a.get() == nullptr;
}

} // namespace zv
