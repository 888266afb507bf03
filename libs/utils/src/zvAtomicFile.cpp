#include "zvAtomicFile.h"

#include "zvFsEntryName.h"

#include "os/zvOs.h"

namespace zv {

atomicFileWriter::atomicFileWriter(const zv::string& target) : m_target(fsEntryName(target)) {}

atomicFileWriter::~atomicFileWriter() {
    discard();
}

bool atomicFileWriter::open() {
    discard();
    if (m_target.empty())
        return false;
    m_handle = os::beginReplace(m_target.c_str());
    return m_handle != nullptr;
}

bool atomicFileWriter::write(const void* data, std::size_t size) {
    if (m_handle == nullptr || (data == nullptr && size > 0))
        return false;
    return size == 0 || os::writeReplace(m_handle, data, size);
}

bool atomicFileWriter::commit() {
    os::replaceHandle* handle = m_handle;
    m_handle = nullptr;
    return handle != nullptr && os::commitReplace(handle);
}

void atomicFileWriter::discard() {
    os::abortReplace(m_handle);
    m_handle = nullptr;
}

bool replaceFileContent(const zv::string& target, const void* data, std::size_t size) {
    atomicFileWriter out(target);
    return out.open() && out.write(data, size) && out.commit();
}

} // namespace zv
