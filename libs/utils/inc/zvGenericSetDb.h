// zvGenericSetDb.h - stores a `zv::genericSet` as the properties of an object
// database entry and reads it back.
//
// Both adaptors are `zv::iDataConverter`s that leave the class name to the
// application; they point at a set they do not own.
//
//     struct toolAttrs : zv::writeGenericSet {
//         using zv::writeGenericSet::writeGenericSet;
//         const wchar_t* className() const override { return L"ToolAttrs"; }
//     };
//     os->write(L"attrs", toolAttrs(&set), false);   // inside an object's writeTo
//
// Every entry becomes one generic property ("Property" with attribute
// "name" = the key), so keys need not be valid element names. Texts are
// written unchanged; other values as numbers (their `double` form, integers
// as their own digits), or as their text when they have no number form.
// Reading gives every value back as a `zv::string`.
#pragma once

#include "zvDefs.h"
#include "zvXmlDb.h"

namespace zv {

class genericSet;

/// Writes a set's entries as generic properties; empty values and values
/// without a text form are left out.
class ZV_API writeGenericSet : public iDataConverter {
public:
    /// Writes `set` (not owned).
    explicit writeGenericSet(const genericSet* set) : m_set(set) {}
    /// Writes every entry of the set.
    void writeTo(iDBOStream* os) const override;
    /// Writing only: raises `unexpectedErrorException`.
    void readFrom(iDBIStream* is) override;

protected:
    ~writeGenericSet() override;

private:
    const genericSet* m_set;
};

/// Reads generic properties into a set, each value as a `zv::string`.
class ZV_API readGenericSet : public iDataConverter {
public:
    /// Reads into `set` (not owned).
    explicit readGenericSet(genericSet* set) : m_set(set) {}
    /// Reading only: raises `unexpectedErrorException`.
    void writeTo(iDBOStream* os) const override;
    /// Clears the set and fills it from the stream's generic properties; a
    /// later property of the same name replaces an earlier one.
    void readFrom(iDBIStream* is) override;

protected:
    ~readGenericSet() override;

private:
    genericSet* m_set;
};

} // namespace zv
