// zvDirectory.h - folders, the three folder iterators and the user's
// well-known folders.
//
//     zv::directory dir(L"C:\\data");                 // "C:\data\"
//     for (zv::fileIterator it(dir, L"*.txt", 0x02); !it.m_current.empty(); ++it)
//         use(it.m_current);                          // files, hidden ones skipped
//     for (zv::recursiveFileIterator it(dir, L"*.*", 0, L"*.*", 0); !it.finished(); ++it)
//         use(static_cast<const zv::file&>(it));      // subfolders' files first
//
// Exclusion masks use the attribute bits 0x01 read-only, 0x02 hidden,
// 0x04 system, 0x10 folder, 0x20 archive: an entry with any bit of the mask
// is skipped. Entries come in the order the file system gives them. An
// entry whose name the library cannot express (on Linux a name holding a
// backslash, or bytes that are not UTF-8) is not seen by the iterators, and
// so neither listed nor cleared nor removed.
#pragma once

#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvFile.h"
#include "zvFsEntry.h"
#include "zvTypeConvert.h"

#include <memory>
#include <string>

namespace zv::os {
struct findHandle;
}

namespace zv {

class fileIterator;
class testEnv;
class directoryIterator;

/// A folder: creation, clearing, removal, listing, disk space and the well-known folders.
class ZV_API directory : public fsEntry {
public:
    /// The disk-space quantities of `getDiskSpace`.
    enum eDSType : int { dsAvailable = 0, dsTotal = 1, dsFree = 2 };
    /// The units of `getDiskSpace`.
    enum eDSBaseSize : int { dsBytes = 0, dsKBytes = 1, dsMBytes = 2, dsGBytes = 3 };

    directory() : fsEntry(true) {}
    /// The normalisation of `fullName`, with one trailing backslash.
    directory(const zv::string& fullName) : fsEntry(fullName, zv::string(), true) {}
    /// The normalisation of `fullName`, with one trailing backslash.
    directory(const wchar_t* fullName) : fsEntry(zv::string(fullName), zv::string(), true) {}
    /// The folder `name` inside `parent`.
    directory(const directory& parent, const zv::string& name) : fsEntry(parent, name, true) {}
    /// A copy.
    directory(const directory&) = default;
    /// Assignment.
    directory& operator=(const directory&) = default;
    using fsEntry::operator=;

    /// Renames within the parent folder.
    bool rename(const zv::string& newName) override;

    /// Creates the folder (with `recursive` its missing parents too); true
    /// when it exists afterwards, false when a file stands in the way.
    bool create(bool recursive = false) const;
    /// Deletes every file that is neither read-only, hidden nor system; with
    /// `recursive` the subfolders are cleared as well (and kept).
    bool clear(bool recursive = false) const;
    /// Like `clear`, then removes subfolders (with `recursive`) and the
    /// folder itself; false when something had to stay. Links to folders
    /// are never descended into, by `clear` nor here: `remove` removes the
    /// link itself and leaves what it leads to alone.
    bool remove(bool recursive = false) const;
    /// True at the first file that cannot be written.
    bool containsReadOnlyFiles(bool recursive = false) const;
    /// No subfolder and no file except hidden and system ones; false for a
    /// folder that is missing or cannot be read.
    bool isEmpty() const;
    /// The folder exists and its entries can be read.
    bool canList() const;
    /// True for the root folder of a drive or share.
    bool isRoot() const;
    /// True when this is the working directory.
    bool isCurrent() const;
    /// Makes this folder the working directory (and its drive current).
    bool makeCurrent() const;

    /// The quantity `type` in the unit `base`; 0xFFFFFFFF when it does not
    /// fit in 32 bits.
    bool getDiskSpace(eDSType type, eDSBaseSize base, unsigned long* value) const;
    /// The same in 64 bits, without the cap.
    bool getDiskSpace(eDSType type, eDSBaseSize base, unsigned long long* value) const;

    /// The files matching `pattern`, without those having attribute bits of `excludeMask`.
    fileIterator fileIt(const wchar_t* pattern = L"*.*", int excludeMask = 0) const;
    /// The subfolders matching `pattern`, without those having attribute bits of `excludeMask`.
    directoryIterator dirIt(const wchar_t* pattern = L"*.*", int excludeMask = 0) const;
    /// The number of files `fileIt` would return.
    unsigned long numberOfFiles(const wchar_t* pattern = L"*.*", int excludeMask = 0) const;

    /// The temporary folder: the override, else TMP, TEMP (and on Linux
    /// TMPDIR, then "/tmp"), else the working directory.
    static directory systemTempDir();
    /// Replaces the process-wide override of `systemTempDir` (set it once at
    /// start-up; an empty name removes it).
    static void overwriteSystemTempDir(const directory& dir);
    /// The user's home folder.
    static directory userHomeDir();
    /// The user's roaming application data folder, or its subfolder `sub` (created with `create`).
    static directory userAppdataDir(const wchar_t* sub = nullptr, bool create = false);
    /// The user's local application data folder, or its subfolder `sub` (created with `create`).
    static directory userLocalAppdataDir(const wchar_t* sub = nullptr, bool create = false);
    /// The application data folder shared by all users, or its subfolder `sub` (created with `create`).
    static directory allUserAppdataDir(const wchar_t* sub = nullptr, bool create = false);
    /// The documents folder shared by all users (created with `create`).
    static directory commonDocumentsDir(bool create = false);
    /// The user's documents folder (created with `create`).
    static directory userDocumentsDir(bool create = false);
    /// The user's desktop folder (created with `create`).
    static directory desktopDir(bool create = false);
    /// Creates a new folder inside `base` (the temporary folder when empty)
    /// named by a counter started at the current time.
    static directory generateRandomDirectory(const directory& base);

    /// Checks the temporary folder and a round of folder and file operations
    /// in a fresh folder inside it, and reports through `env`; false when a
    /// check failed.
    static bool test(testEnv& env);
};

/// The subfolders of a folder ("." and ".." never among them).
class ZV_API directoryIterator {
public:
    /// The subfolders of `dir` matching `pattern`, without those having attribute bits of `excludeMask`;
    /// positioned on the first.
    directoryIterator(const directory& dir, const wchar_t* pattern = L"*.*", int excludeMask = 0);
    ~directoryIterator();
    directoryIterator(const directoryIterator&) = delete;
    directoryIterator& operator=(const directoryIterator&) = delete;

    /// Moves to the next folder.
    void next();
    /// Moves to the next folder.
    void operator++() { next(); }
    /// Moves to the next folder.
    void operator++(int) { next(); }
    /// False once the last entry has been passed.
    bool positioned() const { return !m_current.empty(); }
    /// The attribute bits of the current folder (0x400: a link or junction).
    unsigned currentAttributes() const { return m_attributes; }

    directory m_current; ///< the current folder; an empty name when finished

private:
    bool accept(const std::wstring& name, unsigned attributes);
    directory m_dir;
    unsigned m_attributes = 0;
    os::findHandle* m_handle = nullptr;
    int m_excludeMask;
};

/// The files of a folder (folders are never returned).
class ZV_API fileIterator {
public:
    /// The files of `dir` matching `pattern`, without those having attribute bits of `excludeMask`;
    /// positioned on the first.
    fileIterator(const directory& dir, const zv::string& pattern = L"*.*", int excludeMask = 0);
    ~fileIterator();
    fileIterator(const fileIterator&) = delete;
    fileIterator& operator=(const fileIterator&) = delete;

    /// Moves to the next file.
    void next();
    /// Moves to the next file.
    void operator++() { next(); }
    /// Moves to the next file.
    void operator++(int) { next(); }
    /// False once the last entry has been passed.
    bool positioned() const { return !m_current.empty(); }

    file m_current; ///< the current file; an empty name when finished

private:
    bool accept(const std::wstring& name, unsigned attributes);
    directory m_dir;
    os::findHandle* m_handle = nullptr;
    int m_excludeMask;
};

/// The files of a whole tree, depth first: the files of every subfolder
/// come before the files of the folder itself.
class ZV_API recursiveFileIterator {
public:
    /// The files of the tree under `dir` matching `filePattern` in the folders matching `dirPattern`, each
    /// without the attribute bits of its exclude mask.
    recursiveFileIterator(const directory& dir, const zv::string& filePattern = L"*.*",
                          int fileExcludeMask = 0, const zv::string& dirPattern = L"*.*",
                          int dirExcludeMask = 0);
    ~recursiveFileIterator();
    recursiveFileIterator(const recursiveFileIterator&) = delete;
    recursiveFileIterator& operator=(const recursiveFileIterator&) = delete;

    /// Moves to the next file.
    void next();
    /// Moves to the next file.
    void operator++() { next(); }
    /// Moves to the next file.
    void operator++(int) { next(); }
    /// True when no file is left.
    bool finished() const;
    /// The current file; throws `bool` false when there is none.
    operator const file&() const;

private:
    void descend();
    std::unique_ptr<directoryIterator> m_dirs;
    std::unique_ptr<recursiveFileIterator> m_child;
    std::unique_ptr<fileIterator> m_files;
    zv::string m_dirPattern;
    int m_dirExcludeMask;
    zv::string m_filePattern;
    int m_fileExcludeMask;
};

/// Text conversions: to text the full name, from text `setName` (with the
/// trailing backslash).
ZV_API bool dtconvert(string& target, const directory& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(string& target, const directory& source, int flags = 0, ...);
ZV_API bool dtconvert(directory& target, const string& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(directory& target, const string& source, int flags = 0, ...);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::directory, "zv::directory")
