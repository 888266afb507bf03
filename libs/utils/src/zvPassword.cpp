#include "zvPassword.h"

#include "zvCodePage.h"

#include <string>

namespace zv {

namespace {

// Other programs' stored settings depend on this key: never change it.
const char kKey[] = "t8n;4%kq&1x";
const char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr unsigned int kUtf8 = 65001;

bool startsWithMark(const std::string& bytes) {
    return bytes.compare(0, 3, kUtf8Mark) == 0;
}

// The bytes to scramble: ANSI when the code page holds the text exactly,
// else UTF-8 behind the mark.
std::string plainBytes(const string& text) {
    const unsigned int cp = ansiCodePage();
    std::string ansi;
    std::wstring back;
    if (toCodePage(text, cp, ansi) && fromCodePage(ansi, cp, back) && back == text && !startsWithMark(ansi))
        return ansi;
    std::string utf8 = kUtf8Mark;
    toCodePage(text, kUtf8, utf8);
    return utf8;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Standard Base64 as the scrambling writes it: alphabet characters, then at
// most two "=" that complete the last group of four.
bool isWellFormedBase64(const char* data, unsigned length) {
    unsigned digits = 0;
    while (digits < length && base64Value(data[digits]) >= 0)
        ++digits;
    const unsigned padding = length - digits;
    for (unsigned i = digits; i < length; ++i)
        if (data[i] != '=')
            return false;
    return padding <= 2 && length % 4 == 0;
}

} // namespace

password::password(const string& plainText) {
    set(plainText);
}

void password::set(const string& plainText) {
    binaryBuffer scrambled;
    if (!plainText.empty()) {
        const std::string bytes = plainBytes(plainText);
        scrambled.write(bytes.data(), static_cast<unsigned>(bytes.size()));
        scrambled.xxor(kKey);
        scrambled.base64Encode();
    }
    binaryBuffer::operator=(scrambled);
}

void password::setEncrypted(const string& scrambled) {
    std::string bytes(scrambled.size(), '\0');
    for (std::size_t i = 0; i < scrambled.size(); ++i)
        bytes[i] = static_cast<char>(scrambled[i] & 0xFF);
    clear();
    write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

bool password::operator==(const password& other) const {
    return binaryBuffer::operator==(other);
}

string password::encryptedString() const {
    string text;
    text.reserve(logicalLength());
    for (unsigned i = 0; i < logicalLength(); ++i)
        text += static_cast<wchar_t>(static_cast<unsigned char>(data()[i]));
    return text;
}

string password::decryptedString() const {
    if (!isSet() || !isWellFormedBase64(data(), logicalLength()))
        return string();
    binaryBuffer plain(*this);
    plain.base64Decode();
    plain.xxor(kKey);
    const std::string bytes(plain.data() ? plain.data() : "", plain.logicalLength());
    std::wstring text;
    if (startsWithMark(bytes))
        fromCodePage(bytes.substr(3), kUtf8, text);
    else
        fromCodePage(bytes, ansiCodePage(), text);
    return text;
}

} // namespace zv
