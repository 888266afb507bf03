// Localization files of arbitrary bytes: written to a temporary file, loaded,
// looked up and checked. Nothing crashes or hangs; a look-up that succeeds
// gives a message.
#include "zvFsEntryName.h"
#include "zvLocFile.h"

#include "zvFuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::filesystem::path& folder() {
    return zvfuzz::scratchFolder("locfile");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536)
        return 0;
    const std::filesystem::path host = folder() / "fuzz.loc";
    zvfuzz::writeFile(host, data, size);
    // A second file the input may include ("#include b.loc") or use as overlay.
    {
        std::ofstream out(folder() / "b.loc", std::ios::binary | std::ios::trunc);
        out << "\xEF\xBB\xBF#include fuzz.loc\nMsg_B $$Msg_A\nA b\n;;cmd(replace:::b:::bb)\n";
    }
    const zv::file file(zv::fsEntryName::fromHostPath(host.wstring()));
    const zv::file overlay(zv::fsEntryName::fromHostPath((folder() / "b.loc").wstring()));

    zv::locFile loc(file);
    zv::locFile overlaid(file.c_str(), overlay.c_str());
    for (const wchar_t* id : {L"Msg_A", L"Msg_B", L"A", L"a", L"$$", L";", L"#include", L""}) {
        zv::locMessage message;
        (void)loc.getMessage(id, message);
        (void)overlaid.getMessage(id, message);
    }
    std::vector<zv::locFileIssue> issues;
    zv::locFileCounts counts;
    if (zv::locFile::check(file, issues, &counts) != issues.empty())
        std::abort();
    return 0;
}
