// zvFsEntryMutex.h - mutual exclusion between processes (and threads) that
// share a file system, through a lock file beside a file or inside a folder.
//
//     zv::fsEntryMutex guard(zv::file(L"C:\\data\\model.dat"));
//     if (guard.lock(5000)) {          // "C:\data\model.dat$$lock$$"
//         ...                          // nobody else holds it
//         guard.release();
//     }
//
// Whoever creates the lock file first holds the lock; the others look again
// every 100 ms. The lock file is hidden and names its holder: a line with
// the process id and a line with the computer's name. A lock file whose
// holder was a process on this computer that has ended (it crashed, or was
// killed) is removed by the next waiter, so a dead holder does not keep
// everybody waiting; lock files of other computers, and files without such
// a record, still wait until they are deleted.
//
// Lock file names: for a file the file's name cut to 247 characters plus
// "$$lock$$" (255 characters at most, the longest name a folder takes), in
// the file's folder; for a folder the folder's own name cut
// the same way plus "$$lock$$", inside the folder.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

namespace zv {

class file;
class directory;

/// Mutual exclusion between processes through a lock file beside a file or inside a folder.
class ZV_API fsEntryMutex {
public:
    /// No entry: `lock` fails until one is set.
    fsEntryMutex();
    /// `setFsEntry` with the entry.
    explicit fsEntryMutex(const file& entry);
    /// `setFsEntry` with the folder.
    explicit fsEntryMutex(const directory& entry);
    /// Releases a held lock; a failure is logged, never thrown.
    ~fsEntryMutex();
    fsEntryMutex(const fsEntryMutex&) = delete;
    fsEntryMutex& operator=(const fsEntryMutex&) = delete;

    /// Releases a held lock, then guards `entry`, which must exist
    /// (`unexpectedErrorException` "mutex on a not-existing file is not
    /// possible!" or "... directory ...").
    void setFsEntry(const file& entry);
    /// The same for a folder, whose lock file lies inside it.
    void setFsEntry(const directory& entry);

    /// Waits without limit until the lock is held; true. A lock that the
    /// calling thread holds through this object already answers true at once
    /// (it is not counted: one `release` frees it). Throws
    /// `unexpectedErrorException` "Error creating lockfile %s (%d)!" when the
    /// lock file cannot be created for another reason than its existence,
    /// and when no entry is set.
    bool lock();
    /// As `lock()`, but answers false once more than `timeoutMs`
    /// milliseconds (measured on a monotonic clock) have passed.
    bool lock(unsigned int timeoutMs);
    /// Closes and deletes the lock file if this object holds the lock;
    /// otherwise nothing (another holder's lock file is never touched).
    /// Throws `unexpectedErrorException` "Error removing lockfile %s!" when
    /// the file stays.
    void release();
    /// Whether this object holds the lock.
    bool isLocked() const;

    /// The lock file's full name (empty without an entry).
    zv::string lockFileName() const;

private:
    struct impl;
    impl* m_impl;
};

} // namespace zv
