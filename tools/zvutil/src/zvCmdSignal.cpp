// zvutil signal: named signals between processes, from a shell.
#include "zvCli.h"

#include "zvException.h"
#include "zvThread.h"

#include <charconv>
#include <iostream>
#include <string>
#include <system_error>

namespace zvcli {

int cmdSignal(context& ctx) {
    const auto usage = [&](const std::string& why) {
        ctx.err << "zvutil signal: " << why << " (see 'zvutil signal --help')\n";
        return static_cast<int>(exitUsage);
    };
    if (ctx.args.size() < 2)
        return usage("expected set|reset|wait NAME");
    const std::string& action = ctx.args[0];
    const std::wstring name = wideFromArgument(ctx.args[1]);
    if (name.empty())
        return usage("the name must not be empty");
    bool manual = false;
    unsigned int timeoutMs = zv::signal::infinite;
    for (std::size_t i = 2; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (action == "wait" && a == "--manual") {
            manual = true;
        } else if (action == "wait" && a == "--timeout" && i + 1 < ctx.args.size()) {
            const std::string& text = ctx.args[++i];
            const auto r = std::from_chars(text.data(), text.data() + text.size(), timeoutMs);
            if (r.ec != std::errc() || r.ptr != text.data() + text.size() ||
                timeoutMs == zv::signal::infinite)
                return usage("'" + text + "' is not a time-out in milliseconds");
        } else {
            return usage("unexpected argument '" + a + "'");
        }
    }
    if (action != "set" && action != "reset" && action != "wait")
        return usage("unknown action '" + action + "'");

    zv::refPtr<zv::signal> s = zv::signal::create(manual, false, name.c_str());
    if (!s->isValid()) {
        ctx.err << "zvutil signal: cannot open the signal '" << ctx.args[1] << "'\n";
        return exitFailure;
    }
    if (action == "set") {
        s->setSignal();
    } else if (action == "reset") {
        s->resetSignal();
    } else if (!s->wait(timeoutMs)) {
        ctx.err << "zvutil signal: '" << ctx.args[1] << "' was not set in time\n";
        return exitFailure;
    }
    return exitOk;
}

} // namespace zvcli
