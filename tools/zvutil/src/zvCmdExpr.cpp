#include "zvCli.h"

#include "zvExpression.h"

#include <charconv>
#include <iostream>
#include <string>

namespace zvcli {

std::string formatNumber(double value) {
    // The shortest digits; laid out like %.17g: fixed unless the decimal
    // exponent is below -4 or at least 17.
    char text[64];
    const auto sci = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    const std::string scientific(text, sci.ptr);
    const std::size_t e = scientific.find('e');
    if (e == std::string::npos) // inf, nan
        return scientific;
    const int exponent = std::stoi(scientific.substr(e + 1));
    if (exponent < -4 || exponent >= 17)
        return scientific;
    const auto fixed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, fixed.ptr);
}

namespace {

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text); // the error texts are ASCII
    return out;
}

} // namespace

int cmdExpr(context& ctx) {
    if (ctx.args.empty()) {
        ctx.err << "zvutil expr: no expression given (see 'zvutil expr --help')\n";
        return exitUsage;
    }
    int rc = exitOk;
    for (const std::string& arg : ctx.args) {
        const std::wstring text = wideFromArgument(arg);
        const zv::expression e(text.c_str());
        if (e.isValid()) {
            ctx.out << formatNumber(e.result()) << "\n";
        } else {
            ctx.out << "error " << e.error() << ": " << narrow(zv::expression::errorText(e.error())) << "\n";
            rc = exitFailure;
        }
    }
    return rc;
}

} // namespace zvcli
