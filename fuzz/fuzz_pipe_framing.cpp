// Feeds a byte stream to the pipe's message framer in pieces whose sizes the
// input chooses, and checks the messages against a plain parse of the whole
// stream: same messages, same count of dropped ones, nothing read past.
#include "zvNamedPipe.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr unsigned int maxLength = 64;

struct parsed {
    std::vector<std::string> messages;
    unsigned long long dropped = 0;
};

parsed reference(const std::uint8_t* p, std::size_t n) {
    parsed out;
    std::size_t at = 0;
    while (n - at >= 4) {
        const std::uint32_t length =
            static_cast<std::uint32_t>(p[at]) | static_cast<std::uint32_t>(p[at + 1]) << 8 |
            static_cast<std::uint32_t>(p[at + 2]) << 16 | static_cast<std::uint32_t>(p[at + 3]) << 24;
        at += 4;
        if (length > maxLength) {
            ++out.dropped;
            if (n - at < length)
                break;
            at += length;
            continue;
        }
        if (n - at < length)
            break;
        out.messages.emplace_back(reinterpret_cast<const char*>(p + at), length);
        at += length;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t step = data[0] % 17 + 1;
    const std::uint8_t* stream = data + 1;
    const std::size_t n = size - 1;
    zv::detail::messageFramer framer(maxLength);
    parsed got;
    for (std::size_t at = 0; at < n; at += step) {
        const std::size_t piece = n - at < step ? n - at : step;
        // A private copy, so that reading past the piece is caught.
        std::vector<std::uint8_t> copy(stream + at, stream + at + piece);
        framer.append(copy.data(), copy.size());
        char* message = nullptr;
        unsigned int length = 0;
        while (framer.front(message, length)) {
            got.messages.emplace_back(message, length);
            framer.pop();
        }
    }
    got.dropped = framer.dropped();
    const parsed expected = reference(stream, n);
    if (got.messages != expected.messages || got.dropped != expected.dropped)
        std::abort();
    return 0;
}
