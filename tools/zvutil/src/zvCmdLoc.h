// zvCmdLoc.h - the parts of `zvutil loc` that live in files of their own.
#pragma once

#include "zvCli.h"

namespace zvcli {

/// `zvutil loc get [--lang L] [--path DIRS] [--file F] ID`: `ctx.args` holds
/// the arguments after "get". Returns an exit code of `eExit`.
int runLocGet(context& ctx);

} // namespace zvcli
