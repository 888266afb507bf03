// Logging configurations of arbitrary bytes. Nothing crashes, hangs or reads
// past the data; a configuration that fails to load is left as it was, and
// one that loads holds only normalised ids and known levels.
#include "zvException.h"
#include "zvLog.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so reading past it is caught.
    const std::vector<char> bytes(data, data + size);
    const char* p = bytes.empty() ? "" : bytes.data();
    zvlog::logConfig config;
    config.maxFileCount = 77;
    try {
        config.loadFromMemory(p, static_cast<unsigned>(size));
    } catch (const zv::exception&) {
        if (config.maxFileCount != 77 || !config.classes.empty())
            std::abort();
        return 0;
    } catch (bool) {
        return 0;
    }
    if (config.rootLevel < zvlog::eNone || config.rootLevel > zvlog::eUi)
        std::abort();
    for (const zvlog::logConfig::entry& e : config.classes) {
        if (e.id.empty() || e.id != zvlog::logConfig::normaliseId(e.id) || e.level < zvlog::eNone ||
            e.level > zvlog::eUi)
            std::abort();
    }
    config.isActive();
    return 0;
}
