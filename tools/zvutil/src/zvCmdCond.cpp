// cond, units and password: conditions on values, unit conversion and
// scrambled passwords.
#include "zvCli.h"

#include "zvCondition.h"
#include "zvDtConvert.h"
#include "zvPassword.h"
#include "zvUnitConv.h"

#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

namespace zvcli {

namespace {

template <typename T>
bool readValue(const zv::string& text, zv::genericValue& value) {
    T v{};
    if constexpr (std::is_same_v<T, zv::string>)
        v = text;
    else if (!zv::dtconvert(v, text, 0, zv::dtArgs{}))
        return false;
    value = zv::genericValue(v);
    return true;
}

// A value of the named type read from its text; false for an unknown type
// or a text that does not convert.
bool makeValue(const std::string& type, const zv::string& text, zv::genericValue& value) {
    static const std::pair<const char*, bool (*)(const zv::string&, zv::genericValue&)> types[] = {
        {"bool", &readValue<bool>},
        {"short", &readValue<short>},
        {"int", &readValue<int>},
        {"long", &readValue<long>},
        {"ushort", &readValue<unsigned short>},
        {"uint", &readValue<unsigned int>},
        {"ulong", &readValue<unsigned long>},
        {"float", &readValue<float>},
        {"double", &readValue<double>},
        {"string", &readValue<zv::string>},
    };
    for (const auto& [name, read] : types)
        if (type == name)
            return read(text, value);
    return false;
}

} // namespace

int cmdCond(context& ctx) {
    const auto& a = ctx.args;
    if (a.empty()) {
        ctx.err << "zvutil cond: expected TEXT (see 'zvutil cond --help')\n";
        return exitUsage;
    }
    // Check the options first, so a usage error is reported before any output.
    struct probe {
        std::string label;
        zv::genericValue value;
    };
    std::vector<probe> probes;
    std::string type = "string";
    for (std::size_t i = 1; i < a.size(); ++i) {
        const bool hasValue = i + 1 < a.size();
        if (a[i] == "--type" && hasValue) {
            type = a[++i];
            zv::genericValue unused;
            if (!makeValue(type, L"0", unused)) {
                ctx.err << "zvutil cond: unknown type '" << type << "'\n";
                return exitUsage;
            }
        } else if (a[i] == "--value" && hasValue) {
            probe p{type + " " + a[++i], {}};
            if (!makeValue(type, wideFromArgument(a[i]), p.value)) {
                ctx.err << "zvutil cond: '" << a[i] << "' is not a valid " << type << "\n";
                return exitUsage;
            }
            probes.push_back(std::move(p));
        } else if (a[i] == "--empty") {
            probes.push_back({"empty", zv::genericValue()});
        } else {
            ctx.err << "zvutil cond: unexpected argument '" << a[i] << "' (see 'zvutil cond --help')\n";
            return exitUsage;
        }
    }

    const std::unique_ptr<zv::conditions::condition> c(
        zv::conditions::condition::parse(wideFromArgument(a[0])));
    if (!c) {
        ctx.err << "zvutil cond: an operand does not convert to its datatype\n";
        return exitFailure;
    }
    ctx.out << narrowForOutput(c->text()) << "\n";
    for (const probe& p : probes)
        ctx.out << p.label << ": " << (c->isTrueGeneric(p.value) ? "true" : "false") << "\n";
    return exitOk;
}

int cmdUnits(context& ctx) {
    if (ctx.args.size() != 3) {
        ctx.err << "zvutil units: expected FROM TO VALUE (see 'zvutil units --help')\n";
        return exitUsage;
    }
    const std::string& valueText = ctx.args[2];
    double value = 0.0;
    const auto v = std::from_chars(valueText.data(), valueText.data() + valueText.size(), value);
    if (v.ec != std::errc() || v.ptr != valueText.data() + valueText.size()) {
        ctx.err << "zvutil units: '" << valueText << "' is not a number\n";
        return exitUsage;
    }
    // Unknown unit names throw the library's own error.
    const zv::eUnitSystem from = zv::unitSystemFromString(wideFromArgument(ctx.args[0]));
    const zv::eUnitSystem to = zv::unitSystemFromString(wideFromArgument(ctx.args[1]));
    const zv::unitconv factors(from, to);
    ctx.out << formatNumber(value) << " " << narrowForOutput(zv::unitSystemString(from)) << " = "
            << formatNumber(value * factors.lengthFactor()) << " "
            << narrowForOutput(zv::unitSystemString(to)) << "\n"
            << "length factor: " << formatNumber(factors.lengthFactor()) << "\n"
            << "area factor: " << formatNumber(factors.areaFactor()) << "\n"
            << "volume factor: " << formatNumber(factors.volumeFactor()) << "\n";
    return exitOk;
}

int cmdPassword(context& ctx) {
    const auto& a = ctx.args;
    if (a.size() != 2 || (a[0] != "scramble" && a[0] != "unscramble")) {
        ctx.err << "zvutil password: expected scramble|unscramble TEXT (see 'zvutil password --help')\n";
        return exitUsage;
    }
    const zv::string text = wideFromArgument(a[1]);
    zv::password p;
    if (a[0] == "scramble") {
        p.set(text);
        ctx.out << narrowForOutput(p.encryptedString()) << "\n";
        return exitOk;
    }
    p.setEncrypted(text);
    const zv::string plain = p.decryptedString();
    if (plain.empty() && !text.empty()) {
        ctx.err << "zvutil password: '" << a[1] << "' is not a scrambled password\n";
        return exitFailure;
    }
    ctx.out << narrowForOutput(plain) << "\n";
    return exitOk;
}

} // namespace zvcli
