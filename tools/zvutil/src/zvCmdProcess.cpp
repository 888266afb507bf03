// zvutil which / ps: search paths through zv::searchPath, running
// processes through the process helpers.
#include "zvCli.h"

#include "zvCodePage.h"
#include "zvFsEntryName.h"
#include "zvProcess.h"
#include "zvSearchPath.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>

namespace zvcli {

namespace {

// The parts of a --path text may be host paths ("/opt/bin") or library
// names; each is taken into the library's form before the text is read as
// a search path.
zv::string libraryPathList(const zv::string& text, wchar_t separator) {
    std::vector<zv::string> parts;
    if (!text.splitAt(zv::string(1, separator), parts, false))
        return zv::string();
    zv::string joined;
    for (zv::string part : parts) {
        part.deleteLeading(L" \t");
        part.deleteTrailing(L" \t");
        if (!part.empty() && part[0] == L'/')
            part = zv::fsEntryName::fromHostPath(part, true);
        if (!joined.empty())
            joined += separator;
        joined += part;
    }
    return joined;
}

// Library names ("D:\\tools", "C:/x") hold a colon of their own, so a list
// of them is separated by ";" whatever the host's habit.
bool looksLikeLibraryList(const zv::string& text) {
    if (text.find_first_of(L";\\") != std::wstring::npos)
        return true;
    const std::size_t start = text.find_first_not_of(L" \t");
    return start != std::wstring::npos && text.size() > start + 2 && text[start + 1] == L':' &&
           (text[start + 2] == L'/' || text[start + 2] == L'\\');
}

bool allDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

int cmdWhich(context& ctx) {
    std::string name, pathText;
    bool havePath = false, haveSeparator = false, recursive = false;
    wchar_t separator = zv::searchPath::pathSeparator;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--recursive" || a == "-r") {
            recursive = true;
        } else if (a == "--path" && i + 1 < ctx.args.size()) {
            pathText = ctx.args[++i];
            havePath = true;
        } else if (a == "--sep" && i + 1 < ctx.args.size()) {
            const std::wstring sep = wideFromArgument(ctx.args[++i]);
            if (sep.size() != 1) {
                ctx.err << "zvutil which: the separator must be one character\n";
                return exitUsage;
            }
            separator = sep[0];
            haveSeparator = true;
        } else if (name.empty() && !a.empty() && a[0] != '-') {
            name = a;
        } else {
            ctx.err << "zvutil which: unexpected argument '" << a << "' (see 'zvutil which --help')\n";
            return exitUsage;
        }
    }
    if (name.empty()) {
        ctx.err << "zvutil which: no name given\n";
        return exitUsage;
    }
    zv::searchPath path;
    if (havePath) {
        const zv::string text = wideFromArgument(pathText);
        if (!haveSeparator && looksLikeLibraryList(text))
            separator = L';';
        zv::searchPath::fromString(libraryPathList(text, separator), path, separator);
    } else {
        zv::searchPath::fromDollarPath(path);
    }

    const zv::string wanted = wideFromArgument(name);
    zv::file found;
    bool ok = path.findFile(wanted, found, recursive);
    // Executables are named without ".exe" as often as with it.
    if (!ok && wanted.find(L'.') == std::wstring::npos)
        ok = path.findFile(wanted + L".exe", found, recursive);
    if (!ok) {
        ctx.err << "zvutil which: '" << name << "' not found\n";
        return exitFailure;
    }
    ctx.out << hostOf(found) << "\n";
    return exitOk;
}

int cmdPs(context& ctx) {
    if (ctx.args.size() != 1 || ctx.args[0].empty()) {
        ctx.err << "zvutil ps: expected one process name or id\n";
        return exitUsage;
    }
    const std::string& arg = ctx.args[0];
    unsigned long pid = 0;
    if (allDigits(arg)) {
        errno = 0;
        const unsigned long long value = std::strtoull(arg.c_str(), nullptr, 10);
        const bool fits =
            errno == 0 && value <= static_cast<unsigned long long>(static_cast<unsigned long>(-1));
        if (fits && zv::processIsRunning(static_cast<unsigned long>(value)))
            pid = static_cast<unsigned long>(value);
    } else {
        pid = zv::processIsRunningElsewhere(wideFromArgument(arg));
    }
    if (pid == 0) {
        ctx.err << "zvutil ps: no running process '" << arg << "'\n";
        return exitFailure;
    }
    ctx.out << pid << "\n";
    return exitOk;
}

} // namespace zvcli
