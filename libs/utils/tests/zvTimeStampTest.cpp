#include "zvTimeStamp.h"
#include "zvTestSupport.h"
#include "zvTypeConvert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using zv::date;
using zv::time;
using zv::timestamp;

TEST(timestamp, AssignmentFoldsTheEndOfTheDay) {
    const timestamp end(date(2024, 2, 29), time::midnight());
    EXPECT_EQ(end.getTime(), time::midnight()); // the constructor keeps it
    timestamp assigned(date(2000, 1, 1), time(1));
    EXPECT_EQ(assigned = end, timestamp(date(2024, 3, 1), time::daystart()));
    EXPECT_EQ(assigned = timestamp(date(2024, 12, 31), time::midnight()),
              timestamp(date(2025, 1, 1), time()));
    EXPECT_LT(end, timestamp(date(2024, 3, 1), time::daystart())); // ordered by date first
    EXPECT_EQ((timestamp(date(2024, 3, 1), time::daystart()) - end).nallmseconds(), 0u);
}

TEST(timestamp, MovesByDateAndTimeDurations) {
    const timestamp start(date(2024, 2, 28), time(23));
    EXPECT_EQ(start + zv::timeduration(1, 2, 0, 0, 0), timestamp(date(2024, 3, 1), time(1)));
    EXPECT_EQ(start - zv::timeduration(0, 23, 30, 0, 0, false), timestamp(date(2024, 2, 29), time(22, 30)));
    EXPECT_EQ(start + zv::hours(49), timestamp(date(2024, 3, 2), time(0)));
    EXPECT_EQ(start + zv::months(1), timestamp(date(2024, 3, 28), time(23)));
    timestamp t(date(2024, 1, 1), time::midnight()); // the end of a day continues into the next
    EXPECT_EQ(t += zv::seconds(1), timestamp(date(2024, 1, 2), time(0, 0, 1)));
    // Adding and subtracting the same span returns to the start.
    const zv::timeduration span(400, 7, 8, 9, 10);
    EXPECT_EQ((start + span) - span, start);
    EXPECT_EQ(((start + span) - start), span);
}

TEST(timestamp, DifferenceAndTextForms) {
    const timestamp a(date(2024, 3, 1), time(1, 0, 0, 250));
    const timestamp b(date(2024, 2, 28), time(23));
    EXPECT_EQ((a - b).signedMseconds(), (26LL * 3600) * 1000 + 250);
    EXPECT_EQ((b - a).signedMseconds(), -((26LL * 3600) * 1000 + 250));
    EXPECT_EQ((a - a).sign(), -1);
    const timestamp t(date(2024, 1, 5), time(13, 45));
    EXPECT_EQ(timestamp::fromString(L"2024-1-5T13:45", L"T", L"-", L":"), t);
    // A date alone is the end of that day.
    EXPECT_EQ(timestamp::fromString(L"2024/01/05", L" ", L"/", L":"),
              timestamp(date(2024, 1, 5), time::midnight()));
    EXPECT_EQ(timestamp::fromString(L"2024/01/05 24:30", L" ", L"/", L":"),
              timestamp(date(2024, 1, 5), time(0, 30)));
    for (const wchar_t* bad :
         {L"", L"2024/01/05 13:45 x", L"2024/13/05 13:45", L"2024/01/05 25:00", L"2024/01/05 "})
        EXPECT_THROW(timestamp::fromString(bad, L" ", L"/", L":"), bool) << bad;

    timestamp parsed;
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(parsed, zv::string(L"2024-01-05 13:45")), parsed, true, t));
    EXPECT_TRUE(zvtest::gives(zv::dtconvert(parsed, zv::string(L"2024.01.05 13:45")), parsed, false, t));
    // The registry writes timestamps as text but does not read them.
    zv::string text;
    auto& registry = zv::typeconvert::typeConversionManager::instance();
    EXPECT_TRUE(zvtest::gives(registry.convert(text, timestamp(date(2001, 2, 3), time(4, 5, 6, 7))), text,
                              true, L"2001/02/03 04:05:06:07"));
    EXPECT_FALSE(registry.convert(parsed, zv::string(L"2024/01/05 13:45")));
}

TEST(timestamp, TmConversions) {
    std::tm fields{};
    timestamp(date(2024, 12, 31), time::midnight()).toTm(&fields);
    // 2025/01/01 00:00, a Wednesday
    EXPECT_EQ(std::vector<int>({fields.tm_year, fields.tm_mon, fields.tm_mday, fields.tm_hour, fields.tm_wday,
                                fields.tm_yday}),
              std::vector<int>({125, 0, 1, 0, 3, 0}));
    fields.tm_hour = 13;
    fields.tm_min = 14;
    fields.tm_sec = 15;
    EXPECT_EQ(timestamp::fromTm(&fields), timestamp(date(2025, 1, 1), time(13, 14, 15)));
    zvtest::assertCapture capture;
    EXPECT_THROW(timestamp::fromTm(nullptr), bool);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_NE(capture.messages()[0].find(L"fields"), std::wstring::npos);
    EXPECT_THROW(timestamp::fromTimeb(nullptr), bool);
}

TEST(timestamp, LocalTimeRoundTripsThroughTheTimer) {
    // Whatever the zone: local time to seconds and back is the same moment.
    const timestamp t(date(2024, 7, 1), time(12, 30, 15, 500));
    long long seconds = 0;
    ASSERT_TRUE(t.toTimer(&seconds));
    EXPECT_EQ(timestamp::fromTimer(seconds), timestamp(t.getDate(), time(12, 30, 15)));
    const zv::timeb64 moment{.time = seconds, .millitm = 500};
    EXPECT_EQ(timestamp::fromTimeb(&moment), t);
    EXPECT_EQ(timestamp::offsetLocalToUTC(t).nallmseconds() % 60000, 0u); // zones differ in whole minutes
    EXPECT_EQ(t.asUTC().getTime().msecond(), 500u);
}

#if !defined(_WIN32)
// Sets TZ for the life of the object (Linux only: the Windows runtime reads
// its own zone names, and Wine follows the host).
struct timeZone {
    explicit timeZone(const char* zone) : old(std::getenv("TZ") ? std::getenv("TZ") : "") {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~timeZone() {
        old.empty() ? unsetenv("TZ") : setenv("TZ", old.c_str(), 1);
        tzset();
    }
    const std::string old;
};

TEST(timestamp, ZoneOffsetsFollowTheTimeZone) {
    {
        timeZone zone("UTC0");
        const timestamp t(date(2024, 1, 5), time(13, 45));
        long long seconds = 0;
        ASSERT_TRUE(zvtest::gives(t.toTimer(&seconds), seconds, true, 19727LL * 86400 + 13 * 3600 + 45 * 60));
        EXPECT_EQ(t.asUTC(), t);
        EXPECT_EQ(timestamp::currentOffsetLocalToUTC().nallmseconds(), 0u);
    }
    {
        timeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
        const timestamp winter(date(2024, 1, 5), time(13, 45));
        EXPECT_EQ(winter.asUTC(), timestamp(date(2024, 1, 5), time(12, 45)));
        EXPECT_EQ(timestamp::offsetLocalToUTC(winter).signedMseconds(), 60LL * 60000);
        EXPECT_EQ(timestamp::offsetLocalToUTC(timestamp(date(2024, 7, 5), time(0, 30))).nallminutes(), 120u);
        EXPECT_EQ(timestamp(date(2024, 7, 5), time(0, 30)).asUTC(),
                  timestamp(date(2024, 7, 4), time(22, 30)));
        EXPECT_EQ(timestamp::fromTimer(0), timestamp(date(1970, 1, 1), time(1)));
    }
    {
        timeZone zone("IST-5:30");
        EXPECT_EQ(timestamp::currentOffsetLocalToUTC().nallminutes(), 330u);
    }
    {
        timeZone zone("EST5");
        EXPECT_EQ(timestamp::offsetLocalToUTC(timestamp(date(2024, 1, 5), time(1))).signedMseconds(),
                  -300LL * 60000);
        EXPECT_EQ(zv::date::fromTimer(0), date(1969, 12, 31));
        EXPECT_EQ(time::fromTimer(0), time(19));
    }
}
#endif

} // namespace
