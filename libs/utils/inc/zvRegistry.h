// zvRegistry.h - registry values read and written through path texts.
//
//     zv::regSetValue(L"HKEY_CURRENT_USER\\Software\\Shop\\Cell\\Speed", 1500ul);
//     zv::string speed = zv::regGetValue(L"HKEY_CURRENT_USER\\Software\\Shop\\Cell\\Speed"); // "1500"
//     zv::string dflt = zv::regGetValue(L"HKEY_CURRENT_USER\\Software\\Shop\\Cell\\@");       // default
//     value
//
// A path is a root, the keys below it and, for a value, the value's name, all
// separated by backslashes; "@" names a key's default value. The root is one
// of "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
// "HKEY_USERS" and "HKEY_CURRENT_CONFIG", spelled exactly so; any other root,
// or an empty key or value name, makes the path invalid. Names of keys and
// values ignore case. Values are texts or 32-bit numbers; numbers read as
// decimal text. Writing creates missing keys; reading and removing never do.
// Nothing throws: failures answer false or an empty text.
//
// On Linux the registry is a SQLite store of the user, shared safely by
// several processes: $ZV_REGISTRY_DIR/registry.db, else
// $XDG_CONFIG_HOME/zvutils/registry.db, else ~/.config/zvutils/registry.db.
// All five roots live in it; names ignore the case of A-Z only.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

#include <cstddef>
#include <vector>

namespace zv {

/// The longest value, in characters, that is read or written.
inline constexpr std::size_t regMaxValueLength = 1048576;

/// The value's text (a number as decimal digits); empty for an invalid
/// path, a missing value, a value of another type or one longer than
/// `regMaxValueLength`.
ZV_API zv::string regGetValue(const wchar_t* path);
/// Writes a text value (null is the empty text); false when the path is
/// invalid, the text too long or the write fails.
ZV_API bool regSetValue(const wchar_t* path, const wchar_t* value);
/// Writes a 32-bit number value; false also for a number that needs more bits.
ZV_API bool regSetValue(const wchar_t* path, unsigned long value);
/// Removes a value; false when the path is invalid or there was no value.
ZV_API bool regRemoveValue(const wchar_t* path);
/// The names of the sub-keys of the key `path` (a trailing backslash is
/// allowed), sorted ignoring case; false when the key does not exist.
ZV_API bool regGetKeys(const wchar_t* path, std::vector<zv::string>& keys);
/// The names of the values of the key `path`, sorted ignoring case, the
/// default value as "@"; false when the key does not exist.
ZV_API bool regGetValues(const wchar_t* path, std::vector<zv::string>& values);

} // namespace zv
