#include "../zvOs.h"

#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <langinfo.h>
#include <locale.h>

namespace zv::os {

namespace {

// The environment's numeric locale, decoded with the environment's character
// type; uselocale only affects the calling thread, so no lock is needed.
std::wstring readUserDecimalSeparator() {
    locale_t loc = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return L".";
    std::wstring result;
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    if (radix && *radix) {
        const locale_t previous = uselocale(loc);
        std::mbstate_t state{};
        const char* src = radix;
        wchar_t wide[17] = {};
        const std::size_t n = std::mbsrtowcs(wide, &src, 16, &state);
        if (n != static_cast<std::size_t>(-1))
            result.assign(wide, n);
        uselocale(previous);
    }
    freelocale(loc);
    return result.empty() ? std::wstring(L".") : result;
}

} // namespace

std::wstring userDecimalSeparator() {
    static const std::wstring separator = readUserDecimalSeparator();
    return separator;
}

} // namespace zv::os
