// The cfg dialect of key-value files on arbitrary bytes.
#include "zvFuzzKeyValue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zvfuzz::fuzzOne(data, size, zvfuzz::dialect::cfg);
}
