// zvFile.h - a file named by a normalised path: existence, access, copies,
// times, CRC-32, version resources and unique names.
//
//     zv::directory dir(L"C:\\data");
//     zv::file f(dir, L"a.txt");          // "C:\data\a.txt"
//     if (!f.exists()) f.create(zv::file::accessReadWrite);
//     unsigned long crc = 0;
//     f.getCrc32(crc);
//
// Nothing is cached: every query asks the file system. Operations answer
// false (or 0, or an empty name) on failure and never throw; an empty name
// makes every operation fail quietly. Times are seconds since 1970 UTC in
// 64 bits.
#pragma once

#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvFsEntry.h"
#include "zvTypeConvert.h"
#include "zvVersion.h"

namespace zv {

class directory;
class timestamp;

/// A file: existence, access, copying, moving, times, attributes, CRC-32, gzip and version resources.
class ZV_API file : public fsEntry {
public:
    /// Access-test modes (combinable); `accessMissing` is what `accessMode`
    /// answers for a missing file.
    enum eAccessMode : int {
        accessExists = 0,
        accessWrite = 2,
        accessRead = 4,
        accessReadWrite = 6,
        accessMissing = -1
    };

    file() : fsEntry(false) {}
    /// The normalisation of `fullName`.
    file(const zv::string& fullName) : fsEntry(fullName, zv::string(), false) {}
    /// The normalisation of `fullName`.
    file(const wchar_t* fullName) : fsEntry(zv::string(fullName), zv::string(), false) {}
    /// `name` inside `dir`.
    file(const directory& dir, const zv::string& name);
    /// A copy.
    file(const file&) = default;
    /// Assignment.
    file& operator=(const file&) = default;
    using fsEntry::operator=;

    /// A file (not a folder) exists at the name.
    bool exists() const override;
    /// Renames within the folder; fails when `newName` exists.
    bool rename(const zv::string& newName) override;

    /// True when the file passes the access test `mode`.
    bool check(eAccessMode mode) const;
    /// True when the file can be read.
    bool isReadable() const { return check(accessRead); }
    /// Can be written: an existing file by the access test; a missing one by
    /// creating and deleting it (nothing is left behind).
    bool isWriteable() const;
    /// -1 for a missing file, else (2 when writeable) | (4 when readable).
    int accessMode() const;
    /// Creates an empty file (read-only unless `mode` has `accessWrite`);
    /// false when it exists.
    bool create(eAccessMode mode = accessReadWrite) const;
    /// Makes the file writable or read-only after `mode`.
    bool change(eAccessMode mode) const;
    /// Grants (or withdraws) read access.
    bool allowRead(bool allow) const;
    /// Makes the file writable (or read-only).
    bool allowWrite(bool allow) const;

    /// Copies to `target`; fails when it exists and `overwrite` is false,
    /// and always when `target` is this file under another name (see
    /// `isSameFileAs`), which the copy would empty.
    bool copy(const file& target, bool overwrite) const;
    /// Moves to `target`, also to another volume; fails when it exists.
    bool move(const file& target) const;
    /// Deletes the file; false when it cannot.
    bool remove() const;
    /// Renames to the name without its extension (the last one with
    /// `lastDotOnly`, else everything from the first dot) plus "." + `ext`.
    bool setExtension(const wchar_t* ext, bool lastDotOnly);

    /// The size in bytes; 0 when it cannot be read (the maximum of the type
    /// when it does not fit).
    unsigned long size() const;
    /// The size in bytes in 64 bits; 0 when it cannot be read.
    unsigned long long size64() const;
    /// The creation time in seconds since 1970 (the modification time where the file system keeps none).
    long long creationTime() const;
    /// The last modification time in seconds since 1970.
    long long lastModificationTime() const;
    /// Sets the last modification time to `seconds` since 1970.
    bool setLastModificationTime(const long long& seconds) const;
    /// Sets the last modification time to the local `time`.
    bool setLastModificationTime(const timestamp& time) const;
    /// Copies the times and attribute bits of `other` onto this file; false
    /// when a part could not be copied.
    bool setFilePropsLike(const file& other) const;
    /// The attribute bits (0x01 read-only, 0x02 hidden, 0x04 system, 0x20
    /// archive); false when they cannot be read.
    bool getAttributes(unsigned& attributes) const;
    /// Sets the bits 0x01, 0x02, 0x04 and 0x20.
    bool setAttributes(unsigned attributes) const;

    /// Appends this file's bytes to `target` (created when missing); fails
    /// when `target` is this file under any name.
    bool appendTo(const file& target) const;

    /// True when both names lead to one file on disk: the same name in
    /// another case, a symbolic or hard link, a mapped drive. Decided by the
    /// file's identity (device and inode; volume and file id on Windows),
    /// never by the names; false when either does not exist.
    bool isSameFileAs(const file& other) const;
    /// True when an ordinary file exists at the name: not a folder and not
    /// a device, pipe or socket (which could block a reader for ever).
    bool isRegular() const;

    /// Called while compressing or uncompressing with the percentage done and
    /// the caller's pointer; answering false cancels.
    using progressCallback = bool (*)(double percent, void* user);
    /// Writes the gzip-compressed form of this file to `target` (replacing
    /// it). `progress` (may be null) gets 100 x bytes read / this file's size
    /// after each block. False on any failure or cancellation, and when
    /// `target` is this file under any name; then no partial `target` is
    /// left behind and an existing one keeps its content (the output goes to
    /// a temporary file beside it that replaces it in one step at the end).
    /// Loads the zlib module on first use.
    bool gzCompressTo(const file& target, progressCallback progress = nullptr, void* user = nullptr) const;
    /// Writes the uncompressed content of this gzip file to `target`
    /// (replacing it); a file that is not gzip-compressed is copied as it is.
    /// The progress value is 100 x bytes written / this file's size, so it
    /// passes 100 with the compression ratio. False on any failure or
    /// cancellation: a truncated or damaged file, a stream whose last
    /// member's trailer (CRC-32 and length) does not match what was read or
    /// that is followed by other bytes, a `target` that is this file under any
    /// name; then no partial `target` is left behind and an existing one
    /// keeps its content. On Windows both names
    /// must be representable in the ANSI code page.
    bool gzUncompressTo(const file& target, progressCallback progress = nullptr, void* user = nullptr) const;
    /// The CRC-32 of the file's bytes; false when it cannot be read.
    bool getCrc32(unsigned long& crc) const;
    /// Same name (ignoring case) or the same file on disk, or both CRC-32
    /// values known and equal.
    bool isIdenticalTo(const file& other) const;

    /// The file version of the version resource as four numbers; false without one.
    bool getFixedFileVersion(unsigned& a, unsigned& b, unsigned& c, unsigned& d) const;
    /// The file version of the version resource; false without one.
    bool getFixedFileVersion(version& v) const;
    /// The product version of the version resource as four numbers; false without one.
    bool getFixedProductVersion(unsigned& a, unsigned& b, unsigned& c, unsigned& d) const;
    /// The product version of the version resource; false without one.
    bool getFixedProductVersion(version& v) const;
    /// "a.b.c.d", each number padded with "0" to `minDigits`.
    bool getFixedFileVersionString(zv::string& text, unsigned minDigits = 1) const;
    /// The same for the product version.
    bool getFixedProductVersionString(zv::string& text, unsigned minDigits = 1) const;

    /// Creates a new empty file in `dir` (the temporary folder when its name
    /// is empty) named by a counter started at the current time; an empty
    /// name when none can be created.
    static file generateRandomFile(const directory& dir, const zv::string& ext);

private:
    bool fixedVersion(bool product, unsigned (&parts)[4]) const;
    bool isIdenticalName(const file& other) const;
};

/// Text conversions: to text the full name, from text `setName`.
ZV_API bool dtconvert(string& target, const file& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(string& target, const file& source, int flags = 0, ...);
ZV_API bool dtconvert(file& target, const string& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(file& target, const string& source, int flags = 0, ...);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::file, "zv::file")
