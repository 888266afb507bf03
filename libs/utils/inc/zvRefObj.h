// zvRefObj.h - the reference-counted base class of the library's shared objects.
//
// A `zv::refObj` counts the references held to it; the count starts at 0 and
// changes only by interlocked operations, so references may be taken and
// dropped on any thread. When `release` brings it to 0 the object destroys
// itself through `destroyObject`. Such objects are created by static `create`
// functions that return a `zv::refPtr` already holding the first reference:
//
//     class node : public zv::refObj {
//     public:
//         static zv::refPtr<node> create() { return zv::createRefObj<node>(); }
//     };
//     zv::refPtr<node> n = node::create();   // count 1; freed with the last refPtr
//
// `zv::iRefObj` is the counting interface alone. Interfaces that are counted
// (`zv::iObserver`, for instance) derive from it virtually, so that one
// `zv::refObj` among the bases of a class supplies the count for all of them.
#pragma once

#include "zvDefs.h"
#include "zvRefPtr.h"

#include <utility>

namespace zv {

/// A counted object: take a reference, drop one, destroy when none is left.
class ZV_API iRefObj {
public:
    /// Takes one reference; returns the new count.
    virtual long addRef() = 0;
    /// Drops one reference and destroys the object at 0; returns the new count.
    virtual long release() = 0;

protected:
    /// Deletes the object; called by `release` when the last reference goes.
    virtual void destroyObject() = 0;
    virtual ~iRefObj();
};

class observable;

/// The interlocked implementation of `iRefObj`. A copy of an object starts
/// with its own count of 0; assignment leaves the count alone.
class ZV_API refObj : public virtual iRefObj {
public:
    long addRef() override;
    long release() override;

protected:
    refObj() noexcept : m_count(0) {}
    /// A copy starts with a reference count of 0.
    refObj(const refObj&) noexcept : iRefObj(), m_count(0) {}
    /// Assignment leaves the reference count alone.
    refObj& operator=(const refObj&) noexcept { return *this; }
    void destroyObject() override;
    ~refObj() override;

private:
    friend class observable;
    /// Takes a reference only if somebody else holds one already, so that an
    /// object that is not managed by references (count 0) is never deleted by
    /// a temporary reference. True when a reference was taken.
    bool addRefIfHeld();

    long m_count;
};

/// Creates a `T` with `new` and returns it held by a `refPtr` (count 1).
template <class T, class... Args>
refPtr<T> createRefObj(Args&&... args) {
    return refPtr<T>(new T(std::forward<Args>(args)...));
}

} // namespace zv
