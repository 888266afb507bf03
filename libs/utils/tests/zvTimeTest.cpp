#include "zvTime.h"
#include "zvTestSupport.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

using zv::time;

TEST(time, CarriesItsFieldsAndKeepsTheEndOfTheDay) {
    const time end(24, 0, 0, 0);
    EXPECT_EQ(end, time::midnight());
    EXPECT_EQ(end.secondOfDay(), 86400u);
    EXPECT_GT(end, time(23, 59, 59, 999));
    const std::pair<time, time> wrapped[] = {{time(25, 0, 0, 0), time(1)},
                                             {time(24, 0, 0, 1), time(0, 0, 0, 1)},
                                             {time(0, 0, 59, 1500), time(0, 1, 0, 500)},
                                             {time(0, 59, 60, 0), time(1)},
                                             {time(23, 120, 0, 0), time(1)}};
    for (const auto& [got, expected] : wrapped)
        EXPECT_EQ(got, expected) << got.toString().getMBCS();
    EXPECT_LT(time(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu).hour(), 24u);
    const time t(13, 5, 9, 7);
    EXPECT_EQ(t.minuteOfDay(), 13u * 60 + 5);
    EXPECT_EQ(t.secondOfHour(), 5u * 60 + 9);
    EXPECT_LT(time(10, 0, 0, 1), time(10, 0, 1, 0));
}

// Where `by` moves `t`, and the days it carried.
std::pair<time, int> moved(time t, const zv::time_duration& by, bool back = false) {
    unsigned int carry = 0;
    back ? by.subtractFromTime(t, &carry) : by.addToTime(t, &carry);
    return {t, static_cast<int>(carry)};
}

TEST(time, UnitsAndDurationsWrapAndCountDays) {
    EXPECT_EQ(moved(time(23, 30), zv::hours(1)), std::pair(time(0, 30), 1));
    EXPECT_EQ(time(23, 59, 59) + zv::seconds(1), time::midnight()); // no carry: lands on 24:00:00
    EXPECT_EQ(moved(time(23, 59, 59), zv::seconds(1)), std::pair(time::daystart(), 1));
    // Three days and 40 minutes back.
    EXPECT_EQ(moved(time(0, 30), zv::minutes(60 * 24 * 3 + 40), true), std::pair(time(23, 50), 4));
    EXPECT_EQ(time(1, 0) - zv::hours(1), time::daystart());
    // Milliseconds carry into seconds in both directions; other units keep them.
    EXPECT_EQ(time(10, 0, 0, 900) + zv::mseconds(250), time(10, 0, 1, 150));
    EXPECT_EQ(time(10, 0, 0, 100) - zv::mseconds(250), time(9, 59, 59, 850));
    EXPECT_EQ(time(10, 0, 0, 500) + zv::hours(1), time(11, 0, 0, 500));
    // Counts far beyond a day: 2^32 - 1 hours is 178,956,970 days and 15 hours.
    EXPECT_EQ(moved(time(0, 0), zv::hours(0xFFFFFFFFu)), std::pair(time(15, 0), 178956970));
    // A duration moves by its sign and ignores its days.
    EXPECT_EQ(moved(time(22, 0), zv::timeduration(5, 3, 0, 0, 0)), std::pair(time(1, 0), 1));
    EXPECT_EQ(moved(time(1, 0), zv::timeduration(0, 3, 0, 0, 0, false)), std::pair(time(22, 0), -1));
    EXPECT_EQ(time(10, 0) + zv::timeduration(0, 1, 2, 3, 4), time(11, 2, 3, 4));
    EXPECT_EQ(time(10, 0) - zv::timeduration(0, 1, 2, 3, 4), time(8, 57, 56, 996));
}

TEST(timeduration, NormalisesAndCountsAllUnits) {
    const zv::timeduration d(1, 25, 61, 61, 1001);
    EXPECT_EQ(std::vector<unsigned>({d.days(), d.hours(), d.minutes(), d.seconds(), d.mseconds()}),
              std::vector<unsigned>({2, 2, 2, 2, 1}));
    EXPECT_EQ(d.nallseconds(), (50u * 60 + 2) * 60 + 2);
    const zv::timeduration max(0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0, 0); // saturates
    EXPECT_TRUE(max.days() == 0xFFFFFFFFu && max.hours() == 23u) << max.days() << " " << max.hours();
}

TEST(timeduration, ArithmeticWithMixedSigns) {
    using td = zv::timeduration;
    td d(0, 2, 0, 0, 0);
    EXPECT_EQ(d += td(0, 0, 30, 0, 0), td(0, 2, 30, 0, 0));
    EXPECT_EQ((d -= td(0, 3, 0, 0, 0)).signedMseconds(), -30LL * 60000);
    EXPECT_EQ(d += td(0, 0, 30, 0, 0, false), td(0, 1, 0, 0, 0, false));
    d -= td(0, 1, 0, 0, 0, false);
    EXPECT_TRUE(d.nallmseconds() == 0u && d.sign() == 1); // zero is positive
    EXPECT_EQ(td(0, 0, 0, 0, 0, false), td());
    td day(1, 0, 0, 0, 0);
    EXPECT_EQ(day *= 0.5, td(0, 12, 0, 0, 0)); // fractions flow into smaller units
    EXPECT_EQ(td(0, 0, 0, 1, 0) * (1.0 / 3), td(0, 0, 0, 0, 333));
    EXPECT_EQ(td(0, 1, 0, 0, 0) * -2.0, td(0, 2, 0, 0, 0, false));
    EXPECT_EQ((td(0xFFFFFFFFu, 0, 0, 0, 0) * 10.0).days(), 0xFFFFFFFFu);
    zvtest::assertCapture capture;
    EXPECT_THROW(day *= std::numeric_limits<double>::quiet_NaN(), bool);
    EXPECT_EQ(capture.messages().size(), 1u);
}

TEST(time, DifferenceIsExactToTheMillisecond) {
    EXPECT_EQ((time(8, 30) - time(8, 30)).sign(), -1);
    // The end of the day is a whole day away from its start, in either direction.
    const std::tuple<time, time, long long> spans[] = {
        {time(10, 0, 1, 0), time(10, 0, 0, 500), 500},  {time(10, 0, 0, 200), time(10, 0, 0, 500), -300},
        {time(8, 30), time(20, 45, 10), -44110000},     {time::daystart(), time::midnight(), -86400000},
        {time::midnight(), time::daystart(), 86400000}, {time(0, 0, 0, 1), time::midnight(), -86399999},
        {time::midnight(), time(23, 59, 59, 999), 1}};
    for (const auto& [a, b, mseconds] : spans) {
        const zv::timeduration d = a - b;
        EXPECT_EQ(d.signedMseconds(), mseconds) << a.toString().c_str() << " - " << b.toString().c_str();
        EXPECT_EQ(d.days(), mseconds / 86400000 * (mseconds < 0 ? -1 : 1));
    }
}

TEST(time, TextFormsAndTheirRules) {
    EXPECT_EQ(time(13, 5, 9, 7).toString() + time::midnight().toString(), L"13:05:09:0724:00:00:00");
    EXPECT_EQ(time::fromString(L"24:00", L":"), time::daystart());
    EXPECT_EQ(time::fromString(L"13", L":"), time(13));
    EXPECT_EQ(time::fromString(L"13.05", L"."), time(13, 5));
    for (const wchar_t* bad :
         {L"", L"25", L"12:60", L"12:00:60", L"12:00:00:1000", L"1:2:3:4:5", L"a:00", L"12::00", L"-1"})
        EXPECT_THROW(time::fromString(bad, L":"), bool) << bad;
    time t(1, 1);
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(t, zv::string(L"7:08")), t, true, time(7, 8)));
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(t, zv::string(L"7:99")), t, false, time(7, 8)));
    auto& registry = zv::typeconvert::typeConversionManager::instance();
    zv::string text;
    ASSERT_TRUE(zvtest::gives(registry.convert(text, time(6, 7, 8, 9)), text, true, L"06:07:08:09"));
    EXPECT_TRUE(zvtest::gives(registry.convert(t, zv::string(L"23:59")), t, true, time(23, 59)));
}

TEST(time, ClockAndTmConversions) {
    std::tm fields{};
    fields.tm_hour = 13;
    fields.tm_min = 14;
    fields.tm_sec = 15;
    EXPECT_EQ(time::fromTm(&fields, 16), time(13, 14, 15, 16));
    zvtest::assertCapture capture;
    EXPECT_THROW(time::fromTm(nullptr, 0), bool);
    EXPECT_THROW(time::fromTimeb(nullptr), bool);
    EXPECT_EQ(capture.messages().size(), 2u);
    // Whole-hour zones keep minutes and seconds; the millisecond comes from the moment.
    const zv::timeb64 moment{.time = 19782LL * 86400 + 12 * 3600 + 34 * 60 + 56, .millitm = 789};
    EXPECT_EQ(time::fromTimeb(&moment).msecond(), 789u);
    EXPECT_EQ(time::fromTimer(moment.time).msecond(), 0u);
}

} // namespace
