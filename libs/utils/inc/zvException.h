// zvException.h - the library's exceptions and the product family's exit codes.
//
// An exception carries a localized message (zvLocString.h) rather than a
// finished text, and the messages of the exceptions that caused it, nearest
// cause first, so the catcher shows the whole story in the user's language:
//
//     try {
//         try {
//             throw zv::fileNotFoundException(zv::file(L"C:\\data\\a.txt"));
//         } catch (const zv::exception& e) {
//             throw zv::readFileException(zv::file(L"C:\\data\\a.txt"), &e);
//         }
//     } catch (const zv::exception& e) {
//         e.text();        // "Error reading file C:\data\a.txt"
//         e.fullText();    // ... + "\nFile C:\data\a.txt not found!"
//         e.causes();      // the not-found message
//     }
//
// Exceptions are thrown by value and caught by reference to `zv::exception`
// or a more specific class. They do not derive from `std::exception`: their
// text depends on a language and a search path, which `what()` cannot take.
#pragma once

#include "zvDefs.h"
#include "zvLocString.h"
#include "zvString.h"

#include <vector>

namespace zv {

class file;

/// The root of the library's exceptions: a message and its causes.
class ZV_API exception {
public:
    /// Copies `message`; with `inner`, the causes are the inner exception's
    /// message followed by its own causes.
    explicit exception(const locString& message, const exception* inner = nullptr);
    /// A copy with the same message and causes.
    exception(const exception&) = default;
    /// Takes the message and causes of `other`.
    exception& operator=(const exception&) = default;
    virtual ~exception();

    /// The exception's own message.
    const locString& message() const { return m_message; }
    /// The causes' messages, from the nearest to the deepest.
    const std::vector<locString>& causes() const { return m_causes; }

    /// The message in `language` (null: the default language) on the
    /// manager's default search path.
    zv::string text(const wchar_t* language = nullptr) const;
    /// The message and then every cause, one per line.
    zv::string fullText(const wchar_t* language = nullptr) const;

protected:
    /// For derived constructors that set the message's parameters.
    locStringParams& params() { return m_message.params(); }

private:
    locString m_message;
    std::vector<locString> m_causes;
};

/// The base of the exceptions about a file; the message's parameter "File"
/// is the file's full name.
class ZV_API fileException : public exception {
public:
    /// A file exception with `message`, caused by `inner` when given.
    explicit fileException(const locString& message, const exception* inner = nullptr);
};

/// Writing a file failed.
class ZV_API writeFileException : public fileException {
public:
    /// Writing `f` failed, caused by `inner` when given.
    explicit writeFileException(const file& f, const exception* inner = nullptr);
};

/// Reading a file failed.
class ZV_API readFileException : public fileException {
public:
    /// Reading `f` failed, caused by `inner` when given.
    explicit readFileException(const file& f, const exception* inner = nullptr);
};

/// A file is write-protected.
class ZV_API fileWriteProtectedException : public fileException {
public:
    /// `f` is write-protected.
    explicit fileWriteProtectedException(const file& f, const exception* inner = nullptr);
};

/// A file does not exist.
class ZV_API fileNotFoundException : public fileException {
public:
    /// `f` does not exist.
    explicit fileNotFoundException(const file& f);
};

/// A file is not in the expected format.
class ZV_API invalidFileFormatException : public fileException {
public:
    /// `f` is not in the expected format.
    explicit invalidFileFormatException(const file& f);
};

/// A file is not well-formed XML.
class ZV_API invalidXmlException : public fileException {
public:
    /// `f` is not well-formed XML.
    explicit invalidXmlException(const file& f);
};

/// A module could not be loaded.
class ZV_API moduleLoadException : public fileException {
public:
    /// Module `f` could not be loaded, caused by `inner` when given.
    explicit moduleLoadException(const file& f, const exception* inner = nullptr);
};

/// Spelt with "Zery", like its message id "Msg_EDivByZery".
class ZV_API divisionByZeryException : public exception {
public:
    divisionByZeryException();
};

/// Memory ran out.
class ZV_API outOfMemoryException : public exception {
public:
    outOfMemoryException();
};

/// An internal error described by a printf-style text (the library's wide
/// conventions, zvFormat.h), kept as the parameter "Details" and cut after
/// 511 characters (never inside a surrogate pair).
class ZV_API unexpectedErrorException : public exception {
public:
    /// Formats `format` with the arguments into "Details".
    explicit unexpectedErrorException(const wchar_t* format, ...);
    /// The same, caused by `inner`.
    unexpectedErrorException(const exception* inner, const wchar_t* format, ...);

    /// The longest "Details" text kept.
    static constexpr unsigned maxDetails = 511;

private:
    void setDetails(const wchar_t* format, va_list args);
};

/// An attribute missing from an object database record; translated in "zvDb.loc".
class ZV_API attributeNotFoundException : public exception {
public:
    /// Attribute `attribute` (its `nth` occurrence) is missing.
    attributeNotFoundException(const wchar_t* attribute, long nth, const exception* inner = nullptr);
};

/// An attribute whose value does not convert to the wanted type; translated
/// in "zvDb.loc".
class ZV_API invalidAttributeType : public exception {
public:
    /// Attribute `attribute` (its `nth` occurrence) has `value`, which is no `type`.
    invalidAttributeType(const wchar_t* attribute, long nth, const zv::string& value, const zv::string& type,
                         const exception* inner = nullptr);
};

/// Thrown where a reference was asked for and there is none to return.
struct ZV_API returnNullRefException {};

/// The exit codes of the product family's applications, and the process-wide
/// last error code. The values 2 and 10 are taken and not to be reused.
class ZV_API exitCode {
public:
    /// 0: success.
    static int EC_OK() { return 0; }
    /// 1: a software error.
    static int EC_SOFTWARE() { return 1; }
    /// 3: process context.
    static int EC_PCONTEXT() { return 3; }
    /// 4: version.
    static int EC_VERSION() { return 4; }
    /// 5: configuration folder.
    static int EC_CONFIGDIR() { return 5; }
    /// 6: global settings.
    static int EC_GSETTINGS() { return 6; }
    /// 7: command line.
    static int EC_CMDLINE() { return 7; }
    /// 8: module.
    static int EC_MODULE() { return 8; }
    /// 9: instance running.
    static int EC_INSTRUN() { return 9; }

    /// The last error code set in this process (initially 0); any thread may
    /// read and set it.
    static int lastErrorCode();
    /// Sets the process-wide last error code.
    static void setLastErrorCode(int code);
};

} // namespace zv
