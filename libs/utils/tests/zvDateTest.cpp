#include "zvDate.h"
#include "zvTestSupport.h"
#include "zvTime.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zv::date;

// The weekday by plain counting from a known Monday, independent of the
// doomsday rule under test.
unsigned int countedWeekday(const date& d) {
    const long long dn = d.dayNumber(); // 1970-01-01 was a Thursday
    return static_cast<unsigned int>(((dn + 3) % 7 + 7) % 7);
}

std::string show(const date& d) {
    return d.toString().getMBCS();
}

// The date written as yyyymmdd.
date on(long long ymd) {
    return date(static_cast<unsigned>(ymd / 10000), static_cast<unsigned>(ymd / 100 % 100),
                static_cast<unsigned>(ymd % 100));
}

// Pairs of what a computation gave and the date it must give, one after the other.
template <typename... D>
void expectDates(const D&... dates) {
    static_assert(sizeof...(D) % 2 == 0, "pairs of dates");
    const std::vector<date> v{dates...};
    for (std::size_t i = 0; i + 1 < v.size(); i += 2)
        EXPECT_EQ(v[i], v[i + 1]) << "pair " << i / 2 << ": " << show(v[i]);
}

TEST(date, PacksClampsAndKnowsTheCalendar) {
    EXPECT_EQ(on(20240229).packed(), 0x7E821Du);
    expectDates(on(20230229), on(20230228), on(700000505), on(655350101), on(20231340), on(20231231),
                on(20230000), on(20230101), date(), date(date::thisYear(), 1, 1), date::minDate(),
                on(15830101), date::maxDate(), on(655351231));
    EXPECT_EQ(on(20241231).dayOfYear(), 366u);
    // Ordering follows the calendar across every field.
    EXPECT_TRUE(on(20231231) < on(20240101) && on(20240131) < on(20240201));
    for (const auto& [year, leap] : {std::pair{2000u, true}, {1900u, false}, {2024u, true}, {2023u, false}})
        EXPECT_EQ(date::daysInYear(year), leap ? 366u : 365u) << year;
}

TEST(date, DoomsdayWeekdayAgreesWithCountingAndDayNumbersRoundTrip) {
    EXPECT_EQ(on(20240503).dayOfWeek(), date::friday);
    // One full 400-year cycle, plus both ends of the range.
    for (long long dn = on(19000101).dayNumber(); dn < on(23000101).dayNumber(); ++dn) {
        const date d = date::fromDayNumber(dn);
        ASSERT_EQ(static_cast<unsigned int>(d.dayOfWeek()), countedWeekday(d)) << show(d);
    }
    for (const date& d : {date(0, 1, 1), date(0, 2, 29), on(655351231), on(655350228)})
        EXPECT_EQ(static_cast<unsigned int>(d.dayOfWeek()), countedWeekday(d)) << show(d);
    EXPECT_EQ(date::firstWeekdayInYear(2024), date::monday);
    EXPECT_EQ(date::firstWeekdayInYear(70000), on(655350101).dayOfWeek());
    // Day numbers round-trip across the whole range.
    EXPECT_EQ(on(20000301).dayNumber(), 11017);
    for (long long dn = date(0, 1, 1).dayNumber(); dn <= on(655351231).dayNumber(); dn += 997)
        ASSERT_EQ(date::fromDayNumber(dn).dayNumber(), dn);
    expectDates(date::fromDayNumber(date(0, 1, 1).dayNumber() - 1), on(655350101),
                date::fromDayNumber(on(655351231).dayNumber() + 1), on(655350101));
}

TEST(date, IsoWeekNumbers) {
    const std::pair<date, unsigned int> weeks[] = {
        {on(20210103), 53}, {on(20201231), 53}, {on(20230101), 52}, {date(0, 1, 1), 52}}; // year -1
    for (const auto& [d, week] : weeks)
        EXPECT_EQ(d.weekOfYear(), week) << show(d);
    // Each Monday starts a week one higher than the day before, or week 1.
    for (date d(2015, 1, 1); d < on(20300101); d += zv::days(1)) {
        const date next = d + zv::days(1);
        const unsigned int want = next.dayOfWeek() != date::monday ? d.weekOfYear()
                                  : next.weekOfYear() == 1         ? 1
                                                                   : d.weekOfYear() + 1;
        ASSERT_EQ(next.weekOfYear(), want) << show(next);
    }
}

TEST(date, EasterNthWeekdayYearBoundariesAndNearestWeekdays) {
    for (unsigned int y = 1600; y < 2500; ++y)
        ASSERT_EQ(date::easterSunday(y).dayOfWeek(), date::sunday) << y;
    const date d(2024, 5, 3); // a Friday
    expectDates(date::easterSunday(2038), on(20380425), date::easterSunday(2285), on(22850322),
                date::nthWeekday(4, date::thursday, date::november, 2023), on(20231123),
                date::nthWeekday(5, date::thursday, date::november, 2023), on(20231130), d.nextYearEnd(),
                on(20241231), d.nextYearStart(), on(20250101), d.prevYearEnd(), on(20231231),
                on(655350601).nextYearStart(), on(655350101), date(0, 6, 1).prevYearEnd(), on(655350101),
                d.nextWeekday(date::friday), d, d.nextWeekday(date::monday), on(20240506),
                d.prevWeekday(date::saturday), on(20240427), on(655351231).nextWeekday(date::monday),
                on(655350101));
    EXPECT_THROW(date::nthWeekday(5, date::monday, date::february, 2023), bool);
    zvtest::assertCapture capture;
    EXPECT_THROW(date::nthWeekday(0, date::monday, date::february, 2023), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
}

TEST(date, DurationsMoveAcrossMonthsYearsAndLeapDaysAndClamp) {
    date d(2024, 6, 1);
    // Months and years clamp the day to the month's length; leaving the range gives 65535-01-01.
    expectDates(on(20240301) - zv::days(1), on(20240229), on(20000101) + zv::days(146097), on(24000101),
                on(20240115) - zv::weeks(2), on(20240101), on(20240101) + zv::days(0xFFFFFFFFu),
                on(655350101), on(20240101) - zv::days(0xFFFFFFFFu), on(655350101),
                (d += zv::days(10)) -= zv::days(3), on(20240608), on(20240331) - zv::months(1), on(20240229),
                on(20240315) - zv::months(3), on(20231215), on(20240131) + zv::months(13), on(20250228),
                on(20240229) + zv::years(1), on(20250228), on(650000505) + zv::years(1000), on(655350101),
                date(5, 5, 5) - zv::years(6), on(655350101), on(655351201) + zv::months(1), on(655350101),
                date(0, 1, 1) - zv::months(1), on(655350101));
    // The difference is signed whole days; no difference counts as negative.
    EXPECT_EQ((on(20190301) - on(20200301)).signedMseconds(), -366LL * 86400000);
    EXPECT_EQ((on(20240102) - on(20231231)).signedMseconds(), 2LL * 86400000);
    EXPECT_EQ((on(20240102) - on(20240102)).sign(), -1);
}

TEST(workdays, PlainCalendarSkipsWeekendsInConstantTime) {
    const zv::calendar plain;
    EXPECT_EQ(on(20240504) + zv::workdays(5, &plain), on(20240510)); // from a Saturday
    // The shortcut agrees with stepping one work day at a time.
    for (unsigned int start = 0; start < 14; ++start) {
        const date from = on(20240501) + zv::days(start);
        date stepped = from, back = from;
        for (unsigned int n = 0; n < 23; ++n) {
            ASSERT_EQ(from + zv::workdays(n, &plain), stepped) << start << " " << n;
            ASSERT_EQ(from - zv::workdays(n, &plain), back) << start << " " << n;
            stepped += zv::workdays(1, &plain);
            back -= zv::workdays(1, &plain);
        }
    }
    // A null calendar is the plain one.
    zv::workdays none(1);
    EXPECT_FALSE(none.setCalendar(nullptr));
    EXPECT_EQ(on(20240503) + none, on(20240506));
    EXPECT_EQ(on(655351229) + zv::workdays(0xFFFFFFFFu), on(655350101));
}

TEST(workdays, ConfigurableCalendarFollowsItsPrecedence) {
    zv::configurableCalendar cal;
    // "1" for each of 2023-12-23 (a Saturday) to 2023-12-26 that works, then 2022-12-25 (a Sunday).
    auto works = [](const zv::calendar& c) {
        std::string out;
        for (const date& d : {on(20231223), on(20231224), on(20231225), on(20231226), on(20221225)})
            out += c.isWorkday(d) ? '1' : '0';
        return out;
    };
    EXPECT_EQ(works(cal), "11111"); // nothing declared: every day works
    cal.setWeeklyHoliday(date::sunday);
    cal.setYearlyHoliday(date::december, 25);
    cal.setWorkday(on(20221225)); // a declared work day beats the weekly and the yearly holiday
    EXPECT_EQ(works(cal), "10011");
    cal.setYearlyWorkday(date::december, 24);
    cal.setYearlyWorkday(date::december, 25);
    cal.setHoliday(on(20231226));
    cal.setWorkday(on(20231226));
    // The weekly holiday beats the yearly work day, which beats the yearly holiday.
    EXPECT_EQ(works(cal), "10111");
    EXPECT_EQ(on(20231222) + zv::workdays(2, &cal), on(20231225)); // skips the Sunday only
    const zv::configurableCalendar copy(cal);
    cal.reInitialize();
    EXPECT_EQ(works(cal) + works(copy), "1111110111"); // cleared; the copy keeps what was declared
}

TEST(workdays, CalendarWithoutWorkDaysFailsInsteadOfLooping) {
    zv::configurableCalendar never;
    for (int w = 0; w < 7; ++w)
        never.setWeeklyHoliday(static_cast<date::eWeekday>(w));
    date d(2024, 5, 3);
    EXPECT_THROW(d += zv::workdays(1, &never), bool);
    EXPECT_EQ(d, on(20240503));
    // A single work day within reach is still found, however far.
    never.setWorkday(on(20300101));
    EXPECT_EQ(d + zv::workdays(1, &never), on(20300101));
}

TEST(date, TextFormsConversionsAndTheirRules) {
    EXPECT_EQ(date(7, 1, 5).toString(), L"0007/01/05");
    const std::tuple<const wchar_t*, const wchar_t*, date> texts[] = {{L"\"2024-1-5\"", L"-", on(20240105)},
                                                                      {L"' 2024/01/05 '", L"/", on(20240105)},
                                                                      {L"2023/2/31", L"/", on(20230228)},
                                                                      {L"2024--1--5", L"--", on(20240105)}};
    for (const auto& [source, separator, want] : texts)
        EXPECT_EQ(date::fromString(source, separator), want) << source;
    for (const wchar_t* bad :
         {L"2024/13/01", L"2024/0/01", L"2024/1/32", L"2024/1", L"2024/1/1/1", L"2024//1", L"", L"x/1/1"})
        EXPECT_THROW(date::fromString(bad, L"/"), bool) << bad;
    date d(2000, 1, 1);
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(d, zv::string(L"2024-1-5")), d, true, on(20240105)));
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(d, zv::string(L"2024.1.6")), d, false, on(20240105)));
    auto& registry = zv::typeconvert::typeConversionManager::instance();
    zv::string text;
    EXPECT_TRUE(zvtest::gives(registry.convert(text, on(19991231)), text, true, L"1999/12/31"));
    EXPECT_TRUE(zvtest::gives(registry.convert(d, zv::string(L"1999-12-30")), d, true, on(19991230)));
    EXPECT_FALSE(registry.convert(d, zv::string(L"nonsense")) || registry.convert(d, 5)); // nor a number
    std::tm fields{};
    on(20240229).toTm(&fields);
    EXPECT_EQ(fields.tm_year * 10000 + fields.tm_mon * 100 + fields.tm_mday, 1240129);
    // Noon UTC is the same date in every zone within twelve hours of Greenwich.
    const zv::timeb64 moment{.time = 19782LL * 86400 + 12 * 3600}; // 2024-02-29 12:00 UTC
    expectDates(date::fromTm(&fields), on(20240229), date::fromTimer(moment.time), on(20240229),
                date::fromTimeb(&moment), on(20240229));
    zvtest::assertCapture capture;
    EXPECT_THROW(date::fromTm(nullptr), bool);
    EXPECT_THROW(date::fromTimeb(nullptr), bool);
    EXPECT_EQ(capture.messages().size(), 2u);
}

} // namespace
