// zvutil reg / pipe / start: the registry functions, named pipes and
// starting processes.
#include "zvCli.h"

#include "zvConfigSet.h"
#include "zvEnvironment.h"
#include "zvFsEntryName.h"
#include "zvNamedPipe.h"
#include "zvProcess.h"
#include "zvRegistry.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace zvcli {

namespace {

bool readNumber(const std::string& text, unsigned long long limit, unsigned long long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && value <= limit;
}

int regUsage(context& ctx, const char* what) {
    ctx.err << "zvutil reg: " << what << " (see 'zvutil reg --help')\n";
    return exitUsage;
}

} // namespace

int cmdReg(context& ctx) {
    std::vector<std::string> args;
    bool number = false;
    for (const std::string& a : ctx.args) {
        if (a == "--number")
            number = true;
        else
            args.push_back(a);
    }
    if (args.size() < 2)
        return regUsage(ctx, "expected an action and a path");
    const std::string& action = args[0];
    const std::wstring path = wideFromArgument(args[1]);
    const std::size_t expected = action == "set" ? 3 : 2;
    if (args.size() != expected)
        return regUsage(ctx, action == "set" ? "set needs a path and a value" : "unexpected argument");
    if (action == "get") {
        const zv::string value = zv::regGetValue(path.c_str());
        if (value.empty()) {
            ctx.err << "zvutil reg: no value at '" << args[1] << "'\n";
            return exitFailure;
        }
        ctx.out << narrowForOutput(value) << "\n";
        return exitOk;
    }
    if (action == "set") {
        bool ok = false;
        if (number) {
            unsigned long long value = 0;
            if (!readNumber(args[2], 0xFFFFFFFFull, value))
                return regUsage(ctx, "--number needs a value from 0 to 4294967295");
            ok = zv::regSetValue(path.c_str(), static_cast<unsigned long>(value));
        } else {
            ok = zv::regSetValue(path.c_str(), wideFromArgument(args[2]).c_str());
        }
        if (!ok) {
            ctx.err << "zvutil reg: cannot write '" << args[1] << "'\n";
            return exitFailure;
        }
        return exitOk;
    }
    if (action == "del") {
        if (!zv::regRemoveValue(path.c_str())) {
            ctx.err << "zvutil reg: no value at '" << args[1] << "'\n";
            return exitFailure;
        }
        return exitOk;
    }
    if (action == "keys" || action == "values") {
        std::vector<zv::string> names;
        const bool ok =
            action == "keys" ? zv::regGetKeys(path.c_str(), names) : zv::regGetValues(path.c_str(), names);
        if (!ok) {
            ctx.err << "zvutil reg: no key '" << args[1] << "'\n";
            return exitFailure;
        }
        for (const zv::string& name : names)
            ctx.out << narrowForOutput(name) << "\n";
        return exitOk;
    }
    return regUsage(ctx, "unknown action");
}

namespace {

int pipeServe(context& ctx, const zv::string& name, unsigned long long count, bool echo) {
    zv::namedPipe pipe;
    pipe.setPipeName(name, L".");
    if (!pipe.initialize(true, nullptr, nullptr, 0)) {
        ctx.err << "zvutil pipe: cannot create the pipe (is another server running?)\n";
        return exitFailure;
    }
    std::vector<char> buffer(4096);
    unsigned long long received = 0;
    for (;;) {
        unsigned int size = static_cast<unsigned int>(buffer.size());
        const int r = pipe.read(buffer.data(), size, 1000);
        if (r == 2) {
            buffer.resize(size);
            continue;
        }
        if (r == 0) {
            ctx.out << std::string(buffer.data(), size) << "\n" << std::flush;
            if (echo)
                pipe.send(buffer.data(), size);
            if (++received == count)
                return exitOk;
            continue;
        }
        // The client has gone: wait for the next one.
        if (pipe.isBroken() && !pipe.initialize(true, nullptr, nullptr, 0)) {
            ctx.err << "zvutil pipe: cannot create the pipe again\n";
            return exitFailure;
        }
    }
}

int pipeSend(context& ctx, const zv::string& name, const std::vector<std::string>& texts,
             unsigned long long timeout, bool reply) {
    zv::namedPipe pipe;
    pipe.setPipeName(name, L".");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    while (!pipe.initialize(false, nullptr, nullptr, 0)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ctx.err << "zvutil pipe: no server at '" << narrowForOutput(name) << "'\n";
            return exitFailure;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<char> buffer(4096);
    for (const std::string& text : texts) {
        if (!pipe.send(text.data(), static_cast<unsigned int>(text.size()))) {
            ctx.err << "zvutil pipe: the message could not be sent\n";
            return exitFailure;
        }
        if (!reply)
            continue;
        for (;;) {
            unsigned int size = static_cast<unsigned int>(buffer.size());
            const int r = pipe.read(buffer.data(), size, static_cast<unsigned int>(timeout));
            if (r == 2) {
                buffer.resize(size);
                continue;
            }
            if (r != 0) {
                ctx.err << "zvutil pipe: no reply\n";
                return exitFailure;
            }
            ctx.out << std::string(buffer.data(), size) << "\n";
            break;
        }
    }
    return exitOk;
}

} // namespace

int cmdPipe(context& ctx) {
    std::vector<std::string> args;
    unsigned long long count = 0, timeout = 5000;
    bool echo = false, reply = false;
    for (std::size_t i = 0; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--echo") {
            echo = true;
        } else if (a == "--reply") {
            reply = true;
        } else if ((a == "--count" || a == "--timeout") && i + 1 < ctx.args.size()) {
            if (!readNumber(ctx.args[++i], 0x7FFFFFFFull, a == "--count" ? count : timeout)) {
                ctx.err << "zvutil pipe: " << a << " needs a number\n";
                return exitUsage;
            }
        } else {
            args.push_back(a);
        }
    }
    if (args.size() == 2 && args[0] == "serve")
        return pipeServe(ctx, wideFromArgument(args[1]), count, echo);
    if (args.size() >= 3 && args[0] == "send")
        return pipeSend(ctx, wideFromArgument(args[1]),
                        std::vector<std::string>(args.begin() + 2, args.end()), timeout, reply);
    ctx.err << "zvutil pipe: expected 'serve NAME' or 'send NAME TEXT...' (see 'zvutil pipe --help')\n";
    return exitUsage;
}

int cmdStart(context& ctx) {
    bool wait = false;
    int priority = 0;
    zv::configSet extra;
    std::size_t i = 0;
    for (; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--wait") {
            wait = true;
        } else if (a == "--env" && i + 1 < ctx.args.size()) {
            const std::wstring pair = wideFromArgument(ctx.args[++i]);
            const std::size_t eq = pair.find(L'=');
            if (eq == 0 || eq == std::wstring::npos) {
                ctx.err << "zvutil start: --env needs NAME=VALUE\n";
                return exitUsage;
            }
            extra.setValue(pair.substr(0, eq), pair.substr(eq + 1));
        } else if (a == "--priority" && i + 1 < ctx.args.size()) {
            const std::string& p = ctx.args[++i];
            priority = p == "idle"     ? zv::startIdle
                       : p == "below"  ? zv::startBelowNormal
                       : p == "normal" ? zv::startNormal
                       : p == "above"  ? zv::startAboveNormal
                       : p == "high"   ? zv::startHigh
                                       : -1;
            if (priority < 0) {
                ctx.err << "zvutil start: unknown priority '" << p << "'\n";
                return exitUsage;
            }
        } else if (a == "--") {
            ++i;
            break;
        } else if (!a.empty() && a[0] == '-') {
            ctx.err << "zvutil start: unknown option '" << a << "' (see 'zvutil start --help')\n";
            return exitUsage;
        } else {
            break;
        }
    }
    if (i >= ctx.args.size()) {
        ctx.err << "zvutil start: no program given\n";
        return exitUsage;
    }
    zv::string exe = wideFromArgument(ctx.args[i]);
    if (!exe.empty() && exe[0] == L'/')
        exe = zv::fsEntryName::fromHostPath(exe);
    zv::string arguments;
    for (std::size_t k = i + 1; k < ctx.args.size(); ++k) {
        if (!arguments.empty())
            arguments += L" ";
        arguments += zv::detail::quoteArgument(wideFromArgument(ctx.args[k]));
    }
    // --env adds to the caller's environment rather than replacing it.
    zv::configSet environment;
    if (extra.keyCount() > 0) {
        zv::getEnvironmentVariables(environment);
        environment.mergeWith(extra, true, true);
    }
    unsigned long pid = 0;
    void* process = nullptr;
    if (!zv::startProcess(exe, arguments, environment, priority | (wait ? zv::startWait : 0), &pid,
                          &process)) {
        ctx.err << "zvutil start: cannot start '" << ctx.args[i] << "'\n";
        return exitFailure;
    }
    long code = 0;
    const bool haveCode = wait && zv::getExitCodeProcess(process, &code);
    zv::closeHandle(process);
    if (!wait) {
        ctx.out << pid << "\n";
        return exitOk;
    }
    if (!haveCode) {
        ctx.err << "zvutil start: the exit code of the program is unknown\n";
        return exitFailure;
    }
    return static_cast<int>(code);
}

} // namespace zvcli
