// Tables of zvutil runs: each row gives the arguments and what the run must
// print and return.
//
//   expectCases({{{"round", "2.5", "x"}, 2, ""}});
#pragma once

#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zvclitest {

/// One run of zvutil and what it must give.
struct cliCase {
    std::vector<std::string> args; ///< the command line after "zvutil"
    int rc;                        ///< the exit code
    std::string out;               ///< the whole standard output
    std::string err = {};          ///< a part of the error output
};

/// Runs every case and checks its exit code, standard output and error text.
inline void expectCases(const std::vector<cliCase>& cases) {
    for (const cliCase& c : cases) {
        std::string line;
        for (const std::string& a : c.args)
            line += a + " ";
        SCOPED_TRACE(line);
        const cliResult r = run(c.args);
        EXPECT_EQ(r.rc, c.rc) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

} // namespace zvclitest
