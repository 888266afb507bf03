#include "zvTimeStamp.h"

#include "zvDtConvertDetail.h"

#include "os/zvOs.h"

#include <cstdarg>
#include <vector>

namespace zv {

namespace {

constexpr long long kMsPerDay = 86400000LL;

timestamp fromFields(const std::tm& fields, unsigned int msecond) {
    return timestamp(date::fromTm(&fields), time::fromTm(&fields, msecond));
}

std::tm localFields(long long seconds) {
    std::tm fields{};
    if (!os::localTime(seconds, fields))
        throw false;
    return fields;
}

// The date moved by `dayCount` days in either direction.
date movedDate(const date& d, long long dayCount) {
    return date::fromDayNumber(static_cast<long long>(d.dayNumber()) + dayCount);
}

} // namespace

timestamp::timestamp() = default;

timestamp::timestamp(const date& d, const time& t) : m_date(d), m_time(t) {}

timestamp& timestamp::operator=(const timestamp& other) {
    if (other.m_time == time::midnight()) {
        m_date = movedDate(other.m_date, 1);
        m_time = time::daystart();
    } else {
        m_date = other.m_date;
        m_time = other.m_time;
    }
    return *this;
}

timestamp timestamp::now() {
    long long seconds = 0;
    unsigned int ms = 0;
    os::currentTime(seconds, ms);
    return fromFields(localFields(seconds), ms);
}

timestamp timestamp::fromTm(const std::tm* fields) {
    ZV_ASSERT(fields);
    return fromFields(*fields, 0);
}

timestamp timestamp::fromTimer(long long seconds) {
    return fromFields(localFields(seconds), 0);
}

timestamp timestamp::fromTimeb(const timeb64* moment) {
    ZV_ASSERT(moment);
    return fromFields(localFields(moment->time), moment->millitm % 1000u);
}

timestamp timestamp::fromString(const string& text, const wchar_t* dateTimeSeparators,
                                const wchar_t* dateSeparators, const wchar_t* timeSeparators) {
    ZV_ASSERT(dateTimeSeparators && dateSeparators && timeSeparators);
    std::vector<string> parts;
    if (!text.splitAt(string(dateTimeSeparators), parts, false) || parts.empty() || parts.size() > 2)
        throw false;
    const date d = date::fromString(parts[0], dateSeparators);
    if (parts.size() == 1)
        return timestamp(d, time::midnight());
    time t = time::fromString(parts[1], timeSeparators);
    // The time reads 24 as 0; in a timestamp the end of the day is kept, so
    // that the text of such a timestamp reads back as itself.
    if (t == time::daystart()) {
        unsigned int hour = 0;
        std::vector<string> fields;
        if (parts[1].splitAt(string(timeSeparators), fields, false) && dtconvert(hour, fields[0]) &&
            hour == 24)
            t = time::midnight();
    }
    return timestamp(d, t);
}

string timestamp::toString() const {
    return m_date.toString() + L" " + m_time.toString();
}

void timestamp::toTm(std::tm* fields) const {
    ZV_ASSERT(fields);
    timestamp n(*this);
    if (n.m_time == time::midnight())
        n = *this;
    n.m_date.toTm(fields);
    fields->tm_hour = static_cast<int>(n.m_time.hour());
    fields->tm_min = static_cast<int>(n.m_time.minute());
    fields->tm_sec = static_cast<int>(n.m_time.second());
    fields->tm_wday = (static_cast<int>(n.m_date.dayOfWeek()) + 1) % 7; // Sunday = 0
    fields->tm_yday = static_cast<int>(n.m_date.dayOfYear()) - 1;
    fields->tm_isdst = -1;
}

bool timestamp::toTimer(long long* seconds) const {
    ZV_ASSERT(seconds);
    std::tm fields{};
    toTm(&fields);
    return os::makeLocalTime(fields, *seconds);
}

timestamp timestamp::asUTC() const {
    long long seconds = 0;
    std::tm fields{};
    if (!toTimer(&seconds) || !os::utcTime(seconds, fields))
        throw false;
    return fromFields(fields, m_time.msecond());
}

timeduration timestamp::offsetLocalToUTC(const timestamp& local) {
    return local - local.asUTC();
}

timeduration timestamp::currentOffsetLocalToUTC() {
    return offsetLocalToUTC(now());
}

timestamp& timestamp::operator+=(const date_duration& duration) {
    m_date += duration;
    return *this;
}

timestamp& timestamp::operator-=(const date_duration& duration) {
    m_date -= duration;
    return *this;
}

timestamp& timestamp::operator+=(const time_duration& duration) {
    unsigned int carry = 0;
    duration.addToTime(m_time, &carry);
    const long long dayCount =
        static_cast<int>(carry) + static_cast<long long>(duration.sign()) * duration.days();
    m_date = movedDate(m_date, dayCount);
    return *this;
}

timestamp& timestamp::operator-=(const time_duration& duration) {
    unsigned int carry = 0;
    duration.subtractFromTime(m_time, &carry);
    const long long dayCount =
        static_cast<int>(carry) + static_cast<long long>(duration.sign()) * duration.days();
    m_date = movedDate(m_date, -dayCount);
    return *this;
}

timestamp timestamp::operator+(const date_duration& duration) const {
    timestamp result(*this);
    return result += duration;
}

timestamp timestamp::operator-(const date_duration& duration) const {
    timestamp result(*this);
    return result -= duration;
}

timestamp timestamp::operator+(const time_duration& duration) const {
    timestamp result(*this);
    return result += duration;
}

timestamp timestamp::operator-(const time_duration& duration) const {
    timestamp result(*this);
    return result -= duration;
}

long long timestamp::msecondsSinceEpochDay() const {
    return static_cast<long long>(m_date.dayNumber()) * kMsPerDay + m_time.msecondOfDay();
}

timeduration timestamp::operator-(const timestamp& other) const {
    const long long d = msecondsSinceEpochDay() - other.msecondsSinceEpochDay();
    const timeduration span = timeduration::fromMseconds(d < 0 ? -d : d);
    return timeduration(span.days(), span.hours(), span.minutes(), span.seconds(), span.mseconds(), d > 0);
}

// ---- conversions -----------------------------------------------------------

bool dtconvert(string& target, const timestamp& source, int, const dtArgs&) {
    target = source.toString();
    return true;
}

ZV_DTCONVERT_VARIADIC(string, timestamp)

bool dtconvert(timestamp& target, const string& source, int, const dtArgs&) {
    for (const wchar_t* separator : {L"/", L"-"}) {
        try {
            target =
                timestamp::fromString(source, L" ", separator, L":"); // folds 24:00:00, as every assignment
            return true;
        } catch (bool) {
        }
    }
    return false;
}

ZV_DTCONVERT_VARIADIC(timestamp, string)

namespace {
// Only to text: reading timestamps goes through `dtconvert` or `fromString`.
const typeconvert::registerConversion<timestamp, string> s_timestampToText(&dtconvert);
} // namespace

} // namespace zv
