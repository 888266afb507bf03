// zvEnvironment.h - environment variables and the names of the user and the
// computer.
//
//     zv::setEnvironmentVariable(L"STAGE", L"2");
//     zv::string value;
//     if (zv::getEnvironmentVariable(L"STAGE", value)) { ... }   // "2"
//
// On Linux the environment holds bytes; names and values are converted
// through UTF-8. Changing the environment while another thread reads it is
// not guarded.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

namespace zv {

class configSet;

/// Empties `value`, then reads the variable; true only when the value is not
/// empty (a missing variable and an empty one both give false).
ZV_API bool getEnvironmentVariable(const wchar_t* name, zv::string& value);

/// Sets the variable; an empty (or null) value removes it. False for an
/// empty name or one containing "=".
ZV_API bool setEnvironmentVariable(const wchar_t* name, const wchar_t* value);

/// The name of the user the calling thread runs for; true when not empty.
ZV_API bool getUserName(zv::string& name);

/// The computer's network name; true when not empty.
ZV_API bool getComputerName(zv::string& name);

/// Enters every variable of the process environment into `variables` as
/// name and value (replacing the value of a name already there).
ZV_API void getEnvironmentVariables(zv::configSet& variables);

} // namespace zv
