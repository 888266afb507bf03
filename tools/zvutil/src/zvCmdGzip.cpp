// zvutil gzip / gunzip / scramble: gzip files through zv::file and keyed
// scrambling through zv::binaryBuffer.
#include "zvCli.h"

#include "zvBinaryBuffer.h"
#include "zvFile.h"
#include "zvFsEntryName.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zvcli {

namespace {

// Files below this size finish before a bar would be worth drawing.
constexpr std::uint64_t kBarThreshold = 4u << 20;

zv::file libraryFile(const std::string& arg) {
    return zv::file(zv::fsEntryName::fromHostPath(wideFromArgument(arg)));
}

bool stderrIsTerminal(const context& ctx) {
    if (&ctx.err != &std::cerr)
        return false;
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// Draws a bar for compression (its percentages end at 100) and a byte
// count for uncompression (its percentages pass 100 with the ratio).
struct progressBar {
    std::ostream& err;
    std::uint64_t sourceSize;
    bool counting;
    long last = -1;

    static bool draw(double percent, void* user) {
        auto* bar = static_cast<progressBar*>(user);
        char line[96];
        if (bar->counting) {
            const double mib = percent / 100.0 * static_cast<double>(bar->sourceSize) / 1048576.0;
            const long tenths = static_cast<long>(mib * 10);
            if (tenths == bar->last)
                return true;
            bar->last = tenths;
            std::snprintf(line, sizeof line, "\r%.1f MiB written", mib);
        } else {
            const long whole = static_cast<long>(percent);
            if (whole == bar->last)
                return true;
            bar->last = whole;
            const int width = 40;
            const int filled = static_cast<int>(percent * width / 100.0 + 0.5);
            std::string bar40(static_cast<std::size_t>(width), ' ');
            bar40.replace(0, static_cast<std::size_t>(filled < width ? filled : width),
                          static_cast<std::size_t>(filled < width ? filled : width), '#');
            std::snprintf(line, sizeof line, "\r[%s] %3ld%%", bar40.c_str(), whole);
        }
        bar->err << line << std::flush;
        return true;
    }
};

struct gzipArgs {
    std::string in;
    std::string out;
    bool quiet = false;
    bool force = false;
};

// FILE [-o OUT] [--quiet] [--force]; false on a usage error.
bool parseGzipArgs(const std::vector<std::string>& args, gzipArgs& parsed) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size() || !parsed.out.empty())
                return false;
            parsed.out = args[++i];
        } else if (a == "-q" || a == "--quiet") {
            parsed.quiet = true;
        } else if (a == "-f" || a == "--force") {
            parsed.force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return false;
        } else if (parsed.in.empty()) {
            parsed.in = a;
        } else {
            return false;
        }
    }
    return !parsed.in.empty();
}

bool endsWithGz(const std::string& name) {
    if (name.size() <= 3)
        return false;
    const std::string tail = name.substr(name.size() - 3);
    return tail == ".gz" || tail == ".GZ" || tail == ".Gz" || tail == ".gZ";
}

// Whether the file starts with the gzip magic (system tools refuse others,
// while the library would copy them as they are).
bool hasGzipMagic(const zv::file& f) {
    std::ifstream in(std::filesystem::path(static_cast<const std::wstring&>(f.hostPath())), std::ios::binary);
    unsigned char magic[2] = {};
    return in.read(reinterpret_cast<char*>(magic), 2) && magic[0] == 0x1F && magic[1] == 0x8B;
}

int runGzip(context& ctx, bool compress) {
    const char* name = compress ? "gzip" : "gunzip";
    gzipArgs a;
    if (!parseGzipArgs(ctx.args, a)) {
        ctx.err << "zvutil " << name << ": expected FILE [-o OUT] (see 'zvutil " << name << " --help')\n";
        return exitUsage;
    }
    if (a.out.empty()) {
        if (compress) {
            a.out = a.in + ".gz";
        } else if (endsWithGz(a.in)) {
            a.out = a.in.substr(0, a.in.size() - 3);
        } else {
            ctx.err << "zvutil gunzip: '" << a.in << "' does not end in .gz; name the output with -o\n";
            return exitUsage;
        }
    }
    const zv::file source = libraryFile(a.in);
    const zv::file target = libraryFile(a.out);
    if (!source.exists()) {
        ctx.err << "zvutil " << name << ": cannot open '" << a.in << "'\n";
        return exitFailure;
    }
    if (!source.isRegular()) {
        ctx.err << "zvutil " << name << ": '" << a.in << "' is not a regular file\n";
        return exitFailure;
    }
    if (source.isEqualTo(target, false) || source.isSameFileAs(target)) {
        ctx.err << "zvutil " << name << ": input and output are the same file\n";
        return exitUsage;
    }
    if (target.exists() && !a.force) {
        ctx.err << "zvutil " << name << ": '" << a.out << "' exists (use --force to replace it)\n";
        return exitFailure;
    }
    if (target.exists() ? !target.check(zv::file::accessWrite) : !target.isWriteable()) {
        ctx.err << "zvutil " << name << ": cannot write '" << a.out << "'\n";
        return exitFailure;
    }
    if (!compress && !hasGzipMagic(source)) {
        ctx.err << "zvutil gunzip: '" << a.in << "' is not in gzip format\n";
        return exitFailure;
    }
    const std::uint64_t size = source.size64();
    progressBar bar{ctx.err, size, !compress};
    const bool showBar = !a.quiet && size >= kBarThreshold && stderrIsTerminal(ctx);
    const zv::file::progressCallback progress = showBar ? &progressBar::draw : nullptr;
    const bool ok = compress ? source.gzCompressTo(target, progress, &bar)
                             : source.gzUncompressTo(target, progress, &bar);
    if (showBar)
        ctx.err << "\n";
    if (!ok) {
        ctx.err << "zvutil " << name << ": " << (compress ? "cannot compress '" : "cannot uncompress '")
                << a.in << "' to '" << a.out << "'" << (compress ? "" : " (damaged or truncated?)") << "\n";
        return exitFailure;
    }
    if (!a.quiet)
        ctx.out << a.in << ": " << size << " -> " << target.size64() << " bytes, " << a.out << "\n";
    return exitOk;
}

} // namespace

int cmdGzip(context& ctx) {
    return runGzip(ctx, true);
}

int cmdGunzip(context& ctx) {
    return runGzip(ctx, false);
}

int cmdScramble(context& ctx) {
    std::string key;
    bool haveKey = false;
    enum { modeXor, modeXxor } mode = modeXxor;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--key" && i + 1 < ctx.args.size()) {
            key = ctx.args[++i];
            haveKey = true;
        } else if (a == "--xor") {
            mode = modeXor;
        } else if (a == "--xxor") {
            mode = modeXxor;
        } else if (a.size() > 1 && a[0] == '-') {
            files.clear();
            break;
        } else {
            files.push_back(a);
        }
    }
    if (!haveKey || key.empty() || key.size() % 0x10000 == 0 || files.size() != 2) {
        ctx.err
            << "zvutil scramble: expected --key TEXT [--xor|--xxor] IN OUT (see 'zvutil scramble --help')\n";
        return exitUsage;
    }
    zv::binaryBuffer buffer;
    if (!buffer.readFromFile(libraryFile(files[0]))) {
        ctx.err << "zvutil scramble: cannot read '" << files[0] << "'\n";
        return exitFailure;
    }
    if (mode == modeXor)
        buffer.xor (key.c_str());
    else
        buffer.xxor(key.c_str());
    if (!buffer.writeToFile(libraryFile(files[1]), false)) {
        ctx.err << "zvutil scramble: cannot write '" << files[1] << "'\n";
        return exitFailure;
    }
    return exitOk;
}

} // namespace zvcli
