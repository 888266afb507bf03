#include "zvCli.h"

#include "zvString.h"

#include <iostream>

namespace zvcli {

int cmdMatch(context& ctx) {
    if (ctx.args.size() != 2) {
        ctx.err << "zvutil match: expected PATTERN and TEXT (see 'zvutil match --help')\n";
        return exitUsage;
    }
    const zv::string pattern = wideFromArgument(ctx.args[0]);
    const zv::string text = wideFromArgument(ctx.args[1]);
    if (text.matches(pattern)) {
        ctx.out << "match\n";
        return exitOk;
    }
    ctx.out << "no match\n";
    return exitFailure;
}

} // namespace zvcli
