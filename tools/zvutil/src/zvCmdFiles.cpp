// zvutil path / ls / dirs / fileinfo / df / folders: names, files and folders
// through zv::fsEntryName, zv::file and zv::directory.
#include "zvCli.h"

#include "zvCodePage.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsEntryName.h"
#include "zvVersion.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace zvcli {

namespace {

// A host path ("/tmp/x") or a library name ("C:\tmp\x") as a library name.
zv::fsEntryName libraryName(const std::string& arg, bool appendDelimiter = false) {
    return zv::fsEntryName::fromHostPath(wideFromArgument(arg), appendDelimiter);
}

bool parseMask(const std::string& text, int& mask) {
    if (text.empty())
        return false;
    if (text[0] >= '0' && text[0] <= '9') {
        char* end = nullptr;
        const unsigned long value = std::strtoul(text.c_str(), &end, 0);
        if (end == nullptr || *end != '\0' || value > 0xFFFF)
            return false;
        mask = static_cast<int>(value);
        return true;
    }
    mask = 0;
    for (char c : text) {
        switch (c) {
        case 'r':
            mask |= 0x01;
            break;
        case 'h':
            mask |= 0x02;
            break;
        case 's':
            mask |= 0x04;
            break;
        case 'a':
            mask |= 0x20;
            break;
        default:
            return false;
        }
    }
    return true;
}

// Seconds since 1970 (UTC) as "YYYY-MM-DD HH:MM:SS", valid far beyond 2038.
std::string utcText(long long seconds) {
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", year, month, day,
                  rest / 3600, rest / 60 % 60, rest % 60);
    return text;
}

std::string attributeText(unsigned a) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%02x", a);
    std::string flags;
    if (a & 0x01)
        flags += " read-only";
    if (a & 0x02)
        flags += " hidden";
    if (a & 0x04)
        flags += " system";
    if (a & 0x20)
        flags += " archive";
    return text + flags;
}

// A folder that can be listed; otherwise says what is wrong.
bool checkFolder(context& ctx, const char* command, const zv::directory& dir, const std::string& arg) {
    if (!dir.exists()) {
        ctx.err << "zvutil " << command << ": no folder '" << arg << "'\n";
        return false;
    }
    if (zv::file(zv::string(dir)).exists()) {
        ctx.err << "zvutil " << command << ": '" << arg << "' is a file, not a folder\n";
        return false;
    }
    if (!dir.canList()) {
        ctx.err << "zvutil " << command << ": cannot read the folder '" << arg << "'\n";
        return false;
    }
    return true;
}

int pathUsage(context& ctx) {
    ctx.err << "zvutil path: expected norm|split|rel|join|host and names (see 'zvutil path --help')\n";
    return exitUsage;
}

} // namespace

int cmdPath(context& ctx) {
    if (ctx.args.empty())
        return pathUsage(ctx);
    const std::string& sub = ctx.args[0];
    const std::vector<std::string> rest(ctx.args.begin() + 1, ctx.args.end());
    if (sub == "norm" && !rest.empty()) {
        for (const std::string& arg : rest)
            ctx.out << narrowForOutput(libraryName(arg)) << "\n";
        return exitOk;
    }
    if (sub == "host" && !rest.empty()) {
        int rc = exitOk;
        for (const std::string& arg : rest) {
            const zv::string host = libraryName(arg).hostPath();
            if (host.empty()) {
                ctx.err << "zvutil path: '" << arg << "' lies on a drive that is not mapped\n";
                rc = exitFailure;
                continue;
            }
            ctx.out << narrowForOutput(host) << "\n";
        }
        return rc;
    }
    if (sub == "split" && rest.size() == 1) {
        const zv::fsEntryName n = libraryName(rest[0]);
        zv::string drive, path, name, ext;
        n.getComponents(drive, path, name, ext, true);
        ctx.out << "full      " << narrowForOutput(n) << "\n"
                << "drive     " << narrowForOutput(drive) << "\n"
                << "path      " << narrowForOutput(path) << "\n"
                << "name      " << narrowForOutput(name) << "\n"
                << "extension " << narrowForOutput(ext) << "\n\n"
                << "flags  path(flags) | name(flags) | extension(flags)\n";
        // noExtension 2, firstDot 4, withDrive 8, withPath 16, withName 32, withExtension 64
        for (int combination = 0; combination < 64; ++combination) {
            const int flags = combination << 1;
            char label[8];
            std::snprintf(label, sizeof label, "%5d", flags);
            ctx.out << label << "  " << narrowForOutput(n.path(flags)) << " | "
                    << narrowForOutput(n.name(flags)) << " | " << narrowForOutput(n.extension(flags)) << "\n";
        }
        return exitOk;
    }
    if (sub == "rel" && rest.size() == 2) {
        const char last = rest[1].empty() ? '\0' : rest[1].back();
        const zv::fsEntryName base = libraryName(rest[1], last == '/' || last == '\\');
        ctx.out << narrowForOutput(libraryName(rest[0]).relativeNameTo(base)) << "\n";
        return exitOk;
    }
    if (sub == "join" && rest.size() == 2) {
        ctx.out << narrowForOutput(zv::fsEntryName(libraryName(rest[0]), wideFromArgument(rest[1]))) << "\n";
        return exitOk;
    }
    return pathUsage(ctx);
}

int cmdLs(context& ctx) {
    std::string dirArg, pattern = "*.*";
    int mask = 0;
    bool recursive = false;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--recursive" || a == "-r") {
            recursive = true;
        } else if (a == "--pattern" && i + 1 < ctx.args.size()) {
            pattern = ctx.args[++i];
        } else if (a == "--exclude" && i + 1 < ctx.args.size()) {
            if (!parseMask(ctx.args[++i], mask)) {
                ctx.err << "zvutil ls: bad mask '" << ctx.args[i] << "'\n";
                return exitUsage;
            }
        } else if (dirArg.empty() && (a.empty() || a[0] != '-')) {
            dirArg = a;
        } else {
            ctx.err << "zvutil ls: unexpected argument '" << a << "' (see 'zvutil ls --help')\n";
            return exitUsage;
        }
    }
    if (dirArg.empty()) {
        ctx.err << "zvutil ls: no folder given\n";
        return exitUsage;
    }
    const zv::directory dir(libraryName(dirArg));
    if (!checkFolder(ctx, "ls", dir, dirArg))
        return exitFailure;
    const zv::string wildcard = wideFromArgument(pattern);
    if (recursive) {
        for (zv::recursiveFileIterator it(dir, wildcard, mask, L"*.*", mask & 0x06); !it.finished(); ++it)
            ctx.out << hostOf(static_cast<const zv::file&>(it)) << "\n";
    } else {
        for (zv::fileIterator it(dir, wildcard, mask); it.positioned(); ++it)
            ctx.out << hostOf(it.m_current) << "\n";
    }
    return exitOk;
}

int cmdDirs(context& ctx) {
    if (ctx.args.size() != 1) {
        ctx.err << "zvutil dirs: expected one folder\n";
        return exitUsage;
    }
    const zv::directory dir(libraryName(ctx.args[0]));
    if (!checkFolder(ctx, "dirs", dir, ctx.args[0]))
        return exitFailure;
    for (zv::directoryIterator it(dir, L"*.*", 0); it.positioned(); ++it)
        ctx.out << hostOf(zv::fsEntryName(zv::string(it.m_current))) << "\n";
    return exitOk;
}

int cmdFileInfo(context& ctx) {
    if (ctx.args.size() != 1) {
        ctx.err << "zvutil fileinfo: expected one file\n";
        return exitUsage;
    }
    const zv::file f(libraryName(ctx.args[0]));
    if (!f.exists()) {
        ctx.err << "zvutil fileinfo: no file '" << ctx.args[0] << "'\n";
        return exitFailure;
    }
    if (!f.isRegular()) {
        ctx.err << "zvutil fileinfo: '" << ctx.args[0] << "' is not a regular file\n";
        return exitFailure;
    }
    unsigned attributes = 0;
    f.getAttributes(attributes);
    unsigned long crc = 0;
    const bool haveCrc = f.getCrc32(crc);
    char crcText[16];
    std::snprintf(crcText, sizeof crcText, "%08lx", crc);
    zv::string fileVersion, productVersion;
    f.getFixedFileVersionString(fileVersion, 1);
    f.getFixedProductVersionString(productVersion, 1);
    ctx.out << "name             " << narrowForOutput(f) << "\n"
            << "host path        " << hostOf(f) << "\n"
            << "size             " << f.size64() << "\n"
            << "created (UTC)    " << utcText(f.creationTime()) << "\n"
            << "modified (UTC)   " << utcText(f.lastModificationTime()) << "\n"
            << "attributes       " << attributeText(attributes) << "\n"
            << "crc32            " << (haveCrc ? crcText : "unreadable") << "\n"
            << "file version     "
            << (fileVersion.empty() ? std::string("none") : narrowForOutput(fileVersion)) << "\n"
            << "product version  "
            << (productVersion.empty() ? std::string("none") : narrowForOutput(productVersion)) << "\n";
    return haveCrc ? exitOk : exitFailure;
}

int cmdDf(context& ctx) {
    std::string dirArg;
    zv::directory::eDSBaseSize unit = zv::directory::dsBytes;
    const char* unitName = "bytes";
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--unit" && i + 1 < ctx.args.size()) {
            const std::string u = ctx.args[++i];
            if (u == "b") {
                unit = zv::directory::dsBytes;
                unitName = "bytes";
            } else if (u == "k") {
                unit = zv::directory::dsKBytes;
                unitName = "KiB";
            } else if (u == "m") {
                unit = zv::directory::dsMBytes;
                unitName = "MiB";
            } else if (u == "g") {
                unit = zv::directory::dsGBytes;
                unitName = "GiB";
            } else {
                ctx.err << "zvutil df: unit must be b, k, m or g\n";
                return exitUsage;
            }
        } else if (dirArg.empty() && (a.empty() || a[0] != '-')) {
            dirArg = a;
        } else {
            ctx.err << "zvutil df: unexpected argument '" << a << "'\n";
            return exitUsage;
        }
    }
    if (dirArg.empty()) {
        ctx.err << "zvutil df: no folder given\n";
        return exitUsage;
    }
    const zv::directory dir(libraryName(dirArg));
    unsigned long long available = 0, total = 0, free = 0;
    if (!dir.getDiskSpace(zv::directory::dsAvailable, unit, &available) ||
        !dir.getDiskSpace(zv::directory::dsTotal, unit, &total) ||
        !dir.getDiskSpace(zv::directory::dsFree, unit, &free)) {
        ctx.err << "zvutil df: cannot read the volume of '" << dirArg << "'\n";
        return exitFailure;
    }
    ctx.out << "available " << available << " " << unitName << "\n"
            << "total     " << total << " " << unitName << "\n"
            << "free      " << free << " " << unitName << "\n";
    return exitOk;
}

int cmdFolders(context& ctx) {
    if (!ctx.args.empty()) {
        ctx.err << "zvutil folders: takes no arguments\n";
        return exitUsage;
    }
    const struct {
        const char* label;
        zv::directory dir;
    } folders[] = {
        {"temp             ", zv::directory::systemTempDir()},
        {"home             ", zv::directory::userHomeDir()},
        {"documents        ", zv::directory::userDocumentsDir()},
        {"desktop          ", zv::directory::desktopDir()},
        {"appdata          ", zv::directory::userAppdataDir()},
        {"local appdata    ", zv::directory::userLocalAppdataDir()},
        {"common appdata   ", zv::directory::allUserAppdataDir()},
        {"common documents ", zv::directory::commonDocumentsDir()},
    };
    for (const auto& f : folders)
        ctx.out << f.label << hostOf(f.dir) << "\n";
    return exitOk;
}

} // namespace zvcli
