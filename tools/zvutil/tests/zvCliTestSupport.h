// Helpers shared by the zvutil test suites: run the tool in process, and a
// temporary folder of the test's own.
#pragma once

#include "zvCli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace zvclitest {

struct cliResult {
    int rc;
    std::string out;
    std::string err;
};

/// Runs zvutil with `args`, feeding `input` as standard input.
inline cliResult run(const std::vector<std::string>& args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int rc = zvcli::runCli(args, in, out, err);
    return {rc, out.str(), err.str()};
}

/// Checks that a run ended with exit code `rc` and said `fragment` on standard error.
inline testing::AssertionResult failsWith(const cliResult& r, int rc, const std::string& fragment) {
    if (r.rc == rc && r.err.find(fragment) != std::string::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "exit code " << r.rc << ", error output: " << r.err;
}

/// The whole content of a file ("" when it cannot be read).
inline std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A fresh folder under the system's temporary folder, removed with everything in it.
class tempFolder {
public:
    tempFolder() {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() / ("zvutil-test-" + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~tempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    tempFolder(const tempFolder&) = delete;
    tempFolder& operator=(const tempFolder&) = delete;

    std::filesystem::path write(const std::string& name, const std::string& content) const {
        const std::filesystem::path p = m_path / name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace zvclitest
