#include "zvTestEnv.h"

#include "zvCodePageDetail.h"
#include "zvProcess.h"

#include "os/zvOs.h"

#include <atomic>
#include <cstdarg>
#include <memory>

namespace zv {

namespace {

constexpr const wchar_t* kPrefixes[] = {L"Moduletest start: ", L"Moduletest ended: ", L"Classtest start:  ",
                                        L"Classtest ended:  ", L"     Message:     ", L"     Warning:     ",
                                        L"     Error:       "};
constexpr int kOpenAttempts = 200;
constexpr const wchar_t* kBlankPrefix = L"                  ";

#ifdef _WIN32
constexpr const char* kLineEnd = "\r\n";
#else
constexpr const char* kLineEnd = "\n";
#endif

} // namespace

struct testEnv::impl {
    file protocolFile;
    std::atomic<unsigned> warnings{0};
    std::atomic<unsigned> errors{0};
};

testEnv::testEnv(const file& protocolFile) : m_impl(new impl) {
    m_impl->protocolFile = protocolFile;
}

testEnv::~testEnv() {
    delete m_impl;
}

directory testEnv::testPath() const {
    return directory(m_impl->protocolFile.path(0));
}

const file& testEnv::protocolFile() const {
    return m_impl->protocolFile;
}

unsigned testEnv::warnings() const {
    return m_impl->warnings.load();
}

unsigned testEnv::errors() const {
    return m_impl->errors.load();
}

void testEnv::protocol(eClassification classification, const wchar_t* sourceFile, int line,
                       const wchar_t* format, ...) {
    if (classification == warning)
        ++m_impl->warnings;
    else if (classification == error)
        ++m_impl->errors;

    zv::string message;
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        message.format(format, args);
        va_end(args);
    }
    const bool known = classification >= moduleStart && classification <= error;
    zv::string text(known ? kPrefixes[classification] : kBlankPrefix);
    text += message;
    text += L"    (";
    text += sourceFile != nullptr ? sourceFile : L"";
    text += zv::string::sformat(L" (%d))", line);

    std::string bytes;
    detail::wideToUtf8(text.c_str(), text.size(), bytes);
    bytes += kLineEnd;
    // One appending write per line: concurrent writers never split a line.
    // Windows refuses a second writer while one has the file open, so a
    // busy protocol is retried for a moment before the line is given up.
    os::fileHandle* out = nullptr;
    for (int attempt = 0; attempt < kOpenAttempts && out == nullptr; ++attempt) {
        out = os::openForAppend(m_impl->protocolFile.c_str());
        if (out == nullptr && !m_impl->protocolFile.empty() && os::entryExists(m_impl->protocolFile.c_str()))
            zv::sleep(1);
        else
            break;
    }
    if (out == nullptr)
        return;
    os::writeFile(out, bytes.data(), bytes.size());
    os::closeFile(out);
}

} // namespace zv
