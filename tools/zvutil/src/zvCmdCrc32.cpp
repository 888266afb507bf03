#include "zvCli.h"

#include "zvCrc32.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <vector>

namespace zvcli {

namespace {

// Reads the stream to its end in large blocks; false on a read error.
bool crcOfStream(std::istream& in, std::uint32_t& result) {
    std::vector<char> buffer(1 << 20);
    zv::calcCrc32 c;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = in.gcount();
        if (got > 0)
            c.crc(buffer.data(), static_cast<unsigned long>(got));
    }
    if (in.bad())
        return false;
    result = c.value();
    return true;
}

} // namespace

int cmdCrc32(context& ctx) {
    if (ctx.args.empty()) {
        ctx.err << "zvutil crc32: no file given (see 'zvutil crc32 --help')\n";
        return exitUsage;
    }
    int rc = exitOk;
    for (const std::string& name : ctx.args) {
        std::uint32_t value = 0;
        bool ok;
        if (name == "-") {
            ok = crcOfStream(ctx.in, value);
        } else {
            std::ifstream file(name, std::ios::binary);
            if (!file) {
                ctx.err << "zvutil crc32: cannot open '" << name << "'\n";
                rc = exitFailure;
                continue;
            }
            ok = crcOfStream(file, value);
        }
        if (!ok) {
            ctx.err << "zvutil crc32: cannot read '" << name << "'\n";
            rc = exitFailure;
            continue;
        }
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(value));
        ctx.out << hex << "  " << name << "\n";
    }
    return rc;
}

} // namespace zvcli
