// zvLog.h - loggers configured per class name, writing formatted lines into
// size-rotated files of their own process.
//
// A component asks for the logger of its own qualified name and writes
// through the macros, which pass the source file, the line and the function
// and build the message only when the logger writes that level:
//
//     static zv::refPtr<zvlog::logger> log = zvlog::logManager::getLogger("zv::thread::start");
//     ZVLOG_DEBUG(log, zv::string::sformat(L"starting %lu", id));
//
// What is written, and how lines look, comes from "<module>.logcfg" (an XML
// file) in the application log folder "KARVENTIS/<module>" under the user's
// home folder; each process writes "<module>_<n>.log" in the subfolder named
// by its process id. Lines are stored in UTF-8 without a byte-order mark on
// every target; a line ends in "\r\n" on Windows and "\n" elsewhere.
//
// Each line is appended in one write to the file `outputFile()` names, also
// after that file or a folder above it was removed, renamed or replaced by
// hand. On Linux the file stays open between lines, and the system's change
// notification on it and on the folders above it tells when the name may no
// longer lead to it (it is then looked up again); elsewhere, and where no
// notification can be had, the name is looked up for every line (on
// Windows the file is opened for every line). Rotation counts the size the
// system reported when the file was opened or looked up, plus what this
// process appended since.
//
// Activation: the first `getLogger` creates the log manager once (reading
// the configuration, clearing the folders of ended processes and choosing the
// start file). While it is being created, calls of `getLogger` from inside
// the creation get the fallback logger, which never writes. Once created,
// while logging is inactive (no configuration, or a disabled root logger),
// `getLogger` answers the fallback logger without taking a lock, and a call
// at a level that is not written costs one comparison.
#pragma once

#include "zvDefs.h"
#include "zvMutex.h"
#include "zvObserver.h"
#include "zvRefObj.h"
#include "zvRefPtr.h"
#include "zvString.h"

#include <atomic>
#include <map>
#include <vector>

namespace zv {
class file;
class directory;
} // namespace zv

namespace zvlog {

/// The levels of a message and the threshold of a logger.
enum logLevel {
    eNone = 0,  ///< "none": a logger at this level writes nothing
    eTrace = 1, ///< "trace": everything
    eDebug = 2, ///< "debug"
    eInfo = 3,  ///< "info"
    eUi = 4     ///< "ui": messages shown to the user
};

class iLogObj;
class logConfig;

namespace detail {
struct settingsAccess;
} // namespace detail

/// A named logger with a level and an enabled flag. Writing a line through
/// one logger is serialised by its own mutex; lines of all loggers reach
/// the file whole, each in one append.
class ZV_API logger : public zv::refObj {
public:
    /// A new logger.
    static zv::refPtr<logger> create(const zv::string& id, bool enabled, logLevel level);

    /// The dotted lower-case class name, "root", or empty for the fallback logger.
    zv::string id() const;
    /// Renames the logger; an empty id makes it write nothing.
    void setId(const zv::string& id);
    /// The threshold level.
    logLevel level() const { return static_cast<logLevel>(m_level.load(std::memory_order_relaxed)); }
    /// Sets the threshold level.
    void setLevel(logLevel level);
    /// The enabled flag.
    bool isEnabled() const { return m_enabled.load(std::memory_order_relaxed); }
    /// Sets the enabled flag.
    void setEnabled(bool enabled);

    /// True when a message of `level` is written: the id is not empty,
    /// logging is enabled, this logger is enabled and its level is neither
    /// 0 nor above `level`.
    bool isLoggingAllowed(logLevel level) const {
        return static_cast<int>(level) >= m_threshold.load(std::memory_order_relaxed) &&
               globalsAllowLogging();
    }

    /// Writes `message` at level trace; `file`, `line` and `function` name the caller.
    void log_trace(const zv::string& message, const char* file, long line, const char* function,
                   zv::refPtr<iLogObj> obj = nullptr);
    /// Writes `message` at level debug.
    void log_debug(const zv::string& message, const char* file, long line, const char* function,
                   zv::refPtr<iLogObj> obj = nullptr);
    /// Writes `message` at level info.
    void log_info(const zv::string& message, const char* file, long line, const char* function,
                  zv::refPtr<iLogObj> obj = nullptr);
    /// Writes `message` at level ui.
    void log_ui(const zv::string& message, const char* file, long line, const char* function,
                zv::refPtr<iLogObj> obj = nullptr);
    /// Writes `message` at level trace, with wide file and function names.
    void log_trace(const zv::string& message, const zv::string& file, long line, const zv::string& function,
                   zv::refPtr<iLogObj> obj = nullptr);
    /// Writes `message` at level debug, with wide file and function names.
    void log_debug(const zv::string& message, const zv::string& file, long line, const zv::string& function,
                   zv::refPtr<iLogObj> obj = nullptr);
    /// Writes `message` at level info, with wide file and function names.
    void log_info(const zv::string& message, const zv::string& file, long line, const zv::string& function,
                  zv::refPtr<iLogObj> obj = nullptr);
    /// Writes `message` at level ui, with wide file and function names.
    void log_ui(const zv::string& message, const zv::string& file, long line, const zv::string& function,
                zv::refPtr<iLogObj> obj = nullptr);

    /// Writes `message` at `level` when allowed; the common path of the
    /// `log_xxx` functions and the macros.
    void write(logLevel level, const zv::string& message, const zv::string& file, long line,
               const zv::string& function, const zv::refPtr<iLogObj>& obj);

protected:
    /// A logger named `id` writing at `level` and above while enabled; made by the manager.
    logger(const zv::string& id, bool enabled, logLevel level);
    ~logger() override;
    logger(const logger&) = delete;
    logger& operator=(const logger&) = delete;

private:
    friend class logManager;
    static bool globalsAllowLogging();
    void updateThreshold();

    std::atomic<int> m_level;
    std::atomic<bool> m_enabled;
    std::atomic<int> m_threshold; // lowest level written; 5 when none is
    mutable zv::mutex m_mutex;    // serialises lines and guards the id
    zv::string m_id;
};

/// The process-wide file settings: file count and size, the line format
/// and the current output file.
class ZV_API logSettings {
public:
    /// The settings; created on first use.
    static logSettings& getInstance();

    /// The number of log files per process (default 3).
    unsigned int maxFileCount() const;
    /// Sets the number of log files per process (0 counts as 1).
    void setMaxFileCount(unsigned int count);
    /// The size in bytes above which the next file is started (default 2000000).
    unsigned long maxFileSize() const;
    /// Sets the size above which the next file is started.
    void setMaxFileSize(unsigned long size);
    /// The line format (see `logUtils::getFormattedLogMessage`).
    zv::string formatSpecifier() const;
    /// Sets the line format.
    void setFormatSpecifier(const zv::string& format);
    /// True when the manager's root logger exists and is enabled.
    bool loggingEnabled() const;

    /// Empties and removes the folders of ended processes in the
    /// application log folder of the running module.
    void clearLogFolder();
    /// The same for the application log folder of module `name`. Only
    /// folders named by a process id (digits, above 0) whose process is not
    /// running are touched; links inside them are removed, never followed.
    void clearLogFolder(const zv::string& name);
    /// Chooses the file this process starts with: the newest existing one
    /// among its numbered files, else file 1.
    void initOutputFile();
    /// The file the next line goes to, after rotation: a full current file
    /// moves on to the next number (after the last comes 1), which is
    /// emptied first.
    zv::file outputFile();
    /// The 1-based index of the current output file.
    unsigned int outputFileIndex() const;

    /// Never called: the settings live until the process ends.
    ~logSettings();
    logSettings(const logSettings&) = delete;
    logSettings& operator=(const logSettings&) = delete;

private:
    friend struct detail::settingsAccess;
    logSettings();
    struct data;
    data* m_data;
};

/// Helpers of the log folders, level names and line formatting.
class ZV_API logUtils {
public:
    /// The level named `text` (compared ignoring case); "none" for anything else.
    static logLevel getLogLevelFromString(const zv::string& text);
    /// The name of `level`; "none" for a value outside 0 to 4.
    static zv::string getStringFromLogLevel(logLevel level);
    /// The level of a logger that names none: "none".
    static logLevel defaultLogLevel();
    /// "<%s> [PID %p] [TID %t] (%l) {%f, L %r, %c} - %m %o".
    static zv::string defaultFormatSpecifier();
    /// The executable's file name without folder and extension, every
    /// ".vshost" removed.
    static zv::string moduleName();
    /// The application log folder of the running module.
    static zv::directory logAppDir();
    /// The application log folder "KARVENTIS/<name>" under the user's home
    /// folder, created when missing; an empty directory when `name` is empty
    /// or the folder cannot be made.
    static zv::directory logAppDir(const zv::string& name);
    /// The output folder of this process for the running module.
    static zv::directory outputDir();
    /// The output folder of this process: the application log folder plus
    /// the process id, created when missing.
    static zv::directory outputDir(const zv::string& name);
    /// Output file `n` of the running module.
    static zv::file outputPath(unsigned int n);
    /// Output file `n`: "<name>_<n>.log" in the output folder.
    static zv::file outputPath(unsigned int n, const zv::string& name);
    /// The configuration file "<name>.logcfg" in the application log folder.
    static zv::file configPath(const zv::string& name);
    /// Fits `text` to `width` characters: padded with spaces at the end, or
    /// cut to its first (with `keepEnd` its last) `width` characters.
    static zv::string scaleString(const zv::string& text, unsigned int width, bool keepEnd);
    /// Formats one line: `%s` timestamp (width 25), `%p` process id (6),
    /// `%t` thread id (6), `%l` level (5), `%f` source file (38, keeping the
    /// end), `%r` line number (5), `%c` function (50, keeping the end), `%o`
    /// log object and `%m` message as given. Everything else, also the
    /// inserted values, appears exactly as written.
    static zv::string getFormattedLogMessage(const zv::string& format, const zv::string& s,
                                             const zv::string& p, const zv::string& t, const zv::string& l,
                                             const zv::string& f, const zv::string& r, const zv::string& c,
                                             const zv::string& o, const zv::string& m);
    /// Replaces the folder under which the application log folders are made
    /// (default: the user's home folder); an empty name restores the default.
    /// For tools and tests; set it before the first logger is asked for.
    static void overwriteLogRootDir(const zv::directory& dir);
    /// The folder under which the application log folders are made.
    static zv::directory logRootDir();
    /// The application log folder of `name` without creating it; an empty
    /// directory when `name` is empty.
    static zv::directory logAppDirPath(const zv::string& name);
    /// The qualified function name in a compiler's function signature
    /// ("void zv::thread::start(int)" gives "zv::thread::start").
    static zv::string functionName(const char* signature);
};

/// The content of a configuration file, as a plain value: read, edited and
/// saved without touching the running loggers.
///
///     <logconfig>
///        <globals maxfilecount="3" maxfilesize="2000000" format="..."/>
///        <root level="info" enabled="true"/>
///        <classes><zv.thread enabled="1" level="trace"/></classes>
///     </logconfig>
class ZV_API logConfig {
public:
    /// One configured class logger.
    struct entry {
        zv::string id;          ///< lower case, "::" written as "."
        bool enabled = false;   ///< "enabled" is "true" or "1"
        logLevel level = eNone; ///< named by "level"
    };

    unsigned int maxFileCount = 3;                          ///< "maxfilecount"
    unsigned long maxFileSize = 2000000;                    ///< "maxfilesize", bytes
    zv::string format = logUtils::defaultFormatSpecifier(); ///< "format"
    bool rootEnabled = false;                               ///< the root logger's flag
    logLevel rootLevel = eNone;                             ///< the root logger's level
    std::vector<entry> classes;                             ///< in file order, one per id

    /// Reads `source`; false (and the defaults) when it does not exist.
    /// Throws `zv::invalidXmlException` or `zv::readFileException` when it
    /// cannot be read as a configuration; this value is then unchanged.
    bool load(const zv::file& source);
    /// Reads a configuration from `size` bytes (as a file holds them); throws
    /// `zv::unexpectedErrorException` on bad XML, leaving this value unchanged.
    void loadFromMemory(const char* data, unsigned int size);
    /// Saves to `target` in one step, creating its folder when missing. A
    /// write-protected file is made writable first; when that fails,
    /// `zv::fileWriteProtectedException` is thrown. Classes whose id is not a
    /// valid element name are left out. Other failures throw
    /// `zv::writeFileException`.
    void save(const zv::file& target) const;
    /// True when loggers configured like this write: the root logger is
    /// enabled and it or an enabled class logger has a level.
    bool isActive() const;
    /// Sets (or adds) the class logger `id`, normalised.
    void setClass(const zv::string& id, bool enabled, logLevel level);
    /// `name` lower-cased with every "::" replaced by ".".
    static zv::string normaliseId(const zv::string& name);
    /// True when `id` can be stored as an element name.
    static bool isValidId(const zv::string& id);
};

/// The map of configured class loggers, by id.
using logClassMap = std::map<zv::string, zv::refPtr<logger>>;

/// The process-wide registry of loggers and their configuration.
class ZV_API logManager {
public:
    /// The manager; the first call reads the configuration, clears the
    /// folders of ended processes and chooses the start file.
    static logManager& getInstance();
    /// The logger for `name` ("zv::thread::start"): the most specific
    /// enabled configured logger, else the root logger; the fallback logger
    /// while logging is inactive. Never null.
    static zv::refPtr<logger> getLogger(const zv::string& name);
    /// The same for a multibyte name.
    static zv::refPtr<logger> getLogger(const char* name);
    /// True when configured loggers write (the root logger is enabled and it
    /// or a class logger has a level).
    static bool isActive();

    /// The root logger.
    zv::refPtr<logger> getRootLogger();
    /// A copy of the map of class loggers.
    logClassMap getLogClasses();
    /// Replaces the map of class loggers (ids as given are lower-cased with
    /// "::" turned into ".").
    void setLogClasses(const logClassMap& classes);
    /// Writes the configuration to the configuration file in one step.
    /// Throws `zv::fileWriteProtectedException` when it cannot be written,
    /// `zv::writeFileException` when saving fails.
    void saveConfig();
    /// Reads the configuration file again: settings start from the defaults,
    /// loggers already handed out keep their identity and take the new level
    /// and flag (a class logger no longer configured is disabled).
    void reloadConfig();
    /// The configuration file of the running module.
    zv::file configFile() const;
    /// The configuration as the manager holds it now.
    logConfig currentConfig();

    /// Never called: the manager lives until the process ends.
    ~logManager();
    logManager(const logManager&) = delete;
    logManager& operator=(const logManager&) = delete;

private:
    logManager();
    friend struct detail::settingsAccess;
    void updateActive();
    struct data;
    data* m_data;
};

/// The event a `logObj` fires to have its content written.
constexpr int logObjWriteEvent = 512;

/// Something written to a file of its own next to the log and referenced
/// from the line.
class ZV_API iLogObj : public virtual zv::iObservable, public virtual zv::iRefObj {
public:
    /// Writes the content into `target`.
    virtual void doWrite(zv::file& target) = 0;
    /// The path of the file relative to the output folder.
    virtual zv::string relFilePath() const = 0;

protected:
    ~iLogObj() override;
};

/// A log object that writes nothing itself: `doWrite` fires `logObjWriteEvent`
/// with the object as source, so that its observers write the content.
class ZV_API logObj : public iLogObj, public zv::refObj, public zv::observable {
public:
    /// A new log object for the file at `relPath`.
    static zv::refPtr<logObj> create(const zv::string& relPath);

    /// Fires `logObjWriteEvent` with this object as source; observers find
    /// the file in `currentTarget`.
    void doWrite(zv::file& target) override;
    /// The path given at creation.
    zv::string relFilePath() const override;
    /// The file handed to the running `doWrite` (for observers); null outside it.
    zv::file* currentTarget() const { return m_target; }

protected:
    /// An object written to `relPath` below the log's output folder.
    explicit logObj(const zv::string& relPath);
    ~logObj() override;

private:
    zv::string m_relPath;
    zv::file* m_target = nullptr;
};

/// A log object holding a text, stored in UTF-8.
class ZV_API logStringToTxt : public logObj {
public:
    /// A new log object writing `text` to the file at `relPath`.
    static zv::refPtr<logStringToTxt> create(const zv::string& relPath, const zv::string& text);

    /// Replaces the file with the text, creating its folder when missing.
    void doWrite(zv::file& target) override;
    /// The text.
    const zv::string& text() const { return m_text; }

protected:
    /// A text written as it stands to `relPath` below the log's output folder.
    logStringToTxt(const zv::string& relPath, const zv::string& text);
    ~logStringToTxt() override;

private:
    zv::string m_text;
};

namespace detail {
/// The logger behind what the macros are given.
inline logger* loggerOf(logger* l) {
    return l;
}
/// The logger behind what the macros are given.
inline logger* loggerOf(const zv::refPtr<logger>& l) {
    return l.get();
}
} // namespace detail

} // namespace zvlog

#if defined(__GNUC__) || defined(__clang__)
#define ZVLOG_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#else
#define ZVLOG_FUNCTION_SIGNATURE __FUNCSIG__
#endif

/// Writes `message` through `lg` (a `refPtr<logger>` or `logger*`, may be
/// null) at `level`; the message is built only when the level is written.
#define ZVLOG_AT(lg, level, message)                                                                         \
    do {                                                                                                     \
        ::zvlog::logger* zvlogLogger_ = ::zvlog::detail::loggerOf(lg);                                       \
        if (zvlogLogger_ != nullptr && zvlogLogger_->isLoggingAllowed(level))                                \
            zvlogLogger_->write(level, ::zv::string(message), ::zv::string::fromMBCtoWC(__FILE__), __LINE__, \
                                ::zvlog::logUtils::functionName(ZVLOG_FUNCTION_SIGNATURE), nullptr);         \
    } while (false)
/// Writes `message` at level trace.
#define ZVLOG_TRACE(lg, message) ZVLOG_AT(lg, ::zvlog::eTrace, message)
/// Writes `message` at level debug.
#define ZVLOG_DEBUG(lg, message) ZVLOG_AT(lg, ::zvlog::eDebug, message)
/// Writes `message` at level info.
#define ZVLOG_INFO(lg, message) ZVLOG_AT(lg, ::zvlog::eInfo, message)
/// Writes `message` at level ui.
#define ZVLOG_UI(lg, message) ZVLOG_AT(lg, ::zvlog::eUi, message)
