#include "zvCli.h"

#include "zvDirectory.h"
#include "zvFsEntryName.h"
#include "zvString.h"
#include "zvTestEnv.h"

#include <ostream>

namespace zvcli {

namespace {

// Every class that checks itself, in the order the protocol lists them.
struct selfTest {
    const char* name;
    bool (*run)(zv::testEnv& env);
};
const selfTest kSelfTests[] = {
    {"zv::string", &zv::string::test},
    {"zv::directory", &zv::directory::test},
};

} // namespace

int cmdSelfTest(context& ctx) {
    if (ctx.args.size() > 1) {
        ctx.err << "zvutil selftest: too many arguments (see 'zvutil selftest --help')\n";
        return exitUsage;
    }
    zv::file protocol;
    if (ctx.args.empty()) {
        protocol = zv::file::generateRandomFile(zv::directory::systemTempDir(), L"txt");
        if (protocol.empty()) {
            ctx.err << "zvutil selftest: cannot create a protocol file in the temporary folder\n";
            return exitFailure;
        }
    } else {
        protocol = zv::file(zv::fsEntryName::fromHostPath(wideFromArgument(ctx.args[0])));
    }

    zv::testEnv env(protocol);
    env.protocol(zv::testEnv::moduleStart, ZV_TEST_SOURCE, __LINE__, L"%s", L"zvutils");
    unsigned failed = 0;
    for (const selfTest& test : kSelfTests) {
        bool ok = false;
        try {
            ok = test.run(env);
        } catch (...) {
            env.protocol(zv::testEnv::error, ZV_TEST_SOURCE, __LINE__, L"%S threw", test.name);
        }
        if (!ok) {
            ++failed;
            ctx.err << "zvutil selftest: " << test.name << " failed\n";
        }
    }
    env.protocol(zv::testEnv::moduleEnd, ZV_TEST_SOURCE, __LINE__, L"%s", L"zvutils");

    const unsigned errors = env.errors();
    ctx.out << "selftest: " << std::size(kSelfTests) << " classes, " << failed << " failed, " << errors
            << (errors == 1 ? " error, " : " errors, ") << env.warnings()
            << (env.warnings() == 1 ? " warning" : " warnings") << "; protocol " << hostOf(protocol) << "\n";
    return failed == 0 && errors == 0 ? exitOk : exitFailure;
}

} // namespace zvcli
