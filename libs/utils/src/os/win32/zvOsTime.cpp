#include "../zvOs.h"

#include <windows.h>

#include <ctime>

namespace zv::os {

void currentTime(long long& seconds, unsigned int& msecond) {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    // 100-ns intervals since 1601-01-01 to milliseconds since 1970-01-01.
    const unsigned long long ms = v.QuadPart / 10000ULL - 11644473600000ULL;
    seconds = static_cast<long long>(ms / 1000);
    msecond = static_cast<unsigned int>(ms % 1000);
}

bool localTime(long long seconds, std::tm& out) {
    const __time64_t t = static_cast<__time64_t>(seconds);
    return _localtime64_s(&out, &t) == 0;
}

bool utcTime(long long seconds, std::tm& out) {
    const __time64_t t = static_cast<__time64_t>(seconds);
    return _gmtime64_s(&out, &t) == 0;
}

bool makeLocalTime(std::tm& fields, long long& seconds) {
    fields.tm_wday = -1;
    const __time64_t t = _mktime64(&fields);
    if (t == static_cast<__time64_t>(-1) && fields.tm_wday == -1)
        return false;
    seconds = static_cast<long long>(t);
    return true;
}

void resetTimeZone() {
    _tzset();
}

long long processClockMs() {
    // The runtime's clock() is wall-clock time since the process started.
    return static_cast<long long>(clock()) * 1000 / CLOCKS_PER_SEC;
}

} // namespace zv::os
