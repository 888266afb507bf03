#include "zvDate.h"
#include "zvTestSupport.h"
#include "zvTime.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

namespace {

using zv::date;

// The weekday by plain counting from a known Monday, independent of the
// doomsday rule under test.
unsigned int countedWeekday(const date& d) {
    const long long dn = d.dayNumber(); // 1970-01-01 was a Thursday
    return static_cast<unsigned int>(((dn + 3) % 7 + 7) % 7);
}

TEST(date, PacksClampsAndKnowsTheCalendar) {
    EXPECT_EQ(date(2024, 2, 29).packed(), 0x7E821Du);
    EXPECT_EQ(date(2023, 2, 29), date(2023, 2, 28));
    EXPECT_EQ(date(70000, 5, 5), date(65535, 1, 1));
    EXPECT_EQ(date(2023, 13, 40), date(2023, 12, 31));
    EXPECT_EQ(date(2023, 0, 0), date(2023, 1, 1));
    EXPECT_EQ(date(2024, 12, 31).dayOfYear(), 366u);
    EXPECT_EQ(date(), date(date::thisYear(), 1, 1));
    // Ordering follows the calendar across every field.
    EXPECT_LT(date(2023, 12, 31), date(2024, 1, 1));
    EXPECT_LT(date(2024, 1, 31), date(2024, 2, 1));
    for (const auto& [year, leap] : {std::pair{2000u, true}, {1900u, false}, {2024u, true}, {2023u, false}})
        EXPECT_EQ(date::daysInYear(year), leap ? 366u : 365u) << year;
    EXPECT_EQ(date::minDate(), date(1583, 1, 1));
    EXPECT_EQ(date::maxDate(), date(65535, 12, 31));
}

TEST(date, DoomsdayWeekdayAgreesWithCountingEveryDayOfFourCenturies) {
    EXPECT_EQ(date(2024, 5, 3).dayOfWeek(), date::friday);
    // One full 400-year cycle, plus both ends of the range.
    for (long long dn = date(1900, 1, 1).dayNumber(); dn < date(2300, 1, 1).dayNumber(); ++dn) {
        const date d = date::fromDayNumber(dn);
        ASSERT_EQ(static_cast<unsigned int>(d.dayOfWeek()), countedWeekday(d)) << d.toString().getMBCS();
    }
    for (const date& d : {date(0, 1, 1), date(0, 2, 29), date(65535, 12, 31), date(65535, 2, 28)})
        EXPECT_EQ(static_cast<unsigned int>(d.dayOfWeek()), countedWeekday(d)) << d.toString().getMBCS();
    EXPECT_EQ(date::firstWeekdayInYear(2024), date::monday);
    EXPECT_EQ(date::firstWeekdayInYear(70000), date(65535, 1, 1).dayOfWeek());
}

TEST(date, DayNumbersRoundTripAcrossTheWholeRange) {
    EXPECT_EQ(date(2000, 3, 1).dayNumber(), 11017);
    for (long long dn = date(0, 1, 1).dayNumber(); dn <= date(65535, 12, 31).dayNumber(); dn += 997)
        ASSERT_EQ(date::fromDayNumber(dn).dayNumber(), dn);
    EXPECT_EQ(date::fromDayNumber(date(0, 1, 1).dayNumber() - 1), date(65535, 1, 1));
    EXPECT_EQ(date::fromDayNumber(date(65535, 12, 31).dayNumber() + 1), date(65535, 1, 1));
}

TEST(date, IsoWeekNumbers) {
    const std::pair<date, unsigned int> weeks[] = {{date(2021, 1, 3), 53},  {date(2020, 12, 31), 53},
                                                   {date(2019, 12, 30), 1}, {date(2026, 1, 1), 1},
                                                   {date(2023, 1, 1), 52},  {date(2024, 12, 30), 1},
                                                   {date(0, 1, 1), 52}}; // reaches into the year before 0
    for (const auto& [d, week] : weeks)
        EXPECT_EQ(d.weekOfYear(), week) << d.toString().getMBCS();
    // Each Monday starts a week one higher than the day before, or week 1.
    for (date d(2015, 1, 1); d < date(2030, 1, 1); d += zv::days(1)) {
        const date next = d + zv::days(1);
        if (next.dayOfWeek() == date::monday)
            ASSERT_TRUE(next.weekOfYear() == d.weekOfYear() + 1 || next.weekOfYear() == 1)
                << next.toString().getMBCS();
        else
            ASSERT_EQ(next.weekOfYear(), d.weekOfYear()) << next.toString().getMBCS();
    }
}

TEST(date, EasterAndNthWeekday) {
    EXPECT_EQ(date::easterSunday(2038), date(2038, 4, 25)); // the latest possible
    EXPECT_EQ(date::easterSunday(2285), date(2285, 3, 22)); // the earliest possible
    for (unsigned int y = 1600; y < 2500; ++y)
        ASSERT_EQ(date::easterSunday(y).dayOfWeek(), date::sunday) << y;
    EXPECT_EQ(date::nthWeekday(4, date::thursday, date::november, 2023), date(2023, 11, 23));
    EXPECT_EQ(date::nthWeekday(5, date::thursday, date::november, 2023), date(2023, 11, 30));
    EXPECT_THROW(date::nthWeekday(5, date::monday, date::february, 2023), bool);
    zvtest::assertCapture capture;
    EXPECT_THROW(date::nthWeekday(0, date::monday, date::february, 2023), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
}

TEST(date, YearBoundariesAndNearestWeekdays) {
    const date d(2024, 5, 3); // a Friday
    EXPECT_EQ(d.nextYearEnd(), date(2024, 12, 31));
    EXPECT_EQ(d.nextYearStart(), date(2025, 1, 1));
    EXPECT_EQ(d.prevYearEnd(), date(2023, 12, 31));
    EXPECT_EQ(date(65535, 6, 1).nextYearStart(), date(65535, 1, 1));
    EXPECT_EQ(date(0, 6, 1).prevYearEnd(), date(65535, 1, 1));
    EXPECT_EQ(d.nextWeekday(date::friday), d);
    EXPECT_EQ(d.nextWeekday(date::monday), date(2024, 5, 6));
    EXPECT_EQ(d.prevWeekday(date::saturday), date(2024, 4, 27));
    EXPECT_EQ(date(65535, 12, 31).nextWeekday(date::monday), date(65535, 1, 1));
}

TEST(date, DurationsMoveAcrossMonthsYearsAndLeapDaysAndClamp) {
    EXPECT_EQ(date(2024, 3, 1) - zv::days(1), date(2024, 2, 29));
    EXPECT_EQ(date(2000, 1, 1) + zv::days(146097), date(2400, 1, 1)); // one Gregorian cycle
    EXPECT_EQ(date(2024, 1, 15) - zv::weeks(2), date(2024, 1, 1));
    EXPECT_EQ(date(2024, 1, 1) + zv::days(0xFFFFFFFFu), date(65535, 1, 1));
    EXPECT_EQ(date(2024, 1, 1) - zv::days(0xFFFFFFFFu), date(65535, 1, 1));
    date d(2024, 6, 1);
    EXPECT_EQ((d += zv::days(10)) -= zv::days(3), date(2024, 6, 8));
    // Months and years clamp the day to the month's length.
    EXPECT_EQ(date(2024, 3, 31) - zv::months(1), date(2024, 2, 29));
    EXPECT_EQ(date(2024, 3, 15) - zv::months(3), date(2023, 12, 15));
    EXPECT_EQ(date(2024, 1, 31) + zv::months(13), date(2025, 2, 28));
    EXPECT_EQ(date(2024, 2, 29) + zv::years(1), date(2025, 2, 28));
    EXPECT_EQ(date(65000, 5, 5) + zv::years(1000), date(65535, 1, 1));
    EXPECT_EQ(date(5, 5, 5) - zv::years(6), date(65535, 1, 1));
    EXPECT_EQ(date(65535, 12, 1) + zv::months(1), date(65535, 1, 1));
    EXPECT_EQ(date(0, 1, 1) - zv::months(1), date(65535, 1, 1));
    // The difference is signed whole days; no difference counts as negative.
    const zv::timeduration back = date(2019, 3, 1) - date(2020, 3, 1);
    EXPECT_EQ(back.signedMseconds(), -366LL * 86400000);
    EXPECT_EQ((date(2024, 1, 2) - date(2023, 12, 31)).signedMseconds(), 2LL * 86400000);
    EXPECT_EQ((date(2024, 1, 2) - date(2024, 1, 2)).sign(), -1);
}

TEST(workdays, PlainCalendarSkipsWeekendsInConstantTime) {
    const zv::calendar plain;
    const date friday(2024, 5, 3);
    EXPECT_EQ(date(2024, 5, 4) + zv::workdays(5, &plain), date(2024, 5, 10)); // from a Saturday
    // The shortcut agrees with stepping one work day at a time.
    for (unsigned int start = 0; start < 14; ++start) {
        const date from = date(2024, 5, 1) + zv::days(start);
        for (unsigned int n = 0; n < 23; ++n) {
            date stepped = from, back = from;
            for (unsigned int i = 0; i < n; ++i) {
                stepped += zv::workdays(1, &plain);
                back -= zv::workdays(1, &plain);
            }
            ASSERT_EQ(from + zv::workdays(n, &plain), stepped) << start << " " << n;
            ASSERT_EQ(from - zv::workdays(n, &plain), back) << start << " " << n;
        }
    }
    // A null calendar is the plain one.
    zv::workdays none(1);
    EXPECT_FALSE(none.setCalendar(nullptr));
    EXPECT_EQ(friday + none, date(2024, 5, 6));
    EXPECT_EQ(date(65535, 12, 29) + zv::workdays(0xFFFFFFFFu), date(65535, 1, 1));
}

TEST(workdays, ConfigurableCalendarFollowsItsPrecedence) {
    zv::configurableCalendar cal;
    EXPECT_TRUE(cal.isWorkday(date(2024, 5, 4))); // nothing declared: every day works
    cal.setWeeklyHoliday(date::sunday);
    cal.setYearlyHoliday(date::december, 25);
    cal.setWorkday(date(2022, 12, 25));
    EXPECT_TRUE(cal.isWorkday(date(2022, 12, 25)));  // a Sunday, declared a work day
    EXPECT_FALSE(cal.isWorkday(date(2023, 12, 25))); // a Monday, the yearly holiday
    EXPECT_FALSE(cal.isWorkday(date(2023, 12, 24))); // a Sunday
    EXPECT_TRUE(cal.isWorkday(date(2023, 12, 23)));  // a Saturday
    cal.setYearlyWorkday(date::december, 24);
    cal.setYearlyWorkday(date::december, 25);
    EXPECT_FALSE(cal.isWorkday(date(2023, 12, 24))); // the weekly holiday beats the yearly work day
    EXPECT_TRUE(cal.isWorkday(date(2023, 12, 25)));  // the yearly work day beats the yearly holiday
    cal.setHoliday(date(2023, 12, 26));
    cal.setWorkday(date(2023, 12, 26));
    EXPECT_TRUE(cal.isWorkday(date(2023, 12, 26))); // a declared work day beats a declared holiday

    zv::workdays step(2);
    EXPECT_TRUE(step.setCalendar(&cal));
    EXPECT_EQ(date(2023, 12, 22) + step, date(2023, 12, 25)); // skips the Sunday only

    const zv::configurableCalendar copy(cal);
    cal.reInitialize();
    EXPECT_TRUE(cal.isWorkday(date(2023, 12, 24)));
    EXPECT_FALSE(copy.isWorkday(date(2023, 12, 24)));
}

TEST(workdays, CalendarWithoutWorkDaysFailsInsteadOfLooping) {
    zv::configurableCalendar never;
    for (int w = 0; w < 7; ++w)
        never.setWeeklyHoliday(static_cast<date::eWeekday>(w));
    date d(2024, 5, 3);
    EXPECT_THROW(d += zv::workdays(1, &never), bool);
    EXPECT_EQ(d, date(2024, 5, 3));
    // A single work day within reach is still found, however far.
    never.setWorkday(date(2030, 1, 1));
    EXPECT_EQ(d + zv::workdays(1, &never), date(2030, 1, 1));
}

TEST(date, TextFormsConversionsAndTheirRules) {
    EXPECT_EQ(date(7, 1, 5).toString(), L"0007/01/05");
    EXPECT_EQ(date::fromString(L"\"2024-1-5\"", L"-"), date(2024, 1, 5));
    EXPECT_EQ(date::fromString(L"' 2024/01/05 '", L"/"), date(2024, 1, 5));
    EXPECT_EQ(date::fromString(L"2023/2/31", L"/"), date(2023, 2, 28));
    EXPECT_EQ(date::fromString(L"2024--1--5", L"--"), date(2024, 1, 5));
    for (const wchar_t* bad :
         {L"2024/13/01", L"2024/0/01", L"2024/1/32", L"2024/1", L"2024/1/1/1", L"2024//1", L"", L"x/1/1"})
        EXPECT_THROW(date::fromString(bad, L"/"), bool) << bad;
    date d(2000, 1, 1);
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(d, zv::string(L"2024-1-5")), d, true, date(2024, 1, 5)));
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(d, zv::string(L"2024.1.6")), d, false, date(2024, 1, 5)));
    auto& registry = zv::typeconvert::typeConversionManager::instance();
    zv::string text;
    EXPECT_TRUE(zvtest::gives(registry.convert(text, date(1999, 12, 31)), text, true, L"1999/12/31"));
    EXPECT_TRUE(zvtest::gives(registry.convert(d, zv::string(L"1999-12-30")), d, true, date(1999, 12, 30)));
    EXPECT_FALSE(registry.convert(d, zv::string(L"nonsense")));
    EXPECT_FALSE(registry.convert(d, 5)); // a number's text does not read as a date
    std::tm fields{};
    date(2024, 2, 29).toTm(&fields);
    EXPECT_EQ(fields.tm_year * 10000 + fields.tm_mon * 100 + fields.tm_mday, 1240129);
    EXPECT_EQ(date::fromTm(&fields), date(2024, 2, 29));
    // Noon UTC is the same date in every zone within twelve hours of Greenwich.
    zv::timeb64 moment;
    moment.time = 19782LL * 86400 + 12 * 3600; // 2024-02-29 12:00 UTC
    EXPECT_EQ(date::fromTimer(moment.time), date(2024, 2, 29));
    EXPECT_EQ(date::fromTimeb(&moment), date(2024, 2, 29));
    EXPECT_EQ(date::today().year(), date::thisYear());
    zvtest::assertCapture capture;
    EXPECT_THROW(date::fromTm(nullptr), bool);
    EXPECT_THROW(date::fromTimeb(nullptr), bool);
    EXPECT_EQ(capture.messages().size(), 2u);
}

} // namespace
