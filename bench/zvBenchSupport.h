// zvBenchSupport.h - what several benchmark suites share.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace zvbench {

/// A temporary folder of the benchmark process, removed when it ends.
class benchFolder {
public:
    explicit benchFolder(const std::string& prefix) {
        m_path = std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()));
        std::filesystem::create_directories(m_path);
    }
    ~benchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    benchFolder(const benchFolder&) = delete;
    benchFolder& operator=(const benchFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

/// Writes `size` bytes of noise (the same on every run) to `file`, and
/// waits until they are on disk: write-back running behind the first
/// measurements would slow them down and not the later ones.
inline void writeNoise(const std::filesystem::path& file, std::size_t size) {
    {
        std::ofstream out(file, std::ios::binary);
        std::vector<char> block(1 << 20);
        std::mt19937 rng(7);
        for (char& c : block)
            c = static_cast<char>(rng());
        for (std::size_t i = 0; i < size / block.size(); ++i)
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    ::sync();
}

} // namespace zvbench
