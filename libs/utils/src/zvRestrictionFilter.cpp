#include "zvRestrictionFilter.h"

#include "zvException.h"

#include <algorithm>

namespace zv {

namespace {

// The text a value compares and is stored with. A value without content has
// the empty text, as `writeTo` stores it; one that does not convert throws
// `bool` false.
zv::string valueText(const genericValue& value) {
    zv::string text;
    if (value.isEmpty() || value.isUndefined())
        return text;
    if (!value.get(text))
        throw false;
    return text;
}

// The stored text: as `valueText`, but a value that does not convert is
// stored as the empty text rather than failing the whole write.
zv::string storedText(const genericValue& value) {
    zv::string text;
    if (!value.isEmpty() && !value.isUndefined() && !value.get(text))
        text.clear();
    return text;
}

bool sameText(const genericValue& a, const genericValue& b) {
    return valueText(a) == valueText(b);
}

bool sameObject(const objectInfo& a, const objectInfo& b) {
    return a.objectGuid() == b.objectGuid() && a.typeName().isEqualTo(b.typeName(), false);
}

} // namespace

iFilterValueCompare::~iFilterValueCompare() = default;

bool filterValueStringCompare::operator()(const zv::string&, const genericValue& filterValue,
                                          const genericValue& testedValue) const {
    return sameText(filterValue, testedValue);
}

restrictionFilter::restrictionFilter() = default;

restrictionFilter::restrictionFilter(const objectList& objects, const valueList& values)
    : m_objects(objects), m_values(values) {}

restrictionFilter::restrictionFilter(const restrictionFilter& other) = default;

restrictionFilter& restrictionFilter::operator=(const restrictionFilter& other) {
    if (this != &other) {
        restrictionFilter copy(other);
        m_objects.swap(copy.m_objects);
        m_values.swap(copy.m_values);
    }
    return *this;
}

restrictionFilter::~restrictionFilter() = default;

void restrictionFilter::addFilterObject(const objectInfo& info) {
    m_objects.push_back(info);
}

void restrictionFilter::removeFilterObject(const objectInfo& info, bool typeOnly) {
    std::erase_if(m_objects, [&](const objectInfo& o) {
        return o.typeName().isEqualTo(info.typeName(), false) &&
               (typeOnly || o.objectGuid() == info.objectGuid());
    });
}

void restrictionFilter::addFilterValue(const filterValue& value) {
    if (value.second.isUndefined())
        removeFilterValue(value, false);
    else
        m_values.push_back(value);
}

void restrictionFilter::removeFilterValue(const filterValue& value, bool nameOnly) {
    const bool byName = nameOnly || value.second.isUndefined();
    // Every comparison is made before anything is removed, so a comparison
    // that throws leaves the filter as it was.
    std::vector<bool> doomed(m_values.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        if (m_values[i].first != value.first)
            continue;
        doomed[i] = byName || sameText(m_values[i].second, value.second);
        any = any || doomed[i];
    }
    if (!any)
        return;
    valueList kept;
    kept.reserve(m_values.size());
    for (std::size_t i = 0; i < m_values.size(); ++i)
        if (!doomed[i])
            kept.push_back(std::move(m_values[i]));
    m_values.swap(kept);
}

bool restrictionFilter::containsAnyFilterValue(const zv::string& name) const {
    return std::any_of(m_values.begin(), m_values.end(),
                       [&](const filterValue& v) { return v.first == name; });
}

bool restrictionFilter::matchesFilter(const objectList& objects) const {
    return std::all_of(objects.begin(), objects.end(), [&](const objectInfo& given) {
        return std::any_of(m_objects.begin(), m_objects.end(),
                           [&](const objectInfo& own) { return sameObject(own, given); });
    });
}

bool restrictionFilter::matchesFilter(const valueList& values, const iFilterValueCompare& compare) const {
    for (const filterValue& given : values) {
        bool found = false;
        for (const filterValue& own : m_values) {
            if (own.first != given.first)
                continue;
            // An undefined given value ends the search at the first filter
            // value of its name.
            if (given.second.isUndefined())
                break;
            if (compare(given.first, own.second, given.second)) {
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

bool restrictionFilter::matchesFilter(const restrictionFilter& other,
                                      const iFilterValueCompare& compare) const {
    return matchesFilter(other.m_objects) && matchesFilter(other.m_values, compare);
}

void restrictionFilter::writeTo(iDBOStream* os) const {
    for (const objectInfo& info : m_objects)
        os->write(L"rfilter", info, false);
    for (const filterValue& value : m_values)
        os->write(L"vfilter", writeFilterValue(&value), false);
}

void restrictionFilter::readFrom(iDBIStream* is) {
    // Read into fresh lists, so that a stream failure leaves the filter as it was.
    objectList objects;
    valueList values;
    const unsigned int n = is->count(L"rfilter", false);
    objects.reserve(n);
    for (unsigned int i = 0; i < n; ++i) {
        objectInfo info;
        is->read(L"rfilter", info, i, false);
        objects.push_back(info);
    }
    const unsigned int m = is->count(L"vfilter", false);
    values.reserve(m);
    for (unsigned int i = 0; i < m; ++i) {
        filterValue value;
        readFilterValue converter(&value);
        is->read(L"vfilter", converter, i, false);
        values.push_back(std::move(value));
    }
    m_objects.swap(objects);
    m_values.swap(values);
}

// ---- stored form of one value ----

ioFilterValue::~ioFilterValue() = default;

const wchar_t* ioFilterValue::className() const {
    return L"fvalue";
}

void ioFilterValue::writeTo(iDBOStream* os) const {
    os->write(L"name", m_value->first, false);
    os->write(L"value", storedText(m_value->second), false);
}

writeFilterValue::~writeFilterValue() = default;

void writeFilterValue::readFrom(iDBIStream*) {
    throw unexpectedErrorException(L"writeFilterValue::readFrom: a filter value written cannot be read into");
}

readFilterValue::~readFilterValue() = default;

void readFilterValue::readFrom(iDBIStream* is) {
    zv::string name;
    zv::string text;
    is->read(L"name", name, 0, false);
    is->read(L"value", text, 0, false);
    m_target->first.swap(name);
    m_target->second = genericValue(text);
}

} // namespace zv
