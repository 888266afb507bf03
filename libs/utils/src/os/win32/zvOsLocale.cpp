#include "../zvOs.h"

#include <windows.h>

namespace zv::os {

std::wstring userDecimalSeparator() {
    wchar_t buffer[17] = {};
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 16);
    if (n <= 1) // the count includes the terminating NUL
        return L".";
    return std::wstring(buffer, static_cast<std::size_t>(n - 1));
}

} // namespace zv::os
