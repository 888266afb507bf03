// The process-wide file settings: the start file, rotation, clearing the
// folders of ended processes, and appending lines.
#include "zvLog.h"

#include "os/zvOs.h"
#include "os/zvOsLogFile.h"
#include "zvCodePageDetail.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvLogDetail.h"
#include "zvLogSettingsDetail.h"
#include "zvProcess.h"

#include <string>

namespace zvlog {

namespace {

#if defined(_WIN32)
constexpr char endOfLine[] = "\r\n";
#else
constexpr char endOfLine[] = "\n";
#endif

zv::string decimal(unsigned long value) {
    return zv::string(std::to_wstring(value));
}

// A folder name that is a process id: digits only, above 0, within the type.
bool processIdOf(const zv::string& name, unsigned long& pid) {
    if (name.empty() || name.size() > 10)
        return false;
    unsigned long long value = 0;
    for (const wchar_t ch : name) {
        if (ch < L'0' || ch > L'9')
            return false;
        value = value * 10 + static_cast<unsigned>(ch - L'0');
    }
    if (value == 0 || value > 0xFFFFFFFFull)
        return false;
    pid = static_cast<unsigned long>(value);
    return true;
}

} // namespace

struct logSettings::data {
    zv::mutex lock;
    unsigned int maxFileCount = 3;
    unsigned long maxFileSize = 2000000;
    zv::string format = logUtils::defaultFormatSpecifier();
    zv::string module; // the running module, read once
    unsigned int index = 1;
    zv::file current;                           // empty until the first line or `initOutputFile`
    zv::os::sharedAppender* appender = nullptr; // open on `current` between lines
    std::string line;                           // the encoded line, kept for its capacity

    // Output file n of this process, without creating anything.
    zv::file pathOf(unsigned int n) const {
        const zv::directory app = logUtils::logAppDirPath(module);
        if (app.empty())
            return zv::file();
        return zv::file(zv::directory(app, decimal(zv::getCurrentProcessId())),
                        module + L"_" + decimal(n) + L".log");
    }
    void closeAppender() {
        zv::os::closeSharedAppend(appender);
        appender = nullptr;
    }
    // Opens `current`, making the process folder again if someone removed it.
    void openAppender() {
        closeAppender();
        if (current.empty())
            return;
        appender = zv::os::openSharedAppend(current.c_str());
        if (appender == nullptr && logUtils::outputDir(module).exists())
            appender = zv::os::openSharedAppend(current.c_str());
    }
    void rotate() {
        closeAppender();
        index = index >= maxFileCount ? 1 : index + 1;
        current = pathOf(index);
        if (current.exists())
            current.remove();
        openAppender();
    }
    // Brings `current` and the open file in line with the disk: a file that
    // was removed or replaced by hand is opened again by its name, and a full
    // file moves on to the next one.
    void prepare() {
        if (current.empty()) {
            current = pathOf(index);
            if (current.empty())
                return;
        }
        std::uint64_t size = 0;
        if (appender != nullptr && zv::os::sharedAppendStillNames(appender, current.c_str(), size)) {
            if (size > maxFileSize)
                rotate();
            return;
        }
        closeAppender();
        zv::os::entryInfo info;
        if (zv::os::entryStatus(current.c_str(), info) && !info.isDirectory && info.size > maxFileSize)
            rotate();
        else
            openAppender();
    }
};

logSettings& logSettings::getInstance() {
    // Never destroyed: lines may still be written while statics go away.
    static logSettings* instance = new logSettings();
    return *instance;
}

logSettings::logSettings() : m_data(new data) {
    m_data->module = logUtils::moduleName();
}

logSettings::~logSettings() {
    m_data->closeAppender();
    delete m_data;
}

unsigned int logSettings::maxFileCount() const {
    zv::mutexGuard guard(m_data->lock);
    return m_data->maxFileCount;
}

void logSettings::setMaxFileCount(unsigned int count) {
    zv::mutexGuard guard(m_data->lock);
    m_data->maxFileCount = count == 0 ? 1 : count;
    if (m_data->index > m_data->maxFileCount) {
        m_data->index = m_data->maxFileCount;
        m_data->current = zv::file();
        m_data->closeAppender();
    }
}

unsigned long logSettings::maxFileSize() const {
    zv::mutexGuard guard(m_data->lock);
    return m_data->maxFileSize;
}

void logSettings::setMaxFileSize(unsigned long size) {
    zv::mutexGuard guard(m_data->lock);
    m_data->maxFileSize = size;
}

zv::string logSettings::formatSpecifier() const {
    zv::mutexGuard guard(m_data->lock);
    return m_data->format;
}

void logSettings::setFormatSpecifier(const zv::string& format) {
    zv::mutexGuard guard(m_data->lock);
    m_data->format = format;
}

bool logSettings::loggingEnabled() const {
    return detail::rootEnabled();
}

void logSettings::clearLogFolder() {
    clearLogFolder(m_data->module);
}

void logSettings::clearLogFolder(const zv::string& name) {
    zv::mutexGuard guard(m_data->lock);
    const zv::directory app = logUtils::logAppDirPath(name);
    if (app.empty() || !app.exists())
        return;
    const unsigned long self = zv::getCurrentProcessId();
    for (zv::directoryIterator it(app, L"*", 0); it.positioned(); it.next()) {
        unsigned long pid = 0;
        // Only folders named by a process id are ours; a link is never followed.
        if ((it.currentAttributes() & zv::os::attrReparsePoint) != 0 ||
            !processIdOf(it.m_current.name(), pid) || pid == self || zv::processIsRunning(pid))
            continue;
        it.m_current.remove(true);
    }
}

void logSettings::initOutputFile() {
    zv::mutexGuard guard(m_data->lock);
    unsigned int candidate = 1;
    zv::file candidateFile = m_data->pathOf(1);
    for (unsigned int n = 2; n <= m_data->maxFileCount; ++n) {
        const zv::file next = m_data->pathOf(n);
        if (next.exists() && candidateFile.exists() &&
            next.lastModificationTime() >= candidateFile.lastModificationTime()) {
            candidate = n;
            candidateFile = next;
        }
    }
    m_data->closeAppender();
    m_data->index = candidate;
    m_data->current = candidateFile;
}

zv::file logSettings::outputFile() {
    zv::mutexGuard guard(m_data->lock);
    m_data->prepare();
    // Where the file is opened for each line, it is not left open here
    // either: an open file could not be removed or replaced by hand.
    if (!zv::os::keepSharedAppendOpen())
        m_data->closeAppender();
    return m_data->current;
}

unsigned int logSettings::outputFileIndex() const {
    zv::mutexGuard guard(m_data->lock);
    return m_data->index;
}

namespace detail {

bool settingsAccess::writeLine(const lineFields& fields) {
    logSettings::data& d = *logSettings::getInstance().m_data;
    zv::mutexGuard guard(d.lock);
    // Formatted and encoded in one pass into the kept buffer.
    std::string& bytes = d.line;
    bytes.clear();
    utf8Line out(bytes);
    formatLine(d.format, fields, out);
    out.finish();
    bytes += endOfLine;
    d.prepare();
    const bool written = zv::os::sharedAppend(d.appender, bytes.data(), bytes.size());
    if (!zv::os::keepSharedAppendOpen())
        d.closeAppender();
    return written;
}

zv::directory settingsAccess::outputFolder() {
    logSettings::data& d = *logSettings::getInstance().m_data;
    zv::string module;
    {
        zv::mutexGuard guard(d.lock);
        module = d.module;
    }
    return logUtils::outputDir(module);
}

void settingsAccess::applySettings(const logConfig& config) {
    logSettings& s = logSettings::getInstance();
    s.setMaxFileCount(config.maxFileCount);
    s.setMaxFileSize(config.maxFileSize);
    s.setFormatSpecifier(config.format);
}

zv::string settingsAccess::runningModule() {
    logSettings::data& d = *logSettings::getInstance().m_data;
    zv::mutexGuard guard(d.lock);
    return d.module;
}

} // namespace detail

} // namespace zvlog
