// zvTimeStamp.h - a date with a time of day, in local time.
//
//     zv::timestamp t(zv::date(2024, 2, 28), zv::time(23, 0));
//     t += zv::timeduration(1, 2, 0, 0, 0);        // 2024/03/01 01:00:00:00
//     zv::timeduration age = zv::timestamp::now() - t;
//     long long seconds = 0;
//     if (t.toTimer(&seconds)) { ... }             // seconds since 1970
//     zv::string text = t.toString();              // "2024/03/01 01:00:00:00"
//
// A time of 24:00:00 is the end of its day. The constructor and copies keep
// it; assigning a timestamp (`operator=`) turns it into 00:00:00 of the next
// day. Comparison is by date, then time, so 2024/01/05 24:00:00 orders
// before (and differs from) 2024/01/06 00:00:00; the difference of the two
// is zero.
//
// Moving by a `zv::time_duration` moves the time with a day carry and the
// date by the carry and the duration's days, in the direction of the
// duration's sign; moving by a `zv::date_duration` moves only the date.
//
// The difference of two timestamps is exact to the millisecond: sign +1
// when the left one is later, -1 otherwise (-1 for equal timestamps too, as
// for dates).
//
// Local time and the offset to UTC come from the system's time zone; a local
// time that does not exist or exists twice (daylight-saving changes) is
// resolved by the system (`toTimer` lets it decide on daylight saving).
//
// Text: the date text, a blank and the time text ("2024/01/05 13:45:00:00").
// A text with a date only stands for the end of that day (24:00:00), and
// "24:00:00:00" as the time of a timestamp text is read as 24:00:00, so that
// every timestamp reads back from its text unchanged.
#pragma once

#include "zvDate.h"
#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvString.h"
#include "zvTime.h"
#include "zvTypeConvert.h"

#include <ctime>

namespace zv {

/// A local date and time of day.
class ZV_API timestamp {
public:
    /// 1 January of the current year, 00:00:00.
    timestamp();
    /// Date `d` at time `t`.
    timestamp(const date& d, const time& t);
    /// A copy.
    timestamp(const timestamp& other) = default;
    /// Copies; a time of 24:00:00 becomes 00:00:00 of the next day.
    timestamp& operator=(const timestamp& other);

    /// The date.
    const date& getDate() const { return m_date; }
    /// The time of day.
    const time& getTime() const { return m_time; }

    /// Date and time of one reading of the clock, in local time.
    static timestamp now();
    /// From the date and time fields (tm_year, tm_mon, tm_mday, tm_hour,
    /// tm_min, tm_sec); a null pointer is an assertion.
    static timestamp fromTm(const std::tm* fields);
    /// The local date and time of `seconds` since 1970.
    static timestamp fromTimer(long long seconds);
    /// The same with the moment's millisecond.
    static timestamp fromTimeb(const timeb64* moment);
    /// Splits at `dateTimeSeparators`: one part is a date at 24:00:00, two
    /// parts are a date and a time; anything else throws false.
    static timestamp fromString(const string& text, const wchar_t* dateTimeSeparators,
                                const wchar_t* dateSeparators, const wchar_t* timeSeparators);
    /// "yyyy/mm/dd hh:mm:ss:ms".
    string toString() const;

    /// Writes the date and time fields, tm_wday and tm_yday; tm_isdst is -1
    /// (unknown). 24:00:00 is written as 00:00:00 of the next day.
    void toTm(std::tm* fields) const;
    /// Seconds since 1970 of this local time (milliseconds dropped); false
    /// when the system cannot convert it.
    bool toTimer(long long* seconds) const;
    /// This moment in UTC, millisecond kept; throws false when it cannot be converted.
    timestamp asUTC() const;
    /// Local time minus UTC at `local` (+1 hour for a zone one hour east of Greenwich).
    static timeduration offsetLocalToUTC(const timestamp& local);
    /// The same for the current moment.
    static timeduration currentOffsetLocalToUTC();

    /// Moves the date forward by `duration`.
    timestamp& operator+=(const date_duration& duration);
    /// Moves the date back by `duration`.
    timestamp& operator-=(const date_duration& duration);
    /// Moves forward by `duration`, carrying whole days into the date.
    timestamp& operator+=(const time_duration& duration);
    /// Moves back by `duration`, carrying whole days into the date.
    timestamp& operator-=(const time_duration& duration);
    /// This moment with the date moved forward.
    timestamp operator+(const date_duration& duration) const;
    /// This moment with the date moved back.
    timestamp operator-(const date_duration& duration) const;
    /// This moment moved forward by `duration`.
    timestamp operator+(const time_duration& duration) const;
    /// This moment moved back by `duration`.
    timestamp operator-(const time_duration& duration) const;
    /// The exact difference; negative when `other` is later.
    timeduration operator-(const timestamp& other) const;

    /// Same date and time.
    bool operator==(const timestamp& other) const { return m_date == other.m_date && m_time == other.m_time; }
    /// Not the same moment.
    bool operator!=(const timestamp& other) const { return !(*this == other); }
    /// Earlier.
    bool operator<(const timestamp& other) const {
        return m_date < other.m_date || (m_date == other.m_date && m_time < other.m_time);
    }
    /// Later.
    bool operator>(const timestamp& other) const { return other < *this; }
    /// Not later.
    bool operator<=(const timestamp& other) const { return !(other < *this); }
    /// Not earlier.
    bool operator>=(const timestamp& other) const { return !(*this < other); }

private:
    /// Days since 1970 and milliseconds of the day, 24:00:00 as the next day.
    long long msecondsSinceEpochDay() const;

    date m_date;
    time m_time;
};

ZV_API bool dtconvert(string& target, const timestamp& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(string& target, const timestamp& source, int flags = 0, ...);
/// Tries the separators (" ", "/", ":") and then (" ", "-", ":"); false
/// (target unchanged) when neither parses. The result is assigned, so a
/// time of 24:00:00 arrives as 00:00:00 of the next day.
ZV_API bool dtconvert(timestamp& target, const string& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(timestamp& target, const string& source, int flags = 0, ...);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::timestamp, "zv::timestamp")
