// zvScString.h - interned texts.
//
// A `zv::scString` is a handle to the one shared copy of a text. Equal texts
// give handles that hold the same pointer, so comparing two handles is a
// pointer comparison and a set keyed by them stores each name once. Interned
// texts are never changed and never freed one by one; the whole table goes
// with `destroyScStringManager`.
//
//     zv::scString a = zv::scString::createFrom(L"Width");
//     zv::scString b = zv::scString::createFrom(zv::string(L"Width"));
//     a.c_str() == b.c_str();                         // true: one copy
//     std::map<zv::scString, int, zv::lessScString> byName;
//
// Threads: `createFrom` may be called from any thread at any time. Looking up
// a text that is already interned takes no lock; only adding a new text takes
// the table's mutex. Reading through a handle never locks.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

namespace zv {

/// A handle to an interned text, or null. Copying copies the pointer.
class ZV_API scString {
public:
    /// A null handle: its text is the empty text.
    scString() noexcept = default;

    /// The handle of the interned copy of `text` (interned on first use).
    /// A null `text` is a caller error: assertion, then `bool` false thrown.
    static scString createFrom(const wchar_t* text);
    /// The same for a `zv::string`; every code unit counts, NULs included.
    static scString createFrom(const zv::string& text);

    /// The interned text; the empty text for a null handle.
    const wchar_t* c_str() const noexcept;
    /// The interned text; `zv::string::emptyString` for a null handle.
    const zv::string& string() const noexcept;
    /// True for a null handle.
    bool isNull() const noexcept { return m_text == nullptr; }

    /// Identity: equal texts interned by the same table are equal handles.
    bool operator==(const scString& other) const noexcept { return m_text == other.m_text; }

private:
    friend struct lessScString;
    explicit scString(const zv::string* text) noexcept : m_text(text) {}

    const zv::string* m_text = nullptr;
};

/// Orders handles by the address of their interned text: an identity order
/// (equal texts are equal keys), not an alphabetical one. The order of two
/// different keys depends on when and where their texts were interned.
struct ZV_API lessScString {
    /// Orders by the address of the interned text.
    bool operator()(const scString& a, const scString& b) const noexcept;
};

/// Frees the interning table and every interned text. Handles made before
/// must no longer be read, and no other thread may be inside `createFrom`
/// (or reading a handle) while it runs: it is meant for the end of the
/// process or of a test. A later `createFrom` starts a new, empty table.
ZV_API void destroyScStringManager();

} // namespace zv
