// The C runtime's name of a library name: the host path's bytes.
#include "../zvOs.h"
#include "zvOsPosixPath.h"

namespace zv::os {

bool runtimePath(const wchar_t* name, std::string& path) {
    path.clear();
    return name != nullptr && *name != L'\0' && posix::mapToHost(name, path);
}

} // namespace zv::os
