// zvGuid.h - 128-bit identities and references to stored objects.
//
// `zv::guid` has the layout of the Windows GUID structure. New identities are
// time based ("sequential"); their text is the 8-4-4-4-12 form in lower-case
// hexadecimal without braces, the same on every platform.
//
//     zv::guid id = zv::guid::create();
//     zv::string text = id.toString();        // "1b4e28ba-2fa1-11d2-883f-0016d3cca427"
//     zv::guid::fromString(text) == id;       // true
//     zv::guid().toString();                  // "0"
//     zv::objectInfo ref(L"Tool", id);        // the stored object "Tool" with this identity
//
// A guid counts as initialized when `Data1`, `Data2` and `Data3` are all non
// zero; any other guid prints as "0". `fromString` accepts "0" and the empty
// text (the all-zero guid) or exactly 36 characters: hexadecimal digits of
// either case with "-" at positions 8, 13, 18 and 23 (no braces, no blanks).
// Anything else is rejected by throwing `bool` false, as `create` does when
// the system makes no identity; `tryFromString` answers false instead.
//
// Guids convert to and from `zv::string` through the conversion registry
// (zvTypeConvert.h); there a malformed text gives false.
#pragma once

#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvString.h"
#include "zvTypeConvert.h"

#include <cstdint>

namespace zv {

/// A globally unique identifier in the Windows field layout.
class ZV_API guid {
public:
    /// The first 32 bits.
    std::uint32_t Data1;
    /// The next 16 bits.
    std::uint16_t Data2;
    /// The next 16 bits.
    std::uint16_t Data3;
    /// The last 64 bits, byte by byte.
    std::uint8_t Data4[8];

    /// The all-zero guid.
    guid();
    // Plain copies: the type stays trivially copyable, like the system's.
    /// A copy.
    guid(const guid& other) = default;
    /// Takes the value of `other`.
    guid& operator=(const guid& other) = default;

    /// True when `Data1`, `Data2` and `Data3` are all non-zero.
    bool isInitialized() const;

    /// All 16 bytes equal.
    bool operator==(const guid& other) const;
    /// `Data1`, `Data2`, `Data3`, then the bytes of `Data4`, all unsigned.
    bool operator<(const guid& other) const;

    /// A new time-based identity. Throws `bool` false when the system
    /// cannot make one.
    static guid create();

    /// The 36-character lower-case text of an initialized guid, else "0".
    static zv::string toString(const guid& id);
    /// `toString(*this)`.
    zv::string toString() const;

    /// The guid of `text` (see the header comment); "0" and "" give the
    /// all-zero guid. Malformed text throws `bool` false.
    static guid fromString(const zv::string& text);
    /// The same without the assertion: false for malformed text, `out`
    /// unchanged then.
    static bool tryFromString(const zv::string& text, guid& out);
};

/// Refers to one stored object: its class (table) name and its identity.
class ZV_API objectInfo {
public:
    objectInfo();
    /// Refers to object `id` of class `typeName`.
    objectInfo(const zv::string& typeName, const guid& id);

    /// The class (table) name.
    const zv::string& typeName() const { return m_typeName; }
    /// The object's identity.
    const guid& objectGuid() const { return m_guid; }
    /// Sets the class (table) name.
    void setTypeName(const zv::string& typeName) { m_typeName = typeName; }
    /// Sets the object's identity.
    void setObjectGuid(const guid& id) { m_guid = id; }

    /// Both type names equal (exact, case-sensitive) and both guids equal.
    bool operator==(const objectInfo& other) const;

private:
    zv::string m_typeName;
    guid m_guid;
};

/// Text conversions, also registered with the conversion registry. To text
/// gives what `guid::toString` gives; from text gives false for malformed text.
ZV_API bool dtconvert(string& target, const guid& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(string& target, const guid& source, int flags = 0, ...);
ZV_API bool dtconvert(guid& target, const string& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(guid& target, const string& source, int flags = 0, ...);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::guid, "zv::guid")
