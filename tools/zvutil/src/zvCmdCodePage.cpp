#include "zvCli.h"

#include "zvCodePage.h"
#include "zvFsEntryName.h"

#include <charconv>
#include <iostream>

namespace zvcli {

std::wstring wideFromArgument(const std::string& arg) {
#if defined(_WIN32)
    const unsigned int page = zv::ansiCodePage();
#else
    const unsigned int page = 65001;
#endif
    std::wstring wide;
    zv::fromCodePage(arg, page, wide);
    return wide;
}

std::string narrowForOutput(const std::wstring& text) {
#if defined(_WIN32)
    const unsigned int page = zv::ansiCodePage();
#else
    const unsigned int page = 65001;
#endif
    std::string out;
    zv::toCodePage(text, page, out);
    return out;
}

std::string hostOf(const zv::fsEntryName& name) {
    const zv::string host = name.hostPath();
    return narrowForOutput(host.empty() ? static_cast<const std::wstring&>(name)
                                        : static_cast<const std::wstring&>(host));
}

int cmdCodePage(context& ctx) {
    unsigned int page = zv::ansiCodePage();
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--cp") {
            if (i + 1 == ctx.args.size()) {
                ctx.err << "zvutil codepage: --cp needs a number\n";
                return exitUsage;
            }
            const std::string& n = ctx.args[++i];
            unsigned int value = 0;
            const auto r = std::from_chars(n.data(), n.data() + n.size(), value);
            if (r.ec != std::errc() || r.ptr != n.data() + n.size() || value == 0 || value > 65535) {
                ctx.err << "zvutil codepage: '" << n << "' is not a code page number\n";
                return exitUsage;
            }
            page = value;
        } else {
            rest.push_back(a);
        }
    }
    if (rest.size() != 1) {
        ctx.err << "zvutil codepage: expected one TEXT (see 'zvutil codepage --help')\n";
        return exitUsage;
    }
    std::string bytes;
    if (!zv::toCodePage(wideFromArgument(rest[0]), page, bytes)) {
        ctx.err << "zvutil codepage: code page " << page << " is not known to this system\n";
        return exitFailure;
    }
    static const char hex[] = "0123456789abcdef";
    std::string line = std::to_string(page) + ":";
    for (unsigned char b : bytes) {
        line += ' ';
        line += hex[b >> 4];
        line += hex[b & 15];
    }
    ctx.out << line << "\n";
    return exitOk;
}

} // namespace zvcli
