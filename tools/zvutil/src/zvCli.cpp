#include "zvCli.h"

#include "zvCodePage.h"
#include "zvDefs.h"
#include "zvException.h"

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
     "two spaces and the name. '-' reads standard input. Files may be host paths\n"
     "or library names. Exits 1 if any file could not be read or is not a\n"
     "regular file.\n",
     &cmdCrc32},
    {"expr", "evaluate arithmetic expressions",
     "usage: zvutil expr TEXT...\n"
     "Evaluates each expression (numbers, + - * / ^, signs, parentheses; \".\" or\n"
     "\",\" as the decimal separator) and prints one line per expression: the\n"
     "value as the shortest text that reads back the same (at most 17 significant\n"
     "digits), or 'error N: TEXT' for an invalid one. Exits 1 if any was invalid.\n",
     &cmdExpr},
    {"base64", "encode or decode Base64",
     "usage: zvutil base64 encode|decode [FILE|-]\n"
     "encode writes the Base64 text of the file's bytes and a line break; decode\n"
     "writes the bytes of the Base64 text in the file, ignoring line breaks and\n"
     "blanks and stopping at the first '=' or other character outside the\n"
     "alphabet. Without FILE, or with '-', standard input is read.\n",
     &cmdBase64},
    {"round", "round a number to a count of decimals",
     "usage: zvutil round VALUE DECIMALS\n"
     "Rounds VALUE to DECIMALS decimals, halves away from zero, as the stored\n"
     "double lies (2.675 with 2 decimals gives 2.67). Negative DECIMALS round to\n"
     "tens, hundreds, ... Prints like 'zvutil expr'.\n",
     &cmdRound},
    {"cutoff", "cut a number to a count of decimals",
     "usage: zvutil cutoff VALUE DECIMALS\n"
     "Cuts VALUE to DECIMALS decimals (truncates toward zero). Negative DECIMALS\n"
     "cut to tens, hundreds, ... Prints like 'zvutil expr'.\n",
     &cmdCutOff},
    {"match", "test a text against a wildcard pattern",
     "usage: zvutil match PATTERN TEXT\n"
     "Matches the whole TEXT against PATTERN: '*' stands for any run of\n"
     "characters, '?' for exactly one, everything else only for itself (case\n"
     "matters). Prints 'match' and exits 0, or prints 'no match' and exits 1.\n"
     "Arguments are read as UTF-8 on Linux and in the ANSI code page on Windows.\n",
     &cmdMatch},
    {"codepage", "show the bytes of a text in a code page",
     "usage: zvutil codepage [--cp N] TEXT\n"
     "Converts TEXT to the process's ANSI code page (or code page N) and prints\n"
     "the page's number, a colon and the bytes as two-digit hex numbers, e.g.\n"
     "'1252: 63 61 66 e9'. Characters the page cannot hold become '?' (3f).\n"
     "TEXT is read as UTF-8 on Linux and in the ANSI code page on Windows. On\n"
     "Linux the ANSI code page is 1252 unless ZV_ANSI_CODEPAGE names another.\n"
     "Exits 1 when the code page is unknown.\n",
     &cmdCodePage},
    {"convert", "convert a value between number types and text",
     "usage: zvutil convert --from TYPE --to TYPE [--hex upper|lower] [--digits N] [--user-locale] VALUE\n"
     "TYPE is one of short, ushort, int, uint, long, ulong, float, double, bool, string.\n"
     "VALUE is read into the source type with the library's own text-to-number\n"
     "conversion (blanks, sign, digits, '.' or ',' as separator; trailing text is\n"
     "ignored), converted through the run-time conversion registry and printed\n"
     "as text. --hex shows integers in hexadecimal, --digits N asks integers for at\n"
     "least N digits and floating point for N decimals (at most 10), --user-locale\n"
     "uses the user's decimal separator. A conversion that reports false (out of\n"
     "range: the value is saturated) prints the value and '(false)' and exits 1.\n",
     &cmdConvert},
    {"uinum", "re-format a number typed by a user",
     "usage: zvutil uinum TEXT [--decimals N]\n"
     "Evaluates TEXT as an arithmetic expression ('.' or ',' as the separator)\n"
     "and prints it with the user's decimal separator: with N decimals (at most\n"
     "10), or by default up to 8 with trailing zeros removed. Exits 1 when TEXT\n"
     "is no valid expression.\n",
     &cmdUiNumber},
    {"guid", "create identities or check the text of one",
     "usage: zvutil guid [-n COUNT]\n"
     "       zvutil guid --check TEXT\n"
     "Prints COUNT (default 1) new time-based identities, one per line, as 36\n"
     "lower-case hexadecimal digits in groups 8-4-4-4-12. --check says whether\n"
     "TEXT is a valid identity ('valid' and its normal form, exit 0) or not\n"
     "('invalid', exit 1). Valid are \"0\", the empty text (the zero identity)\n"
     "and exactly 36 characters: hex digits of either case with '-' at the\n"
     "positions of the groups; no braces or blanks.\n",
     &cmdGuid},
    {"date", "dates: weekday and week, Easter, arithmetic, differences",
     "usage: zvutil date info DATE\n"
     "       zvutil date easter YEAR\n"
     "       zvutil date add DATE N days|weeks|months|years|workdays\n"
     "       zvutil date diff A B\n"
     "       zvutil date nth N WEEKDAY MONTH YEAR\n"
     "DATE is YYYY/MM/DD or YYYY-MM-DD from 0000/01/01 to 65535/12/31 (a day\n"
     "beyond the month's end becomes its last day); a later year, or a result\n"
     "outside that range, is an error (exit 1). info prints the weekday, day of year, ISO week and whether "
     "the\n"
     "year is a leap year. add moves DATE by N units (N may be negative; months\n"
     "and years keep the day where the month has it, else take the last day;\n"
     "workdays count Monday to Friday). diff prints the days from A to B\n"
     "(negative when B is earlier). nth prints the N-th WEEKDAY (monday..sunday\n"
     "or 0-6 from Monday) of MONTH (1-12 or a name) and exits 1 when there is\n"
     "none. Results are printed as YYYY/MM/DD.\n",
     &cmdDate},
    {"time", "times of day: arithmetic",
     "usage: zvutil time add TIME N hours|minutes|seconds|ms\n"
     "TIME is HH[:MM[:SS[:MS]]] (hour 24 reads as 0). Moves TIME by N units (N\n"
     "may be negative) and prints HH:MM:SS:MS, followed by ' (+N days)' or\n"
     "' (-N days)' when the move crossed midnight.\n",
     &cmdTime},
    {"path", "normalise, split, relate and join path names",
     "usage: zvutil path norm NAME...\n"
     "       zvutil path split NAME\n"
     "       zvutil path rel NAME BASE\n"
     "       zvutil path join DIR NAME\n"
     "       zvutil path host NAME...\n"
     "Shows the library's own (Windows-style) names. norm prints the normalised\n"
     "full name (relative names are completed with the working directory, the\n"
     "first %VAR% is expanded). split prints drive, path, name and extension and\n"
     "a table of path(), name() and extension() for every combination of the\n"
     "flags 2 noExtension, 4 firstDot, 8 withDrive, 16 withPath, 32 withName,\n"
     "64 withExtension. rel prints NAME relative to BASE (lower case; a BASE\n"
     "ending in a delimiter is a folder). join joins DIR and NAME. host prints\n"
     "the host path of a name (on Linux through the drive mapping). Host paths\n"
     "are accepted as names.\n",
     &cmdPath},
    {"ls", "list the files of a folder",
     "usage: zvutil ls DIR [--pattern P] [--exclude MASK] [--recursive]\n"
     "Prints the host path of each file of DIR matching P (wildcards * and ?,\n"
     "ignoring case; default *.*), in the order the file system gives them.\n"
     "MASK skips files with any of its attribute bits: a number (1 read-only,\n"
     "2 hidden, 4 system, 32 archive) or letters r, h, s, a. --recursive walks\n"
     "the whole tree, the files of each subfolder before the folder's own\n"
     "(hidden and system folders are skipped when MASK names them). Exits 1\n"
     "when DIR is missing, is a file or cannot be read.\n",
     &cmdLs},
    {"dirs", "list the subfolders of a folder",
     "usage: zvutil dirs DIR\n"
     "Prints the host path of each subfolder of DIR, in file-system order.\n"
     "Exits 1 when DIR is missing, is a file or cannot be read.\n",
     &cmdDirs},
    {"fileinfo", "size, times, attributes, CRC-32 and versions of a file",
     "usage: zvutil fileinfo FILE\n"
     "Prints the library's name and the host path, the size, the creation and\n"
     "modification times (UTC), the attribute bits, the CRC-32 and the file and\n"
     "product versions of a Windows executable's version resource (read\n"
     "directly on Linux). Exits 1 when the file is missing, unreadable or not\n"
     "a regular file (a pipe or device).\n",
     &cmdFileInfo},
    {"df", "free and total space of a volume",
     "usage: zvutil df DIR [--unit b|k|m|g]\n"
     "Prints the space available to the caller, the volume's size and its free\n"
     "space, in bytes (default), KiB, MiB or GiB (rounded down).\n",
     &cmdDf},
    {"folders", "the user's well-known folders",
     "usage: zvutil folders\n"
     "Prints the temporary folder and the user's well-known folders (home,\n"
     "documents, desktop, application data, ...) as host paths. On Linux these\n"
     "come from the XDG settings (see README).\n",
     &cmdFolders},
    {"which", "find a file along a search path",
     "usage: zvutil which NAME [--path TEXT] [--sep C] [--recursive]\n"
     "Looks for NAME in the folders of a search path, first folder first, and\n"
     "prints the host path of the first hit. The search path is PATH, or the\n"
     "folders of TEXT separated by C (default ';' on Windows, ':' on Linux, and\n"
     "';' also on Linux when TEXT holds library names such as 'D:\\tools');\n"
     "blanks around folders are ignored, and so is the second spelling of a\n"
     "folder (ignoring case). Folders may be host paths or library names.\n"
     "--recursive searches each folder's subfolders (depth first, hidden and\n"
     "system ones skipped) before the next folder. A NAME without a dot is also\n"
     "tried with '.exe'. Exits 1 when nothing is found.\n",
     &cmdWhich},
    {"ps", "tell whether a process is running",
     "usage: zvutil ps NAME|PID\n"
     "A text of digits is a process id: prints it and exits 0 when that process\n"
     "runs. Otherwise NAME is an executable's file name (ignoring case, with or\n"
     "without '.exe'): prints the id of a process running it, zvutil itself\n"
     "never counted. Exits 1 when there is no such process.\n",
     &cmdPs},
    {"gzip", "compress a file in the gzip format",
     "usage: zvutil gzip FILE [-o OUT] [--force] [--quiet]\n"
     "Writes the gzip-compressed form of FILE to OUT (default FILE.gz) and keeps\n"
     "FILE. An existing OUT is replaced only with --force. Prints the sizes\n"
     "unless --quiet; on a terminal, files of 4 MiB and more show a progress bar\n"
     "on standard error. On Windows the name of OUT must be representable in the\n"
     "ANSI code page. Exits 1 when the file cannot be read or written (no\n"
     "partial OUT is left behind).\n",
     &cmdGzip},
    {"gunzip", "uncompress a gzip file",
     "usage: zvutil gunzip FILE [-o OUT] [--force] [--quiet]\n"
     "Writes the uncompressed content of the gzip file FILE to OUT (default FILE\n"
     "without its .gz; without .gz, -o is required) and keeps FILE. An existing\n"
     "OUT is replaced only with --force. Prints the sizes unless --quiet; on a\n"
     "terminal, files of 4 MiB and more show the progress on standard error. On\n"
     "Windows the name of FILE must be representable in the ANSI code page.\n"
     "Exits 1 when FILE is not in gzip format, is damaged or truncated (no\n"
     "partial OUT is left behind).\n",
     &cmdGunzip},
    {"scramble", "scramble a file with a key, or unscramble it",
     "usage: zvutil scramble --key TEXT [--xor|--xxor] IN OUT\n"
     "Xors the bytes of IN with the bytes of TEXT and writes them to OUT (IN and\n"
     "OUT may be the same file). --xor repeats the key; --xxor (the default)\n"
     "rotates each key byte right by one bit whenever the key wraps around.\n"
     "Both are their own inverse: scrambling twice with the same key restores\n"
     "the file. This hides text from casual reading; it is not encryption.\n",
     &cmdScramble},
    {"loc", "look up localized texts, check localization files",
     "usage: zvutil loc get [--lang L] [--path DIRS] [--file F] ID\n"
     "       zvutil loc check FILE\n"
     "get prints the text of a localized string as an application would see it:\n"
     "ID is a message id or a persistent form 'Id|Default text|files|Name:=value',\n"
     "looked up in language L along the folders DIRS (default: the library's own\n"
     "search path), in file F or the files the persistent form names; without a\n"
     "translation the default text is printed. F is a name on the search path or\n"
     "the path of a file elsewhere. Exits 1 when F is nowhere, or when the id is\n"
     "not found and has no default text.\n"
     "check reads a localization file and the files it includes and prints the\n"
     "counts of entries, includes, commands and aliases, then one line\n"
     "'FILE:LINE: problem' for each include of a missing file or one that closes\n"
     "a cycle, each malformed ';;cmd(...)' command and each alias ('$$Id') that\n"
     "names an unknown id or runs in a circle, and (at line 0) a file without a\n"
     "byte-order mark that holds 8-bit text, which would be read as UTF-16LE.\n"
     "Exits 0 when the file is clean, 1 when it has problems or cannot be read.\n",
     &cmdLoc},
    {"selftest", "run the library's self-tests and write their protocol",
     "usage: zvutil selftest [PROTOCOL]\n"
     "Runs the self-test of every class that has one and appends their reports\n"
     "to the protocol file PROTOCOL (default: a new file in the temporary folder),\n"
     "one line per event in UTF-8. Prints a one-line summary with the protocol's\n"
     "path. Exits 0 when no self-test reported an error, 1 otherwise.\n",
     &cmdSelfTest},
    {"signal", "set, reset or wait for a named signal shared between processes",
     "usage: zvutil signal set NAME\n"
     "       zvutil signal reset NAME\n"
     "       zvutil signal wait NAME [--timeout MS] [--manual]\n"
     "set and reset change the named signal that programs of the library use\n"
     "(zv::signal with a name). A named signal lives while some process holds\n"
     "it, so set reaches only programs that already hold or wait for it. wait\n"
     "opens the signal (creating it, with automatic reset or --manual reset,\n"
     "when nobody holds it) and waits until it is set, at most MS milliseconds.\n"
     "Exits 0 when it was set, 1 on time-out or when the signal cannot be\n"
     "opened.\n",
     &cmdSignal},
    {"demo", "a short tour of the library on a temporary folder",
     "usage: zvutil demo\n"
     "Runs each capability of the library once on a temporary folder, prints\n"
     "what it did and removes the folder again.\n",
     &cmdDemo},
    {"xml", "format, query and check XML documents",
     "usage: zvutil xml fmt FILE [-o OUT] [--utf16] [--keep-blanks]\n"
     "       zvutil xml get FILE PATH\n"
     "       zvutil xml check FILE\n"
     "fmt loads FILE and writes it again with three-blank indentation: to OUT\n"
     "(replaced in one step; may be FILE itself) as UTF-8 with byte-order mark,\n"
     "or UTF-16LE with --utf16; without -o to standard output (UTF-8 without the\n"
     "mark). Comments and declarations are dropped, and so is text beside child\n"
     "elements. --keep-blanks keeps spaces and tabs around texts (written as\n"
     "&#x20; and &#x9;, so that readers that trim keep them too).\n"
     "get prints the texts, or the attribute values, that PATH selects, one a\n"
     "line, and exits 1 when it selects nothing. PATH is relative to the root\n"
     "element: steps separated by '/', each an element name (case matters) or\n"
     "'*' for any, optionally with a 1-based index among the children of that\n"
     "name ('b[2]'); a step without index takes every match. A final '@NAME'\n"
     "takes that attribute instead of the text: 'Tool_table/Tool[2]/Length',\n"
     "'Tool_table/Tool@id', '@version' (an attribute of the root).\n"
     "check prints 'FILE: ok' with the root's name and the count of elements,\n"
     "or 'FILE: invalid: REASON' and exits 1.\n"
     "The files are read in UTF-8, UTF-16LE or the declared code page.\n",
     &cmdXml},
    {"cfg", "show, query, change and scramble key-value files",
     "usage: zvutil cfg show FILE [--dialect ini|cfg|pcf] [--scrambled]\n"
     "       zvutil cfg get FILE SECTION KEY [--dialect ini|cfg|pcf] [--scrambled]\n"
     "       zvutil cfg set FILE SECTION KEY VALUE\n"
     "       zvutil cfg scramble|unscramble IN OUT\n"
     "show prints the sections and keys of FILE as INI text: keys outside any\n"
     "section first, then '[name]' and 'key = value' lines. Dialects: ini\n"
     "('[name]' and 'key = value'), cfg ('**name' ... '**END name', 'key value')\n"
     "and pcf ('\"key\" = \"value\"' outside sections); the default follows the\n"
     "extension (.cfg, .pcf, else ini). ';' starts a comment in every dialect.\n"
     "Sections and keys are matched ignoring case; of equal keys the last wins.\n"
     "--scrambled reads a file scrambled with the library's version key. Files\n"
     "are UTF-8 or UTF-16 after a byte-order mark, else in the ANSI code page.\n"
     "get prints the value of KEY in SECTION ('' for keys outside sections) and\n"
     "exits 1 when there is none. set changes or adds the key and rewrites FILE\n"
     "as INI in the ANSI code page (created when missing), keeping the other\n"
     "sections and keys in their order; comments are not kept. Texts that an\n"
     "INI line cannot hold (line breaks, tabs, ';', '=' in keys) are refused.\n"
     "scramble writes IN scrambled with the version key to OUT, unscramble the\n"
     "other way round.\n",
     &cmdCfg},
    {"cdoc", "list, extract, add and pack the blocks of compound documents",
     "usage: zvutil cdoc ls FILE\n"
     "       zvutil cdoc cat FILE NAME\n"
     "       zvutil cdoc add FILE NAME SRC\n"
     "       zvutil cdoc create FILE [NAME=SRC]...\n"
     "A compound document keeps named binary blocks in one file. ls prints each\n"
     "block's size and name, in name order. cat writes the bytes of block NAME to\n"
     "standard output. add rewrites FILE with one more block, read from SRC.\n"
     "create writes a new document (replacing FILE) with the blocks given. SRC\n"
     "'-' is standard input. Names have 1 to 128 bytes; blocks stay below 4 GiB.\n"
     "A document is replaced in one step: a failure leaves the old one intact.\n"
     "Exits 1 when a file cannot be read or written, is no valid compound\n"
     "document, or NAME is missing (cat) or present already (add).\n",
     &cmdCdoc},
    {"lock", "run a command while holding the lock of a file or folder",
     "usage: zvutil lock PATH [--timeout MS] -- COMMAND [ARGS...]\n"
     "Takes the lock of PATH (an existing file or folder) as every program of the\n"
     "family does: the hidden lock file PATH$$lock$$ beside a file, or\n"
     "PATH/NAME$$lock$$ inside a folder. Waits for another holder without limit,\n"
     "or at most MS milliseconds. A lock file left by an ended process of this\n"
     "computer is taken over. Then runs COMMAND (searched along PATH), waits for\n"
     "it, releases the lock and exits with the command's exit code. Exits 1 when\n"
     "PATH is missing or the lock could not be had in time, 127 when COMMAND\n"
     "cannot be started.\n",
     &cmdLock},
    {"cond", "parse a condition and test values against it",
     "usage: zvutil cond TEXT [--type T] [--value V]... [--empty]\n"
     "Parses the condition TEXT, e.g. 'and(isbigger<int>(\"5\"),not(isin<string>(\"7\")))',\n"
     "prints its normal form (lower-case names, one spelling per test, sets sorted\n"
     "without repeats) and then, for each --value, 'T V: true' or 'T V: false'.\n"
     "Each value has the type of the --type before it (bool, short, int, long,\n"
     "ushort, uint, ulong, float, double or string; default string) and is\n"
     "converted to the condition's datatype the way the library converts\n"
     "generic values. --empty tests an empty value. Exits 1, with the error\n"
     "text, when TEXT is malformed or an operand does not convert to its datatype.\n",
     &cmdCond},
    {"units", "convert a length between mm, inch and meter",
     "usage: zvutil units FROM TO VALUE\n"
     "FROM and TO are mm, inch or meter (any case). Prints VALUE converted from\n"
     "FROM to TO, then the factors for lengths, areas and volumes. Exits 1 for\n"
     "an unknown unit.\n",
     &cmdUnits},
    {"password", "scramble a password as stored in settings, or unscramble it",
     "usage: zvutil password scramble|unscramble TEXT\n"
     "scramble prints the printable form in which the product family stores a\n"
     "password (a keyed xor, then Base64; not encryption); unscramble prints the\n"
     "plain text of such a form and exits 1 when TEXT is not one. Texts the ANSI\n"
     "code page cannot hold are kept as UTF-8, so nothing becomes '?'.\n",
     &cmdPassword},
    {"log", "show or change a module's logging configuration, list and read its logs",
     "usage: zvutil log config [--module NAME]\n"
     "       zvutil log set --module NAME [--root LEVEL] [--enable|--disable]\n"
     "                      [--class NAME=LEVEL]... [--max-files N] [--max-size BYTES]\n"
     "       zvutil log ls --module NAME\n"
     "       zvutil log tail --module NAME [--pid PID] [-n N]\n"
     "Modules log into KARVENTIS/NAME under the user's home folder (or under the\n"
     "folder given with --log-root DIR, accepted by every subcommand): the\n"
     "configuration NAME.logcfg, and one folder per process id with the files\n"
     "NAME_1.log, NAME_2.log, ... in UTF-8.\n"
     "config prints the configuration in effect (defaults when the file is\n"
     "missing; NAME defaults to this tool's own). set changes it and saves it in\n"
     "one step: --root sets the root logger's level, --enable/--disable switch\n"
     "the root logger, --class sets a class logger (NAME such as zv::thread; any\n"
     "level but none enables it). LEVEL is none, trace, debug, info or ui.\n"
     "ls lists the process folders, whether each process still runs, and their\n"
     "files with sizes. tail prints the last N (default 10) lines of the newest\n"
     "file of process PID (default: the newest of all). Only set writes; nothing\n"
     "is cleared. Exits 1 when a file cannot be read or written or nothing is\n"
     "found, 2 for bad arguments.\n",
     &cmdLog},
    {"db", "list, dump and check object databases",
     "usage: zvutil db tables FILE\n"
     "       zvutil db dump FILE [--class NAME] [--id GUID]\n"
     "       zvutil db check FILE\n"
     "tables prints each class of the database with its count of entries.\n"
     "dump prints the entries (all, those of one class, or the one with that id)\n"
     "with their properties, one a line and indented by nesting: 'name = text'\n"
     "(texts decoded, line breaks shown as \\n), references as\n"
     "'name -> Class{guid}', nested values and aggregated objects as\n"
     "'name (Type)' followed by their own properties. Generic properties show\n"
     "their name in double quotes. It exits 1 when --class or --id select nothing.\n"
     "check prints each finding: a file that does not load, an unknown version,\n"
     "invalid or duplicate ids within a class, references to objects the file\n"
     "does not hold; it exits 1 when there is one, else prints 'FILE: ok'.\n"
     "No application classes are needed: any database of the stored format is\n"
     "read, version 1 (numbered entries) and version 2 (guids) alike.\n"
     "FILE may be a distributed database folder, one file N.zvdb per class N:\n"
     "its class files are taken as one database, so references from one class\n"
     "file to another are checked too.\n",
     &cmdDb},
    {"reg", "read and write registry values",
     "usage: zvutil reg get|del PATH\n"
     "       zvutil reg set PATH VALUE [--number]\n"
     "       zvutil reg keys|values PATH\n"
     "PATH is a root (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT,\n"
     "HKEY_USERS or HKEY_CURRENT_CONFIG, spelled so), keys and, except for keys and\n"
     "values, a value name, separated by backslashes; '@' is a key's default value.\n"
     "get prints the value (numbers in decimal), set writes a text (a 32-bit number\n"
     "with --number) creating missing keys, del removes a value, keys and values\n"
     "list the sub-keys or value names of a key, ignoring case in their order.\n"
     "Names ignore case. On Linux the registry is a SQLite store: $ZV_REGISTRY_DIR,\n"
     "else $XDG_CONFIG_HOME/zvutils, else ~/.config/zvutils (registry.db). Exits 1\n"
     "when the value or key is missing or cannot be written.\n",
     &cmdReg},
    {"pipe", "serve or send messages on a named pipe",
     "usage: zvutil pipe serve NAME [--count N] [--echo]\n"
     "       zvutil pipe send NAME TEXT... [--timeout MS] [--reply]\n"
     "serve creates the pipe NAME on this machine and prints each message it\n"
     "receives, one a line, serving one client after the other; --count ends it\n"
     "after N messages, --echo sends each message back. send connects to the\n"
     "server (waiting up to MS milliseconds, default 5000, for it), sends each\n"
     "TEXT as one message and, with --reply, prints the answer to each. Exits 1\n"
     "when there is no server or a message cannot be sent.\n",
     &cmdPipe},
    {"start", "start a program",
     "usage: zvutil start [--wait] [--env K=V]... [--priority idle|below|normal|above|high] EXE [ARGS...]\n"
     "Starts EXE (a path, or a name looked up along PATH, also with '.exe') in\n"
     "its own folder with ARGS, each passed as one argument. --env adds K=V to\n"
     "the environment the program gets. Without --wait prints the process id;\n"
     "with --wait waits for the end and exits with the program's exit code. On\n"
     "Linux priorities are nice values (raising one needs privileges); on\n"
     "Windows the program gets a console of its own. Exits 1 when EXE cannot be\n"
     "started.\n",
     &cmdStart},
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

void printException(std::ostream& err, const char* command, const zv::exception& e) {
    // The localized message, then each cause from the nearest to the deepest.
    err << "zvutil " << command << ": " << narrowForOutput(e.text()) << "\n";
    for (const zv::locString& cause : e.causes())
        err << "  " << narrowForOutput(zv::locString(cause).string()) << "\n";
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
    } catch (const zv::exception& e) {
        printException(err, c->name, e);
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
