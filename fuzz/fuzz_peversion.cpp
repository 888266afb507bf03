// The version-resource reader on arbitrary bytes: no crash, no read outside
// the input (the sanitizers watch every access).
#include "../libs/utils/src/zvPeVersion.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that any read behind the end is caught.
    std::vector<std::uint8_t> copy(data, data + size);
    zv::pe::fixedVersion v;
    (void)zv::pe::readFixedVersion(copy.data(), copy.size(), v);
    return 0;
}
