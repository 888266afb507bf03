#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using zvclitest::cliResult;
using zvclitest::run;

TEST(cliDate, InfoReadsBothTextForms) {
    const std::string expected =
        "date: 2021/01/03\nweekday: Sunday\nday of year: 3\nISO week: 53\nleap year: no\n";
    EXPECT_EQ(run({"date", "info", "2021/01/03"}).out, expected);
    EXPECT_EQ(run({"date", "info", "2021-1-3"}).out, expected);
    EXPECT_EQ(run({"date", "info", "2024-02-30"}).out.substr(0, 17), "date: 2024/02/29\n");
    EXPECT_EQ(run({"date", "info", "2024/13/01"}).rc, 2);
    EXPECT_EQ(run({"date", "info"}).rc, 2);
}

TEST(cliDate, EasterNthAndDiff) {
    EXPECT_EQ(run({"date", "easter", "2025"}).out, "2025/04/20\n");
    EXPECT_EQ(run({"date", "easter", "-1"}).rc, 2);
    EXPECT_EQ(run({"date", "nth", "4", "thursday", "11", "2023"}).out, "2023/11/23\n");
    EXPECT_EQ(run({"date", "nth", "1", "Mon", "sep", "2024"}).out, "2024/09/02\n");
    EXPECT_TRUE(
        zvclitest::failsWith(run({"date", "nth", "5", "monday", "2", "2023"}), 1, "has no 5. Monday"));
    EXPECT_EQ(run({"date", "nth", "1", "someday", "2", "2023"}).rc, 2);
    EXPECT_EQ(run({"date", "diff", "2020-03-01", "2019/03/01"}).out, "-366\n");
    EXPECT_EQ(run({"date", "diff", "2024/01/01", "2024/03/01"}).out, "60\n");
    EXPECT_EQ(run({"date", "diff", "2024/01/01", "2024/01/01"}).out, "0\n");
}

TEST(cliDate, AddMovesByEveryUnit) {
    EXPECT_EQ(run({"date", "add", "2024/01/01", "-1", "days"}).out, "2023/12/31\n");
    EXPECT_EQ(run({"date", "add", "2024/01/31", "13", "months"}).out, "2025/02/28\n");
    EXPECT_EQ(run({"date", "add", "2024/02/29", "1", "year"}).out, "2025/02/28\n");
    EXPECT_EQ(run({"date", "add", "2024/01/01", "2", "weeks"}).out, "2024/01/15\n");
    EXPECT_EQ(run({"date", "add", "2024/05/03", "1", "workdays"}).out, "2024/05/06\n");
    EXPECT_EQ(run({"date", "add", "2024/05/06", "-1", "workdays"}).out, "2024/05/03\n");
    EXPECT_EQ(run({"date", "add", "2024/01/01", "1", "fortnights"}).rc, 2);
    EXPECT_EQ(run({"date", "add", "2024/01/01", "4294967296", "days"}).rc, 2);
    EXPECT_EQ(run({"date", "add", "2024/01/01", "1x", "days"}).rc, 2);
}

TEST(cliDate, DatesOutsideTheCalendarAreErrors) {
    // Years the library would clamp into another date, and results past
    // either end, fail with exit 1 and say why; nothing is printed.
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"date", "info", "70000/1/1"}, "year 70000 is out of range"},
        {{"date", "diff", "2024/01/01", "99999-1-1"}, "year 99999 is out of range"},
        {{"date", "add", "65536/01/01", "-1", "days"}, "year 65536 is out of range"},
        {{"date", "add", "65535/12/31", "1", "days"}, "65535/12/31 plus 1 days is out of range"},
        {{"date", "add", "0000/01/01", "-1", "days"}, "0000/01/01 minus 1 days is out of range"},
        {{"date", "add", "65535/12/25", "1", "weeks"}, "out of range"},
        {{"date", "add", "65535/12/01", "1", "month"}, "out of range"},
        {{"date", "add", "0000/03/01", "-3", "months"}, "out of range"},
        {{"date", "add", "65535/02/28", "1", "years"}, "out of range"},
        {{"date", "add", "2024/01/01", "-2025", "years"}, "out of range"},
        {{"date", "add", "65535/12/29", "3", "workdays"}, "out of range"}, // a Sunday
        {{"date", "add", "0000/01/03", "-1", "workdays"}, "out of range"}, // a Monday
        {{"date", "add", "2024/01/01", "4294967295", "days"}, "out of range"},
    };
    for (const auto& c : cases) {
        const cliResult r = run(c.args);
        EXPECT_EQ(r.rc, 1) << c.args[2];
        EXPECT_EQ(r.out, "") << c.args[2];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // Right at the ends the results are still dates.
    EXPECT_EQ(run({"date", "add", "65535/12/30", "1", "days"}).out, "65535/12/31\n");
    EXPECT_EQ(run({"date", "add", "0000/01/02", "-1", "days"}).out, "0000/01/01\n");
    EXPECT_EQ(run({"date", "add", "65535/12/29", "2", "workdays"}).out, "65535/12/31\n");
    EXPECT_EQ(run({"date", "add", "0000/01/04", "-1", "workdays"}).out, "0000/01/03\n");
    EXPECT_EQ(run({"date", "add", "65534/12/31", "12", "months"}).out, "65535/12/31\n");
    EXPECT_EQ(run({"date", "add", "0001/01/31", "-12", "months"}).out, "0000/01/31\n");
    EXPECT_EQ(run({"date", "info", "65535/12/31"}).rc, 0);
}

TEST(cliTime, AddReportsDayCarries) {
    EXPECT_EQ(run({"time", "add", "23:30", "1", "hours"}).out, "00:30:00:00 (+1 day)\n");
    EXPECT_EQ(run({"time", "add", "00:30", "-90", "minutes"}).out, "23:00:00:00 (-1 day)\n");
    EXPECT_EQ(run({"time", "add", "10:00:00:900", "250", "ms"}).out, "10:00:01:150\n");
    EXPECT_EQ(run({"time", "add", "0:0", "172800", "seconds"}).out, "00:00:00:00 (+2 days)\n");
    EXPECT_EQ(run({"time", "add", "25:00", "1", "hours"}).rc, 2);
    EXPECT_EQ(run({"time", "sub", "10:00", "1", "hours"}).rc, 2);
}

} // namespace
