// zvutil loc get: looks a localized string up through the localization
// manager, as an application would.
#include "zvCmdLoc.h"

#include "zvCodePage.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsEntryName.h"
#include "zvLocString.h"
#include "zvSearchPath.h"

#include <optional>
#include <ostream>
#include <string>

namespace zvcli {

namespace {

const char* const kGetUsage = "usage: zvutil loc get [--lang L] [--path DIRS] [--file F] ID\n";

/// The folders of `text`, split at the platform's separator; each may be a
/// host path or a library name.
zv::searchPath searchPathOf(const std::wstring& text) {
    zv::searchPath path;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(zv::searchPath::pathSeparator, start);
        if (end == std::wstring::npos)
            end = text.size();
        zv::string part(text.substr(start, end - start));
        part.deleteLeading(L" \t").deleteTrailing(L" \t");
        if (!part.empty())
            path.appendDirectory(zv::directory(zv::fsEntryName::fromHostPath(part, true)));
        start = end + 1;
    }
    return path;
}

} // namespace

int runLocGet(context& ctx) {
    std::optional<std::wstring> language;
    std::optional<std::wstring> dirs;
    std::optional<std::wstring> file;
    std::optional<std::wstring> id;
    const auto& args = ctx.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<std::wstring>* option = a == "--lang"   ? &language
                                              : a == "--path" ? &dirs
                                              : a == "--file" ? &file
                                                              : nullptr;
        if (option) {
            if (i + 1 >= args.size() || option->has_value()) {
                ctx.err << "zvutil loc get: " << a << " needs one value\n" << kGetUsage;
                return exitUsage;
            }
            *option = wideFromArgument(args[++i]);
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            ctx.err << "zvutil loc get: unknown option '" << a << "'\n" << kGetUsage;
            return exitUsage;
        } else if (id) {
            ctx.err << "zvutil loc get: expected one ID\n" << kGetUsage;
            return exitUsage;
        } else {
            id = wideFromArgument(a);
        }
    }
    if (!id || id->empty()) {
        ctx.err << "zvutil loc get: expected an ID\n" << kGetUsage;
        return exitUsage;
    }

    // A bare id is a persistent form without default text and files.
    zv::locString text(id->c_str());
    const wchar_t* lang = language && !language->empty() ? language->c_str() : nullptr;
    zv::locManager& manager = zv::locManager::instance();
    zv::searchPath path = dirs ? searchPathOf(*dirs) : manager.currentSearchPath();
    if (file) {
        // A name on the search path (in a language folder too), else a file
        // given by its path: then its own folder is searched first.
        zv::string name(*file);
        zv::file found;
        zv::locStringId probe(text.stringId().id(), nullptr, name.c_str(), nullptr);
        if (!manager.findLocFile(probe, lang, path, found)) {
            const zv::file given(zv::fsEntryName::fromHostPath(*file));
            if (!given.exists()) {
                ctx.err << "zvutil loc get: localization file '" << narrowForOutput(*file)
                        << "' not found (neither on the search path nor as a path)\n";
                return exitFailure;
            }
            zv::searchPath withFolder;
            withFolder.appendDirectory(zv::directory(given.path(0)));
            for (const zv::directory& dir : path.directories())
                withFolder.appendDirectory(dir);
            path = withFolder;
            name = given.name(0);
        }
        zv::locStringId withFile(text.stringId().copy());
        withFile.addAlternativeFile(name.c_str());
        zv::locString rebuilt(withFile);
        rebuilt.params() = text.params();
        text = rebuilt;
    }
    // Without a translation an application shows the default text; with
    // neither there is nothing to show.
    if (!text.stringIdExists(lang, path) && *text.stringId().defaultString() == L'\0') {
        ctx.err << "zvutil loc get: '" << narrowForOutput(text.stringId().id()) << "' not found";
        zv::file searched;
        if (manager.findLocFile(text.stringId(), lang, path, searched))
            ctx.err << " in " << hostOf(searched);
        else
            ctx.err << " (no localization file found)";
        ctx.err << "\n";
        return exitFailure;
    }
    ctx.out << narrowForOutput(text.string(lang, path)) << "\n";
    return exitOk;
}

} // namespace zvcli
