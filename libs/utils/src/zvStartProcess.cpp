// Starting other programs: finding the executable, the command line, the
// environment block and the flags; the OS layer does the start itself.
#include "zvConfigSet.h"
#include "zvDirectory.h"
#include "zvEnvironment.h"
#include "zvFile.h"
#include "zvProcess.h"
#include "zvSearchPath.h"

#include "os/zvOs.h"
#include "os/zvOsSpawn.h"

#include <algorithm>
#include <cwctype>

namespace zv {

namespace detail {

std::vector<zv::string> splitArguments(const zv::string& text) {
    std::vector<zv::string> args;
    std::size_t i = 0;
    const std::size_t n = text.size();
    for (;;) {
        while (i < n && (text[i] == L' ' || text[i] == L'\t'))
            ++i;
        if (i >= n)
            return args;
        zv::string arg;
        bool quoted = false;
        while (i < n && (quoted || (text[i] != L' ' && text[i] != L'\t'))) {
            if (text[i] == L'\\') {
                std::size_t slashes = 0;
                while (i < n && text[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && text[i] == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        arg += L'"';
                        ++i;
                    }
                    // an even count leaves the quote to the code below
                } else {
                    arg.append(slashes, L'\\');
                }
                continue;
            }
            if (text[i] == L'"') {
                if (quoted && i + 1 < n && text[i + 1] == L'"') {
                    arg += L'"'; // "" inside quotes
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += text[i++];
        }
        args.push_back(arg);
    }
}

zv::string quoteArgument(const zv::string& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    zv::string out(L"\"");
    std::size_t slashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"')
            out.append(2 * slashes + 1, L'\\'); // each doubled, and one for the quote
        else
            out.append(slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(2 * slashes, L'\\'); // before the closing quote
    out += L'"';
    return out;
}

} // namespace detail

namespace {

bool sameName(const zv::string& a, const zv::string& b) {
#ifdef _WIN32
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
#else
    return a == b;
#endif
}

// The set as the new process's environment: valid names only, the last
// value of a name given twice in the place of its first appearance.
os::environmentList environmentOf(const zv::configSet& set) {
    os::environmentList list;
    zv::string name, value;
    for (unsigned int i = 0; set.getKeyAndValue(i, name, value); ++i) {
        if (name.empty() || name.find(L'=') != std::wstring::npos || name.find(L'\0') != std::wstring::npos)
            continue;
        bool replaced = false;
        for (auto& entry : list) {
            if (sameName(zv::string(entry.first), name)) {
                entry.second = value;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            list.emplace_back(name, value);
    }
    return list;
}

bool findExecutable(const zv::string& name, zv::file& found) {
    if (name.empty())
        return false;
    const zv::file direct(name);
    if (direct.exists()) {
        found = direct;
        return true;
    }
    zv::searchPath path;
    zv::searchPath::fromDollarPath(path);
    return path.findFile(name, found, false) || path.findFile(name + L".exe", found, false);
}

os::spawnRequest::ePriority priorityOf(int flags) {
    static const struct {
        int flag;
        os::spawnRequest::ePriority priority;
    } rows[] = {{startRealTime, os::spawnRequest::realTime},
                {startHigh, os::spawnRequest::high},
                {startAboveNormal, os::spawnRequest::aboveNormal},
                {startNormal, os::spawnRequest::normal},
                {startBelowNormal, os::spawnRequest::belowNormal},
                {startLowest, os::spawnRequest::lowest},
                {startIdle, os::spawnRequest::idle}};
    for (const auto& row : rows)
        if ((flags & row.flag) != 0)
            return row.priority;
    return os::spawnRequest::priorityUnchanged;
}

bool start(const zv::string& executable, const zv::string& arguments, const zv::configSet* environment,
           int flags, unsigned long* pid, void** process, void** thread) {
    zv::file exe;
    if (!findExecutable(executable, exe))
        return false;
    if ((flags & startOneInstance) != 0) {
        if (const unsigned long running = processIsRunning(exe.name(0))) {
            if (pid != nullptr)
                *pid = running;
            return processToTop(running);
        }
    }

    os::spawnRequest request;
    request.executable = exe;
    request.commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        request.commandLine += L" " + arguments;
    for (const zv::string& a : detail::splitArguments(arguments))
        request.argv.push_back(a);
    request.workingFolder = exe.path(fsEntryName::withDrive);
    if ((flags & startMinimized) != 0)
        request.window = os::spawnRequest::windowMinimized;
    else if ((flags & startHidden) != 0)
        request.window = os::spawnRequest::windowHidden;
    if (environment != nullptr && environment->keyCount() > 0) {
        request.inheritEnvironment = false;
        request.environment = environmentOf(*environment);
    }
    request.priority = priorityOf(flags);
    if ((flags & startWait) != 0 || (flags & startNoInputIdle) == 0)
        request.inputIdleTimeoutMs = startInputIdleTimeout;

    unsigned long newPid = 0;
    void* processHandle = nullptr;
    void* threadHandle = nullptr;
    if (!os::spawnProcess(request, newPid, processHandle, threadHandle))
        return false;
    if (pid != nullptr)
        *pid = newPid;
    if ((flags & startWait) != 0)
        os::waitProcessEnd(processHandle, newPid);
    if (process != nullptr)
        *process = processHandle;
    else
        os::closeHandle(processHandle);
    if (thread != nullptr)
        *thread = threadHandle;
    else if (threadHandle != nullptr)
        os::closeHandle(threadHandle);
    return true;
}

// Linux has no notepad: the user's editor, else the desktop's opener. The
// editor variables may hold arguments of their own ("code --wait").
bool openInEditor(const zv::string& file, bool wait, const wchar_t* windowsProgram) {
    zv::string name = file;
    const bool quoted = !name.empty() && name[0] == L'"';
#ifdef _WIN32
    const zv::string argument = quoted ? name : L"\"" + name + L"\"";
    return startProcess(zv::string(windowsProgram), argument, zv::configSet(), wait ? startWait : 0);
#else
    (void)windowsProgram;
    if (quoted) {
        const std::vector<zv::string> parts = detail::splitArguments(name);
        name = parts.empty() ? zv::string() : parts.front();
    }
    const zv::string host = zv::fsEntryName(name).hostPath();
    for (const wchar_t* variable : {L"VISUAL", L"EDITOR", static_cast<const wchar_t*>(nullptr)}) {
        zv::string command(L"xdg-open");
        if (variable != nullptr && !getEnvironmentVariable(variable, command))
            continue;
        std::vector<zv::string> words = detail::splitArguments(command);
        zv::file program;
        if (words.empty() || !findExecutable(words.front(), program))
            continue;
        zv::string arguments;
        for (std::size_t i = 1; i < words.size(); ++i)
            arguments += detail::quoteArgument(words[i]) + L" ";
        arguments += detail::quoteArgument(host);
        return startProcess(program, arguments, zv::configSet(), wait ? startWait : 0);
    }
    return false;
#endif
}

} // namespace

bool startProcess(const zv::string& executable, const zv::string& arguments, const zv::configSet& environment,
                  int flags, unsigned long* pid, void** process, void** thread) {
    return start(executable, arguments, &environment, flags, pid, process, thread);
}

bool startProcess(const zv::string& executable, const zv::string& arguments, int flags, unsigned long* pid,
                  void** process, void** thread) {
    return start(executable, arguments, nullptr, flags, pid, process, thread);
}

bool startNotepad(const zv::string& file, bool wait) {
    return openInEditor(file, wait, L"notepad.exe");
}

bool startWrite(const zv::string& file, bool wait) {
    return openInEditor(file, wait, L"write.exe");
}

} // namespace zv
