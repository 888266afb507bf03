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

bool parseDate(const std::string& text, zv::date& d) {
    return zv::dtconvert(d, zv::string(wideFromArgument(text)));
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

int dateInfo(context& ctx) {
    if (ctx.args.size() != 2)
        return usage(ctx, "date", "expected: info DATE");
    zv::date d;
    if (!parseDate(ctx.args[1], d))
        return usage(ctx, "date", "'" + ctx.args[1] + "' is not a date (YYYY/MM/DD or YYYY-MM-DD)");
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
    if (!parseDate(ctx.args[1], d))
        return usage(ctx, "date", "'" + ctx.args[1] + "' is not a date (YYYY/MM/DD or YYYY-MM-DD)");
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
    if (unit == "days")
        apply(zv::days(count));
    else if (unit == "weeks")
        apply(zv::weeks(count));
    else if (unit == "months")
        apply(zv::months(count));
    else if (unit == "years")
        apply(zv::years(count));
    else if (unit == "workdays")
        apply(zv::workdays(count)); // Monday to Friday
    else
        return usage(ctx, "date", "unknown unit '" + ctx.args[3] + "'");
    ctx.out << narrowForOutput(d.toString()) << "\n";
    return exitOk;
}

int dateDiff(context& ctx) {
    if (ctx.args.size() != 3)
        return usage(ctx, "date", "expected: diff A B");
    zv::date a;
    zv::date b;
    if (!parseDate(ctx.args[1], a))
        return usage(ctx, "date", "'" + ctx.args[1] + "' is not a date (YYYY/MM/DD or YYYY-MM-DD)");
    if (!parseDate(ctx.args[2], b))
        return usage(ctx, "date", "'" + ctx.args[2] + "' is not a date (YYYY/MM/DD or YYYY-MM-DD)");
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
