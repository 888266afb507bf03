// zvLocMessage.h - the text of one localized message while its parameters are
// inserted.
//
//     zv::locMessage msg(L"E:File [File] not found!");
//     msg.insertParameter(L"a.txt", L"File");     // "File a.txt not found!"
//     msg.msgState();                             // zv::locMessage::msError
//
// A placeholder is "[Name]" or "[Name:%conversion]"; "\[" is no placeholder.
// Unnamed insertions fill "$1", "$2", ... in turn. Without a placeholder the
// first printf conversion of the text takes the value. Message texts come
// from files that people edit, so every conversion is formatted by the
// library's own engine with the value's real type, never handed to a C
// formatting function as it stands.
//
// `insertParameters` inserts several values in one pass over the text as it
// stands, so every value appears exactly as given, even one that holds
// another parameter's placeholder:
//
//     zv::locMessage copy(L"Copy [Src] to [Dst]");
//     copy.insertParameters({{L"a[Dst].txt", L"Src"}, {L"b.txt", L"Dst"}});
//     // "Copy a[Dst].txt to b.txt"
//
// There the named and positional places are found first, in list order;
// the values without one then take the printf conversions left outside
// those places, from the start of the text on.
//
// How a conversion ("%" flags width .precision size character, at most 15
// characters; "%%" is none) meets a value:
//   - its kind comes from the character: c character; d i o u x X integer;
//     e E f F g G a A floating point; s text; anything else (C, S, n, p)
//     replaces the place by nothing. "h" makes an integer short, "l" long.
//   - width and precision count at most 1024 characters; a "*" is dropped.
//     Results are never cut, so a number may take more than 63 characters.
//   - a text read as a number takes blanks, a sign, digits ("." as decimal
//     point in every locale) and stops at the first other character;
//     integers saturate at the range of `long`, a double read as an integer
//     is truncated and saturated, NaN counts 0.
//   - for the character kind a number gives its low 8 bits: below 128 that
//     character, above it a byte of the ANSI code page (as narrow text is
//     read everywhere in the library).
#pragma once

#include "zvDefs.h"
#include "zvString.h"

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>

namespace zv {

/// One value for `locMessage::insertParameters`: a name (null: the next
/// positional place) and a value of a type `insertParameter` takes. Texts
/// are referred to, not copied, and must outlive the insertion; a text ends
/// at its first NUL.
struct ZV_API locParameter {
    /// The kind of value held.
    enum eType { tText, tBool, tWchar, tShort, tInt, tLong, tDouble };

    /// A value of the given type for placeholder `name`.
    ///@{
    locParameter(const wchar_t* value, const wchar_t* name) : name(name), text(value ? value : L"") {}
    locParameter(const std::wstring& value, const wchar_t* name) : name(name), text(value.c_str()) {}
    locParameter(wchar_t value, const wchar_t* name) : name(name), type(tWchar), integer(value) {}
    locParameter(bool value, const wchar_t* name) : name(name), type(tBool), integer(value ? 1 : 0) {}
    locParameter(short value, const wchar_t* name) : name(name), type(tShort), integer(value) {}
    locParameter(int value, const wchar_t* name) : name(name), type(tInt), integer(value) {}
    locParameter(long value, const wchar_t* name) : name(name), type(tLong), integer(value) {}
    locParameter(double value, const wchar_t* name) : name(name), type(tDouble), number(value) {}
    ///@}
    /// Narrow text would otherwise be taken as a bool.
    locParameter(const char* value, const wchar_t* name) = delete;

    /// The placeholder's name; null for the next positional one.
    const wchar_t* name = nullptr;
    /// The kind of value.
    eType type = tText;
    /// The text value.
    const wchar_t* text = L"";
    /// The integer, character or bool value.
    long long integer = 0;
    /// The floating-point value.
    double number = 0.0;
};

/// A message text with placeholders for named and positional parameters, and its state mark.
class ZV_API locMessage : public zv::string {
public:
    /// The state recorded from the text's mark.
    enum eMsgState : int { msNone = 0, msInformation = 1, msWarning = 2, msError = 3 };

    locMessage() = default;
    /// Sets the text as `setMessage` does; null gives the empty text.
    locMessage(const wchar_t* text);
    /// A copy.
    locMessage(const locMessage&) = default;
    /// Assignment.
    locMessage& operator=(const locMessage&) = default;

    /// Resets the counter, strips and records an "E:", "W:" or "I:" mark (any
    /// other "x:" is stripped without a state), then leading blanks.
    void setMessage(const wchar_t* text);
    /// The state recorded by `setMessage`.
    eMsgState msgState() const { return m_state; }

    /// Each inserts the value at the placeholder `name` (null: the next
    /// positional one); true when a place was found and replaced.
    bool insertParameter(const wchar_t* value, const wchar_t* name);
    /// The same for a value of another type.
    ///@{
    bool insertParameter(wchar_t value, const wchar_t* name);
    bool insertParameter(bool value, const wchar_t* name);
    bool insertParameter(short value, const wchar_t* name);
    bool insertParameter(int value, const wchar_t* name);
    bool insertParameter(long value, const wchar_t* name);
    bool insertParameter(double value, const wchar_t* name);
    bool insertParameter(const locMessage& value, const wchar_t* name);
    ///@}

    /// Inserts every value in one pass over the text as it stands (see the
    /// top of this file); a value is never searched for placeholders. Answers
    /// how many values found a place.
    std::size_t insertParameters(std::span<const locParameter> parameters);
    /// The same over an initializer list.
    std::size_t insertParameters(std::initializer_list<locParameter> parameters) {
        return insertParameters(std::span<const locParameter>(parameters.begin(), parameters.size()));
    }

    /// Appends a line feed; true.
    bool appendEndline();
    /// Puts a line feed in front; true.
    bool prependEndline();

    /// The text as a C string.
    operator const wchar_t*() const { return c_str(); }

private:
    int m_counter = 0;
    eMsgState m_state = msNone;
};

} // namespace zv
