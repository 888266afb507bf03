#include "zvCli.h"

#include "zvGuid.h"

#include <iostream>
#include <string>

namespace zvcli {

namespace {

/// Guid texts are ASCII.
std::string narrow(const zv::string& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out += static_cast<char>(c);
    return out;
}

bool parseCount(const std::string& text, unsigned long& count) {
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    count = std::stoul(text);
    return count >= 1 && count <= 1000000;
}

} // namespace

int cmdGuid(context& ctx) {
    const auto& args = ctx.args;
    if (args.size() == 2 && args[0] == "--check") {
        zv::guid id;
        if (!zv::guid::tryFromString(wideFromArgument(args[1]), id)) {
            ctx.out << "invalid\n";
            return exitFailure;
        }
        ctx.out << "valid " << narrow(id.toString()) << "\n";
        return exitOk;
    }
    unsigned long count = 1;
    if (args.size() == 2 && args[0] == "-n") {
        if (!parseCount(args[1], count)) {
            ctx.err << "zvutil guid: COUNT must be a number from 1 to 1000000\n";
            return exitUsage;
        }
    } else if (!args.empty()) {
        ctx.err << "zvutil guid: expected nothing, '-n COUNT' or '--check TEXT' (see 'zvutil guid --help')\n";
        return exitUsage;
    }
    try {
        std::string lines;
        for (unsigned long i = 0; i < count; ++i)
            lines += narrow(zv::guid::create().toString()) + "\n";
        ctx.out << lines;
    } catch (bool) {
        ctx.err << "zvutil guid: the system made no identity\n";
        return exitFailure;
    }
    return exitOk;
}

} // namespace zvcli
