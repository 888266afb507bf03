// zvXmlDbDetail.h - helpers shared by the object database's writer, reader and
// generic set adaptors.
#pragma once

#include "zvString.h"

namespace zv::detail {

/// True when `name` can stand as an element name that the XML parser reads
/// back: not empty, no blank, none of < > & " ' / = ! ? and no leading digit,
/// "-" or ".".
bool isValidDbElementName(const wchar_t* name);

/// The stored text of a double: the fixed form with at most 8 decimals when
/// that reads back to the same value, else the shortest text that does.
zv::string dbDoubleText(double value);

} // namespace zv::detail
