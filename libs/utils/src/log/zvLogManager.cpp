// The log manager: activation, the configuration, logger look-up, and the
// writing of one line.
#include "zvLog.h"

#include "zvDirectory.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvLogDetail.h"
#include "zvLogSettingsDetail.h"
#include "zvProcess.h"
#include "zvTimeStamp.h"

#include <atomic>

namespace zvlog {

namespace {

std::atomic<logManager*> g_manager{nullptr};
std::atomic<logger*> g_fallback{nullptr};
std::atomic<bool> g_active{false};
std::atomic<bool> g_rootEnabled{false};
// The manager under construction, and whether this thread is building it.
logManager* g_building = nullptr;
thread_local bool t_creating = false;

zv::mutex& creationLock() {
    static zv::mutex* lock = new zv::mutex();
    return *lock;
}

// Disabled, at level 0 and without id: it never writes. Never destroyed, so
// that it can be handed out while statics go away.
logger* fallbackLogger() {
    static logger* fallback = [] {
        logger* l = logger::create(zv::string(), false, eNone).detach();
        g_fallback.store(l);
        return l;
    }();
    return fallback;
}

// Writes `value` in decimal with at least `digits` digits (zeros in front)
// at `out`; the end of what was written. 20 digits at most.
wchar_t* putNumber(wchar_t* out, unsigned long long value, int digits) {
    wchar_t reversed[20];
    int n = 0;
    do {
        reversed[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (; digits > n; --digits)
        *out++ = L'0';
    while (n > 0)
        *out++ = reversed[--n];
    return out;
}

} // namespace

namespace detail {

bool rootEnabled() {
    return g_rootEnabled.load(std::memory_order_relaxed);
}

void loggerChanged(logger* changed) {
    if (changed == g_fallback.load(std::memory_order_relaxed))
        return;
    if (logManager* manager = g_manager.load(std::memory_order_acquire))
        settingsAccess::refreshActive(*manager);
}

bool logSuppressed(const wchar_t* where, const zv::string& text) noexcept {
    try {
        if (g_manager.load(std::memory_order_acquire) == nullptr || !g_active.load(std::memory_order_acquire))
            return false;
        const zv::refPtr<logger> l = logManager::getLogger(zv::string(where));
        if (!l || !l->isLoggingAllowed(eInfo))
            return false;
        l->log_info(text, zv::string(), 0, zv::string(where));
        return true;
    } catch (...) {
        return false;
    }
}

void settingsAccess::refreshActive(logManager& manager) {
    manager.updateActive();
}

void writeLine(logger&, zv::mutex& lock, logLevel level, const zv::string& message, const zv::string& file,
               long line, const zv::string& function, const zv::refPtr<iLogObj>& obj) {
    zv::string objectField;
    if (obj) {
        const zv::string rel = obj->relFilePath();
        // The object's file is written before the logger's lock is taken, so
        // that its observers may log themselves.
        const zv::directory folder = settingsAccess::outputFolder();
        if (!folder.empty() && !rel.empty()) {
            zv::file target(folder, rel);
            // Only inside the output folder ("..\..\x" stays out).
            const std::wstring& name = target; // zv::file::size is the file's size
            if (name.size() > folder.size() &&
                zv::string(name.substr(0, folder.size())).isEqualTo(folder, false)) {
                try {
                    obj->doWrite(target);
                } catch (...) {
                }
            }
        }
        objectField =
            (!rel.empty() && (rel[0] == L'/' || rel[0] == L'\\')) ? rel : zv::string(zv::string(L"\\") + rel);
    }
    zv::mutexGuard guard(lock);
    // The numbers are written into buffers of their own, as
    // `zv::timestamp::toString` and decimal digits would show them.
    const zv::timestamp now = zv::timestamp::now();
    const zv::date& day = now.getDate();
    const zv::time& clock = now.getTime();
    wchar_t stamp[48];
    wchar_t* end = stamp;
    end = putNumber(end, day.year(), 4);
    *end++ = L'/';
    end = putNumber(end, static_cast<unsigned>(day.month()), 2);
    *end++ = L'/';
    end = putNumber(end, day.dayOfMonth(), 2);
    *end++ = L' ';
    end = putNumber(end, clock.hour(), 2);
    *end++ = L':';
    end = putNumber(end, clock.minute(), 2);
    *end++ = L':';
    end = putNumber(end, clock.second(), 2);
    *end++ = L':';
    end = putNumber(end, clock.msecond(), 2);
    wchar_t pid[24], tid[24], number[24];
    wchar_t* const pidEnd = putNumber(pid, zv::getCurrentProcessId(), 1);
    wchar_t* const tidEnd = putNumber(tid, zv::getCurrentThreadId(), 1);
    wchar_t* numberEnd = number;
    if (line < 0)
        *numberEnd++ = L'-';
    numberEnd = putNumber(numberEnd, line < 0 ? 0 - static_cast<unsigned long long>(line) : line, 1);
    settingsAccess::writeLine(lineFields{{stamp, static_cast<std::size_t>(end - stamp)},
                                         {pid, static_cast<std::size_t>(pidEnd - pid)},
                                         {tid, static_cast<std::size_t>(tidEnd - tid)},
                                         levelName(level),
                                         file,
                                         {number, static_cast<std::size_t>(numberEnd - number)},
                                         function,
                                         objectField,
                                         message});
}

} // namespace detail

struct logManager::data {
    zv::mutex lock;
    zv::refPtr<logger> root;
    logClassMap classes;
};

logManager::logManager() : m_data(new data) {
    m_data->root = logger::create(zv::string(L"root"), false, eNone);
}

logManager::~logManager() {
    delete m_data;
}

logManager& logManager::getInstance() {
    if (logManager* manager = g_manager.load(std::memory_order_acquire))
        return *manager;
    if (t_creating && g_building != nullptr)
        return *g_building;
    zv::mutexGuard guard(creationLock());
    if (logManager* manager = g_manager.load(std::memory_order_acquire))
        return *manager;
    fallbackLogger();
    struct creating {
        creating() { t_creating = true; }
        ~creating() {
            t_creating = false;
            g_building = nullptr;
        }
    } marker;
    logManager* manager = new logManager();
    g_building = manager;
    manager->reloadConfig();
    logSettings& settings = logSettings::getInstance();
    settings.clearLogFolder();
    settings.initOutputFile();
    g_manager.store(manager, std::memory_order_release);
    manager->updateActive();
    return *manager;
}

zv::refPtr<logger> logManager::getLogger(const zv::string& name) {
    logManager* manager = g_manager.load(std::memory_order_acquire);
    if (manager == nullptr) {
        // Whatever logs while the manager is being made gets the fallback.
        if (t_creating)
            return fallbackLogger();
        manager = &getInstance();
    }
    if (!g_active.load(std::memory_order_acquire))
        return fallbackLogger();
    zv::string key = logConfig::normaliseId(name);
    zv::mutexGuard guard(manager->m_data->lock);
    if (key == L"root")
        return manager->m_data->root;
    for (;;) {
        const auto it = manager->m_data->classes.find(key);
        if (it != manager->m_data->classes.end() && it->second && it->second->isEnabled())
            return it->second;
        const std::size_t dot = key.rfind(L'.');
        if (dot == zv::string::npos)
            break;
        key.resize(dot);
    }
    return manager->m_data->root;
}

zv::refPtr<logger> logManager::getLogger(const char* name) {
    return getLogger(zv::string::fromMBCtoWC(name));
}

bool logManager::isActive() {
    return g_active.load(std::memory_order_acquire);
}

zv::refPtr<logger> logManager::getRootLogger() {
    zv::mutexGuard guard(m_data->lock);
    return m_data->root;
}

logClassMap logManager::getLogClasses() {
    zv::mutexGuard guard(m_data->lock);
    return m_data->classes;
}

void logManager::setLogClasses(const logClassMap& classes) {
    {
        zv::mutexGuard guard(m_data->lock);
        logClassMap normalised;
        for (const auto& [id, l] : classes) {
            const zv::string key = logConfig::normaliseId(id);
            if (l && !key.empty())
                normalised[key] = l;
        }
        m_data->classes.swap(normalised);
    }
    updateActive();
}

logConfig logManager::currentConfig() {
    logConfig config;
    logSettings& settings = logSettings::getInstance();
    config.maxFileCount = settings.maxFileCount();
    config.maxFileSize = settings.maxFileSize();
    config.format = settings.formatSpecifier();
    zv::mutexGuard guard(m_data->lock);
    config.rootEnabled = m_data->root->isEnabled();
    config.rootLevel = m_data->root->level();
    for (const auto& [id, l] : m_data->classes)
        config.classes.push_back(logConfig::entry{id, l->isEnabled(), l->level()});
    return config;
}

void logManager::saveConfig() {
    zv::mutexGuard guard(m_data->lock);
    const logConfig config = currentConfig();
    const zv::file target = configFile();
    if (target.empty())
        throw zv::writeFileException(target);
    config.save(target);
}

void logManager::reloadConfig() {
    logConfig config;
    try {
        config.load(configFile());
    } catch (...) {
        // An unreadable file counts as none: the defaults, logging inactive.
        config = logConfig();
    }
    detail::settingsAccess::applySettings(config);
    {
        zv::mutexGuard guard(m_data->lock);
        m_data->root->setLevel(config.rootLevel);
        m_data->root->setEnabled(config.rootEnabled);
        logClassMap classes;
        for (const logConfig::entry& e : config.classes) {
            const auto old = m_data->classes.find(e.id);
            zv::refPtr<logger> l;
            if (old != m_data->classes.end() && old->second) {
                l = old->second;
                l->setLevel(e.level);
                l->setEnabled(e.enabled);
            } else {
                l = logger::create(e.id, e.enabled, e.level);
            }
            classes[e.id] = l;
        }
        // Loggers handed out earlier whose entry is gone stop writing.
        for (const auto& [id, l] : m_data->classes)
            if (l && classes.find(id) == classes.end())
                l->setEnabled(false);
        m_data->classes.swap(classes);
    }
    updateActive();
}

// Found again on every use, so that a changed log root takes effect.
zv::file logManager::configFile() const {
    const zv::string module = detail::settingsAccess::runningModule();
    const zv::directory app = logUtils::logAppDirPath(module);
    return app.empty() ? zv::file() : zv::file(app, module + L".logcfg");
}

void logManager::updateActive() {
    zv::mutexGuard guard(m_data->lock);
    const bool rootOn = m_data->root->isEnabled();
    bool active = rootOn && m_data->root->level() != eNone;
    for (auto it = m_data->classes.begin(); rootOn && !active && it != m_data->classes.end(); ++it)
        active = it->second && it->second->isEnabled() && it->second->level() != eNone;
    g_rootEnabled.store(rootOn, std::memory_order_release);
    g_active.store(active, std::memory_order_release);
}

} // namespace zvlog
