// zvDate.h - calendar dates (proleptic Gregorian, years 0 to 65535), the
// durations that move them, and calendars that tell work days from holidays.
//
//     zv::date d(2024, 3, 31);
//     d -= zv::months(1);                      // 2024/02/29 (the day is clamped)
//     d += zv::days(1000000);                  // constant time, whatever the count
//     zv::date::eWeekday w = d.dayOfWeek();    // monday = 0 ... sunday = 6
//     zv::configurableCalendar cal;
//     cal.setWeeklyHoliday(zv::date::saturday);
//     cal.setWeeklyHoliday(zv::date::sunday);
//     cal.setYearlyHoliday(zv::date::december, 25);
//     d += zv::workdays(3, &cal);
//     zv::date parsed = zv::date::fromString(L"2024-1-5", L"-");
//
// A date is one packed 32-bit word: day in bits 0-7, month in bits 8-11,
// year in bits 12-27. Ordering compares the word, which is chronological.
//
// Out of range: the constructor clamps (a year above 65535 gives 65535/01/01,
// a month above 12 gives December, a day beyond the month its last day; a
// month or day of 0 counts as 1). Every move that would leave 0000/01/01 ..
// 65535/12/31 (durations, year boundaries, next/previous weekday) gives
// 65535/01/01, the date that also stands for a year out of range.
//
// Failures: a null pointer argument is an assertion (`ZV_ASSERT`: reported,
// then `bool` false thrown). Texts that do not parse, a moment the system
// cannot convert to local time and `nthWeekday` asking for a weekday the
// month does not have throw `bool` false without a report. The `dtconvert`
// functions never throw; they answer false.
//
// The difference of two dates is a `zv::timeduration` (include zvTime.h).
#pragma once

#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvString.h"
#include "zvTypeConvert.h"

#include <array>
#include <ctime>
#include <set>
#include <utility>

namespace zv {

class date_duration;
class timeduration;

/// A moment as the C runtime's `_ftime64` reports it: seconds since 1970
/// (UTC), the millisecond, minutes west of UTC and a daylight-saving flag.
/// Only `time` and `millitm` are read by the conversions.
struct timeb64 {
    /// Seconds since 1970-01-01 00:00 UTC.
    long long time = 0;
    /// The millisecond, 0 to 999.
    unsigned short millitm = 0;
    /// Minutes west of UTC.
    short timezone = 0;
    /// Non-zero during daylight-saving time.
    short dstflag = 0;
};

/// A calendar date.
class ZV_API date {
public:
    /// The months, January = 1.
    enum eMonth {
        january = 1,
        february,
        march,
        april,
        may,
        june,
        july,
        august,
        september,
        october,
        november,
        december
    };
    /// The weekdays, Monday = 0.
    enum eWeekday { monday = 0, tuesday, wednesday, thursday, friday, saturday, sunday };

    /// Builds a date with clamping (see the file comment); by default
    /// 1 January of the current year.
    date(unsigned int year = thisYear(), unsigned int month = 1, unsigned int day = 1);

    /// The year, 0 to 65535.
    unsigned int year() const { return (m_value >> 12) & 0xFFFFu; }
    /// The month.
    eMonth month() const { return static_cast<eMonth>((m_value >> 8) & 0xFu); }
    /// The day of the month, from 1.
    unsigned int dayOfMonth() const { return m_value & 0xFFu; }
    /// 1 to 366.
    unsigned int dayOfYear() const;
    /// By Conway's doomsday rule.
    eWeekday dayOfWeek() const;
    /// The ISO 8601 week, 1 to 53.
    unsigned int weekOfYear() const;
    /// The packed word.
    unsigned int packed() const { return m_value; }

    /// Whether `year` is a Gregorian leap year.
    static bool isLeapYear(unsigned int year);
    /// The number of days of `month` in `year`.
    static unsigned int daysInMonth(eMonth month, unsigned int year);
    /// 365 or 366.
    static unsigned int daysInYear(unsigned int year);
    /// 65535, the last year a date holds.
    static unsigned int maxYear() { return 65535; }
    /// 1583/01/01, the first full year of the Gregorian calendar.
    static date minDate() { return date(1583, 1, 1); }
    /// 65535/12/31, the last date.
    static date maxDate() { return date(65535, 12, 31); }
    /// 1900/01/01.
    static date tessmarIniDate() { return date(1900, 1, 1); }
    /// The weekday of 1 January; years above 65535 count as 65535.
    static eWeekday firstWeekdayInYear(unsigned int year);
    /// The `n`-th `weekday` of the month (n from 1); throws false when the
    /// month has no such day; n = 0 is an assertion.
    static date nthWeekday(unsigned short n, eWeekday weekday, eMonth month, unsigned int year);
    /// Easter Sunday of `year` (Gregorian computus).
    static date easterSunday(unsigned int year);

    /// From the system clock, in local time.
    static date today();
    /// The current year (local time).
    static unsigned int thisYear();
    /// The current month (local time).
    static eMonth thisMonth();
    /// The current day of the month (local time).
    static unsigned int thisDayOfMonth();
    /// The current weekday (local time).
    static eWeekday thisDayOfWeek();
    /// The current day of the year (local time).
    static unsigned int thisDayOfYear();

    /// The local date of `seconds` since 1970.
    static date fromTimer(long long seconds);
    /// The local date of the moment's seconds.
    static date fromTimeb(const timeb64* moment);
    /// Year tm_year + 1900, month tm_mon + 1, day tm_mday (clamped).
    static date fromTm(const std::tm* fields);
    /// Writes tm_year, tm_mon and tm_mday only.
    void toTm(std::tm* fields) const;
    /// Reads "year<sep>month<sep>day" (see zvDate.cpp for the rules); a text
    /// that starts with a quote loses quotes and blanks at both ends. Month
    /// 1-12 and day 1-31 are required, then the day is clamped (2023/2/31 is
    /// 2023/02/28). Throws false when the text does not parse.
    static date fromString(const string& text, const wchar_t* separators);
    /// "yyyy/mm/dd".
    string toString() const;

    /// Days since 1970-01-01 (negative before), and back; a day number
    /// outside the range of dates gives 65535/01/01.
    int dayNumber() const;
    /// The date of day number `dayNumber`.
    static date fromDayNumber(long long dayNumber);

    /// 31 December of this date's year.
    date nextYearEnd() const;
    /// 1 January of the next year (from year 65535 on, 65535/01/01).
    date nextYearStart() const;
    /// 31 December of the previous year (from year 0, 65535/01/01).
    date prevYearEnd() const;
    /// 1 January of this date's year.
    date prevYearStart() const;
    /// The nearest date on or after (on or before) this one that is a `weekday`.
    date nextWeekday(eWeekday weekday) const;
    /// See `nextWeekday`.
    date prevWeekday(eWeekday weekday) const;

    /// Moves forward by `duration`.
    date& operator+=(const date_duration& duration);
    /// Moves back by `duration`.
    date& operator-=(const date_duration& duration);
    /// This date moved forward by `duration`.
    date operator+(const date_duration& duration) const;
    /// This date moved back by `duration`.
    date operator-(const date_duration& duration) const;
    /// Whole days from `other` to this date; sign +1 when this date is later,
    /// -1 otherwise (equal dates give zero days with sign -1).
    timeduration operator-(const date& other) const;

    /// Same day.
    bool operator==(const date& other) const { return m_value == other.m_value; }
    /// Not the same day.
    bool operator!=(const date& other) const { return m_value != other.m_value; }
    /// Earlier.
    bool operator<(const date& other) const {
        return static_cast<int>(m_value) < static_cast<int>(other.m_value);
    }
    /// Later.
    bool operator>(const date& other) const { return other < *this; }
    /// Not later.
    bool operator<=(const date& other) const { return !(other < *this); }
    /// Not earlier.
    bool operator>=(const date& other) const { return !(*this < other); }

private:
    unsigned int m_value;
};

/// Decides which days are work days: Monday to Friday.
class ZV_API calendar {
public:
    virtual ~calendar();
    /// True for Monday to Friday.
    virtual bool isWorkday(const date& day) const;
};

/// A calendar with declared holidays and work days. The first rule that
/// applies decides:
///   1. the date is a declared work day: work day;
///   2. the date is a declared holiday: holiday;
///   3. its weekday is a weekly holiday: holiday;
///   4. its month and day are a yearly work day: work day;
///   5. its month and day are a yearly holiday: holiday;
///   6. otherwise a work day.
/// A new calendar declares nothing, so every day is a work day.
class ZV_API configurableCalendar : public calendar {
public:
    configurableCalendar();

    /// Every `weekday` is a holiday.
    void setWeeklyHoliday(date::eWeekday weekday);
    /// `day` of `month` is a holiday every year.
    void setYearlyHoliday(date::eMonth month, unsigned int day);
    /// `day` of `month` is a work day every year.
    void setYearlyWorkday(date::eMonth month, unsigned int day);
    /// The one date `day` is a holiday.
    void setHoliday(const date& day);
    /// The one date `day` is a work day.
    void setWorkday(const date& day);
    /// Forgets every declaration.
    void reInitialize();

    /// Decides by the rules above.
    bool isWorkday(const date& day) const override;

private:
    std::array<bool, 7> m_weeklyHolidays;
    std::set<std::pair<unsigned int, unsigned int>> m_yearlyHolidays;
    std::set<std::pair<unsigned int, unsigned int>> m_yearlyWorkdays;
    std::set<date> m_holidays;
    std::set<date> m_workdays;
};

/// What moves a date.
class ZV_API date_duration {
public:
    virtual ~date_duration();
    /// Moves `d` forward.
    virtual void addToDate(date& d) const = 0;
    /// Moves `d` back.
    virtual void subtractFromDate(date& d) const = 0;
};

/// Calendar days, in constant time.
class ZV_API days : public date_duration {
public:
    /// `count` calendar days.
    explicit days(unsigned int count) : m_count(count) {}
    /// The number of days.
    unsigned int count() const { return m_count; }
    /// Moves `d` forward by the days.
    void addToDate(date& d) const override;
    /// Moves `d` back by the days.
    void subtractFromDate(date& d) const override;

private:
    unsigned int m_count;
};

/// Seven days each.
class ZV_API weeks : public date_duration {
public:
    /// `count` weeks.
    explicit weeks(unsigned int count) : m_count(count) {}
    /// The number of weeks.
    unsigned int count() const { return m_count; }
    /// Moves `d` forward by the weeks.
    void addToDate(date& d) const override;
    /// Moves `d` back by the weeks.
    void subtractFromDate(date& d) const override;

private:
    unsigned int m_count;
};

/// Calendar months; the day is clamped to the new month (31 March minus one
/// month is the last day of February).
class ZV_API months : public date_duration {
public:
    /// `count` months; the day is clamped to the target month.
    explicit months(unsigned int count) : m_count(count) {}
    /// The number of months.
    unsigned int count() const { return m_count; }
    /// Moves `d` forward by the months.
    void addToDate(date& d) const override;
    /// Moves `d` back by the months.
    void subtractFromDate(date& d) const override;

private:
    unsigned int m_count;
};

/// Calendar years; 29 February becomes 28 February in a common year.
class ZV_API years : public date_duration {
public:
    /// `count` years; 29 February is clamped in other years.
    explicit years(unsigned int count) : m_count(count) {}
    /// The number of years.
    unsigned int count() const { return m_count; }
    /// Moves `d` forward by the years.
    void addToDate(date& d) const override;
    /// Moves `d` back by the years.
    void subtractFromDate(date& d) const override;

private:
    unsigned int m_count;
};

/// Work days of a calendar (not owned): each of the `count` steps moves to
/// the next (previous) day the calendar calls a work day; the start day
/// never counts and a count of 0 leaves the date.
///
/// Without a calendar (null) the plain Monday-to-Friday `zv::calendar`
/// applies. With the plain calendar the move takes constant time. With any
/// other calendar one step looks at most 3660 days (ten years) ahead; a
/// calendar with no work day in that span makes the operation throw `bool`
/// false and leaves the date unchanged, so a calendar without any work day
/// cannot hang the caller.
class ZV_API workdays : public date_duration {
public:
    /// `count` work days of `cal` (null: Monday to Friday).
    explicit workdays(unsigned int count, const calendar* cal = nullptr) : m_count(count), m_calendar(cal) {}
    /// The number of work days.
    unsigned int count() const { return m_count; }
    /// Stores the calendar; true when it is not null.
    virtual bool setCalendar(const calendar* cal);
    /// Moves `d` forward by the work days.
    void addToDate(date& d) const override;
    /// Moves `d` back by the work days.
    void subtractFromDate(date& d) const override;

    /// The most days one step looks ahead with a calendar other than the plain one.
    static constexpr unsigned int maxSearchDays = 3660;

private:
    void move(date& d, bool forward) const;

    unsigned int m_count;
    const calendar* m_calendar;
};

ZV_API bool dtconvert(string& target, const date& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(string& target, const date& source, int flags = 0, ...);
/// Tries "/" and then "-" as the separator; false (target unchanged) when neither parses.
ZV_API bool dtconvert(date& target, const string& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(date& target, const string& source, int flags = 0, ...);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::date, "zv::date")
