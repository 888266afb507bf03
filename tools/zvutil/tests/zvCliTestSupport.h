// Helpers shared by the zvutil test suites: run the tool in process, tables of
// runs and what they must give, and a temporary folder of the test's own.
//
//   expectCases({"round"}, {{{"2.5", "x"}, 2, ""}});
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

namespace fs = std::filesystem;
using args = std::vector<std::string>;

struct cliResult {
    int rc;
    std::string out;
    std::string err;
};

/// Runs zvutil with `a`, feeding `input` as standard input.
inline cliResult run(const args& a, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int rc = zvcli::runCli(a, in, out, err);
    return {rc, out.str(), err.str()};
}

/// One run of zvutil and what it must give.
struct cliCase {
    args a;               ///< the command line after "zvutil" and the table's prefix
    int rc;               ///< the exit code
    std::string out;      ///< the whole standard output
    std::string err = {}; ///< a part of the error output
};

/// `prefix` followed by `a`, as one command line.
inline args joined(const args& prefix, const args& a) {
    args all = prefix;
    all.insert(all.end(), a.begin(), a.end());
    return all;
}

/// Runs every case after `prefix` and checks its exit code, standard output and error text.
inline void expectCases(const args& prefix, const std::vector<cliCase>& cases) {
    for (const cliCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.a));
        const cliResult r = run(joined(prefix, c.a));
        EXPECT_EQ(r.rc, c.rc) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}
inline void expectCases(const std::vector<cliCase>& cases) {
    expectCases({}, cases);
}

/// The whole content of a file ("" when it cannot be read).
inline std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A fresh folder under the system's temporary folder, removed with everything in it.
class tempFolder {
public:
    tempFolder() {
        m_path = fs::temp_directory_path() / ("zvutil-test-" + std::to_string(std::random_device()()));
        fs::create_directories(m_path);
    }
    ~tempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    tempFolder(const tempFolder&) = delete;
    tempFolder& operator=(const tempFolder&) = delete;

    /// Writes `content` to the file `name` in the folder and returns its path.
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream(m_path / name, std::ios::binary) << content;
        return at(name);
    }
    /// The path of `name` in the folder, as text.
    std::string at(const std::string& name) const { return (m_path / name).string(); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

} // namespace zvclitest
