#include "zvCli.h"

#include "zvDate.h"
#include "zvTime.h"

#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>
#include <system_error>

namespace zvcli {

namespace {

const char* const kWeekdays[7] = {"monday", "tuesday",  "wednesday", "thursday",
                                  "friday", "saturday", "sunday"};
const char* const kMonths[12] = {"january", "february", "march",     "april",   "may",      "june",
                                 "july",    "august",   "september", "october", "november", "december"};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string capitalised(const char* name) {
    std::string text = name;
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

// A whole number with an optional sign, nothing else.
bool parseInteger(const std::string& text, long long& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto r = std::from_chars(first, last, value);
    return r.ec == std::errc() && r.ptr == last && first != last;
}

// A count for a duration: magnitude below 2^32.
bool parseCount(const std::string& text, long long& value) {
    return parseInteger(text, value) && value > -4294967296LL && value < 4294967296LL;
}

// A name (any case, or its first three letters) or a number from `base`.
bool parseName(const std::string& text, const char* const* names, int count, int base, int& index) {
    const std::string key = lower(text);
    for (int i = 0; i < count; ++i) {
        const std::string name = names[i];
        if (key == name || (key.size() == 3 && name.compare(0, 3, key) == 0)) {
            index = i;
            return true;
        }
    }
    long long number = 0;
    if (parseInteger(text, number) && number >= base && number < base + count) {
        index = static_cast<int>(number - base);
        return true;
    }
    return false;
}

int usage(context& ctx, const char* command, const std::string& message) {
    ctx.err << "zvutil " << command << ": " << message << " (see 'zvutil " << command << " --help')\n";
    return exitUsage;
}

const char* const kDateRange = "dates run from 0000/01/01 to 65535/12/31";

/// A date as written: 0 and the date, `exitUsage` for text that is no date,
/// `exitFailure` for a year beyond the calendar ("70000/1/1"), which the
/// library's conversion would clamp into another date. A day beyond the
/// month's end becomes its last day, as documented.
int parseDate(context& ctx, const std::string& text, zv::date& d) {
    if (!zv::dtconvert(d, zv::string(wideFromArgument(text))))
        return usage(ctx, "date", "'" + text + "' is not a date (YYYY/MM/DD or YYYY-MM-DD)");
    // The year as written, read as the conversion read it.
    std::string plain = text;
    if (!plain.empty() && (plain.front() == '"' || plain.front() == '\'')) {
        const std::size_t first = plain.find_first_not_of("\"' ");
        const std::size_t last = plain.find_last_not_of("\"' ");
        plain = first == std::string::npos ? std::string() : plain.substr(first, last - first + 1);
    }
    const char separator = plain.find('/') != std::string::npos ? '/' : '-';
    long long year = 0;
    if (!parseInteger(plain.substr(0, plain.find(separator)), year))
        return exitOk; // written in a form only the library reads; take its date
    if (year > zv::date::maxYear()) {
        ctx.err << "zvutil date: year " << year << " is out of range (" << kDateRange << ")\n";
        return exitFailure;
    }
    return exitOk;
}

/// The days from 0000/01/01 to `d`.
long long dayNumber(const zv::date& d) {
    return static_cast<long long>((d - zv::date(0, 1, 1)).days());
}

/// The day number `n` work days (Monday to Friday) from `day`, which falls
/// on `weekday` (Monday 0); the start day is never counted.
long long workdaysFrom(long long day, int weekday, long long n) {
    if (n >= 0) {
        if (weekday >= 5) { // a weekend counts from the Friday before
            day -= weekday - 4;
            weekday = 4;
        }
        const long long rest = n % 5;
        return day + n / 5 * 7 + rest + (weekday + rest >= 5 ? 2 : 0);
    }
    n = -n;
    if (weekday >= 5) { // and back from the Monday after
        day += 7 - weekday;
        weekday = 0;
    }
    const long long rest = n % 5;
    return day - n / 5 * 7 - rest - (weekday - rest < 0 ? 2 : 0);
}

int dateInfo(context& ctx) {
    if (ctx.args.size() != 2)
        return usage(ctx, "date", "expected: info DATE");
    zv::date d;
    if (const int rc = parseDate(ctx, ctx.args[1], d); rc != exitOk)
        return rc;
    ctx.out << "date: " << narrowForOutput(d.toString()) << "\n"
            << "weekday: " << capitalised(kWeekdays[d.dayOfWeek()]) << "\n"
            << "day of year: " << d.dayOfYear() << "\n"
            << "ISO week: " << d.weekOfYear() << "\n"
            << "leap year: " << (zv::date::isLeapYear(d.year()) ? "yes" : "no") << "\n";
    return exitOk;
}

int dateEaster(context& ctx) {
    long long year = 0;
    if (ctx.args.size() != 2 || !parseInteger(ctx.args[1], year) || year < 0 || year > 65535)
        return usage(ctx, "date", "expected: easter YEAR (0-65535)");
    ctx.out << narrowForOutput(zv::date::easterSunday(static_cast<unsigned int>(year)).toString()) << "\n";
    return exitOk;
}

int dateAdd(context& ctx) {
    if (ctx.args.size() != 4)
        return usage(ctx, "date", "expected: add DATE N days|weeks|months|years|workdays");
    zv::date d;
    if (const int rc = parseDate(ctx, ctx.args[1], d); rc != exitOk)
        return rc;
    long long n = 0;
    if (!parseCount(ctx.args[2], n))
        return usage(ctx, "date", "'" + ctx.args[2] + "' is not a whole number below 2^32");
    const unsigned int count = static_cast<unsigned int>(n < 0 ? -n : n);
    std::string unit = lower(ctx.args[3]);
    if (!unit.empty() && unit.back() != 's')
        unit += 's';
    auto apply = [&](const zv::date_duration& duration) {
        if (n < 0)
            d -= duration;
        else
            d += duration;
    };
    // The result must be a date too: the library's arithmetic would wrap or
    // clamp past either end of the calendar.
    const long long day = dayNumber(d);
    const long long lastDay = dayNumber(zv::date::maxDate());
    bool inRange = true;
    if (unit == "days" || unit == "weeks") {
        const long long target = day + (unit == "days" ? n : 7 * n);
        inRange = target >= 0 && target <= lastDay;
    } else if (unit == "months") {
        const long long month = static_cast<long long>(d.year()) * 12 + (d.month() - 1) + n;
        inRange = month >= 0 && month <= static_cast<long long>(zv::date::maxYear()) * 12 + 11;
    } else if (unit == "years") {
        const long long year = static_cast<long long>(d.year()) + n;
        inRange = year >= 0 && year <= zv::date::maxYear();
    } else if (unit == "workdays") {
        const long long target = workdaysFrom(day, d.dayOfWeek(), n);
        inRange = target >= 0 && target <= lastDay;
    } else {
        return usage(ctx, "date", "unknown unit '" + ctx.args[3] + "'");
    }
    if (!inRange) {
        ctx.err << "zvutil date: " << narrowForOutput(d.toString()) << (n < 0 ? " minus " : " plus ") << count
                << " " << unit << " is out of range (" << kDateRange << ")\n";
        return exitFailure;
    }
    if (unit == "days")
        apply(zv::days(count));
    else if (unit == "weeks")
        apply(zv::weeks(count));
    else if (unit == "months")
        apply(zv::months(count));
    else if (unit == "years")
        apply(zv::years(count));
    else
        apply(zv::workdays(count)); // Monday to Friday
    ctx.out << narrowForOutput(d.toString()) << "\n";
    return exitOk;
}

int dateDiff(context& ctx) {
    if (ctx.args.size() != 3)
        return usage(ctx, "date", "expected: diff A B");
    zv::date a;
    zv::date b;
    if (const int rc = parseDate(ctx, ctx.args[1], a); rc != exitOk)
        return rc;
    if (const int rc = parseDate(ctx, ctx.args[2], b); rc != exitOk)
        return rc;
    const zv::timeduration d = b - a;
    ctx.out << (d.sign() < 0 && d.days() != 0 ? "-" : "") << d.days() << "\n";
    return exitOk;
}

int dateNth(context& ctx) {
    long long n = 0;
    long long year = 0;
    int weekday = 0;
    int month = 0;
    if (ctx.args.size() != 5)
        return usage(ctx, "date", "expected: nth N WEEKDAY MONTH YEAR");
    if (!parseInteger(ctx.args[1], n) || n < 1 || n > 5)
        return usage(ctx, "date", "N must be 1 to 5");
    if (!parseName(ctx.args[2], kWeekdays, 7, 0, weekday))
        return usage(ctx, "date", "'" + ctx.args[2] + "' is not a weekday (monday..sunday or 0-6)");
    if (!parseName(ctx.args[3], kMonths, 12, 1, month))
        return usage(ctx, "date", "'" + ctx.args[3] + "' is not a month (1-12 or a name)");
    if (!parseInteger(ctx.args[4], year) || year < 0 || year > 65535)
        return usage(ctx, "date", "YEAR must be 0 to 65535");
    try {
        const zv::date d =
            zv::date::nthWeekday(static_cast<unsigned short>(n), static_cast<zv::date::eWeekday>(weekday),
                                 static_cast<zv::date::eMonth>(month + 1), static_cast<unsigned int>(year));
        ctx.out << narrowForOutput(d.toString()) << "\n";
        return exitOk;
    } catch (bool) {
        ctx.err << "zvutil date: " << capitalised(kMonths[month]) << " " << year << " has no " << n << ". "
                << capitalised(kWeekdays[weekday]) << "\n";
        return exitFailure;
    }
}

} // namespace

int cmdDate(context& ctx) {
    if (ctx.args.empty())
        return usage(ctx, "date", "expected a subcommand");
    const std::string& sub = ctx.args[0];
    if (sub == "info")
        return dateInfo(ctx);
    if (sub == "easter")
        return dateEaster(ctx);
    if (sub == "add")
        return dateAdd(ctx);
    if (sub == "diff")
        return dateDiff(ctx);
    if (sub == "nth")
        return dateNth(ctx);
    return usage(ctx, "date", "unknown subcommand '" + sub + "'");
}

int cmdTime(context& ctx) {
    if (ctx.args.size() != 4 || ctx.args[0] != "add")
        return usage(ctx, "time", "expected: add TIME N hours|minutes|seconds|ms");
    zv::time t;
    if (!zv::dtconvert(t, zv::string(wideFromArgument(ctx.args[1]))))
        return usage(ctx, "time", "'" + ctx.args[1] + "' is not a time (HH[:MM[:SS[:MS]]])");
    long long n = 0;
    if (!parseCount(ctx.args[2], n))
        return usage(ctx, "time", "'" + ctx.args[2] + "' is not a whole number below 2^32");
    const unsigned int count = static_cast<unsigned int>(n < 0 ? -n : n);
    const std::string unit = lower(ctx.args[3]);
    unsigned int carry = 0;
    auto apply = [&](const zv::time_duration& duration) {
        if (n < 0)
            duration.subtractFromTime(t, &carry);
        else
            duration.addToTime(t, &carry);
    };
    if (unit == "hours" || unit == "hour")
        apply(zv::hours(count));
    else if (unit == "minutes" || unit == "minute")
        apply(zv::minutes(count));
    else if (unit == "seconds" || unit == "second")
        apply(zv::seconds(count));
    else if (unit == "ms" || unit == "mseconds")
        apply(zv::mseconds(count));
    else
        return usage(ctx, "time", "unknown unit '" + ctx.args[3] + "'");
    ctx.out << narrowForOutput(t.toString());
    if (carry != 0)
        ctx.out << " (" << (n < 0 ? "-" : "+") << carry << (carry == 1 ? " day" : " days") << ")";
    ctx.out << "\n";
    return exitOk;
}

} // namespace zvcli
