// zvOsLockFile.h - the part of the OS layer behind lock files: a file that is
// created only when nothing exists at its name, kept open by its holder and
// deleted by it, and the removal of one whose holder has gone.
//
// Names are in the library's form (see zvOsFileSystem.h).
#pragma once

#include <string>

namespace zv::os {

struct lockFileHandle;

enum class lockAttempt { taken, exists, failed };

/// Creates `name` as a new hidden file holding `record` and keeps it open
/// (without sharing on Windows, under an exclusive `flock` on Linux).
/// `exists` when anything is at the name already; `failed` with the
/// system's error code in `error` otherwise.
lockAttempt createLockFile(const wchar_t* name, const std::string& record, lockFileHandle*& handle,
                           unsigned long& error);
/// Deletes the lock file, as long as the name still holds this handle's
/// file, and closes the handle (consumed either way). False when the file
/// could not be deleted.
bool releaseLockFile(lockFileHandle* handle);
/// Decides whether a left-behind record may be removed.
using staleTest = bool (*)(const std::string& record, void* user);
/// Looks at the existing lock file `name`: when no holder keeps it open
/// and `isStale` answers true for its record (at most 4 KiB are read), the
/// file is deleted while no other process can take or replace it. True
/// when it was deleted.
bool removeStaleLockFile(const wchar_t* name, staleTest isStale, void* user);

} // namespace zv::os
