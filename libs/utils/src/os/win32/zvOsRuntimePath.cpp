// The C runtime's name of a library name: the name in the ANSI code page,
// refused when the page cannot hold it (a best-fit or '?' replacement
// would open another file, or none).
#include "../zvOs.h"

#include <windows.h>

#include <cwchar>

namespace zv::os {

bool runtimePath(const wchar_t* name, std::string& path) {
    path.clear();
    if (name == nullptr || *name == L'\0')
        return false;
    const int length = static_cast<int>(std::wcslen(name));
    // UTF-8 holds every name and takes neither flag nor default character.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    const int size =
        ::WideCharToMultiByte(CP_ACP, flags, name, length, nullptr, 0, nullptr, utf8 ? nullptr : &lossy);
    if (size <= 0 || lossy)
        return false;
    path.resize(static_cast<std::size_t>(size));
    if (::WideCharToMultiByte(CP_ACP, flags, name, length, path.data(), size, nullptr,
                              utf8 ? nullptr : &lossy) != size ||
        lossy) {
        path.clear();
        return false;
    }
    return true;
}

} // namespace zv::os
