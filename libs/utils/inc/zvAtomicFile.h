// zvAtomicFile.h - writing a file so that it replaces its old content in one
// step.
//
//     zv::atomicFileWriter out(L"C:\\data\\model.xml");
//     if (!out.open() || !out.write(bytes, size) || !out.commit())
//         throw zv::writeFileException(zv::file(out.target()));
//
// The content goes to a hidden temporary file in the target's folder;
// `commit` flushes it to the disk, gives it the target's attributes and
// renames it over the target. A reader, or a process that dies half-way,
// sees the old file or the new one, never a part of either, and a failed
// write (a full disk) leaves the old file as it was. A read-only target is
// write-protected: `open` refuses it. A symbolic link is replaced at its
// destination, so it stays a link.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

#include <cstddef>

namespace zv {

namespace os {
struct replaceHandle;
}

/// Writes a file through a temporary file in the same folder and replaces the target in one step on commit.
class ZV_API atomicFileWriter {
public:
    /// Prepares to replace `target`, normalised as a file name; nothing is
    /// touched before `open`.
    explicit atomicFileWriter(const zv::string& target);
    /// Drops an uncommitted temporary file; never throws.
    ~atomicFileWriter();
    atomicFileWriter(const atomicFileWriter&) = delete;
    atomicFileWriter& operator=(const atomicFileWriter&) = delete;

    /// Creates the temporary file (dropping one opened before); false when
    /// the target is read-only or a folder, or its folder cannot take a file.
    bool open();
    /// True while the temporary file is open.
    bool isOpen() const { return m_handle != nullptr; }
    /// Appends bytes to the temporary file; false when it is not open or the
    /// system refuses them (the writer stays open, so `discard` or the
    /// destructor cleans up).
    bool write(const void* data, std::size_t size);
    /// Flushes to the disk and renames over the target; false on any failure,
    /// and then the target is unchanged and the temporary file gone. The
    /// writer is closed either way.
    bool commit();
    /// Drops the temporary file; the target is unchanged.
    void discard();
    /// The normalised name of the file that is replaced.
    const zv::string& target() const { return m_target; }

private:
    zv::string m_target;
    os::replaceHandle* m_handle = nullptr;
};

/// Replaces the content of `target` with `size` bytes at `data` in one step
/// (open, write, commit); false on any failure, with the old file intact.
ZV_API bool replaceFileContent(const zv::string& target, const void* data, std::size_t size);

} // namespace zv
