// zvconsumer - uses a few families of an installed zvUtils and checks what it
// gets back: text formatting, dates, CRC-32, the scrambling that needs
// -fno-operator-names, and the zlib module that must lie beside the library.
// Prints one line per check and exits with 1 when one fails.
#include "zvBinaryBuffer.h"
#include "zvCrc32.h"
#include "zvDate.h"
#include "zvDefs.h"
#include "zvString.h"
#include "zvZLib.h"

#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void check(const char* what, bool ok) {
    std::printf("%-36s %s\n", what, ok ? "ok" : "FAILED");
    if (!ok)
        ++failures;
}

} // namespace

int main() {
    std::printf("zvUtils %s\n", zv::libraryVersion());

    check("string formatting", zv::string::sformat(L"%s=%04d", L"id", 42) == L"id=0042");

    zv::date d(2024, 3, 31);
    d -= zv::months(1);
    check("date arithmetic", d == zv::date(2024, 2, 29));

    zv::calcCrc32 crc;
    crc.crc("abc", 3);
    check("CRC-32", crc.value() == 0x352441C2u);

    const char plain[] = "consumer";
    zv::binaryBuffer buffer;
    buffer.write(plain, sizeof plain);
    buffer.xor ("key");
    const bool scrambled = std::memcmp(buffer.data(), plain, sizeof plain) != 0;
    buffer.xor ("key");
    check("scrambling", scrambled && std::memcmp(buffer.data(), plain, sizeof plain) == 0);

    zv::zlibGuard zlib;
    check("zlib module beside the library", zlib.acquired());

    return failures == 0 ? 0 : 1;
}
