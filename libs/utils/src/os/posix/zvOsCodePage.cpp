#include "../zvOs.h"

#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <string>

namespace zv::os {

namespace {

constexpr unsigned int defaultAnsiCodePage = 1252;
const iconv_t noConverter = reinterpret_cast<iconv_t>(-1);

// The names iconv may know a Windows code page by, most specific first.
int converterNames(unsigned int codePage, std::string names[3]) {
    int count = 0;
    switch (codePage) {
    case 65001:
        names[count++] = "UTF-8";
        break;
    case 20127:
        names[count++] = "ASCII";
        break;
    case 54936:
        names[count++] = "GB18030";
        break;
    case 20866:
        names[count++] = "KOI8-R";
        break;
    case 21866:
        names[count++] = "KOI8-U";
        break;
    case 20932:
        names[count++] = "EUC-JP";
        break;
    case 51949:
        names[count++] = "EUC-KR";
        break;
    default:
        if (codePage >= 28591 && codePage <= 28605)
            names[count++] = "ISO-8859-" + std::to_string(codePage - 28590);
        break;
    }
    names[count++] = "CP" + std::to_string(codePage);
    names[count++] = "WINDOWS-" + std::to_string(codePage);
    return count;
}

iconv_t openConverter(unsigned int codePage, bool toWide) {
    std::string names[3];
    const int count = converterNames(codePage, names);
    for (int i = 0; i < count; ++i) {
        const iconv_t cd =
            toWide ? iconv_open("WCHAR_T", names[i].c_str()) : iconv_open(names[i].c_str(), "WCHAR_T");
        if (cd != noConverter)
            return cd;
    }
    return noConverter;
}

// iconv descriptors carry state and are not to be shared between threads, and
// opening one costs far more than a short conversion: each thread keeps the
// last one it used per direction.
class cachedConverter {
public:
    ~cachedConverter() { close(); }
    iconv_t get(unsigned int codePage, bool toWide) {
        if (m_cd == noConverter || m_codePage != codePage) {
            close();
            m_cd = openConverter(codePage, toWide);
            m_codePage = codePage;
        }
        if (m_cd != noConverter)
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr); // back to the initial shift state
        return m_cd;
    }

private:
    void close() {
        if (m_cd != noConverter)
            iconv_close(m_cd);
        m_cd = noConverter;
    }
    iconv_t m_cd = noConverter;
    unsigned int m_codePage = 0;
};

thread_local cachedConverter toWideConverter;
thread_local cachedConverter fromWideConverter;

bool knownCodePage(unsigned int codePage) {
    if (codePage == 1252 || codePage == 65001)
        return true;
    const iconv_t cd = openConverter(codePage, false);
    if (cd == noConverter)
        return false;
    iconv_close(cd);
    return true;
}

unsigned int readAnsiCodePage() {
    const char* text = std::getenv("ZV_ANSI_CODEPAGE");
    if (!text || !*text)
        return defaultAnsiCodePage;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value == 0 || value > 65535 || !knownCodePage(value))
        return defaultAnsiCodePage;
    return static_cast<unsigned int>(value);
}

} // namespace

unsigned int ansiCodePage() {
    static const unsigned int codePage = readAnsiCodePage();
    return codePage;
}

bool systemDefinesCodePages() {
    return false;
}

bool wideToCodePage(unsigned int codePage, const wchar_t* text, std::size_t length, std::string& out) {
    const iconv_t cd = fromWideConverter.get(codePage, false);
    if (cd == noConverter)
        return false;
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text));
    std::size_t inLeft = length * sizeof(wchar_t);
    char buffer[1024];
    for (;;) {
        char* o = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc =
            inLeft ? iconv(cd, &in, &inLeft, &o, &outLeft) : iconv(cd, nullptr, nullptr, &o, &outLeft);
        const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
        out.append(buffer, static_cast<std::size_t>(o - buffer));
        if (error == E2BIG)
            continue;
        if (error == EILSEQ || error == EINVAL) {
            // Not representable in the page: its default character, then go on.
            out.push_back('?');
            const std::size_t skip = inLeft < sizeof(wchar_t) ? inLeft : sizeof(wchar_t);
            in += skip;
            inLeft -= skip;
            continue;
        }
        if (error != 0)
            return false;
        if (inLeft == 0 && o == buffer)
            return true; // shift state flushed
    }
}

bool codePageToWide(unsigned int codePage, const char* text, std::size_t length, std::wstring& out) {
    const iconv_t cd = toWideConverter.get(codePage, true);
    if (cd == noConverter)
        return false;
    char* in = const_cast<char*>(text);
    std::size_t inLeft = length;
    wchar_t buffer[512];
    while (inLeft > 0) {
        char* o = reinterpret_cast<char*>(buffer);
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
        const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
        out.append(buffer, static_cast<std::size_t>(reinterpret_cast<wchar_t*>(o) - buffer));
        if (error == EILSEQ) {
            // A byte that starts no character: the default character, then
            // resynchronise on the next byte.
            out.push_back(L'?');
            ++in;
            --inLeft;
        } else if (error == EINVAL) {
            out.push_back(L'?'); // a sequence cut off by the end of the text
            break;
        } else if (error != 0 && error != E2BIG) {
            return false;
        }
    }
    return true;
}

} // namespace zv::os
