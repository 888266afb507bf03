// zvOsRegistry.h - the part of the OS layer behind the registry functions.
//
// A key is named by its root ("HKEY_CURRENT_USER", ...) and the names of the
// keys below it; a value by its key and its name, the empty name being the
// key's default value. Names ignore case. Only text and 32-bit numbers are
// written; numbers are read back as decimal text.
//
// On Windows this is the system registry. On Linux it is a SQLite store of
// the user ($ZV_REGISTRY_DIR/registry.db, else
// $XDG_CONFIG_HOME/zvutils/registry.db, else ~/.config/zvutils/registry.db)
// in WAL mode, safe for several processes at once; every root lives in it,
// and only A-Z and a-z are taken as the same letter.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zv::os {

/// Reads a value as text (numbers as decimal digits); false when the key or
/// value is missing, of another type, or longer than `maxLength` characters.
bool regRead(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
             std::wstring& text, std::size_t maxLength);
/// Writes a text value, creating missing keys.
bool regWriteText(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
                  const std::wstring& text);
/// Writes a 32-bit number value, creating missing keys.
bool regWriteNumber(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
                    unsigned int number);
/// Removes a value; never creates a key. False when there was none.
bool regRemove(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name);
/// The names of the sub-keys (`values` false) or of the values (true; the
/// default value has the empty name) of a key, in no particular order.
/// False when the key does not exist.
bool regList(const std::wstring& root, const std::vector<std::wstring>& keys, bool values,
             std::vector<std::wstring>& names);

} // namespace zv::os
