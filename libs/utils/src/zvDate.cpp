#include "zvDate.h"

#include "zvDtConvertDetail.h"

#include "os/zvOs.h"
#include "zvTime.h"

#include <cstdarg>
#include <typeinfo>
#include <vector>

namespace zv {

namespace {

const unsigned int kMonthLength[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

constexpr bool leap(long long year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr long long floorDiv(long long a, long long b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

constexpr long long floorMod(long long a, long long b) {
    return a - floorDiv(a, b) * b;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back: the
// calendar counted in 400-year eras starting on 1 March, so that the leap
// day falls at the end of each counted year.
constexpr long long daysFromCivil(long long y, unsigned int m, unsigned int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = floorDiv(y, 400);
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long long z, long long& y, unsigned int& m, unsigned int& d) {
    z += 719468;
    const long long era = floorDiv(z, 146097);
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<unsigned int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<unsigned int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

constexpr long long kFirstDay = daysFromCivil(0, 1, 1);
constexpr long long kLastDay = daysFromCivil(65535, 12, 31);

// The date that stands for "out of range".
date outOfRange() {
    return date(65535, 1, 1);
}

// Monday = 0 of a day number (1970-01-01 was a Thursday).
constexpr unsigned int weekdayOfDayNumber(long long dn) {
    return static_cast<unsigned int>(floorMod(dn + 3, 7));
}

// ISO week of day `doy` in `year`; years outside the range of `date` (the
// year before year 0) are handled through day numbers.
unsigned int isoWeek(long long year, long long doy) {
    static const int kOffset[7] = {0, 1, 2, 3, -3, -2, -1};
    const long long offset = kOffset[weekdayOfDayNumber(daysFromCivil(year, 1, 1))];
    const long long week = floorDiv(offset + doy - 1, 7) + 1;
    if (week == 0)
        return isoWeek(year - 1, leap(year - 1) ? 366 : 365);
    if (week == 53 && weekdayOfDayNumber(daysFromCivil(year, 12, 31)) <= date::wednesday)
        return 1;
    return static_cast<unsigned int>(week);
}

// The local calendar fields of `seconds`, or a thrown false.
std::tm localFields(long long seconds) {
    std::tm fields{};
    if (!os::localTime(seconds, fields))
        throw false;
    return fields;
}

std::tm nowFields() {
    long long seconds = 0;
    unsigned int ms = 0;
    os::currentTime(seconds, ms);
    return localFields(seconds);
}

date fromFields(const std::tm& fields) {
    const long long y = static_cast<long long>(fields.tm_year) + 1900;
    return date(y < 0 ? 0u : static_cast<unsigned int>(y > 65536 ? 65536 : y),
                static_cast<unsigned int>(fields.tm_mon + 1 < 0 ? 0 : fields.tm_mon + 1),
                static_cast<unsigned int>(fields.tm_mday < 0 ? 0 : fields.tm_mday));
}

} // namespace

// ---- date --------------------------------------------------------------

date::date(unsigned int year, unsigned int month, unsigned int day) {
    if (year > 65535) {
        year = 65535;
        month = 1;
        day = 1;
    }
    if (month == 0)
        month = 1;
    if (month > 12)
        month = 12;
    const unsigned int length = daysInMonth(static_cast<eMonth>(month), year);
    if (day == 0)
        day = 1;
    if (day > length)
        day = length;
    m_value = (year << 12) | (month << 8) | day;
}

bool date::isLeapYear(unsigned int year) {
    return leap(year);
}

unsigned int date::daysInMonth(eMonth month, unsigned int year) {
    const unsigned int m = static_cast<unsigned int>(month);
    ZV_ASSERT(m >= 1 && m <= 12);
    return kMonthLength[leap(year) ? 1 : 0][m - 1];
}

unsigned int date::daysInYear(unsigned int year) {
    return leap(year) ? 366 : 365;
}

unsigned int date::dayOfYear() const {
    const unsigned int row = leap(year()) ? 1 : 0;
    unsigned int result = dayOfMonth();
    for (unsigned int m = 1; m < static_cast<unsigned int>(month()); ++m)
        result += kMonthLength[row][m - 1];
    return result;
}

date::eWeekday date::dayOfWeek() const {
    // Every year has one weekday, the doomsday, shared by a memorable date in
    // each month; it follows from the century's anchor and the year in it.
    static const unsigned int kAnchor[4] = {2, 0, 5, 3};
    static const unsigned int kDoomsday[12] = {31, 28, 7, 4, 9, 6, 11, 8, 5, 10, 7, 12};
    const unsigned int y = year();
    const unsigned int m = static_cast<unsigned int>(month());
    unsigned int doomsday = kDoomsday[m - 1];
    if (m <= 2 && leap(y))
        ++doomsday;
    unsigned int day = dayOfMonth();
    while (day < doomsday)
        day += 7;
    const unsigned int offset = day - doomsday;
    const unsigned int yy = y % 100;
    const unsigned int anchor = kAnchor[(y / 100 * 100) % 400 / 100];
    const unsigned int r = (yy + yy / 4 + anchor + offset) % 7; // Sunday = 0
    return static_cast<eWeekday>(r == 0 ? 6 : r - 1);
}

unsigned int date::weekOfYear() const {
    return isoWeek(year(), dayOfYear());
}

date::eWeekday date::firstWeekdayInYear(unsigned int year) {
    return date(year > 65535 ? 65535 : year, 1, 1).dayOfWeek();
}

date date::nthWeekday(unsigned short n, eWeekday weekday, eMonth month, unsigned int year) {
    ZV_ASSERT(n != 0);
    const unsigned int m = static_cast<unsigned int>(month);
    ZV_ASSERT(m >= 1 && m <= 12);
    ZV_ASSERT(static_cast<unsigned int>(weekday) <= 6);
    if (year > maxYear())
        throw false;
    const unsigned int first = static_cast<unsigned int>(date(year, m, 1).dayOfWeek());
    const unsigned int day = 1 + (static_cast<unsigned int>(weekday) + 7 - first) % 7 + 7u * (n - 1u);
    if (day > daysInMonth(month, year))
        throw false;
    return date(year, m, day);
}

date date::easterSunday(unsigned int year) {
    const unsigned int y = year > 65535 ? 65535 : year;
    const unsigned int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4;
    const unsigned int f = (b + 8) / 25, g = (b - f + 1) / 3;
    const unsigned int h = (19 * a + b - d - g + 15) % 30;
    const unsigned int i = c / 4, k = c % 4;
    const unsigned int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const unsigned int m = (a + 11 * h + 22 * l) / 451;
    const unsigned int s = h + l - 7 * m + 114;
    return date(y, s / 31, s % 31 + 1);
}

date date::today() {
    return fromFields(nowFields());
}

unsigned int date::thisYear() {
    return today().year();
}

date::eMonth date::thisMonth() {
    return today().month();
}

unsigned int date::thisDayOfMonth() {
    return today().dayOfMonth();
}

date::eWeekday date::thisDayOfWeek() {
    return today().dayOfWeek();
}

unsigned int date::thisDayOfYear() {
    return today().dayOfYear();
}

date date::fromTimer(long long seconds) {
    return fromFields(localFields(seconds));
}

date date::fromTimeb(const timeb64* moment) {
    ZV_ASSERT(moment);
    return fromTimer(moment->time);
}

date date::fromTm(const std::tm* fields) {
    ZV_ASSERT(fields);
    return fromFields(*fields);
}

void date::toTm(std::tm* fields) const {
    ZV_ASSERT(fields);
    fields->tm_year = static_cast<int>(year()) - 1900;
    fields->tm_mon = static_cast<int>(month()) - 1;
    fields->tm_mday = static_cast<int>(dayOfMonth());
}

date date::fromString(const string& text, const wchar_t* separators) {
    ZV_ASSERT(separators);
    string t = text;
    if (!t.empty() && (t[0] == L'"' || t[0] == L'\'')) {
        t.deleteLeading(std::wstring(L"'\" "));
        t.deleteTrailing(std::wstring(L"'\" "));
    }
    std::vector<string> parts;
    if (!t.splitAt(string(separators), parts, false) || parts.size() != 3)
        throw false;
    unsigned int value[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (!dtconvert(value[i], parts[static_cast<std::size_t>(i)]))
            throw false;
    }
    if (value[1] < 1 || value[1] > 12 || value[2] < 1 || value[2] > 31)
        throw false;
    return date(value[0], value[1], value[2]);
}

string date::toString() const {
    return string::sformat(L"%04d/%02d/%02d", static_cast<int>(year()), static_cast<int>(month()),
                           static_cast<int>(dayOfMonth()));
}

int date::dayNumber() const {
    return static_cast<int>(daysFromCivil(year(), static_cast<unsigned int>(month()), dayOfMonth()));
}

date date::fromDayNumber(long long dayNumber) {
    if (dayNumber < kFirstDay || dayNumber > kLastDay)
        return outOfRange();
    long long y = 0;
    unsigned int m = 0, d = 0;
    civilFromDays(dayNumber, y, m, d);
    return date(static_cast<unsigned int>(y), m, d);
}

date date::nextYearEnd() const {
    return date(year(), 12, 31);
}

date date::nextYearStart() const {
    return year() >= maxYear() ? outOfRange() : date(year() + 1, 1, 1);
}

date date::prevYearEnd() const {
    return year() == 0 ? outOfRange() : date(year() - 1, 12, 31);
}

date date::prevYearStart() const {
    return date(year(), 1, 1);
}

date date::nextWeekday(eWeekday weekday) const {
    const long long dn = dayNumber();
    return fromDayNumber(dn + (static_cast<unsigned int>(weekday) + 7 - weekdayOfDayNumber(dn)) % 7);
}

date date::prevWeekday(eWeekday weekday) const {
    const long long dn = dayNumber();
    return fromDayNumber(dn - (weekdayOfDayNumber(dn) + 7 - static_cast<unsigned int>(weekday)) % 7);
}

date& date::operator+=(const date_duration& duration) {
    duration.addToDate(*this);
    return *this;
}

date& date::operator-=(const date_duration& duration) {
    duration.subtractFromDate(*this);
    return *this;
}

date date::operator+(const date_duration& duration) const {
    date result(*this);
    return result += duration;
}

date date::operator-(const date_duration& duration) const {
    date result(*this);
    return result -= duration;
}

timeduration date::operator-(const date& other) const {
    const long long d = static_cast<long long>(dayNumber()) - other.dayNumber();
    return timeduration(static_cast<unsigned int>(d < 0 ? -d : d), 0, 0, 0, 0, d >= 1);
}

// ---- calendars -----------------------------------------------------------

calendar::~calendar() = default;

bool calendar::isWorkday(const date& day) const {
    return day.dayOfWeek() < date::saturday;
}

configurableCalendar::configurableCalendar() {
    m_weeklyHolidays.fill(false);
}

void configurableCalendar::setWeeklyHoliday(date::eWeekday weekday) {
    ZV_ASSERT(static_cast<unsigned int>(weekday) <= 6);
    m_weeklyHolidays[static_cast<std::size_t>(weekday)] = true;
}

void configurableCalendar::setYearlyHoliday(date::eMonth month, unsigned int day) {
    m_yearlyHolidays.insert({static_cast<unsigned int>(month), day});
}

void configurableCalendar::setYearlyWorkday(date::eMonth month, unsigned int day) {
    m_yearlyWorkdays.insert({static_cast<unsigned int>(month), day});
}

void configurableCalendar::setHoliday(const date& day) {
    m_holidays.insert(day);
}

void configurableCalendar::setWorkday(const date& day) {
    m_workdays.insert(day);
}

void configurableCalendar::reInitialize() {
    m_weeklyHolidays.fill(false);
    m_yearlyHolidays.clear();
    m_yearlyWorkdays.clear();
    m_holidays.clear();
    m_workdays.clear();
}

bool configurableCalendar::isWorkday(const date& day) const {
    if (m_workdays.count(day))
        return true;
    if (m_holidays.count(day))
        return false;
    if (m_weeklyHolidays[static_cast<std::size_t>(day.dayOfWeek())])
        return false;
    const std::pair<unsigned int, unsigned int> monthDay(static_cast<unsigned int>(day.month()),
                                                         day.dayOfMonth());
    if (m_yearlyWorkdays.count(monthDay))
        return true;
    return m_yearlyHolidays.count(monthDay) == 0;
}

// ---- durations -----------------------------------------------------------

date_duration::~date_duration() = default;

void days::addToDate(date& d) const {
    d = date::fromDayNumber(static_cast<long long>(d.dayNumber()) + m_count);
}

void days::subtractFromDate(date& d) const {
    d = date::fromDayNumber(static_cast<long long>(d.dayNumber()) - m_count);
}

void weeks::addToDate(date& d) const {
    d = date::fromDayNumber(static_cast<long long>(d.dayNumber()) + 7LL * m_count);
}

void weeks::subtractFromDate(date& d) const {
    d = date::fromDayNumber(static_cast<long long>(d.dayNumber()) - 7LL * m_count);
}

void months::addToDate(date& d) const {
    long long y = static_cast<long long>(d.year()) + m_count / 12;
    unsigned int m = static_cast<unsigned int>(d.month()) + m_count % 12;
    if (m > 12) {
        m -= 12;
        ++y;
    }
    d = y > 65535 ? outOfRange() : date(static_cast<unsigned int>(y), m, d.dayOfMonth());
}

void months::subtractFromDate(date& d) const {
    long long y = static_cast<long long>(d.year()) - m_count / 12;
    int m = static_cast<int>(d.month()) - static_cast<int>(m_count % 12);
    if (m < 1) {
        m += 12;
        --y;
    }
    d = y < 0 ? outOfRange()
              : date(static_cast<unsigned int>(y), static_cast<unsigned int>(m), d.dayOfMonth());
}

void years::addToDate(date& d) const {
    const long long y = static_cast<long long>(d.year()) + m_count;
    d = y > 65535 ? outOfRange() : date(static_cast<unsigned int>(y), d.month(), d.dayOfMonth());
}

void years::subtractFromDate(date& d) const {
    const long long y = static_cast<long long>(d.year()) - m_count;
    d = y < 0 ? outOfRange() : date(static_cast<unsigned int>(y), d.month(), d.dayOfMonth());
}

bool workdays::setCalendar(const calendar* cal) {
    m_calendar = cal;
    return cal != nullptr;
}

void workdays::addToDate(date& d) const {
    move(d, true);
}

void workdays::subtractFromDate(date& d) const {
    move(d, false);
}

void workdays::move(date& d, bool forward) const {
    if (m_count == 0)
        return;
    const long long step = forward ? 1 : -1;
    long long dn = d.dayNumber();
    if (!m_calendar || typeid(*m_calendar) == typeid(calendar)) {
        // Monday to Friday: after the first step the date is a work day, and
        // from a work day five work days are exactly one week.
        auto oneStep = [&] {
            do
                dn += step;
            while (weekdayOfDayNumber(dn) >= date::saturday);
        };
        oneStep();
        const unsigned int rest = m_count - 1;
        dn += step * 7LL * (rest / 5);
        for (unsigned int i = 0; i < rest % 5; ++i)
            oneStep();
        d = date::fromDayNumber(dn);
        return;
    }
    for (unsigned int n = 0; n < m_count; ++n) {
        unsigned int searched = 0;
        for (;;) {
            dn += step;
            if (dn < kFirstDay || dn > kLastDay) {
                d = outOfRange();
                return;
            }
            if (m_calendar->isWorkday(date::fromDayNumber(dn)))
                break;
            if (++searched >= maxSearchDays)
                throw false; // no work day within ten years: d is untouched
        }
    }
    d = date::fromDayNumber(dn);
}

// ---- conversions -----------------------------------------------------------

bool dtconvert(string& target, const date& source, int, const dtArgs&) {
    target = source.toString();
    return true;
}

ZV_DTCONVERT_VARIADIC(string, date)

bool dtconvert(date& target, const string& source, int, const dtArgs&) {
    for (const wchar_t* separator : {L"/", L"-"}) {
        try {
            target = date::fromString(source, separator);
            return true;
        } catch (bool) {
        }
    }
    return false;
}

ZV_DTCONVERT_VARIADIC(date, string)

namespace {
const typeconvert::registerConversion<date, string> s_dateToText(&dtconvert);
const typeconvert::registerConversion<string, date> s_textToDate(&dtconvert);
} // namespace

} // namespace zv
