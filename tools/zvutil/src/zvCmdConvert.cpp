#include "zvCli.h"

#include "zvCodePage.h"
#include "zvDtConvert.h"
#include "zvTypeConvert.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <variant>

namespace zvcli {

namespace {

using anyValue = std::variant<short, unsigned short, int, unsigned int, long, unsigned long, float, double,
                              bool, zv::string>;

bool makeValue(const std::string& type, anyValue& value) {
    static const std::pair<const char*, anyValue> types[] = {
        {"short", short{}}, {"ushort", static_cast<unsigned short>(0)},
        {"int", int{}},     {"uint", 0u},
        {"long", 0L},       {"ulong", 0ul},
        {"float", 0.0f},    {"double", 0.0},
        {"bool", false},    {"string", zv::string()},
    };
    for (const auto& [name, v] : types) {
        if (type == name) {
            value = v;
            return true;
        }
    }
    return false;
}

bool parseInt(const std::string& text, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < -100000 || v > 100000)
        return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

int cmdConvert(context& ctx) {
    std::string from, to, text;
    bool haveText = false;
    int flags = 0;
    zv::dtArgs args;
    const auto& a = ctx.args;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool hasValue = i + 1 < a.size();
        if (a[i] == "--from" && hasValue) {
            from = a[++i];
        } else if (a[i] == "--to" && hasValue) {
            to = a[++i];
        } else if (a[i] == "--hex" && hasValue && (a[i + 1] == "upper" || a[i + 1] == "lower")) {
            flags |= zv::dtFormat;
            args.formatKind = a[++i] == "upper" ? zv::dtHexUpper : zv::dtHexLower;
        } else if (a[i] == "--digits" && hasValue && parseInt(a[i + 1], args.count)) {
            flags |= zv::dtCount;
            ++i;
        } else if (a[i] == "--user-locale") {
            flags |= zv::dtUserLocale;
        } else if (!haveText && (a[i].empty() || a[i][0] != '-' || a[i].size() == 1 ||
                                 (a[i][1] >= '0' && a[i][1] <= '9') || a[i][1] == '.')) {
            text = a[i]; // a negative number is a value, not an option
            haveText = true;
        } else if (a[i] == "--" && hasValue && !haveText) {
            text = a[++i];
            haveText = true;
        } else {
            ctx.err << "zvutil convert: unexpected argument '" << a[i] << "' (see 'zvutil convert --help')\n";
            return exitUsage;
        }
    }
    anyValue source, target;
    if (!haveText || !makeValue(from, source) || !makeValue(to, target)) {
        ctx.err << "zvutil convert: need --from TYPE, --to TYPE and a VALUE (see 'zvutil convert --help')\n";
        return exitUsage;
    }

    const zv::string input(wideFromArgument(text));
    const bool parsed = std::visit(
        [&](auto& v) {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, zv::string>) {
                v = input;
                return true;
            } else {
                return zv::dtconvert(v, input);
            }
        },
        source);
    if (!parsed) {
        ctx.err << "zvutil convert: '" << text << "' is not a valid " << from << "\n";
        return exitFailure;
    }

    // The registry converts between different types; the same type is copied.
    const auto& registry = zv::typeconvert::typeConversionManager::instance();
    if (from == to)
        target = source;
    const bool converted =
        from == to ||
        std::visit(
            [&](const auto& src) {
                return std::visit([&](auto& dst) { return registry.convert(dst, src, flags, args); }, target);
            },
            source);
    const zv::string shown = std::visit(
        [&](const auto& v) {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, zv::string>) {
                return v;
            } else {
                zv::string s;
                zv::dtconvert(s, v, flags, args);
                return s;
            }
        },
        target);
    ctx.out << narrowForOutput(shown) << (converted ? "" : " (false)") << "\n";
    return converted ? exitOk : exitFailure;
}

int cmdUiNumber(context& ctx) {
    std::string text;
    bool haveText = false;
    int decimals = -1;
    const auto& a = ctx.args;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--decimals" && i + 1 < a.size() && parseInt(a[i + 1], decimals)) {
            ++i;
        } else if (!haveText) {
            text = a[i];
            haveText = true;
        } else {
            ctx.err << "zvutil uinum: unexpected argument '" << a[i] << "' (see 'zvutil uinum --help')\n";
            return exitUsage;
        }
    }
    if (!haveText) {
        ctx.err << "zvutil uinum: no number given (see 'zvutil uinum --help')\n";
        return exitUsage;
    }
    zv::string value(wideFromArgument(text));
    if (!zv::formatUiDoubleString(value, decimals)) {
        ctx.err << "zvutil uinum: '" << text << "' is not a valid number or expression\n";
        return exitFailure;
    }
    ctx.out << narrowForOutput(value) << "\n";
    return exitOk;
}

} // namespace zvcli
