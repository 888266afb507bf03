#include "zvCli.h"

#include "zvCrc32.h"
#include "zvFile.h"
#include "zvFsEntryName.h"

#include <cstdio>
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
            // Through the library's files, so that its names (drive letters,
            // any case) work as in every other command.
            const zv::file file(zv::fsEntryName::fromHostPath(wideFromArgument(name)));
            if (!file.exists()) {
                ctx.err << "zvutil crc32: cannot open '" << name << "'\n";
                rc = exitFailure;
                continue;
            }
            if (!file.isRegular()) {
                ctx.err << "zvutil crc32: '" << name << "' is not a regular file\n";
                rc = exitFailure;
                continue;
            }
            unsigned long crc = 0;
            ok = file.getCrc32(crc);
            value = static_cast<std::uint32_t>(crc);
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
