// Normalisation, splitting and relative names on arbitrary text: nothing
// crashes and every normalised name keeps the invariants.
#include "zvFsEntryName.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkInvariants(const zv::fsEntryName& n) {
    check(n.find(L'/') == std::wstring::npos);
    check(n.find(L"\\\\", 1) == std::wstring::npos);
    const std::wstring padded = n + L"\\";
    check(padded.find(L"\\.\\") == std::wstring::npos);
    check(padded.find(L"\\..\\") == std::wstring::npos);
    check(n.empty() || n.back() != L'\\');
    check(n.empty() || (n.size() >= 2 && (n[1] == L':' || (n[0] == L'\\' && n[1] == L'\\'))));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two texts: the name and a base, split at the first zero byte. Bytes map
    // to characters of a small alphabet rich in delimiters, dots and colons.
    static const wchar_t alphabet[] = L"\\/.:%\"aB c\x00e9_";
    std::wstring texts[2];
    int which = 0;
    for (std::size_t i = 0; i < size && i < 512; ++i) {
        if (data[i] == 0 && which == 0) {
            which = 1;
            continue;
        }
        texts[which].push_back(alphabet[data[i] % (sizeof alphabet / sizeof alphabet[0] - 1)]);
    }
    const zv::fsEntryName name(texts[0]);
    const zv::fsEntryName base(texts[1]);
    checkInvariants(name);
    checkInvariants(base);
    if (name.find(L'%') == std::wstring::npos && (name.empty() || name[0] != L'"'))
        check(zv::fsEntryName(zv::string(name)) == name);

    zv::string drive, path, leaf, ext;
    name.getComponents(drive, path, leaf, ext, true);
    check(drive.empty() || drive.size() <= name.size());
    check(name.empty() || (!path.empty() && path.back() == L'\\'));
    for (int flags = 0; flags < 128; flags += 2) {
        (void)name.path(flags);
        (void)name.name(flags);
        (void)name.extension(flags);
    }

    const zv::string rel = name.relativeNameTo(base);
    check(rel.empty() || rel == name.lower() || rel == name || rel.rfind(L".\\", 0) == 0 ||
          rel.rfind(L"..\\", 0) == 0);
    zv::fsEntryName baseDir(texts[1], true);
    (void)name.relativeNameTo(baseDir);
    (void)zv::fsEntryName::replaceInvalidChars(texts[0], L'_');
    return 0;
}
