// Log objects: content written to a file of its own next to the log.
#include "zvLog.h"

#include "zvAtomicFile.h"
#include "zvCodePageDetail.h"
#include "zvDirectory.h"
#include "zvFile.h"

namespace zvlog {

iLogObj::~iLogObj() = default;

zv::refPtr<logObj> logObj::create(const zv::string& relPath) {
    return zv::refPtr<logObj>(new logObj(relPath));
}

logObj::logObj(const zv::string& relPath) : m_relPath(relPath) {}

logObj::~logObj() = default;

void logObj::doWrite(zv::file& target) {
    struct restore {
        zv::file*& slot;
        zv::file* previous;
        ~restore() { slot = previous; }
    } guard{m_target, m_target};
    m_target = &target;
    fireEvent(logObjWriteEvent, this, L"", nullptr);
}

zv::string logObj::relFilePath() const {
    return m_relPath;
}

zv::refPtr<logStringToTxt> logStringToTxt::create(const zv::string& relPath, const zv::string& text) {
    return zv::refPtr<logStringToTxt>(new logStringToTxt(relPath, text));
}

logStringToTxt::logStringToTxt(const zv::string& relPath, const zv::string& text) : logObj(relPath), m_text(text) {}

logStringToTxt::~logStringToTxt() = default;

// UTF-8 like the log itself, replaced in one step.
void logStringToTxt::doWrite(zv::file& target) {
    if (target.empty())
        return;
    if (target.exists())
        target.remove();
    const zv::directory folder(target.path(zv::fsEntryName::withDrive));
    if (!folder.exists())
        folder.create(true);
    std::string bytes;
    zv::detail::wideToUtf8(m_text.data(), m_text.size(), bytes);
    zv::replaceFileContent(target, bytes.data(), bytes.size());
}

} // namespace zvlog
