#include "zvException.h"

#include "zvFile.h"
#include "zvFormat.h"

#include <atomic>
#include <cstdarg>

namespace zv {

namespace {

constinit std::atomic<int> g_lastErrorCode{0};

locString fileMessage(const wchar_t* id, const wchar_t* defaultText, const file& f) {
    locString message(id, defaultText, nullptr);
    message.params().set(static_cast<const zv::string&>(f), L"File");
    return message;
}

const wchar_t* const kDbLocFile = L"zvDb.loc";

} // namespace

// ---- exception ------------------------------------------------------------

exception::exception(const locString& message, const exception* inner) : m_message(message) {
    if (inner) {
        m_causes.reserve(inner->m_causes.size() + 1);
        m_causes.push_back(inner->m_message);
        m_causes.insert(m_causes.end(), inner->m_causes.begin(), inner->m_causes.end());
    }
}

exception::~exception() = default;

zv::string exception::text(const wchar_t* language) const {
    return locString(m_message).string(language);
}

zv::string exception::fullText(const wchar_t* language) const {
    zv::string out = text(language);
    for (const locString& cause : m_causes) {
        out += L'\n';
        out += locString(cause).string(language);
    }
    return out;
}

fileException::fileException(const locString& message, const exception* inner) : exception(message, inner) {}

writeFileException::writeFileException(const file& f, const exception* inner)
    : fileException(fileMessage(L"Msg_EWriteFile", L"Error writing file [File]", f), inner) {}

readFileException::readFileException(const file& f, const exception* inner)
    : fileException(fileMessage(L"Msg_EReadFile", L"Error reading file [File]", f), inner) {}

fileWriteProtectedException::fileWriteProtectedException(const file& f, const exception* inner)
    : fileException(fileMessage(L"Msg_EFileWriteProtected", L"File [File] is write protected!", f), inner) {}

fileNotFoundException::fileNotFoundException(const file& f)
    : fileException(fileMessage(L"Msg_EFileNotFound", L"File [File] not found!", f)) {}

invalidFileFormatException::invalidFileFormatException(const file& f)
    : fileException(fileMessage(L"Msg_EInvalidFileFormat", L"Invalid file format in File [File]!", f)) {}

invalidXmlException::invalidXmlException(const file& f)
    : fileException(fileMessage(L"Msg_EInvalidXml", L"File [File] is not a valid XML-file!", f)) {}

moduleLoadException::moduleLoadException(const file& f, const exception* inner)
    : fileException(fileMessage(L"Msg_ELoadModule", L"Error loading module [File]", f), inner) {}

divisionByZeryException::divisionByZeryException()
    : exception(locString(L"Msg_EDivByZery", L"Division by zero attempted", nullptr)) {}

outOfMemoryException::outOfMemoryException()
    : exception(locString(L"Msg_EOutOfMem", L"Out of memory", nullptr)) {}

// ---- unexpectedErrorException ---------------------------------------------

namespace {
const wchar_t* const kUnexpectedId = L"EUnexpected";
const wchar_t* const kUnexpectedText = L"Unexpected error occurred ([Details])";
} // namespace

unexpectedErrorException::unexpectedErrorException(const wchar_t* format, ...)
    : exception(locString(kUnexpectedId, kUnexpectedText, nullptr)) {
    va_list args;
    va_start(args, format);
    setDetails(format, args);
    va_end(args);
}

unexpectedErrorException::unexpectedErrorException(const exception* inner, const wchar_t* format, ...)
    : exception(locString(kUnexpectedId, kUnexpectedText, nullptr), inner) {
    va_list args;
    va_start(args, format);
    setDetails(format, args);
    va_end(args);
}

void unexpectedErrorException::setDetails(const wchar_t* format, va_list args) {
    // One character more than is kept tells whether the text was cut.
    wchar_t buffer[maxDetails + 2];
    std::size_t length = formatTo(buffer, maxDetails + 2, format, args);
    if (length > maxDetails) {
        length = maxDetails;
        // Never keep the first half of a UTF-16 surrogate pair alone.
        if (sizeof(wchar_t) == 2 && buffer[length - 1] >= 0xD800 && buffer[length - 1] <= 0xDBFF)
            --length;
    }
    params().set(zv::string(buffer, length), L"Details");
}

// ---- object database attributes -------------------------------------------

attributeNotFoundException::attributeNotFoundException(const wchar_t* attribute, long nth,
                                                       const exception* inner)
    : exception(
          locString(L"Msg_EDbAttribNotFound", L"Attribute [Attrib]([Nth]) not found!", kDbLocFile, nullptr),
          inner) {
    params().set(zv::string(attribute), L"Attrib");
    params().set(nth, L"Nth");
}

invalidAttributeType::invalidAttributeType(const wchar_t* attribute, long nth, const zv::string& value,
                                           const zv::string& type, const exception* inner)
    : exception(locString(L"Msg_EDbInvAttribFound",
                          L"Attribute [Attrib]([Nth]) with Value [Val] not convertible to type [Type]!",
                          kDbLocFile, nullptr),
                inner) {
    params().set(zv::string(attribute), L"Attrib");
    params().set(nth, L"Nth");
    params().set(value, L"Val");
    params().set(type, L"Type");
}

// ---- exitCode -------------------------------------------------------------

int exitCode::lastErrorCode() {
    return g_lastErrorCode.load(std::memory_order_acquire);
}

void exitCode::setLastErrorCode(int code) {
    g_lastErrorCode.store(code, std::memory_order_release);
}

} // namespace zv
