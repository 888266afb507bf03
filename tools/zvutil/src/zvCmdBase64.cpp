#include "zvCli.h"

#include "zvBase64.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace zvcli {

namespace {

bool readAll(std::istream& in, std::string& data) {
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

int cmdBase64(context& ctx) {
    if (ctx.args.empty() || ctx.args.size() > 2 || (ctx.args[0] != "encode" && ctx.args[0] != "decode")) {
        ctx.err << "zvutil base64: expected encode|decode [FILE|-] (see 'zvutil base64 --help')\n";
        return exitUsage;
    }
    const bool encode = ctx.args[0] == "encode";
    const std::string name = ctx.args.size() == 2 ? ctx.args[1] : "-";
#if defined(_WIN32)
    // Bytes must pass unchanged through the standard streams.
    if (&ctx.in == &std::cin)
        _setmode(_fileno(stdin), _O_BINARY);
    if (&ctx.out == &std::cout) {
        std::cout.flush();
        _setmode(_fileno(stdout), _O_BINARY);
    }
#endif
    std::string input;
    bool ok;
    if (name == "-") {
        ok = readAll(ctx.in, input);
    } else {
        std::ifstream file(name, std::ios::binary);
        if (!file) {
            ctx.err << "zvutil base64: cannot open '" << name << "'\n";
            return exitFailure;
        }
        ok = readAll(file, input);
    }
    if (!ok) {
        ctx.err << "zvutil base64: cannot read '" << name << "'\n";
        return exitFailure;
    }
    std::string output;
    if (encode) {
        // The library's length is 32 bits wide; larger inputs go in whole groups.
        constexpr std::size_t chunk = std::size_t(3) << 28;
        std::size_t at = 0;
        do {
            const std::size_t n = std::min(chunk, input.size() - at);
            zv::base64_encode(reinterpret_cast<const unsigned char*>(input.data() + at),
                              static_cast<unsigned>(n), output);
            at += n;
        } while (at < input.size());
        output += '\n';
    } else {
        // Line breaks and blanks between the characters are ignored; decoding
        // stops at the first other character outside the alphabet.
        std::string text;
        text.reserve(input.size());
        for (char c : input) {
            if (c != '\n' && c != '\r' && c != ' ' && c != '\t')
                text += c;
        }
        zv::base64_decode(text, output);
    }
    ctx.out.write(output.data(), static_cast<std::streamsize>(output.size()));
    ctx.out.flush();
    return ctx.out ? exitOk : exitFailure;
}

} // namespace zvcli
