#include "zvCliTestSupport.h"

using zvclitest::expectCases;

// The plain forms of info, easter, nth, diff and add are in the end-to-end script.
// Adding to a time reports the days it carries over.
TEST(cliDate, InfoNthAndAddToDatesAndTimes) {
    const std::string info =
        "date: 2021/01/03\nweekday: Sunday\nday of year: 3\nISO week: 53\nleap year: no\n";
    expectCases({"date"}, {
                              {{"info", "2021-1-3"}, 0, info},
                              {{"easter", "-1"}, 2, ""},
                              {{"nth", "1", "Mon", "sep", "2024"}, 0, "2024/09/02\n"},
                              {{"nth", "5", "monday", "2", "2023"}, 1, "", "has no 5. Monday"},
                              {{"nth", "1", "someday", "2", "2023"}, 2, ""},
                              {{"add", "2024/02/29", "1", "year"}, 0, "2025/02/28\n"},
                              {{"add", "2024/05/06", "-1", "workdays"}, 0, "2024/05/03\n"},
                              {{"add", "2024/01/01", "1", "fortnights"}, 2, ""},
                              {{"add", "2024/01/01", "4294967296", "days"}, 2, ""},
                              {{"add", "2024/01/01", "1x", "days"}, 2, ""},
                          });
    expectCases({"time", "add"}, {
                                     {{"00:30", "-90", "minutes"}, 0, "23:00:00:00 (-1 day)\n"},
                                     {{"10:00:00:900", "250", "ms"}, 0, "10:00:01:150\n"},
                                     {{"0:0", "172800", "seconds"}, 0, "00:00:00:00 (+2 days)\n"},
                                     {{"25:00", "1", "hours"}, 2, ""},
                                 });
}

TEST(cliDate, DatesOutsideTheCalendarAreErrors) {
    // Years the library would clamp into another date, and results past
    // either end, fail with exit 1 and say why; nothing is printed.
    expectCases({"date"},
                {
                    {{"diff", "2024/01/01", "99999-1-1"}, 1, "", "year 99999 is out of range"},
                    {{"add", "65535/12/31", "1", "days"}, 1, "", "65535/12/31 plus 1 days is out of range"},
                    {{"add", "0000/01/01", "-1", "days"}, 1, "", "0000/01/01 minus 1 days is out of range"},
                    {{"add", "65535/12/25", "1", "weeks"}, 1, "", "out of range"},
                    {{"add", "65535/12/01", "1", "month"}, 1, "", "out of range"},
                    {{"add", "0000/03/01", "-3", "months"}, 1, "", "out of range"},
                    {{"add", "65535/02/28", "1", "years"}, 1, "", "out of range"},
                    {{"add", "2024/01/01", "-2025", "years"}, 1, "", "out of range"},
                    {{"add", "65535/12/29", "3", "workdays"}, 1, "", "out of range"}, // a Sunday
                    {{"add", "0000/01/03", "-1", "workdays"}, 1, "", "out of range"}, // a Monday
                    {{"add", "2024/01/01", "4294967295", "days"}, 1, "", "out of range"},
                    // Right at the ends the results are still dates.
                    {{"add", "65535/12/30", "1", "days"}, 0, "65535/12/31\n"},
                    {{"add", "0000/01/02", "-1", "days"}, 0, "0000/01/01\n"},
                    {{"add", "65535/12/29", "2", "workdays"}, 0, "65535/12/31\n"},
                    {{"add", "0000/01/04", "-1", "workdays"}, 0, "0000/01/03\n"},
                    {{"add", "65534/12/31", "12", "months"}, 0, "65535/12/31\n"},
                    {{"add", "0001/01/31", "-12", "months"}, 0, "0000/01/31\n"},
                });
}
