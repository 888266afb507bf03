#include "../zvOs.h"
#include "zvOsPosixPath.h"

#include <sys/stat.h>

namespace zv::os {

bool readFileStamp(const wchar_t* name, fileStamp& stamp) {
    stamp = fileStamp{};
    std::string path;
    struct stat st {};
    if (name == nullptr || !posix::mapToHost(name, path) || ::stat(path.c_str(), &st) != 0)
        return false;
    stamp.exists = true;
    stamp.volume = static_cast<std::uint64_t>(st.st_dev);
    stamp.index = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modification = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.change = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
    return true;
}

} // namespace zv::os
