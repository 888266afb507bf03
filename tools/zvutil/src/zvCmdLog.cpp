// log: the logging configuration of a module and the log files of its
// processes. Only `set` writes anything; none of them starts the log manager,
// which would clear the folders of ended processes.
#include "zvCli.h"

#include "zvDirectory.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvLog.h"
#include "zvProcess.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace zvcli {

namespace {

struct logOptions {
    std::string module;
    std::string root;
    std::vector<std::string> rest;
};

template <class T>
bool parseNumber(const std::string& text, T& value) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool parseLevel(const std::string& text, zvlog::logLevel& level) {
    level = zvlog::logUtils::getLogLevelFromString(wideFromArgument(text));
    return zvlog::logUtils::getStringFromLogLevel(level) == zv::string(wideFromArgument(text)).lower();
}

// Takes --module and --log-root out of the arguments; the rest stays in order.
bool splitOptions(context& ctx, const char* sub, logOptions& o) {
    const auto& a = ctx.args;
    for (std::size_t i = 1; i < a.size(); ++i) {
        if ((a[i] == "--module" || a[i] == "--log-root") && i + 1 < a.size()) {
            (a[i] == "--module" ? o.module : o.root) = a[i + 1];
            ++i;
        } else if (a[i] == "--module" || a[i] == "--log-root") {
            ctx.err << "zvutil log " << sub << ": " << a[i] << " needs a value\n";
            return false;
        } else {
            o.rest.push_back(a[i]);
        }
    }
    zvlog::logUtils::overwriteLogRootDir(zv::directory());
    if (!o.root.empty())
        zvlog::logUtils::overwriteLogRootDir(
            zv::directory(zv::fsEntryName::fromHostPath(wideFromArgument(o.root), true)));
    return true;
}

zv::string moduleOf(const logOptions& o) {
    return o.module.empty() ? zvlog::logUtils::moduleName() : zv::string(wideFromArgument(o.module));
}

zv::file configFileOf(const zv::string& module) {
    const zv::directory app = zvlog::logUtils::logAppDirPath(module);
    return app.empty() ? zv::file() : zv::file(app, module + L".logcfg");
}

std::string levelText(zvlog::logLevel level) {
    return narrowForOutput(zvlog::logUtils::getStringFromLogLevel(level));
}

// Folders named by a process id, in the order of the ids.
struct processFolder {
    unsigned long pid;
    zv::directory dir;
};

std::vector<processFolder> processFolders(const zv::directory& app) {
    std::vector<processFolder> found;
    for (zv::directoryIterator it(app, L"*", 0); it.positioned(); it.next()) {
        const zv::string name = it.m_current.name();
        unsigned long pid = 0;
        const std::string text = narrowForOutput(name);
        if (text.size() <= 10 && parseNumber(text, pid) && pid > 0 && text[0] != '+')
            found.push_back({pid, it.m_current});
    }
    std::sort(found.begin(), found.end(),
              [](const processFolder& x, const processFolder& y) { return x.pid < y.pid; });
    return found;
}

// The log files of one process folder, newest first.
std::vector<zv::file> logFiles(const zv::directory& dir) {
    std::vector<zv::file> files;
    for (zv::fileIterator it(dir, L"*.log", 0); it.positioned(); it.next())
        files.push_back(it.m_current);
    std::stable_sort(files.begin(), files.end(), [](const zv::file& x, const zv::file& y) {
        return x.lastModificationTime() > y.lastModificationTime();
    });
    return files;
}

int logConfigCmd(context& ctx, const logOptions& o) {
    if (!o.rest.empty()) {
        ctx.err << "zvutil log config: unexpected argument '" << o.rest[0] << "'\n";
        return exitUsage;
    }
    const zv::string module = moduleOf(o);
    const zv::file file = configFileOf(module);
    zvlog::logConfig config;
    const bool present = config.load(file);
    ctx.out << "module       " << narrowForOutput(module) << "\n"
            << "file         " << hostOf(file) << (present ? "" : " (missing: defaults)") << "\n"
            << "maxfilecount " << config.maxFileCount << "\n"
            << "maxfilesize  " << config.maxFileSize << "\n"
            << "format       " << narrowForOutput(config.format) << "\n"
            << "root         " << levelText(config.rootLevel) << (config.rootEnabled ? " enabled" : " disabled")
            << "\n"
            << "active       " << (config.isActive() ? "yes" : "no") << "\n";
    for (const zvlog::logConfig::entry& e : config.classes)
        ctx.out << "class        " << narrowForOutput(e.id) << " " << levelText(e.level)
                << (e.enabled ? " enabled" : " disabled") << "\n";
    return exitOk;
}

int logSetCmd(context& ctx, const logOptions& o) {
    if (o.module.empty()) {
        ctx.err << "zvutil log set: --module NAME is required\n";
        return exitUsage;
    }
    const zv::string module = moduleOf(o);
    const zv::file file = configFileOf(module);
    zvlog::logConfig config;
    config.load(file);
    const auto& a = o.rest;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool hasValue = i + 1 < a.size();
        if (a[i] == "--enable" || a[i] == "--disable") {
            config.rootEnabled = a[i] == "--enable";
        } else if (a[i] == "--root" && hasValue) {
            if (!parseLevel(a[++i], config.rootLevel)) {
                ctx.err << "zvutil log set: '" << a[i] << "' is no level (none, trace, debug, info, ui)\n";
                return exitUsage;
            }
        } else if (a[i] == "--class" && hasValue) {
            const std::string& spec = a[++i];
            const std::size_t eq = spec.rfind('=');
            zvlog::logLevel level = zvlog::eNone;
            const zv::string id = eq == std::string::npos
                                      ? zv::string()
                                      : zvlog::logConfig::normaliseId(wideFromArgument(spec.substr(0, eq)));
            if (eq == std::string::npos || !parseLevel(spec.substr(eq + 1), level)) {
                ctx.err << "zvutil log set: expected --class NAME=LEVEL, got '" << spec << "'\n";
                return exitUsage;
            }
            if (!zvlog::logConfig::isValidId(id)) {
                ctx.err << "zvutil log set: '" << spec.substr(0, eq) << "' cannot name a class logger\n";
                return exitUsage;
            }
            config.setClass(id, level != zvlog::eNone, level);
        } else if (a[i] == "--max-files" && hasValue) {
            if (!parseNumber(a[++i], config.maxFileCount) || config.maxFileCount == 0) {
                ctx.err << "zvutil log set: '" << a[i] << "' is no file count above 0\n";
                return exitUsage;
            }
        } else if (a[i] == "--max-size" && hasValue) {
            if (!parseNumber(a[++i], config.maxFileSize)) {
                ctx.err << "zvutil log set: '" << a[i] << "' is no size in bytes\n";
                return exitUsage;
            }
        } else {
            ctx.err << "zvutil log set: unexpected argument '" << a[i] << "' (see 'zvutil log --help')\n";
            return exitUsage;
        }
    }
    config.save(file);
    ctx.out << "saved " << hostOf(file) << "\n";
    return exitOk;
}

int logLsCmd(context& ctx, const logOptions& o) {
    if (o.module.empty() || !o.rest.empty()) {
        ctx.err << "zvutil log ls: expected --module NAME\n";
        return exitUsage;
    }
    const zv::directory app = zvlog::logUtils::logAppDirPath(moduleOf(o));
    if (app.empty() || !app.exists()) {
        ctx.err << "zvutil log ls: no log folder " << hostOf(app) << "\n";
        return exitFailure;
    }
    for (const processFolder& p : processFolders(app)) {
        ctx.out << p.pid << (zv::processIsRunning(p.pid) ? " running" : " ended") << "\n";
        std::vector<zv::file> files = logFiles(p.dir);
        std::sort(files.begin(), files.end());
        for (const zv::file& f : files)
            ctx.out << "  " << f.size64() << " " << narrowForOutput(f.name()) << "\n";
    }
    return exitOk;
}

int logTailCmd(context& ctx, const logOptions& o) {
    unsigned long pid = 0;
    std::size_t count = 10;
    const auto& a = o.rest;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool hasValue = i + 1 < a.size();
        if (a[i] == "--pid" && hasValue) {
            if (!parseNumber(a[++i], pid) || pid == 0) {
                ctx.err << "zvutil log tail: '" << a[i] << "' is no process id\n";
                return exitUsage;
            }
        } else if (a[i] == "-n" && hasValue) {
            if (!parseNumber(a[++i], count)) {
                ctx.err << "zvutil log tail: '" << a[i] << "' is no line count\n";
                return exitUsage;
            }
        } else {
            ctx.err << "zvutil log tail: unexpected argument '" << a[i] << "'\n";
            return exitUsage;
        }
    }
    if (o.module.empty()) {
        ctx.err << "zvutil log tail: --module NAME is required\n";
        return exitUsage;
    }
    const zv::directory app = zvlog::logUtils::logAppDirPath(moduleOf(o));
    // The newest file of the chosen process, or of all processes.
    zv::file newest;
    for (const processFolder& p : processFolders(app)) {
        if (pid != 0 && p.pid != pid)
            continue;
        const std::vector<zv::file> files = logFiles(p.dir);
        if (!files.empty() && (newest.empty() || files[0].lastModificationTime() > newest.lastModificationTime()))
            newest = files[0];
    }
    if (newest.empty()) {
        ctx.err << "zvutil log tail: no log file" << (pid != 0 ? " of process " + std::to_string(pid) : "")
                << " in " << hostOf(app) << "\n";
        return exitFailure;
    }
    // Only the end of the file is read.
    std::ifstream in(hostOf(newest), std::ios::binary);
    constexpr std::streamoff window = 1 << 20;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff start = size > window * 16 ? size - window * 16 : 0;
    in.seekg(start);
    std::string text(static_cast<std::size_t>(size - start), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::size_t from = text.size();
    if (from > 0 && text[from - 1] == '\n')
        --from;
    for (std::size_t lines = 0; lines < count && from > 0;) {
        const std::size_t nl = text.rfind('\n', from - 1);
        ++lines;
        if (nl == std::string::npos) {
            from = 0;
            break;
        }
        if (lines < count)
            from = nl;
        else
            from = nl + 1;
    }
    if (count == 0)
        from = text.size();
    ctx.out << text.substr(from);
    if (!text.empty() && from < text.size() && text.back() != '\n')
        ctx.out << "\n";
    return exitOk;
}

} // namespace

int cmdLog(context& ctx) {
    if (ctx.args.empty()) {
        ctx.err << "zvutil log: expected config, set, ls or tail (see 'zvutil log --help')\n";
        return exitUsage;
    }
    const std::string sub = ctx.args[0];
    logOptions o;
    if (!splitOptions(ctx, sub.c_str(), o))
        return exitUsage;
    if (sub == "config")
        return logConfigCmd(ctx, o);
    if (sub == "set")
        return logSetCmd(ctx, o);
    if (sub == "ls")
        return logLsCmd(ctx, o);
    if (sub == "tail")
        return logTailCmd(ctx, o);
    ctx.err << "zvutil log: unknown subcommand '" << sub << "' (see 'zvutil log --help')\n";
    return exitUsage;
}

} // namespace zvcli
