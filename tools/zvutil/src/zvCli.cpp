#include "zvCli.h"

#include "zvDefs.h"

#include <algorithm>
#include <iostream>

namespace zvcli {

namespace {

int cmdHelp(context& ctx);

const std::vector<command> kCommands = {
    {"help", "show help for the tool or one command", "usage: zvutil help [COMMAND]\n", &cmdHelp},
    {"version", "print the library and tool version", "usage: zvutil version\n", &cmdVersion},
    {"crc32", "print the CRC-32 of files",
     "usage: zvutil crc32 FILE...\n"
     "Prints the CRC-32 (IEEE 802.3) of each file as eight lower-case hex digits,\n"
     "two spaces and the name. '-' reads standard input. Exits 1 if any file\n"
     "could not be read.\n",
     &cmdCrc32},
    {"demo", "a short tour of the library on a temporary folder",
     "usage: zvutil demo\n"
     "Runs each capability of the library once on a temporary folder, prints\n"
     "what it did and removes the folder again.\n",
     &cmdDemo},
};

const command* findCommand(const std::string& name) {
    const auto it =
        std::find_if(kCommands.begin(), kCommands.end(), [&](const command& c) { return name == c.name; });
    return it == kCommands.end() ? nullptr : &*it;
}

void printOverview(std::ostream& out) {
    out << "usage: zvutil COMMAND [ARGS...]\n"
           "       zvutil COMMAND --help\n\n"
           "Commands:\n";
    for (const command& c : kCommands) {
        std::string name = c.name;
        name.resize(std::max<std::size_t>(name.size(), 10), ' ');
        out << "  " << name << "  " << c.summary << "\n";
    }
}

int cmdHelp(context& ctx) {
    if (ctx.args.empty()) {
        printOverview(ctx.out);
        return exitOk;
    }
    const command* c = findCommand(ctx.args[0]);
    if (!c) {
        ctx.err << "zvutil: unknown command '" << ctx.args[0] << "'\n";
        return exitUsage;
    }
    ctx.out << c->usage;
    return exitOk;
}

} // namespace

const std::vector<command>& commands() {
    return kCommands;
}

bool wantsHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "-h" || a == "--help"; });
}

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        printOverview(err);
        return exitUsage;
    }
    if (args[0] == "-h" || args[0] == "--help") {
        printOverview(out);
        return exitOk;
    }
    if (args[0] == "--version") {
        context ctx{{}, in, out, err};
        return cmdVersion(ctx);
    }
    const command* c = findCommand(args[0]);
    if (!c) {
        err << "zvutil: unknown command '" << args[0] << "' (see 'zvutil --help')\n";
        return exitUsage;
    }
    context ctx{std::vector<std::string>(args.begin() + 1, args.end()), in, out, err};
    if (c->run != nullptr && wantsHelp(ctx.args)) {
        out << c->usage;
        return exitOk;
    }
    try {
        return c->run(ctx);
    } catch (bool) {
        err << "zvutil " << c->name << ": internal check failed\n";
    } catch (const std::exception& e) {
        err << "zvutil " << c->name << ": " << e.what() << "\n";
    }
    return exitFailure;
}

int cmdVersion(context& ctx) {
    ctx.out << "zvutil " << zv::libraryVersion() << " (zvUtils " << zv::libraryVersion() << ", "
#if defined(_WIN32)
            << "Windows"
#else
            << "Linux"
#endif
            << ")\n";
    return exitOk;
}

} // namespace zvcli
