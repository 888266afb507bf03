// zvTypeConvert.h - the run-time conversion registry: converts between types
// known only by their `std::type_info`.
//
// One converter object per supported pair of types registers itself while
// the library loads (every `dtconvert` pair of zvDtConvert.h among numbers
// and text, and the narrow text pairs) and unregisters itself at unload.
//
//     using zv::typeconvert::typeConversionManager;
//     zv::string text;
//     int value = 42;
//     typeConversionManager::instance().convert(typeid(zv::string), &text, typeid(int), &value, 0, {});
//     typeConversionManager::instance().convert(text, value);   // the same, typed
//
// Look-up: the converters for the source type's key (the CRC-32 of its
// stable name, see `typeName`), first the one for exactly this pair, then
// the first one under the key with the right target; failing both, two steps
// through `zv::string` when a converter source -> string and one string ->
// target are registered. Otherwise the result is false.
//
// A type takes part once it has a stable name and its converters are
// registered; with both in its header and source that is one line each:
//
//     // zvDate.h
//     ZV_TYPECONVERT_NAME(zv::date, "zv::date")
//
//     // zvDate.cpp
//     static const zv::typeconvert::registerConversion<zv::date, zv::string> s_dateToText(&zv::dtconvert);
//     static const zv::typeconvert::registerConversion<zv::string, zv::date> s_textToDate(&zv::dtconvert);
//
// The registry's lock is recursive and held while a converter runs, so a
// converter may call the registry again on the same thread.
#pragma once

#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvString.h"

#include <string>
#include <typeinfo>

namespace zv::typeconvert {

/// The stable name of a type taking part in conversions; keys are computed
/// from it (never from `type_info::name`, whose form differs between
/// compilers). Specialise it with `ZV_TYPECONVERT_NAME`.
template <typename T>
struct typeName;

} // namespace zv::typeconvert

/// Gives `Type` the stable name `Name`; write it at global scope.
#define ZV_TYPECONVERT_NAME(Type, Name)                                                                      \
    template <>                                                                                              \
    struct zv::typeconvert::typeName<Type> {                                                                 \
        static constexpr const char* value = Name;                                                           \
    };

ZV_TYPECONVERT_NAME(short, "short")
ZV_TYPECONVERT_NAME(unsigned short, "unsigned short")
ZV_TYPECONVERT_NAME(int, "int")
ZV_TYPECONVERT_NAME(unsigned int, "unsigned int")
ZV_TYPECONVERT_NAME(long, "long")
ZV_TYPECONVERT_NAME(unsigned long, "unsigned long")
ZV_TYPECONVERT_NAME(float, "float")
ZV_TYPECONVERT_NAME(double, "double")
ZV_TYPECONVERT_NAME(bool, "bool")
ZV_TYPECONVERT_NAME(char, "char")
ZV_TYPECONVERT_NAME(const char*, "char const*")
ZV_TYPECONVERT_NAME(std::string, "std::string")
ZV_TYPECONVERT_NAME(std::wstring, "std::wstring")
ZV_TYPECONVERT_NAME(zv::string, "zv::string")

namespace zv::typeconvert {

/// A converter for one pair of types.
class ZV_API typeConverterBase {
public:
    virtual ~typeConverterBase();

    /// The run-time identity of the source type.
    virtual const std::type_info& sourceType() const = 0;
    /// The run-time identity of the target type.
    virtual const std::type_info& targetType() const = 0;
    /// Converts `*source` into `*target` with `flags` and their values.
    virtual bool convert(void* target, const void* source, int flags, const dtArgs& args) const = 0;

    /// The stable names of both types; the source's gives the key.
    virtual const char* sourceName() const = 0;
    /// The stable name of the target type.
    virtual const char* targetName() const = 0;
};

/// The converter for `From` -> `To` through a function of the `dtconvert`
/// shape; a null function converts nothing (false).
template <typename From, typename To>
class typeConverter : public typeConverterBase {
public:
    /// The conversion function: target, source, flags and their values; false when it fails.
    using function = bool (*)(To&, const From&, int, const dtArgs&);

    /// A converter calling `fn`.
    explicit typeConverter(function fn) : m_function(fn) {}

    const std::type_info& sourceType() const override { return typeid(From); }
    const std::type_info& targetType() const override { return typeid(To); }
    bool convert(void* target, const void* source, int flags, const dtArgs& args) const override {
        if (!m_function || !target || !source)
            return false;
        return m_function(*static_cast<To*>(target), *static_cast<const From*>(source), flags, args);
    }
    const char* sourceName() const override { return typeName<From>::value; }
    /// The stable name of `To`.
    const char* targetName() const override { return typeName<To>::value; }

private:
    function m_function;
};

/// The process-wide registry. Created on first use by `instance()`; at unload
/// its content is released, after which `convert` answers false and
/// `add`/`remove` do nothing.
class ZV_API typeConversionManager {
public:
    /// The process-wide registry, created on first use.
    static typeConversionManager& instance();

    /// Registers `converter` (not owned) behind those already under its key.
    /// Null or a converter without stable names is ignored.
    void add(typeConverterBase* converter);
    /// Removes the first registration of this very converter.
    void remove(typeConverterBase* converter);

    /// Converts `*source` of `sourceType` into `*target` of `targetType`;
    /// false when no converter (or pair of converters through `zv::string`)
    /// serves the pair, or when the converter reports false.
    bool convert(const std::type_info& targetType, void* target, const std::type_info& sourceType,
                 const void* source, int flags, const dtArgs& args) const;

    /// The same for statically known types.
    template <typename To, typename From>
    bool convert(To& target, const From& source, int flags = 0, const dtArgs& args = dtArgs{}) const {
        return convert(typeid(To), &target, typeid(From), &source, flags, args);
    }

    /// Releases the map and the lock; afterwards the registry is empty and inert.
    ~typeConversionManager();
    typeConversionManager(const typeConversionManager&) = delete;
    typeConversionManager& operator=(const typeConversionManager&) = delete;

    struct state;

private:
    typeConversionManager();
    friend struct managerHolder;

    state* m_state;
};

/// Registers one converter for the lifetime of the object: declare one as a
/// static object per pair in the module that provides the conversion.
template <typename From, typename To>
class registerConversion {
public:
    /// Registers a converter calling `fn` (nothing for a null function).
    explicit registerConversion(typename typeConverter<From, To>::function fn) : m_converter(fn) {
        if (fn)
            typeConversionManager::instance().add(&m_converter);
    }
    ~registerConversion() { typeConversionManager::instance().remove(&m_converter); }
    registerConversion(const registerConversion&) = delete;
    registerConversion& operator=(const registerConversion&) = delete;

    /// The registered converter.
    const typeConverterBase& converter() const { return m_converter; }

private:
    typeConverter<From, To> m_converter;
};

} // namespace zv::typeconvert
