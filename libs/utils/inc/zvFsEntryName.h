// zvFsEntryName.h - normalised Windows path names.
//
// A `zv::fsEntryName` is a `zv::string` holding a full, absolute path name in
// one canonical form: a drive ("C:") or UNC prefix ("\\server"), backslash
// delimiters, no doubled delimiters, no "." or ".." components and no
// trailing backslash unless one was asked for. Whatever a caller hands in is
// normalised the moment it is set:
//
//     zv::fsEntryName n(L"c:/Data//x/./y/../z.txt");   // "c:\Data\x\z.txt"
//     n.name(0);                                      // "z.txt"
//     n.path(0);                                      // "C:\Data\x\"
//     n.relativeNameTo(zv::fsEntryName(L"C:\\Data", true)); // ".\x\z.txt" (lower case)
//
// A text that holds a NUL character names nothing the system could open
// (the system would see only the part before it): it gives the empty name,
// on which every operation fails.
//
// Relative names are completed with the working directory, "\x" with the
// current drive, and the first "%VAR%" reference is expanded. On Linux the
// same names are used; the OS layer maps them to host paths (see README).
#pragma once

#include "zvDefs.h"
#include "zvString.h"

#include <concepts>

namespace zv {

/// A normalised Windows-style path name (backslashes, drive or UNC prefix, folders end with a backslash).
class ZV_API fsEntryName : public zv::string {
public:
    /// Component flags of `path`, `name`, `extension` and `removeExtension`.
    enum eComponentFlags : int {
        noExtension = 2,   ///< `name`: leave the extension off
        firstDot = 4,      ///< the extension begins at the first dot, not the last
        withDrive = 8,     ///< prefix the drive (`name`, `extension`: only with `withPath`)
        withPath = 16,     ///< `name`, `extension`: prefix the folder path
        withName = 32,     ///< `path`: append the name; `extension`: prefix the name and a dot
        withExtension = 64 ///< `path` with `withName`, `name` with `noExtension`: keep the extension
    };

    fsEntryName() = default;
    /// The normalisation of `text`.
    fsEntryName(const zv::string& text) { setName(text, false); }
    /// A path name from a NUL-terminated text (null is the empty name).
    fsEntryName(const wchar_t* text) { setName(zv::string(text), false); }
    /// The normalisation of `text`, with one trailing backslash when
    /// `appendDelimiter` is true (a folder). Only a real `bool` selects this
    /// form, so that a name given as text still selects the joining one.
    template <std::same_as<bool> B>
    fsEntryName(const zv::string& text, B appendDelimiter) {
        setName(text, appendDelimiter);
    }
    /// `directory` + "\" + `name`, normalised; empty when `directory` is empty.
    fsEntryName(const zv::string& directory, const zv::string& name, bool appendDelimiter = false);

    /// Replaces the value with the normalisation of `text`; with
    /// `appendDelimiter` a non-empty result ends with one backslash.
    void setName(const zv::string& text, bool appendDelimiter = false);

    /// Splits the name into drive ("C:" upper-cased, or "\\server"), path
    /// (always ending with "\"), name and extension (at the last dot with
    /// `lastDot`, else the first; the dot belongs to neither).
    void getComponents(zv::string& drive, zv::string& path, zv::string& name, zv::string& extension,
                       bool lastDot = true) const;

    /// The drive, such as "C:", or the UNC prefix.
    zv::string drive() const;
    /// The drive letter of a "X:" drive, otherwise a blank.
    wchar_t driveLetter() const;
    /// Composed components; see `eComponentFlags`.
    zv::string path(int flags = 0) const;
    /// The last component's name, with its extension unless `noExtension`; see `eComponentFlags`.
    zv::string name(int flags = 0) const;
    /// The last component's extension; see `eComponentFlags`.
    zv::string extension(int flags = 0) const;

    /// Deletes trailing backslashes and, on a non-empty name, appends "." + `ext`.
    void appendExtension(const zv::string& ext);
    /// Drops the extension (at the first dot with `firstDot`); not normalised again.
    void removeExtension(int flags = 0);
    /// Leaves exactly one trailing backslash on a non-empty name.
    void appendDelimiter();

    /// The name relative to `base`, in lower case: ".\x" inside it, "..\..\x"
    /// above it; the full name unchanged on another drive; empty when no
    /// relation can be found.
    zv::string relativeNameTo(const fsEntryName& base) const;

    /// The name as the host system spells it: the name itself on Windows, the
    /// mapped path on Linux ("C:\tmp\x" is "/tmp/x"); empty when the drive is
    /// not mapped.
    zv::string hostPath() const;
    /// The library's name of a host path ("/tmp/x" on Linux, with the drive
    /// mapping applied); other text is simply normalised.
    static fsEntryName fromHostPath(const zv::string& host, bool appendDelimiter = false);

    /// False for text of two or more characters that starts with a delimiter
    /// or has a colon second; true otherwise. `*levels`, when given, is 0.
    static bool isARelativePath(const zv::string& text, int* levels = nullptr);
    /// True when `text` holds one of \ / < > : * ? | # " (meant for a
    /// single component).
    static bool containsInvalidChars(const zv::string& text);
    /// `text` through the ANSI code page, every invalid character replaced
    /// by `replacement` (a blank if that is itself invalid), blanks trimmed.
    static zv::string replaceInvalidChars(const zv::string& text, wchar_t replacement);
};

} // namespace zv
