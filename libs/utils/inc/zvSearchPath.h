// zvSearchPath.h - an ordered list of folders in which files are looked up by
// name, first folder first.
//
//     zv::searchPath path;
//     zv::searchPath::fromString(L"C:\\a;D:\\b", path, L';');
//     zv::file found;
//     if (path.findFile(L"x.cfg", found, true)) { ... }   // subfolders too
//
// No two entries have names that are equal ignoring case. `fromDollarPath`
// reads the PATH variable with the platform's own separator: ";" on Windows,
// ":" on Linux.
#pragma once

#include "zvDefs.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvString.h"

#include <vector>

namespace zv {

/// An ordered list of folders searched for files.
class ZV_API searchPath {
public:
    /// The separator of the PATH variable on this platform.
#ifdef _WIN32
    static constexpr wchar_t pathSeparator = L';';
#else
    static constexpr wchar_t pathSeparator = L':';
#endif

    searchPath() = default;

    /// Appends `dir` unless an entry of that name (ignoring case) is present.
    void appendDirectory(const zv::directory& dir);
    /// Removes the first entry of that name (ignoring case); the rest keep
    /// their order.
    void removeDirectory(const zv::directory& dir);
    /// True when `dir` is one of the folders.
    bool containsDirectory(const zv::directory& dir) const;

    /// The first entry holding `name`; with `recursive` an entry's subfolders
    /// (depth first, hidden and system ones skipped) are searched before the
    /// next entry. `dir` is set only on success.
    bool findContainingDir(const zv::string& name, zv::directory& dir, bool recursive) const;
    /// `findContainingDir`, then `file` is that folder joined with `name`.
    bool findFile(const zv::string& name, zv::file& file, bool recursive) const;
    /// Appends every file matching `pattern` of every entry, in entry order.
    void findFiles(const wchar_t* pattern, std::vector<zv::file>& files, bool recursive) const;
    /// Appends the files of `dir` matching `pattern` (hidden and system ones
    /// skipped); with `recursive` then those of each subfolder, depth first.
    void findFiles(const zv::directory& dir, const wchar_t* pattern, std::vector<zv::file>& files,
                   bool recursive) const;

    /// The entries in search order.
    const std::vector<zv::directory>& directories() const {
        return m_dirs;
    }
    /// The number of folders.
    std::size_t size() const {
        return m_dirs.size();
    }
    /// True without folders.
    bool empty() const {
        return m_dirs.empty();
    }

    /// Splits `text` at `separator`, trims blanks and tabs, skips empty
    /// parts, and appends each part as a folder (relative parts from the
    /// working directory) after the entries already in `path`.
    static void fromString(const zv::string& text, searchPath& path, wchar_t separator);
    /// The same, except that a part beginning with "." is taken from `base`
    /// and only folders that exist are appended.
    static void fromString(const zv::string& text, searchPath& path, const zv::directory& base,
                           wchar_t separator);
    /// `fromString` of the PATH variable with `pathSeparator`.
    static void fromDollarPath(searchPath& path);

private:
    std::vector<zv::directory> m_dirs;
};

} // namespace zv
