// zvPassword.h - a password kept in scrambled, printable form.
//
//     zv::password p(L"abc");
//     p.encryptedString();                 // "FVoN": store this in a settings file
//     zv::password q;
//     q.setEncrypted(L"FVoN");
//     q == p;                              // true
//     q.decryptedString();                 // "abc"
//
// Scrambling converts the text to the ANSI code page, xors the bytes with
// a fixed key by the rule of `binaryBuffer::xxor` and encodes the result in
// Base64; the content of the buffer is that Base64 text. It hides a
// password from casual reading; it is not encryption. Other programs of the
// family read and write the same form, so it never changes.
//
// A text the ANSI code page cannot hold exactly (say Cyrillic letters under
// code page 1252) would lose those characters, and two different passwords
// would then compare equal. Such a text is stored losslessly instead: as
// UTF-8 behind a UTF-8 byte-order mark, scrambled the same way. The same is
// done for a text whose ANSI bytes would begin with that mark, so the mark
// always means UTF-8. Texts the code page holds keep the common form.
#pragma once

#include "zvBinaryBuffer.h"
#include "zvDefs.h"
#include "zvString.h"

namespace zv {

/// A password kept in scrambled printable form.
class ZV_API password : public binaryBuffer {
public:
    /// Not set.
    password() = default;
    /// Set from the plain text (see `set`).
    explicit password(const string& plainText);

    /// Scrambles `plainText` and keeps the result; the empty text leaves the
    /// password not set.
    void set(const string& plainText);
    /// Keeps an already scrambled text, taking the low byte of each character.
    void setEncrypted(const string& scrambled);

    /// Whether a password is set (the content is not empty).
    bool isSet() const { return logicalLength() != 0; }
    /// The scrambled contents are the same bytes.
    bool operator==(const password& other) const;
    /// Not `operator==`.
    bool operator!=(const password& other) const { return !(*this == other); }

    /// The scrambled text, one character per byte.
    string encryptedString() const;
    /// The plain text; empty when no password is set or when the content is
    /// not Base64 text as the
    /// scrambling writes it (groups of four, "=" padding).
    string decryptedString() const;
};

} // namespace zv
