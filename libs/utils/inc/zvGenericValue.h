// zvGenericValue.h - one value whose type is chosen at run time.
//
// A `zv::genericValue` holds a value of one of a fixed list of scalar and
// text types, or nothing. It either owns a copy of the value or is bound to a
// variable of the caller; reading and writing a bound value go through to
// that variable. Values of different types convert into one another through
// the run-time conversion registry (zvTypeConvert.h).
//
//     zv::genericValue n(42);                  // owns an int
//     zv::string text;
//     n.get(text);                             // true, text == "42"
//     int width = 0;
//     zv::genericValue bound(&width);          // bound to `width`
//     bound.set(zv::string(L"17"));            // true, width == 17
//     zv::genericValue undef(zv::Undef{});
//     undef.isUndefined();                     // true
//
// The inline interface:
//   genericValue()                  empty: no type, every read fails
//   genericValue(const T& v)        owns a copy of v (T a held type; wide text literals give a zv::string)
//   genericValue(T* variable)       bound to *variable (explicit)
//   get(T& out)                     reads the value converted to T; false when empty or not convertible
//   set(const T& v)                 writes v converted to the held type (an empty value takes v's type)
//   isEmpty(), type(), isReference(), isUndefined()
//   valueIf<T>()                    the held T itself when the held type is exactly T, else null
//   reset(), swap(), takeOver(other)  drop the holder, exchange holders, move other's holder in
//   holderPtr()                     the holder itself (null when empty), for code that works on holders
//
// Holders are allocated only through `holderbase::allocate` and released
// through `holderbase::deallocate`, which live in the library: a holder that
// inline code of another module creates is freed on the library's heap.
//
// Held types: bool, wchar_t, short, unsigned short, int, unsigned int, long,
// unsigned long, float, double, zv::string, zv::Undef and the value types
// zv::date, zv::time, zv::timestamp, zv::file, zv::directory, zv::version
// and zv::locString. A further type joins with one line, beside its conversion name:
//
//     ZV_GENERIC_VALUE_TYPE(zv::rgbColor)
//
// A value is used by one thread at a time; nothing here locks.
#pragma once

#include "zvDefs.h"
#include "zvString.h"
#include "zvTypeConvert.h"

#include <cstddef>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace zv {

/// The undefined value: a generic value holding it means "no value given".
struct Undef {
    /// Every undefined value equals every other.
    bool operator==(const Undef&) const noexcept { return true; }
};

/// True for the types a `genericValue` may hold; see `ZV_GENERIC_VALUE_TYPE`.
template <typename T>
struct isGenericValueType : std::false_type {};

} // namespace zv

/// Lets `genericValue` hold `Type`; write it at global scope in the type's
/// header. The type needs a conversion name and converters to and from
/// `zv::string` to convert into other held types.
#define ZV_GENERIC_VALUE_TYPE(Type)                                                                          \
    template <>                                                                                              \
    struct zv::isGenericValueType<Type> : std::true_type {};

ZV_GENERIC_VALUE_TYPE(bool)
ZV_GENERIC_VALUE_TYPE(wchar_t)
ZV_GENERIC_VALUE_TYPE(short)
ZV_GENERIC_VALUE_TYPE(unsigned short)
ZV_GENERIC_VALUE_TYPE(int)
ZV_GENERIC_VALUE_TYPE(unsigned int)
ZV_GENERIC_VALUE_TYPE(long)
ZV_GENERIC_VALUE_TYPE(unsigned long)
ZV_GENERIC_VALUE_TYPE(float)
ZV_GENERIC_VALUE_TYPE(double)
ZV_GENERIC_VALUE_TYPE(zv::string)
ZV_GENERIC_VALUE_TYPE(zv::Undef)

// The library's value types; a declaration is all the trait needs, the
// type's own header is needed to make or read such a value.
namespace zv {
class date;
class time;
class timestamp;
class file;
class directory;
class version;
class locString;
} // namespace zv
ZV_GENERIC_VALUE_TYPE(zv::date)
ZV_GENERIC_VALUE_TYPE(zv::time)
ZV_GENERIC_VALUE_TYPE(zv::timestamp)
ZV_GENERIC_VALUE_TYPE(zv::file)
ZV_GENERIC_VALUE_TYPE(zv::directory)
ZV_GENERIC_VALUE_TYPE(zv::version)
ZV_GENERIC_VALUE_TYPE(zv::locString)
// Further types add their line in their own headers (zv::rgbColor in
// zvRgbColor.h).

// A single character converts to and from a one-character text.
ZV_TYPECONVERT_NAME(wchar_t, "wchar_t")

namespace zv {

template <typename T>
concept genericValueType = isGenericValueType<T>::value;

/// A value whose type is chosen at run time: empty, an owned copy, or bound to a variable.
class genericValue {
public:
    /// The abstract root of all holders. Its destructor, the allocation
    /// functions and the conversion path live in the library.
    class ZV_API holderbase {
    public:
        virtual ~holderbase();
        /// A new holder of the same kind: a copy of an owned value, or a
        /// holder bound to the same variable.
        virtual holderbase* clone() const = 0;
        /// Writes this value into `target`, converted to the target's type.
        virtual bool assignTo(holderbase& target) const = 0;
        /// Writes `source`'s value into this holder, converted to this type.
        virtual bool assignFrom(const holderbase& source) = 0;
        /// The held type.
        virtual const std::type_info& type() const = 0;
        /// The held value's address (null for a holder bound to nothing).
        virtual void* data() = 0;
        /// The held value's address, read-only.
        virtual const void* constData() const = 0;
        /// True when bound to a variable outside the value.
        virtual bool isReference() const = 0;

        /// The only allocation path for holders.
        static void* allocate(unsigned int size);
        /// Frees memory from `allocate`.
        static void deallocate(void* p);
        /// Allocates through `allocate`.
        static void* operator new(std::size_t size) { return allocate(static_cast<unsigned int>(size)); }
        /// Frees through `deallocate`.
        static void operator delete(void* p) { deallocate(p); }

    protected:
        holderbase() = default;
        /// A copy.
        holderbase(const holderbase&) = default;
        /// Assignment.
        holderbase& operator=(const holderbase&) = default;

        /// Converts through the registry; false for a null side or an
        /// unregistered pair.
        static bool convert(const std::type_info& targetType, void* target, const std::type_info& sourceType,
                            const void* source);
    };

    /// The typed level: a holder whose value has type T.
    template <typename T>
    class holder : public holderbase {
    public:
        bool assignTo(holderbase& target) const override {
            const T* source = constValue();
            if (!source)
                return false; // bound to nothing: there is no value to read
            if (target.type() == typeid(T)) {
                // Only a holder<T> reports T, so the cast is exact.
                auto& typed = static_cast<holder<T>&>(target);
                if (!typed.constValue())
                    return false;
                typed.set(*source);
                return true;
            }
            return convert(target.type(), target.data(), typeid(T), source);
        }
        bool assignFrom(const holderbase& source) override {
            if (source.type() == typeid(T)) {
                const T* value = static_cast<const holder<T>&>(source).constValue();
                if (!value || !constValue())
                    return false;
                set(*value);
                return true;
            }
            return convert(typeid(T), data(), source.type(), source.constData());
        }
        const std::type_info& type() const override { return typeid(T); }
        void* data() override { return value(); }
        /// The held value's address, read-only.
        const void* constData() const override { return constValue(); }

        /// The held value (null for a holder bound to nothing).
        virtual T* value() = 0;
        /// The held value, read-only.
        virtual const T* constValue() const = 0;
        /// Replaces the value; a holder bound to nothing ignores it.
        virtual void set(const T& v) = 0;
    };

    /// Owns a copy of the value.
    template <typename T>
    class valueholder final : public holder<T> {
    public:
        /// Holds a copy of `v`.
        explicit valueholder(const T& v) : m_value(v) {}
        holderbase* clone() const override { return new valueholder<T>(m_value); }
        bool isReference() const override { return false; }
        T* value() override { return &m_value; }
        /// The held value, read-only.
        const T* constValue() const override { return &m_value; }
        void set(const T& v) override { m_value = v; }

    private:
        T m_value;
    };

    /// Bound to a variable outside the value; the pointer may be null.
    template <typename T>
    class ptrholder final : public holder<T> {
    public:
        /// Bound to `variable` (may be null).
        explicit ptrholder(T* variable) : m_variable(variable) {}
        holderbase* clone() const override { return new ptrholder<T>(m_variable); }
        bool isReference() const override { return true; }
        T* value() override { return m_variable; }
        /// The bound variable, read-only.
        const T* constValue() const override { return m_variable; }
        void set(const T& v) override {
            if (m_variable)
                *m_variable = v;
        }

    private:
        T* m_variable;
    };

    genericValue() noexcept = default;
    /// Holds a copy of `v`.
    template <genericValueType T>
    genericValue(const T& v) : m_holder(new valueholder<T>(v)) {}
    /// Wide text literals are held as `zv::string`; null gives the empty text.
    genericValue(const wchar_t* text) : m_holder(new valueholder<zv::string>(zv::string(text))) {}
    /// Bound to `variable`, which must outlive the value.
    template <genericValueType T>
    explicit genericValue(T* variable) : m_holder(new ptrholder<T>(variable)) {}

    /// A copy: an owned value is copied, a bound one stays bound to the same variable.
    genericValue(const genericValue& other) : m_holder(other.m_holder ? other.m_holder->clone() : nullptr) {}
    /// Takes over `other`'s holder; `other` becomes empty.
    genericValue(genericValue&& other) noexcept : m_holder(std::exchange(other.m_holder, nullptr)) {}
    /// Copies `other` as the copy constructor does.
    genericValue& operator=(const genericValue& other) {
        if (this != &other) {
            holderbase* copy = other.m_holder ? other.m_holder->clone() : nullptr;
            delete m_holder;
            m_holder = copy;
        }
        return *this;
    }
    /// Takes over `other`'s holder; `other` becomes empty.
    genericValue& operator=(genericValue&& other) noexcept {
        if (this != &other) {
            delete m_holder;
            m_holder = std::exchange(other.m_holder, nullptr);
        }
        return *this;
    }
    ~genericValue() { delete m_holder; }

    /// True without holder.
    bool isEmpty() const noexcept { return m_holder == nullptr; }
    /// The held type; `typeid(void)` when empty.
    const std::type_info& type() const { return m_holder ? m_holder->type() : typeid(void); }
    /// True when bound to a variable.
    bool isReference() const { return m_holder && m_holder->isReference(); }

    /// Reads the value converted to T into `out`; false (and `out`
    /// unchanged) when empty, bound to nothing or not convertible.
    template <genericValueType T>
    bool get(T& out) const {
        if (!m_holder)
            return false;
        ptrholder<T> target(&out);
        return m_holder->assignTo(target);
    }
    /// Writes `v` converted to the held type (through to a bound variable);
    /// an empty value takes a copy of `v` with its type. False when the
    /// conversion fails; the value is unchanged then.
    template <genericValueType T>
    bool set(const T& v) {
        if (!m_holder) {
            m_holder = new valueholder<T>(v);
            return true;
        }
        const ptrholder<T> source(const_cast<T*>(&v));
        return m_holder->assignFrom(source);
    }
    /// Sets a wide text (null: the empty text), held as `zv::string`.
    bool set(const wchar_t* text) { return set(zv::string(text)); }

    /// True when the held value is `zv::Undef`.
    bool isUndefined() const {
        Undef u;
        return get(u);
    }

    /// The held T when the held type is exactly T (null otherwise, and for a
    /// value bound to nothing).
    template <genericValueType T>
    T* valueIf() {
        return m_holder && m_holder->type() == typeid(T) ? static_cast<holder<T>*>(m_holder)->value()
                                                         : nullptr;
    }
    /// The held T, read-only; see above.
    template <genericValueType T>
    const T* valueIf() const {
        return m_holder && m_holder->type() == typeid(T)
                   ? static_cast<const holder<T>*>(m_holder)->constValue()
                   : nullptr;
    }

    /// Destroys the holder; the value becomes empty.
    void reset() noexcept {
        delete m_holder;
        m_holder = nullptr;
    }
    /// Exchanges the holders.
    void swap(genericValue& other) noexcept { std::swap(m_holder, other.m_holder); }
    /// Moves `other`'s holder in (destroying the own one); `other` becomes empty.
    void takeOver(genericValue& other) noexcept {
        if (this != &other)
            *this = std::move(other);
    }
    /// The holder, or null when empty.
    holderbase* holderPtr() noexcept { return m_holder; }
    /// The holder, or null when empty (read-only).
    const holderbase* holderPtr() const noexcept { return m_holder; }

private:
    holderbase* m_holder = nullptr;
};

} // namespace zv
