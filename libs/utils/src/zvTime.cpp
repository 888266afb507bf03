#include "zvTime.h"

#include "zvDtConvertDetail.h"

#include "os/zvOs.h"

#include <cmath>
#include <cstdarg>
#include <limits>
#include <vector>

namespace zv {

namespace {

constexpr unsigned long long kMsPerDay = 86400000ULL;
// The largest span a timeduration holds: 2^32 - 1 days and the rest of a day.
constexpr unsigned long long kMaxSpan = 0xFFFFFFFFULL * kMsPerDay + (kMsPerDay - 1);

std::tm localFields(long long seconds) {
    std::tm fields{};
    if (!os::localTime(seconds, fields))
        throw false;
    return fields;
}

time fromFields(const std::tm& fields, unsigned int msecond) {
    auto field = [](int v) { return v < 0 ? 0u : static_cast<unsigned int>(v); };
    return time(field(fields.tm_hour), field(fields.tm_min), field(fields.tm_sec), msecond);
}

// Moves `t` by `delta` milliseconds; see the header for the carry rules.
void moveTime(time& t, unsigned long long delta, bool forward, unsigned int* dayCarry) {
    const unsigned long long start = t.msecondOfDay();
    unsigned long long result = 0;
    if (forward) {
        const unsigned long long r = start + delta;
        if (dayCarry) {
            *dayCarry += static_cast<unsigned int>(r / kMsPerDay);
            result = r % kMsPerDay;
        } else {
            result = r % kMsPerDay;
            if (result == 0 && r != 0)
                result = kMsPerDay; // lands on the end of a day
        }
    } else if (delta <= start) {
        result = start - delta;
    } else {
        const unsigned long long back = delta - start; // past the start of the day
        const unsigned long long crossed = (back + kMsPerDay - 1) / kMsPerDay;
        if (dayCarry)
            *dayCarry += static_cast<unsigned int>(crossed);
        result = crossed * kMsPerDay - back;
    }
    t = time::fromMsecondOfDay(static_cast<unsigned int>(result));
}

} // namespace

// ---- time ----------------------------------------------------------------

time::time(unsigned int hour, unsigned int minute, unsigned int second, unsigned int msecond) {
    if (hour == 24 && minute == 0 && second == 0 && msecond == 0) {
        m_value = 86400u << 10;
        return;
    }
    unsigned long long s = static_cast<unsigned long long>(second) + msecond / 1000;
    unsigned long long m = static_cast<unsigned long long>(minute) + s / 60;
    const unsigned long long h = (static_cast<unsigned long long>(hour) + m / 60) % 24;
    s %= 60;
    m %= 60;
    m_value = static_cast<unsigned int>((h * 3600 + m * 60 + s) << 10) | (msecond % 1000);
}

time time::fromMsecondOfDay(unsigned int msecondOfDay) {
    ZV_ASSERT(msecondOfDay <= kMsPerDay);
    time t;
    t.m_value = ((msecondOfDay / 1000) << 10) | (msecondOfDay % 1000);
    return t;
}

time time::now() {
    long long seconds = 0;
    unsigned int ms = 0;
    os::currentTime(seconds, ms);
    return fromFields(localFields(seconds), ms);
}

time time::fromTm(const std::tm* fields, unsigned int msecond) {
    ZV_ASSERT(fields);
    return fromFields(*fields, msecond);
}

time time::fromTimer(long long seconds) {
    return fromFields(localFields(seconds), 0);
}

time time::fromTimeb(const timeb64* moment) {
    ZV_ASSERT(moment);
    return fromFields(localFields(moment->time), moment->millitm % 1000u);
}

time time::fromString(const string& text, const wchar_t* separators) {
    ZV_ASSERT(separators);
    std::vector<string> parts;
    if (!text.splitAt(string(separators), parts, false) || parts.empty() || parts.size() > 4)
        throw false;
    static const unsigned int kLimit[4] = {24, 59, 59, 999};
    unsigned int value[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!dtconvert(value[i], parts[i]) || value[i] > kLimit[i])
            throw false;
    }
    return time(value[0] == 24 ? 0 : value[0], value[1], value[2], value[3]);
}

string time::toString() const {
    return string::sformat(L"%02d:%02d:%02d:%02d", static_cast<int>(hour()), static_cast<int>(minute()),
                           static_cast<int>(second()), static_cast<int>(msecond()));
}

time& time::operator+=(const time_duration& duration) {
    duration.addToTime(*this, nullptr);
    return *this;
}

time& time::operator-=(const time_duration& duration) {
    duration.subtractFromTime(*this, nullptr);
    return *this;
}

time time::operator+(const time_duration& duration) const {
    time result(*this);
    return result += duration;
}

time time::operator-(const time_duration& duration) const {
    time result(*this);
    return result -= duration;
}

timeduration time::operator-(const time& other) const {
    // The whole span, day included: 00:00:00 - 24:00:00 is minus one day.
    // Equal times give a zero span with sign -1.
    const long long d = static_cast<long long>(msecondOfDay()) - other.msecondOfDay();
    return d != 0 ? timeduration::fromMseconds(d) : timeduration(0, 0, 0, 0, 0, false);
}

// ---- durations -----------------------------------------------------------

time_duration::~time_duration() = default;
int time_duration::sign() const {
    return 1;
}
unsigned int time_duration::days() const {
    return 0;
}
unsigned int time_duration::hours() const {
    return 0;
}
unsigned int time_duration::minutes() const {
    return 0;
}
unsigned int time_duration::seconds() const {
    return 0;
}
unsigned int time_duration::mseconds() const {
    return 0;
}

#define ZV_TIME_UNIT_MOVES(name, msPerUnit)                                                                  \
    void name::addToTime(time& t, unsigned int* dayCarry) const {                                            \
        moveTime(t, m_count*(msPerUnit), true, dayCarry);                                                    \
    }                                                                                                        \
    void name::subtractFromTime(time& t, unsigned int* dayCarry) const {                                     \
        moveTime(t, m_count*(msPerUnit), false, dayCarry);                                                   \
    }
ZV_TIME_UNIT_MOVES(hours, 3600000ULL)
ZV_TIME_UNIT_MOVES(minutes, 60000ULL)
ZV_TIME_UNIT_MOVES(seconds, 1000ULL)
ZV_TIME_UNIT_MOVES(mseconds, 1ULL)
#undef ZV_TIME_UNIT_MOVES

timeduration::timeduration()
    : m_days(0), m_hours(0), m_minutes(0), m_seconds(0), m_mseconds(0), m_positive(true) {}

timeduration::timeduration(unsigned int days, unsigned int hours, unsigned int minutes, unsigned int seconds,
                           unsigned int mseconds, bool positive) {
    const unsigned long long total = static_cast<unsigned long long>(days) * kMsPerDay + hours * 3600000ULL +
                                     minutes * 60000ULL + seconds * 1000ULL + mseconds;
    assign(total, positive);
}

timeduration timeduration::fromMseconds(long long milliseconds) {
    timeduration result;
    const unsigned long long magnitude = milliseconds < 0
                                             ? 0ULL - static_cast<unsigned long long>(milliseconds)
                                             : static_cast<unsigned long long>(milliseconds);
    result.assign(magnitude, milliseconds >= 0);
    return result;
}

void timeduration::assign(unsigned long long milliseconds, bool positive) {
    if (milliseconds > kMaxSpan)
        milliseconds = kMaxSpan;
    m_mseconds = static_cast<unsigned int>(milliseconds % 1000);
    milliseconds /= 1000;
    m_seconds = static_cast<unsigned int>(milliseconds % 60);
    milliseconds /= 60;
    m_minutes = static_cast<unsigned int>(milliseconds % 60);
    milliseconds /= 60;
    m_hours = static_cast<unsigned int>(milliseconds % 24);
    m_days = static_cast<unsigned int>(milliseconds / 24);
    m_positive = positive;
}

unsigned long long timeduration::nallhours() const {
    return static_cast<unsigned long long>(m_days) * 24 + m_hours;
}

unsigned long long timeduration::nallminutes() const {
    return nallhours() * 60 + m_minutes;
}

unsigned long long timeduration::nallseconds() const {
    return nallminutes() * 60 + m_seconds;
}

unsigned long long timeduration::nallmseconds() const {
    return nallseconds() * 1000 + m_mseconds;
}

long long timeduration::signedMseconds() const {
    const long long magnitude = static_cast<long long>(nallmseconds());
    return m_positive ? magnitude : -magnitude;
}

timeduration& timeduration::operator+=(const timeduration& other) {
    *this = fromMseconds(signedMseconds() + other.signedMseconds());
    return *this;
}

timeduration& timeduration::operator-=(const timeduration& other) {
    *this = fromMseconds(signedMseconds() - other.signedMseconds());
    return *this;
}

timeduration& timeduration::operator*=(double factor) {
    ZV_ASSERT(std::isfinite(factor));
    const double product = static_cast<double>(signedMseconds()) * factor;
    const double limit = static_cast<double>(kMaxSpan);
    if (product >= limit)
        assign(kMaxSpan, true);
    else if (product <= -limit)
        assign(kMaxSpan, false);
    else
        *this = fromMseconds(static_cast<long long>(product)); // truncates toward zero
    return *this;
}

timeduration timeduration::operator*(double factor) const {
    timeduration result(*this);
    return result *= factor;
}

timeduration timeduration::operator+(const timeduration& other) const {
    timeduration result(*this);
    return result += other;
}

timeduration timeduration::operator-(const timeduration& other) const {
    timeduration result(*this);
    return result -= other;
}

void timeduration::addToTime(time& t, unsigned int* dayCarry) const {
    const unsigned long long span =
        m_hours * 3600000ULL + m_minutes * 60000ULL + m_seconds * 1000ULL + m_mseconds;
    if (m_positive) {
        moveTime(t, span, true, dayCarry);
        return;
    }
    unsigned int crossed = 0;
    moveTime(t, span, false, dayCarry ? &crossed : nullptr);
    if (dayCarry)
        *dayCarry -= crossed;
}

void timeduration::subtractFromTime(time& t, unsigned int* dayCarry) const {
    const unsigned long long span =
        m_hours * 3600000ULL + m_minutes * 60000ULL + m_seconds * 1000ULL + m_mseconds;
    if (m_positive) {
        moveTime(t, span, false, dayCarry);
        return;
    }
    unsigned int crossed = 0;
    moveTime(t, span, true, dayCarry ? &crossed : nullptr);
    if (dayCarry)
        *dayCarry -= crossed;
}

// ---- conversions -----------------------------------------------------------

bool dtconvert(string& target, const time& source, int, const dtArgs&) {
    target = source.toString();
    return true;
}

ZV_DTCONVERT_VARIADIC(string, time)

bool dtconvert(time& target, const string& source, int, const dtArgs&) {
    try {
        target = time::fromString(source, L":");
        return true;
    } catch (bool) {
        return false;
    }
}

ZV_DTCONVERT_VARIADIC(time, string)

namespace {
const typeconvert::registerConversion<time, string> s_timeToText(&dtconvert);
const typeconvert::registerConversion<string, time> s_textToTime(&dtconvert);
} // namespace

} // namespace zv
