// The library's half of generic values: the holders' destructor, their only
// allocation path, the conversion through the registry, and the converters
// that let a single wide character take part in conversions.
#include "zvGenericValue.h"

#include <new>

namespace zv {

genericValue::holderbase::~holderbase() = default;

void* genericValue::holderbase::allocate(unsigned int size) {
    return ::operator new(size);
}

void genericValue::holderbase::deallocate(void* p) {
    ::operator delete(p);
}

bool genericValue::holderbase::convert(const std::type_info& targetType, void* target,
                                       const std::type_info& sourceType, const void* source) {
    if (!target || !source)
        return false;
    return typeconvert::typeConversionManager::instance().convert(targetType, target, sourceType, source, 0,
                                                                  dtArgs{});
}

namespace {

bool charToText(zv::string& target, const wchar_t& source, int, const dtArgs&) {
    target.assign(1, source);
    return true;
}

/// Exactly one character reads as that character; anything else fails and
/// leaves the target unchanged.
bool textToChar(wchar_t& target, const zv::string& source, int, const dtArgs&) {
    if (source.size() != 1)
        return false;
    target = source[0];
    return true;
}

const typeconvert::registerConversion<wchar_t, zv::string> s_charToText(&charToText);
const typeconvert::registerConversion<zv::string, wchar_t> s_textToChar(&textToChar);

} // namespace

} // namespace zv
