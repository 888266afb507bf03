// The log manager: configuration, logger look-up and activation.
#include "zvLog.h"

#include "zvFile.h"
#include "zvLogDetail.h"

#include <atomic>

namespace zvlog {

namespace detail {
bool rootEnabled() {
    return false;
}
void loggerChanged(logger*) {}
void writeLine(logger&, zv::mutex&, logLevel, const zv::string&, const zv::string&, long, const zv::string&,
               const zv::refPtr<iLogObj>&) {}
} // namespace detail

namespace {
zv::refPtr<logger>& fallbackLogger() {
    static zv::refPtr<logger> fallback = logger::create(zv::string(), false, eNone);
    return fallback;
}
} // namespace

zv::refPtr<logger> logManager::getLogger(const zv::string&) {
    return fallbackLogger();
}

zv::refPtr<logger> logManager::getLogger(const char*) {
    return fallbackLogger();
}

bool logManager::isActive() {
    return false;
}

} // namespace zvlog
