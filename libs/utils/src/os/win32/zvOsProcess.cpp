// Processes, threads and modules on Windows: kernel handles, the Toolhelp
// process snapshot, window enumeration and the module loader.
#include "../zvOs.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cwctype>

namespace zv::os {

namespace {

bool equalIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && ::_wcsicmp(a.c_str(), b.c_str()) == 0;
}

struct windowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK considerWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<windowSearch*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid || !::IsWindowVisible(window) || ::GetWindow(window, GW_OWNER) != nullptr)
        return TRUE;
    search->found = window;
    return FALSE;
}

bool fullModuleName(HMODULE module, std::wstring& name) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return false;
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        if (buffer.size() > 32768)
            return false;
        buffer.resize(buffer.size() * 2);
    }
    // "\\?\" long-name prefixes are not part of the library's names.
    if (buffer.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        buffer = L"\\\\" + buffer.substr(8);
    else if (buffer.compare(0, 4, L"\\\\?\\") == 0)
        buffer = buffer.substr(4);
    name = buffer;
    return true;
}

} // namespace

// ---- processes and threads ---------------------------------------------

void sleepMs(unsigned int milliseconds) {
    ::Sleep(milliseconds);
}

unsigned long currentProcessId() {
    return ::GetCurrentProcessId();
}

unsigned long currentThreadId() {
    return ::GetCurrentThreadId();
}

void* openProcess(unsigned long pid) {
    if (pid == 0)
        return nullptr;
    return ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
}

bool closeHandle(void* handle) {
    return handle != nullptr && ::CloseHandle(handle) != 0;
}

bool processExitCode(void* handle, long& exitCode) {
    DWORD code = 0;
    if (handle == nullptr || !::GetExitCodeProcess(handle, &code))
        return false;
    exitCode = static_cast<long>(code);
    return true;
}

bool processIsRunning(unsigned long pid) {
    if (pid == 0)
        return false;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return false;
    DWORD code = 0;
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

bool terminateProcess(unsigned long pid) {
    if (pid == 0)
        return false;
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (process == nullptr)
        return false;
    const bool done = ::TerminateProcess(process, 0) != 0;
    ::CloseHandle(process);
    return done;
}

bool listProcesses(std::vector<processEntry>& processes) {
    processes.clear();
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        std::wstring name(entry.szExeFile);
        const std::size_t delimiter = name.find_last_of(L"\\/");
        if (delimiter != std::wstring::npos)
            name.erase(0, delimiter + 1);
        processes.push_back({entry.th32ProcessID, name});
    }
    ::CloseHandle(snapshot);
    return true;
}

void* mainWindow(unsigned long pid) {
    windowSearch search{pid, nullptr};
    ::EnumWindows(&considerWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool bringToFront(void* window) {
    HWND hwnd = static_cast<HWND>(window);
    if (hwnd == nullptr || !::IsWindow(hwnd))
        return false;
    if (::IsIconic(hwnd))
        ::ShowWindow(hwnd, SW_RESTORE);
    return ::SetForegroundWindow(hwnd) != 0;
}

// ---- modules -----------------------------------------------------------

void* ownModule() {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&ownModule), &module))
        return nullptr;
    return module;
}

void* findModule(const wchar_t* fileName) {
    if (fileName == nullptr || *fileName == L'\0')
        return nullptr;
    if (HMODULE module = ::GetModuleHandleW(fileName))
        return module;
    // The system adds ".dll" to a name without extension; an executable
    // named without its ".exe" is found through the process's own name.
    std::wstring exe;
    if (fullModuleName(nullptr, exe)) {
        std::wstring wanted(fileName);
        std::wstring base = exe.substr(exe.find_last_of(L"\\/") + 1);
        if (equalIgnoringCase(wanted, base) || equalIgnoringCase(wanted + L".exe", base) ||
            equalIgnoringCase(wanted, exe))
            return ::GetModuleHandleW(nullptr);
    }
    return nullptr;
}

bool moduleFileName(void* module, std::wstring& name) {
    name.clear();
    return fullModuleName(static_cast<HMODULE>(module), name);
}

void* loadModule(const wchar_t* libraryPath) {
    if (libraryPath == nullptr || *libraryPath == L'\0')
        return nullptr;
    const bool withFolder = std::wstring(libraryPath).find_first_of(L"\\/") != std::wstring::npos;
    // With a folder, the modules it depends on are looked for beside it.
    return ::LoadLibraryExW(libraryPath, nullptr, withFolder ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
}

void* moduleSymbol(void* module, const char* name) {
    if (module == nullptr || name == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

bool unloadModule(void* module) {
    return module != nullptr && ::FreeLibrary(static_cast<HMODULE>(module)) != 0;
}

} // namespace zv::os
