// zvFsEntry.h - the common base of `zv::file` and `zv::directory`: a
// normalised name plus existence and the remote-drive test.
//
//     zv::file f(L"C:\\data\\a.txt");
//     if (f.exists() && !f.isRemote()) { ... }
//
// A directory's name always ends with one backslash, a file's never.
#pragma once

#include "zvDefs.h"
#include "zvFsEntryName.h"

namespace zv {

/// A path name that knows whether it names a file or a folder.
class ZV_API fsEntry : public fsEntryName {
public:
    virtual ~fsEntry();

    /// Whether anything (file or folder) exists at the name; false when empty.
    virtual bool exists() const;
    /// True for a UNC name or a name on a network drive.
    virtual bool isRemote() const;
    /// Gives the entry a new name within its folder.
    virtual bool rename(const zv::string& newName) = 0;

    /// Takes `name` as it is (not normalised again); a directory keeps one
    /// trailing backslash.
    fsEntry& operator=(const fsEntryName& name);

    /// True for a `zv::directory`.
    bool isDirectory() const { return m_isDirectory; }

protected:
    /// An empty name for a folder (`isDirectory`) or a file.
    explicit fsEntry(bool isDirectory) : m_isDirectory(isDirectory) {}
    /// The entry `name` in `directory`.
    fsEntry(const zv::string& directory, const zv::string& name, bool isDirectory);
    /// The entry `name` in `directory`.
    fsEntry(const fsEntryName& directory, const zv::string& name, bool isDirectory);
    /// A copy.
    fsEntry(const fsEntry&) = default;
    /// Takes the name and kind of the other entry.
    fsEntry& operator=(const fsEntry&) = default;

private:
    bool m_isDirectory;
};

} // namespace zv
