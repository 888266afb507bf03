// zvRestrictionFilter.h - which stored objects and which named values an
// application admits.
//
// A `zv::restrictionFilter` holds a list of object identities and a list of
// named generic values. It answers whether a list of objects, a list of named
// values or another filter lies within it, and it stores itself in the object
// database.
//
//     zv::restrictionFilter f;
//     f.addFilterObject(zv::objectInfo(L"Tool", toolId));
//     f.addFilterValue({L"x", zv::genericValue(5)});
//     f.addFilterValue({L"x", zv::genericValue(L"7")});
//     f.matchesFilter({zv::objectInfo(L"tool", toolId)});                 // true
//     f.matchesFilter({{L"x", zv::genericValue(7.0)}},
//                     zv::filterValueStringCompare());                    // true: "7" == "7"
//     f.matchesFilter({{L"y", zv::genericValue(5)}},
//                     zv::filterValueStringCompare());                    // false: no "y"
//
// Objects: a given list matches when it is empty or when every given object
// has a partner in the filter with the same type name (ignoring case, since
// the database hands type names back in lower case) and the same guid. A
// filter without objects therefore matches only the empty list.
//
// Values: a given list matches when it is empty or when, for every given pair
// (name, value), the filter has a value of exactly that name that the
// caller's `iFilterValueCompare` accepts. An undefined given value matches
// nothing; a name the filter lacks matches nothing.
//
// Text equality (`filterValueStringCompare` and `removeFilterValue`): both
// values are converted to `zv::string` through the conversion registry and
// compared ordinally with case. A value without content - empty or undefined -
// has the empty text, as it is stored; a value that does not convert throws
// `bool` false. A failing comparison in `removeFilterValue` leaves the filter
// as it was.
//
// Stored form (`writeTo`, `readFrom`): one "rfilter" entry per object (the
// object identity form) and one "vfilter" entry per value, of class "fvalue",
// with a "name" and a "value" text. After a write and a read every filter
// value is a `zv::string`; a failing `readFrom` leaves the filter unchanged.
//
// No locking: a filter is used by one thread at a time.
#pragma once

#include "zvDefs.h"
#include "zvGenericValue.h"
#include "zvGuid.h"
#include "zvString.h"
#include "zvXmlDb.h"

#include <utility>
#include <vector>

namespace zv {

/// Decides whether a tested value satisfies one filter value of a name.
class ZV_API iFilterValueCompare {
public:
    /// Destroys the comparison.
    virtual ~iFilterValueCompare();
    /// True when `testedValue` satisfies `filterValue`, both under `name`.
    virtual bool operator()(const zv::string& name, const zv::genericValue& filterValue,
                            const zv::genericValue& testedValue) const = 0;
};

/// Compares the values' texts ordinally and with case; ignores the name.
class ZV_API filterValueStringCompare : public iFilterValueCompare {
public:
    /// Text equality as described in the header comment; throws `bool`
    /// false when a value with content does not convert to text.
    bool operator()(const zv::string& name, const zv::genericValue& filterValue,
                    const zv::genericValue& testedValue) const override;
};

/// Object identities and named values that an application admits.
class ZV_API restrictionFilter {
public:
    /// One named value of a filter.
    using filterValue = std::pair<zv::string, zv::genericValue>;
    /// The object identities, in insertion order.
    using objectList = std::vector<objectInfo>;
    /// The named values, in insertion order; names may repeat.
    using valueList = std::vector<filterValue>;

    /// Both lists empty.
    restrictionFilter();
    /// Copies of both lists.
    restrictionFilter(const objectList& objects, const valueList& values);
    /// Copies of both lists (values cloned).
    restrictionFilter(const restrictionFilter& other);
    /// Copies of both lists; assigning a filter to itself does nothing.
    restrictionFilter& operator=(const restrictionFilter& other);
    /// Destroys both lists.
    ~restrictionFilter();

    /// The first filter object.
    objectList::const_iterator filterObjectsBegin() const { return m_objects.begin(); }
    /// Past the last filter object.
    objectList::const_iterator filterObjectsEnd() const { return m_objects.end(); }
    /// The first filter value.
    valueList::const_iterator filterValuesBegin() const { return m_values.begin(); }
    /// Past the last filter value.
    valueList::const_iterator filterValuesEnd() const { return m_values.end(); }

    /// Appends `info` (no duplicate check).
    void addFilterObject(const objectInfo& info);
    /// Removes every filter object of `info`'s type name (ignoring case) and,
    /// unless `typeOnly`, of `info`'s guid.
    void removeFilterObject(const objectInfo& info, bool typeOnly);

    /// Appends `value` (no duplicate check); an undefined value instead
    /// removes every filter value of that name.
    void addFilterValue(const filterValue& value);
    /// Removes every filter value of `value`'s name (exact) and, unless
    /// `nameOnly` or `value` is undefined, of the same text. Throws `bool`
    /// false when a text comparison fails; nothing is removed then.
    void removeFilterValue(const filterValue& value, bool nameOnly);
    /// True when a filter value has exactly the name `name`.
    bool containsAnyFilterValue(const zv::string& name) const;

    /// True when `objects` is empty or each of them is among the filter objects.
    bool matchesFilter(const objectList& objects) const;
    /// True when `values` is empty or each of them is accepted by `compare`
    /// for a filter value of its name.
    bool matchesFilter(const valueList& values, const iFilterValueCompare& compare) const;
    /// True when `other`'s objects and `other`'s values match this filter.
    bool matchesFilter(const restrictionFilter& other, const iFilterValueCompare& compare) const;

    /// Writes the filter's entries into `os`; the stream's exceptions pass on.
    void writeTo(iDBOStream* os) const;
    /// Replaces the filter by the entries read from `is`; on an exception
    /// (which passes on) the filter is unchanged.
    void readFrom(iDBIStream* is);

private:
    objectList m_objects;
    valueList m_values;
};

/// The stored form of one filter value, class "fvalue": a "name" text and
/// a "value" text (the value converted to text; empty when it has none).
class ZV_API ioFilterValue : public iDataConverter {
public:
    /// "fvalue".
    const wchar_t* className() const override;
    /// Writes the pair's "name" and "value" texts.
    void writeTo(iDBOStream* os) const override;

protected:
    /// Works on `value` (not owned; it must outlive the converter).
    explicit ioFilterValue(const restrictionFilter::filterValue* value) : m_value(value) {}
    /// Leaves the pair alone.
    ~ioFilterValue() override;

    /// The pair written.
    const restrictionFilter::filterValue* m_value;
};

/// Writes one filter value; it cannot read.
class ZV_API writeFilterValue : public ioFilterValue {
public:
    /// Writes `value` (not owned; it must outlive the converter).
    explicit writeFilterValue(const restrictionFilter::filterValue* value) : ioFilterValue(value) {}
    /// Leaves the pair alone.
    ~writeFilterValue() override;
    /// Refuses: throws `unexpectedErrorException`, the pair is not touched.
    void readFrom(iDBIStream* is) override;
};

/// Reads one filter value: its name, and its value as a new `zv::string`
/// (replacing what the pair held).
class ZV_API readFilterValue : public ioFilterValue {
public:
    /// Fills `value` (not owned; it must outlive the converter).
    explicit readFilterValue(restrictionFilter::filterValue* value) : ioFilterValue(value), m_target(value) {}
    /// Leaves the pair alone.
    ~readFilterValue() override;
    /// Reads "name" and "value"; on an exception (which passes on) the pair
    /// is unchanged.
    void readFrom(iDBIStream* is) override;

private:
    restrictionFilter::filterValue* m_target;
};

} // namespace zv
