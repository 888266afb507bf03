#include "zvEnvironment.h"

#include "zvConfigSet.h"

#include "os/zvOs.h"
#include "os/zvOsSpawn.h"

namespace zv {

bool getEnvironmentVariable(const wchar_t* name, zv::string& value) {
    value.clear();
    std::wstring text;
    if (!os::getEnv(name, text))
        return false;
    value = std::move(text);
    return !value.empty();
}

bool setEnvironmentVariable(const wchar_t* name, const wchar_t* value) {
    return os::setEnv(name, value);
}

bool getUserName(zv::string& name) {
    std::wstring text;
    os::userName(text);
    name = std::move(text);
    return !name.empty();
}

bool getComputerName(zv::string& name) {
    std::wstring text;
    os::computerName(text);
    name = std::move(text);
    return !name.empty();
}

void getEnvironmentVariables(zv::configSet& variables) {
    for (const auto& [name, value] : os::environmentVariables())
        variables.setValue(zv::string(name), zv::string(value));
}

} // namespace zv
