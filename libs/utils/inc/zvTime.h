// zvTime.h - times of day with millisecond resolution and the durations
// that move them.
//
//     zv::time t(23, 30);                     // 23:30:00:00
//     unsigned int carry = 0;
//     zv::hours(1).addToTime(t, &carry);      // 00:30:00:00, carry 1
//     zv::time end = zv::time(23, 59, 59) + zv::seconds(1);   // 24:00:00:00
//     zv::timeduration d(1, 2, 0, 0, 0);      // 1 day 2 hours
//     d *= 0.5;                               // 13 hours
//     zv::string text = t.toString();         // "00:30:00:00"
//
// A time is the second of the day (0 to 86400) and the millisecond, packed
// in one word; ordering is chronological. Second 86400 is 24:00:00, the end
// of the day (`midnight()`), which orders after 23:59:59; 00:00:00 is
// `daystart()`.
//
// Moving a time by `hours`, `minutes`, `seconds` or `mseconds` moves the
// whole time, millisecond included (10:00:00:500 plus one hour is
// 11:00:00:500), and wraps at the end of the day. Each day crossed adds one
// to `*dayCarry` when a carry is asked for; without one, a move forward that
// lands exactly on the end of a day gives 24:00:00 instead of 00:00:00.
// A move backward from 24:00:00 stays in the same day (24:00:00 minus one
// hour is 23:00:00 without carry).
//
// The day carry counts the days crossed in the direction of the operation
// (`addToTime` forward, `subtractFromTime` backward). A negative
// `timeduration` moves the other way and so takes its days off `*dayCarry`:
// read the carry as a signed 32-bit number then.
//
// Failures: null pointers are assertions (`ZV_ASSERT`); texts that do not
// parse and moments the system cannot convert to local time throw `bool`
// false. The `dtconvert` functions answer false instead.
#pragma once

#include "zvDate.h"
#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvString.h"
#include "zvTypeConvert.h"

#include <ctime>

namespace zv {

class time_duration;
class timeduration;

/// A time of day.
class ZV_API time {
public:
    /// (24, 0, 0, 0) is 24:00:00; otherwise milliseconds carry into seconds,
    /// seconds into minutes, minutes into hours, and the hour is taken modulo 24.
    time(unsigned int hour = 0, unsigned int minute = 0, unsigned int second = 0, unsigned int msecond = 0);

    /// 0 to 24 (24 only for 24:00:00).
    unsigned int hour() const { return secondOfDay() / 3600; }
    /// 0 to 59.
    unsigned int minute() const { return secondOfDay() / 60 % 60; }
    /// 0 to 59.
    unsigned int second() const { return secondOfDay() % 60; }
    /// 0 to 999.
    unsigned int msecond() const { return m_value & 0x3FFu; }
    /// Minutes since the start of the day.
    unsigned int minuteOfDay() const { return secondOfDay() / 60; }
    /// Seconds since the start of the day.
    unsigned int secondOfDay() const { return m_value >> 10; }
    /// Seconds since the start of the hour.
    unsigned int secondOfHour() const { return secondOfDay() % 3600; }
    /// Milliseconds since the start of the day (86,400,000 for 24:00:00).
    unsigned int msecondOfDay() const { return secondOfDay() * 1000 + msecond(); }
    /// The packed word.
    unsigned int packed() const { return m_value; }

    /// 00:00:00.
    static time daystart() { return time(0, 0, 0, 0); }
    /// 24:00:00, the end of the day.
    static time midnight() { return time(24, 0, 0, 0); }
    /// 12:00:00.
    static time lunchtime() { return time(12, 0, 0, 0); }
    /// The local time of day, with its millisecond.
    static time now();
    /// The time of day of `fields` (tm_hour, tm_min, tm_sec) with `msecond`.
    static time fromTm(const std::tm* fields, unsigned int msecond);
    /// The local time of day of `seconds` since 1970.
    static time fromTimer(long long seconds);
    /// The local time of day of the moment, with its millisecond.
    static time fromTimeb(const timeb64* moment);
    /// From milliseconds since the start of the day (at most 86,400,000).
    static time fromMsecondOfDay(unsigned int msecondOfDay);
    /// Reads one to four parts "hour<sep>minute<sep>second<sep>millisecond";
    /// missing parts are 0. Hour 0-24 (24 reads as 0), minute and second
    /// 0-59, millisecond 0-999; anything else throws false.
    static time fromString(const string& text, const wchar_t* separators);
    /// "hh:mm:ss:ms" (the millisecond with at least two digits).
    string toString() const;

    /// Moves the time without a day carry.
    time& operator+=(const time_duration& duration);
    /// Moves the time back without a day carry.
    time& operator-=(const time_duration& duration);
    /// This time moved forward without a day carry.
    time operator+(const time_duration& duration) const;
    /// This time moved back without a day carry.
    time operator-(const time_duration& duration) const;
    /// The exact difference; sign +1 when this time is later, -1 otherwise.
    timeduration operator-(const time& other) const;

    /// Same time.
    bool operator==(const time& other) const { return m_value == other.m_value; }
    /// Not the same time.
    bool operator!=(const time& other) const { return m_value != other.m_value; }
    /// Earlier.
    bool operator<(const time& other) const { return m_value < other.m_value; }
    /// Later.
    bool operator>(const time& other) const { return other < *this; }
    /// Not later.
    bool operator<=(const time& other) const { return !(other < *this); }
    /// Not earlier.
    bool operator>=(const time& other) const { return !(*this < other); }

private:
    unsigned int m_value;
};

/// What moves a time. The simple kinds answer +1 and 0 for every component;
/// only `timeduration` has components.
class ZV_API time_duration {
public:
    virtual ~time_duration();
    /// +1 or -1.
    virtual int sign() const;
    /// Whole days.
    virtual unsigned int days() const;
    /// Hours, 0 to 23.
    virtual unsigned int hours() const;
    /// Minutes, 0 to 59.
    virtual unsigned int minutes() const;
    /// Seconds, 0 to 59.
    virtual unsigned int seconds() const;
    /// Milliseconds, 0 to 999.
    virtual unsigned int mseconds() const;
    /// Moves `t` forward; `dayCarry` (may be null) counts the days crossed.
    virtual void addToTime(time& t, unsigned int* dayCarry) const = 0;
    /// Moves `t` backward; `dayCarry` (may be null) counts the days crossed.
    virtual void subtractFromTime(time& t, unsigned int* dayCarry) const = 0;
};

/// A count of one unit.
#define ZV_TIME_UNIT(name)                                                                                   \
    class ZV_API name : public time_duration {                                                               \
    public:                                                                                                  \
        explicit name(unsigned int count) : m_count(count) {}                                                \
        unsigned int count() const { return m_count; }                                                       \
        void addToTime(time& t, unsigned int* dayCarry) const override;                                      \
        void subtractFromTime(time& t, unsigned int* dayCarry) const override;                               \
                                                                                                             \
    private:                                                                                                 \
        unsigned int m_count;                                                                                \
    };
ZV_TIME_UNIT(hours)
ZV_TIME_UNIT(minutes)
ZV_TIME_UNIT(seconds)
ZV_TIME_UNIT(mseconds)
#undef ZV_TIME_UNIT

/// A signed span of days, hours, minutes, seconds and milliseconds, kept
/// normalised (milliseconds below 1000, seconds and minutes below 60, hours
/// below 24). The days are limited to 32 bits; results beyond saturate.
///
/// Arithmetic works on the exact signed span: `+=`/`-=` add or subtract
/// spans of either sign, and `*=` scales the whole span, so fractions of a
/// unit flow into the smaller ones (one day times 0.5 is 12 hours); the
/// result is truncated toward zero to whole milliseconds. A negative factor
/// turns the sign; a factor that is not finite is an assertion. A result of
/// zero is positive.
///
/// Applied to a time, the days are ignored (a time of day has none);
/// `zv::timestamp` applies them to its date.
class ZV_API timeduration : public time_duration {
public:
    timeduration();
    /// The span of the given parts (normalised), positive unless `positive` is false.
    timeduration(unsigned int days, unsigned int hours, unsigned int minutes, unsigned int seconds,
                 unsigned int mseconds, bool positive = true);
    /// The span of `milliseconds` (negative gives sign -1).
    static timeduration fromMseconds(long long milliseconds);

    /// +1 for a positive or zero span, -1 for a negative one.
    int sign() const override { return m_positive ? 1 : -1; }
    /// Whole days.
    unsigned int days() const override { return m_days; }
    /// Hours, 0 to 23.
    unsigned int hours() const override { return m_hours; }
    /// Minutes, 0 to 59.
    unsigned int minutes() const override { return m_minutes; }
    /// Seconds, 0 to 59.
    unsigned int seconds() const override { return m_seconds; }
    /// Milliseconds, 0 to 999.
    unsigned int mseconds() const override { return m_mseconds; }

    /// All whole hours (days x 24 + hours), minutes, seconds, milliseconds.
    unsigned long long nallhours() const;
    /// All whole minutes.
    unsigned long long nallminutes() const;
    /// All whole seconds.
    unsigned long long nallseconds() const;
    /// All milliseconds.
    unsigned long long nallmseconds() const;
    /// The span in milliseconds with its sign.
    long long signedMseconds() const;

    /// Adds `other`, signs included.
    timeduration& operator+=(const timeduration& other);
    /// Subtracts `other`, signs included.
    timeduration& operator-=(const timeduration& other);
    /// Multiplies the span by `factor`.
    timeduration& operator*=(double factor);
    /// The span multiplied by `factor`.
    timeduration operator*(double factor) const;
    /// The sum, signs included.
    timeduration operator+(const timeduration& other) const;
    /// The difference, signs included.
    timeduration operator-(const timeduration& other) const;
    /// Equal spans (a zero span equals itself whatever its sign).
    bool operator==(const timeduration& other) const { return signedMseconds() == other.signedMseconds(); }
    /// Not `operator==`.
    bool operator!=(const timeduration& other) const { return !(*this == other); }

    void addToTime(time& t, unsigned int* dayCarry) const override;
    void subtractFromTime(time& t, unsigned int* dayCarry) const override;

private:
    void assign(unsigned long long milliseconds, bool positive);

    unsigned int m_days;
    unsigned int m_hours;
    unsigned int m_minutes;
    unsigned int m_seconds;
    unsigned int m_mseconds;
    bool m_positive;
};

ZV_API bool dtconvert(string& target, const time& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(string& target, const time& source, int flags = 0, ...);
/// Reads with ":" as the separator; false (target unchanged) when it does not parse.
ZV_API bool dtconvert(time& target, const string& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(time& target, const string& source, int flags = 0, ...);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::time, "zv::time")
