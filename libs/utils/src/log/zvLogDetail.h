// Internal links between the logging classes.
#pragma once

#include "zvLog.h"

namespace zvlog::detail {

/// True while the manager's root logger exists and is enabled.
bool rootEnabled();
/// Called after a logger's level, flag or id changed.
void loggerChanged(logger* changed);
/// Writes one line through `owner`, whose mutex is `lock`.
void writeLine(logger& owner, zv::mutex& lock, logLevel level, const zv::string& message,
               const zv::string& file, long line, const zv::string& function, const zv::refPtr<iLogObj>& obj);

/// The name of `level` as lines show it ("none" for any unknown level).
const wchar_t* levelName(logLevel level);

/// Writes an error that a destructor swallowed at level info through the
/// logger of `where`; true when written. Never creates the log manager (a
/// destructor may run while the process ends) and never throws.
bool logSuppressed(const wchar_t* where, const zv::string& text) noexcept;

} // namespace zvlog::detail
