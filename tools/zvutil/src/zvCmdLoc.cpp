// zvutil loc: localization files. `check` reports what a translator got
// wrong in a file and the files it includes; `get` (zvCmdLocGet.cpp) looks a
// text up as an application would.
#include "zvCmdLoc.h"

#include "zvCodePage.h"
#include "zvFsEntryName.h"
#include "zvLocFile.h"

#include <ostream>
#include <string>
#include <vector>

namespace zvcli {

namespace {

const char* const kLocUsage = "usage: zvutil loc get [--lang L] [--path DIRS] [--file F] ID\n"
                              "       zvutil loc check FILE\n";

int locCheck(context& ctx) {
    if (ctx.args.size() != 2) {
        ctx.err << kLocUsage;
        return exitUsage;
    }
    const zv::file file(zv::fsEntryName::fromHostPath(wideFromArgument(ctx.args[1])));
    std::vector<zv::locFileIssue> issues;
    zv::locFileCounts counts;
    const bool clean = zv::locFile::check(file, issues, &counts);
    ctx.out << "entries: " << counts.entries << "\n"
            << "includes: " << counts.includes << "\n"
            << "commands: " << counts.commands << "\n"
            << "aliases: " << counts.aliases << "\n";
    for (const zv::locFileIssue& issue : issues)
        ctx.out << hostOf(issue.file) << ":" << issue.line << ": " << narrowForOutput(issue.text) << "\n";
    return clean ? exitOk : exitFailure;
}

} // namespace

int cmdLoc(context& ctx) {
    if (ctx.args.empty()) {
        ctx.err << kLocUsage;
        return exitUsage;
    }
    if (ctx.args[0] == "check")
        return locCheck(ctx);
    if (ctx.args[0] == "get") {
        context rest{std::vector<std::string>(ctx.args.begin() + 1, ctx.args.end()), ctx.in, ctx.out,
                     ctx.err};
        return runLocGet(rest);
    }
    ctx.err << "zvutil loc: unknown subcommand '" << ctx.args[0] << "'\n" << kLocUsage;
    return exitUsage;
}

} // namespace zvcli
