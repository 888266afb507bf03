// zvSharedPtr.h - a shared owning pointer for objects that do not count
// themselves.
//
// `zv::sharedPtr<T>` keeps the object and a separately allocated counter of
// its owners. Copies share both; the last owner deletes the object and frees
// the counter. The counter is changed without interlocking: one
// `sharedPtr` family belongs to one thread at a time. Dereferencing a null
// pointer is a broken invariant ("m_p != NULL").
//
//     zv::sharedPtr<modification> m(new renameModification(...));
//     history.push_back(m);        // two owners, one object
#pragma once

#include "zvDefs.h"

#include <cstddef>
#include <type_traits>
#include <utility>

namespace zv {

/// The owner counters of `sharedPtr`, allocated on the library's heap.
class ZV_API shptr {
public:
    /// A new counter, uninitialised; the caller sets it to 1.
    static unsigned int* allocCounter();
    /// Frees a counter from `allocCounter` (null is ignored).
    static void releaseCounter(unsigned int* counter);
};

/// Shares ownership of one `T` allocated with `new` (or nothing).
template <class T>
class sharedPtr {
public:
    /// The type of the owned object.
    using element_type = T;

    sharedPtr() noexcept : m_p(nullptr), m_count(nullptr) {}
    /// Owns nothing.
    sharedPtr(std::nullptr_t) noexcept : sharedPtr() {}
    /// Takes ownership of `p`; should the counter not be allocated, `p` is
    /// deleted before the failure passes on, so nothing leaks.
    explicit sharedPtr(T* p) : m_p(p), m_count(nullptr) {
        if (!m_p)
            return;
        try {
            m_count = shptr::allocCounter();
        } catch (...) {
            delete p;
            throw;
        }
        *m_count = 1;
    }
    /// Another owner of the same object.
    sharedPtr(const sharedPtr& other) noexcept : m_p(other.m_p), m_count(other.m_count) {
        if (m_count)
            ++*m_count;
    }
    /// Takes over `other`'s ownership; `other` is left null.
    sharedPtr(sharedPtr&& other) noexcept
        : m_p(std::exchange(other.m_p, nullptr)), m_count(std::exchange(other.m_count, nullptr)) {}
    /// From a pointer to a derived class; both share one counter.
    template <class U>
    requires(std::is_convertible_v<U*, T*> && !std::is_same_v<U, T>) sharedPtr(const sharedPtr<U>& other)
    noexcept : m_p(other.m_p), m_count(other.m_count) {
        if (m_count)
            ++*m_count;
    }

    ~sharedPtr() { reset(); }

    /// Shares `other`'s object, giving up the current one.
    sharedPtr& operator=(const sharedPtr& other) noexcept {
        sharedPtr(other).swap(*this);
        return *this;
    }
    /// Takes over `other`'s ownership, giving up the current one.
    sharedPtr& operator=(sharedPtr&& other) noexcept {
        sharedPtr(std::move(other)).swap(*this);
        return *this;
    }
    /// Gives up ownership, as `reset`.
    sharedPtr& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    /// Gives up ownership; the last owner deletes the object.
    void reset() noexcept {
        T* p = std::exchange(m_p, nullptr);
        unsigned int* count = std::exchange(m_count, nullptr);
        if (count && --*count == 0) {
            shptr::releaseCounter(count);
            delete p;
        }
    }
    /// Exchanges the objects of both pointers.
    void swap(sharedPtr& other) noexcept {
        std::swap(m_p, other.m_p);
        std::swap(m_count, other.m_count);
    }

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
    /// True when an object is owned.
    explicit operator bool() const noexcept { return m_p != nullptr; }
    /// True when nothing is owned.
    bool isNull() const noexcept { return m_p == nullptr; }
    /// The number of owners (0 for a null pointer).
    unsigned int useCount() const noexcept { return m_count ? *m_count : 0; }

private:
    template <class U>
    friend class sharedPtr;

    T* m_p;
    unsigned int* m_count;
};

template <class T, class U>
bool operator==(const sharedPtr<T>& a, const sharedPtr<U>& b) noexcept {
    return a.get() == b.get();
}
template <class T>
bool operator==(const sharedPtr<T>& a, std::nullptr_t) noexcept {
    return a.get() == nullptr;
}

} // namespace zv
