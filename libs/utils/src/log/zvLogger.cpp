// Loggers: the level test and the entry points of the four levels.
#include "zvLog.h"

#include "zvFile.h"
#include "zvLogDetail.h"

namespace zvlog {

namespace {
constexpr int neverWritten = 5;
} // namespace

zv::refPtr<logger> logger::create(const zv::string& id, bool enabled, logLevel level) {
    return zv::refPtr<logger>(new logger(id, enabled, level));
}

logger::logger(const zv::string& id, bool enabled, logLevel level)
    : m_level(static_cast<int>(level)), m_enabled(enabled), m_threshold(neverWritten), m_id(id) {
    updateThreshold();
}

logger::~logger() = default;

zv::string logger::id() const {
    zv::mutexGuard guard(m_mutex);
    return m_id;
}

void logger::setId(const zv::string& id) {
    {
        zv::mutexGuard guard(m_mutex);
        m_id = id;
    }
    updateThreshold();
}

void logger::setLevel(logLevel level) {
    m_level.store(static_cast<int>(level), std::memory_order_relaxed);
    updateThreshold();
}

void logger::setEnabled(bool enabled) {
    m_enabled.store(enabled, std::memory_order_relaxed);
    updateThreshold();
}

// One number answers the per-logger part of the test: the lowest level that
// is written, or a level above every message when none is.
void logger::updateThreshold() {
    bool hasId;
    {
        zv::mutexGuard guard(m_mutex);
        hasId = !m_id.empty();
    }
    const int level = m_level.load(std::memory_order_relaxed);
    const bool writes = hasId && m_enabled.load(std::memory_order_relaxed) && level > 0 && level < neverWritten;
    m_threshold.store(writes ? level : neverWritten, std::memory_order_relaxed);
    detail::loggerChanged(this);
}

bool logger::globalsAllowLogging() {
    return detail::rootEnabled();
}

void logger::log_trace(const zv::string& message, const char* file, long line, const char* function,
                       zv::refPtr<iLogObj> obj) {
    if (isLoggingAllowed(eTrace))
        write(eTrace, message, zv::string::fromMBCtoWC(file), line, zv::string::fromMBCtoWC(function), obj);
}

void logger::log_debug(const zv::string& message, const char* file, long line, const char* function,
                       zv::refPtr<iLogObj> obj) {
    if (isLoggingAllowed(eDebug))
        write(eDebug, message, zv::string::fromMBCtoWC(file), line, zv::string::fromMBCtoWC(function), obj);
}

void logger::log_info(const zv::string& message, const char* file, long line, const char* function,
                      zv::refPtr<iLogObj> obj) {
    if (isLoggingAllowed(eInfo))
        write(eInfo, message, zv::string::fromMBCtoWC(file), line, zv::string::fromMBCtoWC(function), obj);
}

void logger::log_ui(const zv::string& message, const char* file, long line, const char* function,
                    zv::refPtr<iLogObj> obj) {
    if (isLoggingAllowed(eUi))
        write(eUi, message, zv::string::fromMBCtoWC(file), line, zv::string::fromMBCtoWC(function), obj);
}

void logger::log_trace(const zv::string& message, const zv::string& file, long line, const zv::string& function,
                       zv::refPtr<iLogObj> obj) {
    if (isLoggingAllowed(eTrace))
        write(eTrace, message, file, line, function, obj);
}

void logger::log_debug(const zv::string& message, const zv::string& file, long line, const zv::string& function,
                       zv::refPtr<iLogObj> obj) {
    if (isLoggingAllowed(eDebug))
        write(eDebug, message, file, line, function, obj);
}

void logger::log_info(const zv::string& message, const zv::string& file, long line, const zv::string& function,
                      zv::refPtr<iLogObj> obj) {
    if (isLoggingAllowed(eInfo))
        write(eInfo, message, file, line, function, obj);
}

void logger::log_ui(const zv::string& message, const zv::string& file, long line, const zv::string& function,
                    zv::refPtr<iLogObj> obj) {
    if (isLoggingAllowed(eUi))
        write(eUi, message, file, line, function, obj);
}

void logger::write(logLevel level, const zv::string& message, const zv::string& file, long line,
                   const zv::string& function, const zv::refPtr<iLogObj>& obj) {
    if (!isLoggingAllowed(level))
        return;
    // Writing a line never reports failure to the caller.
    try {
        detail::writeLine(*this, m_mutex, level, message, file, line, function, obj);
    } catch (...) {
    }
}

} // namespace zvlog
