#include "zvCliCaseTable.h"

#include <gtest/gtest.h>

namespace {

using zvclitest::expectCases;

TEST(cliDate, InfoEasterNthDiffAndAdd) {
    const std::string info =
        "date: 2021/01/03\nweekday: Sunday\nday of year: 3\nISO week: 53\nleap year: no\n";
    expectCases({
        {{"date", "info", "2021-1-3"}, 0, info},
        {{"date", "info", "2024/13/01"}, 2, ""},
        {{"date", "info"}, 2, ""},
        {{"date", "easter", "-1"}, 2, ""},
        {{"date", "nth", "1", "Mon", "sep", "2024"}, 0, "2024/09/02\n"},
        {{"date", "nth", "5", "monday", "2", "2023"}, 1, "", "has no 5. Monday"},
        {{"date", "nth", "1", "someday", "2", "2023"}, 2, ""},
        {{"date", "diff", "2024/01/01", "2024/01/01"}, 0, "0\n"},
        {{"date", "add", "2024/01/31", "13", "months"}, 0, "2025/02/28\n"},
        {{"date", "add", "2024/02/29", "1", "year"}, 0, "2025/02/28\n"},
        {{"date", "add", "2024/01/01", "2", "weeks"}, 0, "2024/01/15\n"},
        {{"date", "add", "2024/05/06", "-1", "workdays"}, 0, "2024/05/03\n"},
        {{"date", "add", "2024/01/01", "1", "fortnights"}, 2, ""},
        {{"date", "add", "2024/01/01", "4294967296", "days"}, 2, ""},
        {{"date", "add", "2024/01/01", "1x", "days"}, 2, ""},
    });
}

TEST(cliDate, DatesOutsideTheCalendarAreErrors) {
    // Years the library would clamp into another date, and results past
    // either end, fail with exit 1 and say why; nothing is printed.
    expectCases({
        {{"date", "info", "70000/1/1"}, 1, "", "year 70000 is out of range"},
        {{"date", "diff", "2024/01/01", "99999-1-1"}, 1, "", "year 99999 is out of range"},
        {{"date", "add", "65536/01/01", "-1", "days"}, 1, "", "year 65536 is out of range"},
        {{"date", "add", "65535/12/31", "1", "days"}, 1, "", "65535/12/31 plus 1 days is out of range"},
        {{"date", "add", "0000/01/01", "-1", "days"}, 1, "", "0000/01/01 minus 1 days is out of range"},
        {{"date", "add", "65535/12/25", "1", "weeks"}, 1, "", "out of range"},
        {{"date", "add", "65535/12/01", "1", "month"}, 1, "", "out of range"},
        {{"date", "add", "0000/03/01", "-3", "months"}, 1, "", "out of range"},
        {{"date", "add", "65535/02/28", "1", "years"}, 1, "", "out of range"},
        {{"date", "add", "2024/01/01", "-2025", "years"}, 1, "", "out of range"},
        {{"date", "add", "65535/12/29", "3", "workdays"}, 1, "", "out of range"}, // a Sunday
        {{"date", "add", "0000/01/03", "-1", "workdays"}, 1, "", "out of range"}, // a Monday
        {{"date", "add", "2024/01/01", "4294967295", "days"}, 1, "", "out of range"},
        // Right at the ends the results are still dates.
        {{"date", "add", "65535/12/30", "1", "days"}, 0, "65535/12/31\n"},
        {{"date", "add", "0000/01/02", "-1", "days"}, 0, "0000/01/01\n"},
        {{"date", "add", "65535/12/29", "2", "workdays"}, 0, "65535/12/31\n"},
        {{"date", "add", "0000/01/04", "-1", "workdays"}, 0, "0000/01/03\n"},
        {{"date", "add", "65534/12/31", "12", "months"}, 0, "65535/12/31\n"},
        {{"date", "add", "0001/01/31", "-12", "months"}, 0, "0000/01/31\n"},
    });
}

TEST(cliTime, AddReportsDayCarries) {
    expectCases({
        {{"time", "add", "00:30", "-90", "minutes"}, 0, "23:00:00:00 (-1 day)\n"},
        {{"time", "add", "10:00:00:900", "250", "ms"}, 0, "10:00:01:150\n"},
        {{"time", "add", "0:0", "172800", "seconds"}, 0, "00:00:00:00 (+2 days)\n"},
        {{"time", "add", "25:00", "1", "hours"}, 2, ""},
        {{"time", "sub", "10:00", "1", "hours"}, 2, ""},
    });
}

} // namespace
