// Internal access of the writer and the manager to the file settings.
#pragma once

#include "zvLog.h"
#include "zvLogFormatDetail.h"

#include <string>

namespace zvlog::detail {

struct settingsAccess {
    /// Formats one line from its fields and appends it to the current output
    /// file, after rotation, in one write.
    static bool writeLine(const lineFields& fields);
    /// The output folder of this process, created when missing.
    static zv::directory outputFolder();
    /// Takes over the file settings of `config`.
    static void applySettings(const logConfig& config);
    /// The running module's name, as the settings use it.
    static zv::string runningModule();
    /// Re-evaluates whether configured loggers write.
    static void refreshActive(logManager& manager);
};

} // namespace zvlog::detail
