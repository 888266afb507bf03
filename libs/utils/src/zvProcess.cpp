#include "zvProcess.h"

#include "zvDirectory.h"
#include "zvFile.h"

#include "os/zvOs.h"

#include <vector>

namespace zv {

namespace {

// The file name part of `name`, without a trailing ".exe" (any case): the
// form in which executables are compared.
std::wstring comparableExeName(const std::wstring& name) {
    const std::size_t delimiter = name.find_last_of(L"\\/");
    zv::string base(delimiter == std::wstring::npos ? name : name.substr(delimiter + 1));
    base.toLower();
    if (base.size() > 4 && base.compare(base.size() - 4, 4, L".exe") == 0)
        base.resize(base.size() - 4);
    return base;
}

unsigned long findProcess(const zv::string& name, unsigned long skip) {
    const std::wstring wanted = comparableExeName(name);
    if (wanted.empty())
        return 0;
    std::vector<os::processEntry> processes;
    if (!os::listProcesses(processes))
        return 0;
    for (const os::processEntry& p : processes)
        if (p.pid != skip && comparableExeName(p.exeName) == wanted)
            return p.pid;
    return 0;
}

} // namespace

void sleep(unsigned int milliseconds) {
    os::sleepMs(milliseconds);
}

unsigned long getCurrentProcessId() {
    return os::currentProcessId();
}

unsigned long getCurrentThreadId() {
    return os::currentThreadId();
}

void* openProcess(unsigned long pid) {
    return os::openProcess(pid);
}

bool closeHandle(void* handle) {
    return os::closeHandle(handle);
}

bool getExitCodeProcess(void* handle, long* exitCode) {
    long code = 0;
    if (exitCode == nullptr || !os::processExitCode(handle, code))
        return false;
    *exitCode = code;
    return true;
}

bool processIsRunning(unsigned long pid) {
    return os::processIsRunning(pid);
}

bool terminateProcess(unsigned long pid) {
    return os::terminateProcess(pid);
}

unsigned long processIsRunning(const zv::string& name) {
    return findProcess(name, 0);
}

unsigned long processIsRunningElsewhere(const zv::string& name) {
    return findProcess(name, os::currentProcessId());
}

void* mainHWND() {
    return os::mainWindow(os::currentProcessId());
}

bool processToTop(unsigned long pid) {
    void* window = os::mainWindow(pid);
    return window != nullptr && os::bringToFront(window);
}

void* getModuleHandle(const zv::string& module) {
    return module.empty() ? os::ownModule() : os::findModule(module.c_str());
}

bool getModuleFileName(void* module, zv::file& result) {
    std::wstring name;
    if (!os::moduleFileName(module, name))
        return false;
    const zv::file found{zv::string(name)};
    if (found.empty())
        return false;
    result = found;
    return true;
}

bool getModuleFileName(const zv::string& module, zv::file& result) {
    void* handle = getModuleHandle(module);
    return handle != nullptr && getModuleFileName(handle, result);
}

bool getModulePath(void* module, zv::directory& dir) {
    zv::file found;
    if (!getModuleFileName(module, found))
        return false;
    dir = zv::directory(found.path(fsEntryName::withDrive));
    return !dir.empty();
}

bool getModulePath(const zv::string& module, zv::directory& dir) {
    void* handle = getModuleHandle(module);
    return handle != nullptr && getModulePath(handle, dir);
}

} // namespace zv
