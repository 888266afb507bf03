// zvMutexDetail.h - library-internal bookkeeping of the library's mutexes.
#pragma once

namespace zv::detail {

/// The number of the library's mutex locks the calling thread holds (each
/// recursive level counts). Another thread may read it through this pointer
/// only while the owner is stopped, as a termination check does.
long* heldLockCount();

} // namespace zv::detail
