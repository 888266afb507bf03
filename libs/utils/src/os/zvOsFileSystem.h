// zvOsFileSystem.h - the part of the OS layer that deals with the environment,
// path names, files and folders. Included by zvOs.h.
//
// Every name handed in or out is in the library's own form: a Windows path
// name ("C:\dir\file", "\\server\share\x") with backslash delimiters. On
// Windows that is the system's form; on Linux the layer maps it to a host path
// (drive C: is "/" unless ZV_ROOT_DRIVE names another letter, other drives
// through ZV_DRIVE_<LETTER>, UNC names below ZV_UNC_ROOT) and resolves
// components case-insensitively when the exact spelling does not exist.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zv::os {

// ---- environment -------------------------------------------------------

/// The value of the environment variable `name`; false (and `value` empty)
/// when it is not set.
bool getEnv(const wchar_t* name, std::wstring& value);
/// Sets `name` to `value`; an empty value removes the variable.
bool setEnv(const wchar_t* name, const wchar_t* value);
/// The name of the user the calling thread runs for; false when unknown.
bool userName(std::wstring& name);
/// The computer's network name; false when unknown.
bool computerName(std::wstring& name);

// ---- names and the current folder --------------------------------------

/// The working directory in the library's form, without a trailing
/// backslash unless it is a root ("C:\"); false when it cannot be had.
bool currentDirectory(std::wstring& dir);
/// The current drive, 1 for A: to 26 for Z:, 0 when there is none.
int currentDrive();
/// Makes `drive` (1 = A:) the current drive; false when it does not exist.
bool changeDrive(int drive);
/// Makes `dir` the working directory.
bool changeDirectory(const wchar_t* dir);
/// The host system's spelling of a library name (the name itself on
/// Windows); false when the name lies on a drive or UNC root that does not
/// exist here.
bool hostPath(const wchar_t* name, std::wstring& host);
/// The library's spelling of a host name that the caller knows to be one
/// (an absolute "/..." path on Linux); other text is returned unchanged.
std::wstring libraryPathFromHost(const std::wstring& host);
/// The 8-bit name by which the C runtime (and libraries built on it, such
/// as zlib) opens `name`: on Windows the name in the ANSI code page (false
/// when a character lies outside it), elsewhere the host path's bytes.
bool runtimePath(const wchar_t* name, std::string& path);

// ---- entries -----------------------------------------------------------

/// Attribute bits, as Windows and its runtime report them.
constexpr unsigned attrReadOnly = 0x01;
constexpr unsigned attrHidden = 0x02;
constexpr unsigned attrSystem = 0x04;
constexpr unsigned attrDirectory = 0x10;
constexpr unsigned attrArchive = 0x20;
/// A symbolic link or junction; folders that are one are not descended into.
constexpr unsigned attrReparsePoint = 0x400;
/// The bits `setAttributes` takes.
constexpr unsigned attrSettable = attrReadOnly | attrHidden | attrSystem | attrArchive;

/// What the file system says about one entry. Times are seconds since
/// 1970 UTC; the creation time is the modification time where the system
/// keeps none.
struct entryInfo {
    bool isDirectory = false;
    std::uint64_t size = 0;
    long long creationTime = 0;
    long long accessTime = 0;
    long long modificationTime = 0;
    unsigned attributes = 0;
    /// Neither a file nor a folder: a device, pipe or socket, which would
    /// block or never end when read as a file.
    bool isSpecial = false;
};

/// True when anything (file or folder) exists at `name`.
bool entryExists(const wchar_t* name);
/// The status of the entry; false when it cannot be read.
bool entryStatus(const wchar_t* name, entryInfo& info);
/// The runtime's access test: mode 0 existence, 2 write, 4 read, 6 both.
bool checkAccess(const wchar_t* name, int mode);
/// Creates a new, empty file; fails when anything exists at `name`. Without
/// `writable` the file is read-only.
bool createNewFile(const wchar_t* name, bool writable);
/// Makes an existing file writable or read-only.
bool setWritable(const wchar_t* name, bool writable);
/// Sets the attribute bits of `attrSettable` to `attributes`.
bool setAttributes(const wchar_t* name, unsigned attributes);
/// Sets the times given (null leaves one alone); creation times are ignored
/// where the system keeps them itself.
bool setTimes(const wchar_t* name, const long long* creation, const long long* access,
              const long long* modification);
/// Deletes a file; a read-only file is refused.
bool removeFile(const wchar_t* name);
/// Renames a file or folder; never replaces an existing entry.
bool renameEntry(const wchar_t* from, const wchar_t* to);
/// Copies a file with its times and attributes; with `failIfExists` an
/// existing target is refused.
bool copyFile(const wchar_t* from, const wchar_t* to, bool failIfExists);
/// Moves a file, also to another volume; an existing target is refused.
bool moveFile(const wchar_t* from, const wchar_t* to);
/// Creates one folder (the parent must exist).
bool createDirectory(const wchar_t* name);
/// Removes an empty folder; a link to a folder is removed itself.
bool removeDirectory(const wchar_t* name);

// ---- reading and writing -----------------------------------------------

struct fileHandle;
/// Opens an existing file for sequential reading; null on failure.
fileHandle* openForRead(const wchar_t* name);
/// Like `openForRead`, also while a writer holds the file open (a file this
/// process is writing and reads back before it is finished).
fileHandle* openForReadShared(const wchar_t* name);
/// Opens a file for appending, creating it when missing; null on failure.
fileHandle* openForAppend(const wchar_t* name);
/// Opens a file for writing from its start, creating it when missing and
/// emptying it otherwise; null on failure (a read-only file is refused).
fileHandle* openForWrite(const wchar_t* name);
/// Reads up to `size` bytes; the count read (0 at the end), -1 on an error.
long long readFile(fileHandle* handle, void* buffer, std::size_t size);
/// Reads exactly `size` bytes at `offset`; false on an error or a short read.
bool readFileAt(fileHandle* handle, std::uint64_t offset, void* buffer, std::size_t size);
/// Writes all `size` bytes; false on an error.
bool writeFile(fileHandle* handle, const void* data, std::size_t size);
/// The size of the open file; false when it cannot be had.
bool fileSizeOf(fileHandle* handle, std::uint64_t& size);
void closeFile(fileHandle* handle);

// ---- searching a folder ------------------------------------------------

struct findHandle;
/// One entry found: its name (without the folder) and its attribute bits.
struct findData {
    std::wstring name;
    unsigned attributes = 0;
};
/// Starts a search for `pattern` ("C:\dir\*.txt": a folder and a wildcard
/// pattern with '*' and '?', matched ignoring case, "*.*" matching every
/// name); null when nothing matches. The entries come unsorted, in the order
/// the file system gives them; "." and ".." may be among them. `wanted`
/// names the attribute bits the caller looks at (the folder bit is always
/// reported); others may be left out where finding them costs time.
findHandle* findFirst(const wchar_t* pattern, findData& found, unsigned wanted);
/// The next entry; false when there is none left.
bool findNext(findHandle* handle, findData& found);
void findClose(findHandle* handle);

// ---- volumes and well-known folders ------------------------------------

/// Bytes available to the caller, the volume's size and its free bytes.
bool diskSpace(const wchar_t* dir, std::uint64_t& available, std::uint64_t& total, std::uint64_t& free);
/// True when `root` ("X:\") lies on a network drive.
bool isRemoteDrive(const wchar_t* root);

enum class shellFolder { documents, appData, localAppData, commonAppData, commonDocuments, desktop };
/// The user's well-known folder, in the library's form; false when unknown.
bool shellFolderPath(shellFolder which, std::wstring& path);
/// The temporary folder when neither TMP nor TEMP is set; false where the
/// system has none besides them (then the working directory serves).
bool fallbackTempDirectory(std::wstring& dir);

// ---- version resources -------------------------------------------------

/// True where the system reads version resources itself (Windows); false
/// where the library parses the file.
bool systemReadsVersionResources();
/// The four dwords of the fixed version block (file version most and least
/// significant, product version most and least significant); false when the
/// file has none. Only where `systemReadsVersionResources`.
bool systemFixedVersion(const wchar_t* name, std::uint32_t (&words)[4]);

// ---- identity ----------------------------------------------------------

/// True when both names lead to one existing file or folder, links and
/// spellings aside: the same device and inode (the volume and file id on
/// Windows). False when either cannot be reached.
bool sameEntry(const wchar_t* a, const wchar_t* b);
/// True when `dir` is a folder whose entries can be read (an empty one too).
bool canListDirectory(const wchar_t* dir);
/// True when the entry itself is a symbolic link or junction.
bool isLink(const wchar_t* name);

} // namespace zv::os
