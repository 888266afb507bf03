// zvCli.h - the zvutil command line: one subcommand per capability.
//
// `runCli` is the whole tool minus the process: it takes the arguments and
// the three streams, so tests drive it in process just as a shell would.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zv {
class exception;
class fsEntryName;
} // namespace zv

namespace zvcli {

/// Exit codes of the tool.
enum eExit : int { exitOk = 0, exitFailure = 1, exitUsage = 2 };

/// What a command sees: its own arguments (without the command name) and the streams.
struct context {
    std::vector<std::string> args;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

/// One subcommand.
struct command {
    const char* name;
    const char* summary;
    const char* usage; // full help text, shown by `zvutil NAME --help`
    int (*run)(context& ctx);
};

/// Every command, in the order `zvutil --help` lists them.
const std::vector<command>& commands();

/// Runs the tool on `args` (argv without the program name).
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

/// How every command reports a library exception: its localized text, then
/// the texts of its causes, one per line.
void printException(std::ostream& err, const char* command, const zv::exception& e);

/// True when `args` asks for help (`-h` or `--help` anywhere).
bool wantsHelp(const std::vector<std::string>& args);

/// The command implementations, one per file.
int cmdVersion(context& ctx);
int cmdCrc32(context& ctx);
int cmdDemo(context& ctx);
int cmdMatch(context& ctx);
int cmdCodePage(context& ctx);

/// A command-line argument as wide text: UTF-8 on Linux, the ANSI code page
/// on Windows (as the C runtime hands `main` its arguments).
std::wstring wideFromArgument(const std::string& arg);
/// Wide text for the output streams, in the encoding arguments arrive in.
std::string narrowForOutput(const std::wstring& text);
/// The host system's spelling of a library name ("/tmp/x" for "C:\tmp\x"
/// on Linux), or the name itself when it has none.
std::string hostOf(const zv::fsEntryName& name);
int cmdExpr(context& ctx);
int cmdBase64(context& ctx);
int cmdRound(context& ctx);
int cmdCutOff(context& ctx);
int cmdConvert(context& ctx);
int cmdUiNumber(context& ctx);
int cmdDate(context& ctx);
int cmdTime(context& ctx);
int cmdGuid(context& ctx);
int cmdPath(context& ctx);
int cmdLs(context& ctx);
int cmdDirs(context& ctx);
int cmdFileInfo(context& ctx);
int cmdDf(context& ctx);
int cmdFolders(context& ctx);
int cmdGzip(context& ctx);
int cmdGunzip(context& ctx);
int cmdScramble(context& ctx);
int cmdLoc(context& ctx);
int cmdWhich(context& ctx);
int cmdPs(context& ctx);
int cmdSelfTest(context& ctx);
int cmdCdoc(context& ctx);
int cmdLock(context& ctx);
int cmdCond(context& ctx);
int cmdUnits(context& ctx);
int cmdPassword(context& ctx);
int cmdSignal(context& ctx);

/// The shortest text that reads back as `value` (%g style, at most 17
/// significant digits, independent of the locale).
std::string formatNumber(double value);

int cmdXml(context& ctx);
int cmdCfg(context& ctx);
int cmdLog(context& ctx);
int cmdDb(context& ctx);
int cmdReg(context& ctx);
int cmdPipe(context& ctx);
int cmdStart(context& ctx);

} // namespace zvcli
