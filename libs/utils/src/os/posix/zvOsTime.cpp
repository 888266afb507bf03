#include "../zvOs.h"

#include <ctime>
#include <sys/time.h>
#include <time.h>

namespace zv::os {

void currentTime(long long& seconds, unsigned int& msecond) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    seconds = static_cast<long long>(now.tv_sec);
    msecond = static_cast<unsigned int>(now.tv_nsec / 1000000);
}

bool localTime(long long seconds, std::tm& out) {
    const time_t t = static_cast<time_t>(seconds);
    if (static_cast<long long>(t) != seconds)
        return false;
    return localtime_r(&t, &out) != nullptr;
}

bool utcTime(long long seconds, std::tm& out) {
    const time_t t = static_cast<time_t>(seconds);
    if (static_cast<long long>(t) != seconds)
        return false;
    return gmtime_r(&t, &out) != nullptr;
}

bool makeLocalTime(std::tm& fields, long long& seconds) {
    // -1 is also a valid moment (1969-12-31 23:59:59 UTC); tm_wday tells them apart.
    fields.tm_wday = -1;
    const time_t t = mktime(&fields);
    if (t == static_cast<time_t>(-1) && fields.tm_wday == -1)
        return false;
    seconds = static_cast<long long>(t);
    return true;
}

void resetTimeZone() {
    tzset();
}

long long processClockMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace zv::os
