// Shared by the fuzz targets that read files: a folder of the fuzzer's own,
// removed when the process ends, and writing an input into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace zvfuzz {

/// The process's scratch folder, named after `tag`; made on first use.
inline const std::filesystem::path& scratchFolder(const char* tag) {
    struct scratch {
        std::filesystem::path dir;
        explicit scratch(const char* name) {
            std::random_device rd;
            dir = std::filesystem::temp_directory_path() /
                  ("zv-fuzz-" + std::string(name) + "-" + std::to_string(rd()));
            std::filesystem::create_directories(dir);
        }
        ~scratch() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    };
    static const scratch s(tag);
    return s.dir;
}

/// Writes `size` bytes as the whole content of `host`.
inline void writeFile(const std::filesystem::path& host, const void* data, std::size_t size) {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace zvfuzz
