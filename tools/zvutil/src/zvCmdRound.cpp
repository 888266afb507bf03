#include "zvCli.h"

#include "zvRound.h"

#include <charconv>
#include <iostream>
#include <string>
#include <system_error>

namespace zvcli {

namespace {

// Both arguments parsed completely (locale-independent), or a usage error.
int roundOrCut(context& ctx, const char* name, double (*operation)(double, int)) {
    if (ctx.args.size() != 2) {
        ctx.err << "zvutil " << name << ": expected VALUE DECIMALS (see 'zvutil " << name << " --help')\n";
        return exitUsage;
    }
    const std::string& valueText = ctx.args[0];
    const std::string& decimalsText = ctx.args[1];
    double value = 0.0;
    const auto v = std::from_chars(valueText.data(), valueText.data() + valueText.size(), value);
    if (v.ec != std::errc() || v.ptr != valueText.data() + valueText.size()) {
        ctx.err << "zvutil " << name << ": '" << valueText << "' is not a number\n";
        return exitUsage;
    }
    int decimals = 0;
    const auto d = std::from_chars(decimalsText.data(), decimalsText.data() + decimalsText.size(), decimals);
    if (d.ec != std::errc() || d.ptr != decimalsText.data() + decimalsText.size()) {
        ctx.err << "zvutil " << name << ": '" << decimalsText << "' is not a whole number of decimals\n";
        return exitUsage;
    }
    ctx.out << formatNumber(operation(value, decimals)) << "\n";
    return exitOk;
}

} // namespace

int cmdRound(context& ctx) {
    return roundOrCut(ctx, "round", &zv::roundImp);
}

int cmdCutOff(context& ctx) {
    return roundOrCut(ctx, "cutoff", &zv::cutOffImp);
}

} // namespace zvcli
