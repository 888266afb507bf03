// Internal access of the writer and the manager to the file settings.
#pragma once

#include "zvLog.h"

#include <string>

namespace zvlog::detail {

struct settingsAccess {
    /// Appends one encoded line to the current output file, after rotation.
    static bool appendToOutput(const std::string& bytes);
    /// The line format.
    static zv::string currentFormat();
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
