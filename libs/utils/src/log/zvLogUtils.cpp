// Level names, the log folders and the formatting of one line.
#include "zvLog.h"

#include "zvDirectory.h"
#include "zvFile.h"
#include "zvLogDetail.h"
#include "zvLogFormatDetail.h"
#include "zvProcess.h"

#include <mutex>

namespace zvlog {

namespace {

const wchar_t* const levelNames[] = {L"none", L"trace", L"debug", L"info", L"ui"};

std::mutex& rootOverrideLock() {
    static std::mutex m;
    return m;
}

zv::directory& rootOverride() {
    static zv::directory dir;
    return dir;
}

zv::string decimal(unsigned long value) {
    return zv::string(std::to_wstring(value));
}

} // namespace

logLevel logUtils::getLogLevelFromString(const zv::string& text) {
    for (int level = 0; level <= 4; ++level)
        if (text.isEqualTo(levelNames[level], false) && text.find(L'\0') == zv::string::npos)
            return static_cast<logLevel>(level);
    return eNone;
}

zv::string logUtils::getStringFromLogLevel(logLevel level) {
    return zv::string(detail::levelName(level));
}

const wchar_t* detail::levelName(logLevel level) {
    const int value = static_cast<int>(level);
    return levelNames[value >= 0 && value <= 4 ? value : 0];
}

logLevel logUtils::defaultLogLevel() {
    return eNone;
}

zv::string logUtils::defaultFormatSpecifier() {
    return zv::string(L"<%s> [PID %p] [TID %t] (%l) {%f, L %r, %c} - %m %o");
}

zv::string logUtils::moduleName() {
    zv::file exe;
    if (!zv::getModuleFileName(static_cast<void*>(nullptr), exe))
        return zv::string();
    zv::string name = exe.name(zv::fsEntryName::noExtension);
    name.replace(zv::string(L".vshost"), zv::string());
    return name;
}

void logUtils::overwriteLogRootDir(const zv::directory& dir) {
    std::lock_guard<std::mutex> lock(rootOverrideLock());
    rootOverride() = dir;
}

zv::directory logUtils::logRootDir() {
    {
        std::lock_guard<std::mutex> lock(rootOverrideLock());
        if (!rootOverride().empty())
            return rootOverride();
    }
    return zv::directory::userHomeDir();
}

zv::directory logUtils::logAppDir() {
    return logAppDir(moduleName());
}

zv::directory logUtils::logAppDirPath(const zv::string& name) {
    const zv::directory root = logRootDir();
    if (name.empty() || root.empty())
        return zv::directory();
    return zv::directory(zv::directory(root, zv::string(L"KARVENTIS")), name);
}

zv::directory logUtils::logAppDir(const zv::string& name) {
    zv::directory dir = logAppDirPath(name);
    if (dir.empty())
        return dir;
    if (!dir.exists())
        dir.create(true);
    return dir.exists() ? dir : zv::directory();
}

zv::directory logUtils::outputDir() {
    return outputDir(moduleName());
}

zv::directory logUtils::outputDir(const zv::string& name) {
    const zv::directory app = logAppDir(name);
    if (app.empty())
        return zv::directory();
    zv::directory dir(app, decimal(zv::getCurrentProcessId()));
    if (!dir.exists())
        dir.create(false);
    return dir;
}

zv::file logUtils::outputPath(unsigned int n) {
    return outputPath(n, moduleName());
}

zv::file logUtils::outputPath(unsigned int n, const zv::string& name) {
    const zv::directory dir = outputDir(name);
    if (dir.empty())
        return zv::file();
    return zv::file(dir, name + L"_" + decimal(n) + L".log");
}

zv::file logUtils::configPath(const zv::string& name) {
    const zv::directory dir = logAppDir(name);
    if (dir.empty())
        return zv::file();
    return zv::file(dir, name + L".logcfg");
}

zv::string logUtils::scaleString(const zv::string& text, unsigned int width, bool keepEnd) {
    if (text.size() == width)
        return text;
    if (text.size() < width) {
        zv::string padded(text);
        padded.append(width - text.size(), L' ');
        return padded;
    }
    return keepEnd ? zv::string(text.substr(text.size() - width)) : zv::string(text.substr(0, width));
}

// The fields go in as they are, in one pass over the format: nothing that a
// value holds ("[m]", "%s", "_sbb_") is read as a place holder again.
zv::string logUtils::getFormattedLogMessage(const zv::string& format, const zv::string& s,
                                            const zv::string& p, const zv::string& t, const zv::string& l,
                                            const zv::string& f, const zv::string& r, const zv::string& c,
                                            const zv::string& o, const zv::string& m) {
    zv::string line;
    line.reserve(format.size() + 140 + m.size() + o.size());
    detail::wideLine out{line};
    detail::formatLine(format, detail::lineFields{s, p, t, l, f, r, c, o, m}, out);
    return line;
}

// Compiler signatures: "void zv::thread::start(int)", "static T ns::f() [with T = int]",
// "void __cdecl ns::c::operator()(int)". The name is the word before the
// parameter list, with its qualification.
zv::string logUtils::functionName(const char* signature) {
    if (signature == nullptr)
        return zv::string();
    std::string text(signature);
    const std::size_t with = text.find(" [with ");
    if (with != std::string::npos)
        text.resize(with);
    int angle = 0;
    std::size_t open = std::string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '<') {
            if (i >= 8 && text.compare(i - 8, 8, "operator") == 0)
                continue;
            ++angle;
        } else if (ch == '>') {
            if (angle > 0)
                --angle;
        } else if (ch == '(' && angle == 0) {
            if (i >= 8 && text.compare(i - 8, 8, "operator") == 0 && i + 1 < text.size() &&
                text[i + 1] == ')') {
                ++i;
                continue;
            }
            open = i;
            break;
        }
    }
    if (open == std::string::npos)
        return zv::string::fromMBCtoWC(text.c_str());
    std::size_t start = 0;
    angle = 0;
    for (std::size_t i = open; i-- > 0;) {
        const char ch = text[i];
        if (ch == '>')
            ++angle;
        else if (ch == '<' && angle > 0)
            --angle;
        else if ((ch == ' ' || ch == '*' || ch == '&') && angle == 0) {
            start = i + 1;
            break;
        }
    }
    return zv::string::fromMBCtoWC(text.substr(start, open - start).c_str());
}

} // namespace zvlog
