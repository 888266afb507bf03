// Starting processes on Windows: CreateProcessW, suspended with a new
// console, then the priority, then the main thread resumes.
#include "../zvOsSpawn.h"
#include "../zvOs.h"

#include <windows.h>

#include <cwchar>

namespace zv::os {

namespace {

struct priorityRow {
    DWORD processClass;
    int threadPriority;
};

priorityRow priorityOf(spawnRequest::ePriority priority) {
    switch (priority) {
    case spawnRequest::realTime:
        return {REALTIME_PRIORITY_CLASS, THREAD_PRIORITY_TIME_CRITICAL};
    case spawnRequest::high:
        return {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST};
    case spawnRequest::aboveNormal:
        return {ABOVE_NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL};
    case spawnRequest::belowNormal:
        return {BELOW_NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_BELOW_NORMAL};
    case spawnRequest::lowest:
        return {BELOW_NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_LOWEST};
    case spawnRequest::idle:
        return {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE};
    default:
        return {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL};
    }
}

} // namespace

bool spawnProcess(const spawnRequest& request, unsigned long& pid, void*& process, void*& thread) {
    pid = 0;
    process = thread = nullptr;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    if (request.window != spawnRequest::windowDefault) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = request.window == spawnRequest::windowHidden ? SW_HIDE : SW_SHOWMINNOACTIVE;
    }
    std::wstring block;
    if (!request.inheritEnvironment) {
        for (const auto& [name, value] : request.environment) {
            block += name + L"=" + value;
            block += L'\0';
        }
        block += L'\0';
        if (request.environment.empty())
            block += L'\0'; // an empty block still ends with two zeros
    }
    std::wstring commandLine = request.commandLine;
    PROCESS_INFORMATION pi{};
    const DWORD flags =
        CREATE_SUSPENDED | CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT;
    if (!::CreateProcessW(request.executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                          request.inheritEnvironment ? nullptr : block.data(),
                          request.workingFolder.empty() ? nullptr : request.workingFolder.c_str(), &si, &pi))
        return false;
    if (request.priority != spawnRequest::priorityUnchanged) {
        const priorityRow row = priorityOf(request.priority);
        ::SetPriorityClass(pi.hProcess, row.processClass);
        ::SetThreadPriority(pi.hThread, row.threadPriority);
    }
    ::ResumeThread(pi.hThread);
    if (request.inputIdleTimeoutMs > 0)
        ::WaitForInputIdle(pi.hProcess, request.inputIdleTimeoutMs); // console programs answer at once
    pid = pi.dwProcessId;
    process = pi.hProcess;
    thread = pi.hThread;
    return true;
}

bool waitProcessEnd(void* process, unsigned long pid) {
    if (process == nullptr)
        return false;
    HANDLE handle = static_cast<HANDLE>(process);
    for (;;) {
        const DWORD w = ::MsgWaitForMultipleObjects(1, &handle, FALSE, 250, QS_ALLINPUT);
        if (w == WAIT_OBJECT_0)
            return true;
        if (w == WAIT_FAILED)
            return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        // The caller's window came to the front: the child belongs there.
        HWND own = static_cast<HWND>(mainWindow(::GetCurrentProcessId()));
        if (own != nullptr && ::GetForegroundWindow() == own) {
            if (void* child = mainWindow(pid))
                bringToFront(child);
        }
    }
}

environmentList environmentVariables() {
    environmentList list;
    wchar_t* block = ::GetEnvironmentStringsW();
    if (block == nullptr)
        return list;
    for (const wchar_t* p = block; *p != L'\0'; p += std::wcslen(p) + 1) {
        const std::wstring entry(p);
        const std::size_t eq = entry.find(L'=', 1); // "=C:=C:\x" has no name
        if (entry[0] == L'=' || eq == std::wstring::npos)
            continue;
        list.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
    }
    ::FreeEnvironmentStringsW(block);
    return list;
}

} // namespace zv::os
