#include "zvRegistry.h"

#include "os/zvOsRegistry.h"

#include <algorithm>
#include <cwctype>

namespace zv {

namespace {

bool validRoot(const std::wstring& root) {
    static const wchar_t* const roots[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                           L"HKEY_USERS", L"HKEY_CURRENT_CONFIG"};
    return std::any_of(std::begin(roots), std::end(roots), [&](const wchar_t* r) { return root == r; });
}

// Splits a path into root, keys and (with `withValue`) the value name, the
// default value's "@" becoming the empty name.
bool parsePath(const wchar_t* path, bool withValue, std::wstring& root, std::vector<std::wstring>& keys,
               std::wstring& value) {
    if (path == nullptr)
        return false;
    std::vector<std::wstring> parts(1);
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (*p == L'\\')
            parts.emplace_back();
        else
            parts.back() += *p;
    }
    if (!withValue && parts.size() > 1 && parts.back().empty())
        parts.pop_back(); // "root\key\" names the key
    root = parts.front();
    if (!validRoot(root) || (withValue && parts.size() < 2))
        return false;
    const std::size_t keyEnd = withValue ? parts.size() - 1 : parts.size();
    keys.assign(parts.begin() + 1, parts.begin() + static_cast<std::ptrdiff_t>(keyEnd));
    if (std::any_of(keys.begin(), keys.end(), [](const std::wstring& k) { return k.empty(); }))
        return false;
    if (withValue) {
        value = parts.back();
        if (value.empty())
            return false;
        if (value == L"@")
            value.clear();
    }
    return true;
}

bool lessIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
        return std::towlower(static_cast<wint_t>(x)) < std::towlower(static_cast<wint_t>(y));
    });
}

bool listNames(const wchar_t* path, bool values, std::vector<zv::string>& out) {
    std::wstring root, unused;
    std::vector<std::wstring> keys, names;
    if (!parsePath(path, false, root, keys, unused) || !os::regList(root, keys, values, names))
        return false;
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    out.clear();
    for (const std::wstring& name : names)
        out.emplace_back(values && name.empty() ? std::wstring(L"@") : name);
    return true;
}

} // namespace

zv::string regGetValue(const wchar_t* path) {
    std::wstring root, name, text;
    std::vector<std::wstring> keys;
    if (!parsePath(path, true, root, keys, name) || !os::regRead(root, keys, name, text, regMaxValueLength))
        return zv::string();
    return zv::string(text);
}

bool regSetValue(const wchar_t* path, const wchar_t* value) {
    std::wstring root, name;
    std::vector<std::wstring> keys;
    const std::wstring text = value != nullptr ? value : L"";
    return text.size() <= regMaxValueLength && parsePath(path, true, root, keys, name) &&
           os::regWriteText(root, keys, name, text);
}

bool regSetValue(const wchar_t* path, unsigned long value) {
    std::wstring root, name;
    std::vector<std::wstring> keys;
    return value <= 0xFFFFFFFFul && parsePath(path, true, root, keys, name) &&
           os::regWriteNumber(root, keys, name, static_cast<unsigned int>(value));
}

bool regRemoveValue(const wchar_t* path) {
    std::wstring root, name;
    std::vector<std::wstring> keys;
    return parsePath(path, true, root, keys, name) && os::regRemove(root, keys, name);
}

bool regGetKeys(const wchar_t* path, std::vector<zv::string>& keys) {
    return listNames(path, false, keys);
}

bool regGetValues(const wchar_t* path, std::vector<zv::string>& values) {
    return listNames(path, true, values);
}

} // namespace zv
