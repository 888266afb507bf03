// zvGenericSetDb.cpp - generic sets as object database properties.
#include "zvGenericSetDb.h"

#include "zvDtConvert.h"
#include "zvException.h"
#include "zvGenericSet.h"
#include "zvXmlDbDetail.h"

#include <typeinfo>

namespace zv {

namespace {

// The stored text of one value; false when it has none.
bool storedText(const genericValue& value, zv::string& text) {
    const std::type_info& type = value.type();
    // Texts are kept as they are: "12abc" must not become "12".
    if (type == typeid(zv::string) || type == typeid(wchar_t))
        return value.get(text);
    // Integers as their own digits: a large one loses nothing to a double.
    if (type == typeid(short) || type == typeid(int) || type == typeid(long)) {
        long v = 0;
        return value.get(v) && dtconvert(text, v);
    }
    if (type == typeid(unsigned short) || type == typeid(unsigned int) || type == typeid(unsigned long)) {
        unsigned long v = 0;
        return value.get(v) && dtconvert(text, v);
    }
    // Everything else through its number form when it has one, else its text.
    double d = 0;
    if (value.get(d)) {
        text = detail::dbDoubleText(d);
        return true;
    }
    return value.get(text);
}

} // namespace

writeGenericSet::~writeGenericSet() = default;

void writeGenericSet::writeTo(iDBOStream* os) const {
    if (!m_set)
        return;
    for (const genericSet::value_type& entry : *m_set) {
        if (entry.second.isEmpty())
            continue;
        zv::string text;
        if (!storedText(entry.second, text))
            continue;
        os->write(entry.first.c_str(), text, true);
    }
}

void writeGenericSet::readFrom(iDBIStream*) {
    throw unexpectedErrorException(L"writeGenericSet::readFrom: the adaptor only writes");
}

readGenericSet::~readGenericSet() = default;

void readGenericSet::writeTo(iDBOStream*) const {
    throw unexpectedErrorException(L"readGenericSet::writeTo: the adaptor only reads");
}

void readGenericSet::readFrom(iDBIStream* is) {
    if (!m_set)
        return;
    m_set->clear();
    const unsigned int n = is->countProperties();
    zv::string name, value;
    for (unsigned int i = 0; i < n; ++i) {
        is->readProperty(name, value, i);
        m_set->setGenericValue(scString::createFrom(name), genericValue(value), true);
    }
}

} // namespace zv
