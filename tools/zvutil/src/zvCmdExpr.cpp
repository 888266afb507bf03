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

std::wstring wideFromUtf8(const std::string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80         ? 0
                          : (lead >> 5) == 6  ? 1
                          : (lead >> 4) == 14 ? 2
                          : (lead >> 3) == 30 ? 3
                                              : -1;
        char32_t cp = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        constexpr char32_t shortest[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < shortest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += L'\uFFFD'; // a malformed sequence: one replacement per byte
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0x10000) {
                out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
                out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                continue;
            }
        }
        out += static_cast<wchar_t>(cp);
    }
    return out;
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
        const std::wstring text = wideFromUtf8(arg);
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
