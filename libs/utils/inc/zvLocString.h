// zvLocString.h - localized texts: an identifier with a default text, named
// parameters, and the process-wide manager that finds the translations.
//
//     zv::locString msg(L"Msg_EWriteFile", L"Error writing file [File]", L"errors.loc", nullptr);
//     msg.params().set(L"C:\\data\\a.txt", L"File");
//     msg.string();                 // the text in the default language, or
//                                   // "Error writing file C:\data\a.txt"
//     zv::locString parsed(L"Msg_X|Hello [Who]||Who:=World");
//     parsed.string();              // "Hello World" unless translated
//
// An identifier names a message ("Msg_EWriteFile"), carries the text shown
// when no translation is found, and optionally the names of the localization
// files to look in (else the manager's default file). `zv::locManager` finds
// those files on its search path, first as named, then in a folder named after
// the language ("de/errors.loc"), and keeps every file it loaded for the life
// of the process.
//
// Persistent forms. An identifier is written 'Id|Default|file1,file2' (empty
// for an empty id); reading splits at "|" and "," and trims blanks and tabs.
// A localized string adds its parameters as a fourth field:
// 'Id|Default|files|Name:=Value/Name2:=Value2'. Every value is written as the
// text a plain "[Name]" placeholder shows (numbers as digits, a double as
// "%lf" gives it, a bool as True or False, a nested string as its text in the
// default language) and reads back as a text parameter. The read form has no
// escapes: a name or value containing "|", "/" or ":=", or one beginning or
// ending with a blank or tab, cannot be written so that it reads back; such
// a parameter is left out and `getPersistentString` answers false. It also
// answers false for an id or default text that holds "|" (it would shift the
// fields) or begins or ends with a blank or tab, for a file name holding ","
// and for a default text or files without an id or parameters (that form is
// empty). "/" and ":=" only matter in the parameters.
#pragma once

#include "zvDefs.h"
#include "zvGenericValue.h"
#include "zvLocMessage.h"
#include "zvScString.h"
#include "zvSearchPath.h"
#include "zvString.h"
#include "zvTypeConvert.h"

#include <cstdarg>
#include <utility>
#include <vector>

namespace zv {

class locStringId;
class locString;

/// The file names of a null-ended argument list, gathered: the prepared form
/// of the variadic constructors, as `dtArgs` is for `dtconvert`.
struct locFileArgs {
    /// The file names, in order.
    std::vector<const wchar_t*> files;
};

/// Reads `const wchar_t*` arguments from `args` up to the first null one.
ZV_API locFileArgs locFileArgsFrom(va_list args);

/// An identifier: symbolic id, default text, alternative localization files.
class ZV_API iLocStringId {
public:
    /// The default text (never null).
    virtual const wchar_t* defaultString() const = 0;
    /// The symbolic id (never null).
    virtual const wchar_t* id() const = 0;
    /// An owning copy of all texts.
    virtual locStringId copy() const = 0;
    /// The persistent form 'Id|Default|files' (empty for an empty id).
    virtual void getPersistentId(zv::string& out) const = 0;

protected:
    // Not deleted through the interface: the slots are exactly the four above.
    ~iLocStringId() = default;
    iLocStringId() = default;
    /// A copy.
    iLocStringId(const iLocStringId&) = default;
    /// Assignment.
    iLocStringId& operator=(const iLocStringId&) = default;
};

/// An identifier that owns its texts.
class ZV_API locStringId final : public iLocStringId {
public:
    /// Empty id, empty default text, no files.
    locStringId();
    /// Id, default text, then alternative file names ended by a null pointer
    /// (a null `firstFile`: no files, nothing further is read).
    locStringId(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile, ...);
    /// The same with the further file names already gathered.
    locStringId(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
                const locFileArgs& moreFiles);
    /// Id, default text and alternative file names.
    locStringId(const wchar_t* id, const wchar_t* defaultText, const std::vector<const wchar_t*>& files);
    /// Parses a persistent form; a fourth field (parameters) is ignored.
    explicit locStringId(const wchar_t* persistentForm);
    /// A copy.
    locStringId(const locStringId&) = default;
    /// Takes the texts and files of `other`.
    locStringId& operator=(const locStringId&) = default;
    ~locStringId();

    /// Appends a file name (null or empty is ignored).
    void addAlternativeFile(const wchar_t* name);
    /// The alternative file names, in order.
    const std::vector<scString>& alternativeFiles() const { return m_files; }

    const wchar_t* defaultString() const override;
    const wchar_t* id() const override;
    locStringId copy() const override;
    void getPersistentId(zv::string& out) const override;

private:
    std::vector<scString> m_files;
    zv::string m_id;
    zv::string m_default;
};

/// An identifier over texts of static lifetime (string literals), for
/// identifiers declared at file scope. Nothing is copied.
class ZV_API localLocStringId final : public iLocStringId {
public:
    /// Id, default text, then alternative file names ended by a null pointer; the texts must outlive the
    /// object.
    localLocStringId(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile, ...);
    /// The same with the further file names already gathered.
    localLocStringId(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
                     const locFileArgs& moreFiles);
    ~localLocStringId();

    /// Stores the pointer (null is ignored); the text must outlive this object.
    void addAlternativeFile(const wchar_t* name);

    const wchar_t* defaultString() const override;
    const wchar_t* id() const override;
    locStringId copy() const override;
    void getPersistentId(zv::string& out) const override;

private:
    std::vector<const wchar_t*> m_files;
    const wchar_t* m_id;
    const wchar_t* m_default;
};

class locMessage;
class iLocString;

/// The named parameters of a localized string, in the order first set.
/// Setting a name again replaces its value in place.
class ZV_API locStringParams {
public:
    /// A parameter: its name and value.
    using entry = std::pair<zv::string, genericValue>;

    /// Sets parameter `name` to `value`.
    ///@{
    void set(const zv::string& value, const wchar_t* name);
    void set(const wchar_t* value, const wchar_t* name);
    void set(wchar_t value, const wchar_t* name);
    void set(bool value, const wchar_t* name);
    void set(short value, const wchar_t* name);
    void set(int value, const wchar_t* name);
    void set(long value, const wchar_t* name);
    void set(double value, const wchar_t* name);
    ///@}
    /// A nested localized string; a copy is stored (null is ignored).
    void set(const iLocString* value, const wchar_t* name);
    /// Narrow text would otherwise be taken as a bool.
    void set(const char* value, const wchar_t* name) = delete;

    /// Inserts every parameter, in list order, into `message` in one pass
    /// (`locMessage::insertParameters`), so each value appears exactly as
    /// given; nested strings are produced in `language` with `path`. A
    /// parameter set with a null or empty name fills the next positional
    /// place ("$1", "$2", ...).
    void insertInto(locMessage& message, const wchar_t* language, const searchPath& path) const;

    /// The number of parameters.
    std::size_t size() const { return m_entries.size(); }
    /// True without parameters.
    bool empty() const { return m_entries.empty(); }
    /// The parameters in the order first set.
    const std::vector<entry>& entries() const { return m_entries; }
    /// The value of `name`, or null.
    const genericValue* find(const wchar_t* name) const;
    /// Removes every parameter.
    void clear() { m_entries.clear(); }

private:
    void setValue(const wchar_t* name, genericValue&& value);

    std::vector<entry> m_entries;
};

/// A localized string: produces its text in a language with its parameters.
class ZV_API iLocString {
public:
    /// The identifier.
    virtual const iLocStringId& stringId() const = 0;
    /// The text in `language` (null: the default language) with the
    /// parameters inserted; valid until the next call on this object.
    virtual const wchar_t* string(const wchar_t* language, const searchPath& path) const = 0;
    /// An owning copy with identifier and parameters.
    virtual locString copy() const = 0;

    /// `string(language, path)` with the manager's default search path as it
    /// is at the call.
    const wchar_t* string(const wchar_t* language = nullptr) const;

protected:
    ~iLocString() = default;
    iLocString() = default;
    /// A copy.
    iLocString(const iLocString&) = default;
    /// Assignment.
    iLocString& operator=(const iLocString&) = default;
};

/// A localized string owning its identifier and parameters.
class ZV_API locString final : public iLocString {
public:
    /// Empty id, no parameters.
    locString();
    /// Id, default text and a null-ended file list, as for `locStringId`.
    locString(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile, ...);
    /// The same with the further file names already gathered.
    locString(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
              const locFileArgs& moreFiles);
    /// The identifier's `copy()`, no parameters.
    explicit locString(const iLocStringId& id);
    /// Parses a persistent form with optional parameters.
    explicit locString(const wchar_t* persistentForm);
    /// A copy with identifier and parameters.
    locString(const locString& other);
    /// Takes identifier and parameters of `other`.
    locString& operator=(const locString& other);
    ~locString();

    /// The identifier.
    const iLocStringId& stringId() const override { return m_id; }
    using iLocString::string;
    const wchar_t* string(const wchar_t* language, const searchPath& path) const override;
    /// True when the manager finds a translation of the id.
    virtual bool stringIdExists(const wchar_t* language, const searchPath& path) const;
    /// An owning copy with identifier and parameters.
    locString copy() const override;

    /// The parameters, to set.
    locStringParams& params() { return m_params; }
    /// The parameters.
    const locStringParams& params() const { return m_params; }

    /// The persistent form with the parameters (see the top of this file);
    /// false when a parameter had to be left out.
    bool getPersistentString(zv::string& out) const;

private:
    locStringId m_id;
    locStringParams m_params;
    mutable locMessage m_message;
};

/// A localized string over a `localLocStringId`; `copy()` gives an owning one.
class ZV_API localLocString final : public iLocString {
public:
    /// Id, default text and a null-ended file list, as for `localLocStringId`.
    localLocString(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile, ...);
    /// The same with the further file names already gathered.
    localLocString(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
                   const locFileArgs& moreFiles);
    ~localLocString();

    /// The identifier.
    const iLocStringId& stringId() const override { return m_id; }
    using iLocString::string;
    const wchar_t* string(const wchar_t* language, const searchPath& path) const override;
    /// An owning copy with identifier and parameters.
    locString copy() const override;

    /// The parameters, to set.
    locStringParams& params() { return m_params; }
    /// The parameters.
    const locStringParams& params() const { return m_params; }

private:
    localLocStringId m_id;
    locStringParams m_params;
    mutable locMessage m_message;
};

/// The process-wide localization manager: the cache of loaded localization
/// files, the default language, file and search path, and the overlay id.
/// Every operation takes the manager's lock; files once loaded stay cached,
/// so later setting changes only affect files not yet loaded.
class ZV_API locManager {
public:
    /// Created on first use. The default search path holds the folder of this
    /// library's module and "../config/Language" relative to it.
    static locManager& instance();

    /// Sets the language used when none is given.
    void setDefaultLanguage(const wchar_t* language);
    /// Sets the localization file looked in by default.
    void setDefaultLocFile(const wchar_t* name);
    /// Overlays are files named overlay id + "_" + the file's name (with its
    /// extension) beside each localization file loaded from now on.
    void setOverlayId(const wchar_t* id);
    /// Replaces the default search path.
    void setDefaultSearchPath(const searchPath& path);

    /// The search path itself; do not hold it across `setDefaultSearchPath`
    /// of another thread.
    const searchPath& defaultSearchPath() const;
    /// A copy of the default search path, taken under the lock.
    searchPath currentSearchPath() const;
    /// The default language.
    zv::string defaultLanguage() const;
    /// The default localization file.
    zv::string defaultLocFile() const;
    /// The overlay id.
    zv::string overlayId() const;

    /// Looks `id` up in `language` (null: the default language) on the
    /// default search path; on success the message holds the translation.
    bool loadMessage(const iLocStringId& id, locMessage& message, const wchar_t* language);
    /// The same on `path`.
    bool loadMessage(const iLocStringId& id, locMessage& message, const wchar_t* language,
                     const searchPath& path);

    /// The localization file that a look-up of `id` in `language` on `path`
    /// would read; false when none exists.
    bool findLocFile(const iLocStringId& id, const wchar_t* language, const searchPath& path,
                     zv::file& found) const;

    ~locManager();
    locManager(const locManager&) = delete;
    locManager& operator=(const locManager&) = delete;

    struct state;

private:
    locManager();
    friend struct locManagerHolder;

    state* m_state;
};

/// Text conversions: a localized string to its text in the default language,
/// a persistent form (with parameters) to a localized string.
ZV_API bool dtconvert(zv::string& target, const locString& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(locString& target, const zv::string& source, int flags, const dtArgs& args);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::locString, "zv::locString")
