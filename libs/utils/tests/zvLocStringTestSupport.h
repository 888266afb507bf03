// Helpers for the tests of localized strings and exceptions: the manager's
// settings restored after each test, and localization files written in a
// temporary folder.
#pragma once

#include "zvFsTestSupport.h"
#include "zvLocString.h"

#include <string>

namespace zvtest {

/// Saves the localization manager's settings and restores them when it goes.
/// The manager is process-wide and never forgets a loaded file, so tests use
/// folders and ids of their own.
class locSettingsGuard {
public:
    locSettingsGuard()
        : m_language(manager().defaultLanguage()), m_file(manager().defaultLocFile()),
          m_overlay(manager().overlayId()), m_path(manager().defaultSearchPath()) {}
    ~locSettingsGuard() {
        manager().setDefaultLanguage(m_language.c_str());
        manager().setDefaultLocFile(m_file.c_str());
        manager().setOverlayId(m_overlay.c_str());
        manager().setDefaultSearchPath(m_path);
    }
    locSettingsGuard(const locSettingsGuard&) = delete;
    locSettingsGuard& operator=(const locSettingsGuard&) = delete;

    static zv::locManager& manager() { return zv::locManager::instance(); }

    /// Makes `dir` the only folder of the default search path, with no
    /// default language, file or overlay.
    static void only(const zv::directory& dir) {
        zv::searchPath path;
        path.appendDirectory(dir);
        manager().setDefaultSearchPath(path);
        manager().setDefaultLanguage(L"");
        manager().setDefaultLocFile(L"");
        manager().setOverlayId(L"");
    }

private:
    zv::string m_language;
    zv::string m_file;
    zv::string m_overlay;
    zv::searchPath m_path;
};

/// A temporary folder that is the only one searched, with the manager's
/// settings restored afterwards.
struct locSandbox {
    locSettingsGuard settings;
    tempFolder folder;
    locSandbox() { locSettingsGuard::only(folder.dir()); }
};

/// Writes a localization file in UTF-8 with a byte-order mark.
inline zv::file writeLocFile(const tempFolder& folder, const std::wstring& relative,
                             const std::string& lines) {
    return folder.write(relative, "\xEF\xBB\xBF" + lines);
}

} // namespace zvtest
