// zvZLibDetail.h - what the tests see of the zlib loader.
#pragma once

#include "zvZLib.h"

namespace zv {

class file;

namespace detail {

/// The module's file name on this platform ("zvzlib1.dll" or "libzvzlib1.so").
ZV_API const wchar_t* zlibModuleName();
/// Tests only: look for the module in `folder` instead of the library's own
/// folder (an empty name restores that). False, and nothing changed, while
/// the module is loaded.
ZV_API bool setZlibModuleFolderForTesting(const zv::string& folder);
/// Whether the module is loaded now.
ZV_API bool zlibModuleLoaded();
/// The number of guards that hold the module now.
ZV_API int zlibUseCount();
/// The full name of the loaded module file, as the system reports it; false
/// when none is loaded.
ZV_API bool zlibModuleFile(zv::file& module);

} // namespace detail

} // namespace zv
