// The registry on Windows: the system's, key by key from the root; every key
// opened for a call is closed again, in reverse order, before it returns.
#include "../zvOsRegistry.h"

#include <windows.h>

namespace zv::os {

namespace {

HKEY rootKey(const std::wstring& root) {
    if (root == L"HKEY_CLASSES_ROOT")
        return HKEY_CLASSES_ROOT;
    if (root == L"HKEY_CURRENT_USER")
        return HKEY_CURRENT_USER;
    if (root == L"HKEY_LOCAL_MACHINE")
        return HKEY_LOCAL_MACHINE;
    if (root == L"HKEY_USERS")
        return HKEY_USERS;
    if (root == L"HKEY_CURRENT_CONFIG")
        return HKEY_CURRENT_CONFIG;
    return nullptr;
}

// The keys opened on the way down, closed when it goes.
class keyChain {
public:
    keyChain(const std::wstring& root, const std::vector<std::wstring>& keys, REGSAM access, bool create) {
        HKEY current = rootKey(root);
        if (current == nullptr)
            return;
        for (const std::wstring& name : keys) {
            HKEY next = nullptr;
            const LONG rc = create
                                ? ::RegCreateKeyExW(current, name.c_str(), 0, nullptr,
                                                    REG_OPTION_NON_VOLATILE, access, nullptr, &next, nullptr)
                                : ::RegOpenKeyExW(current, name.c_str(), 0, access, &next);
            if (rc != ERROR_SUCCESS)
                return;
            m_opened.push_back(next);
            current = next;
        }
        m_key = current;
    }
    ~keyChain() {
        for (auto it = m_opened.rbegin(); it != m_opened.rend(); ++it)
            ::RegCloseKey(*it);
    }
    keyChain(const keyChain&) = delete;
    keyChain& operator=(const keyChain&) = delete;

    HKEY key() const { return m_key; }

private:
    std::vector<HKEY> m_opened;
    HKEY m_key = nullptr;
};

} // namespace

bool regRead(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
             std::wstring& text, std::size_t maxLength) {
    keyChain chain(root, keys, KEY_QUERY_VALUE, false);
    if (chain.key() == nullptr)
        return false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (::RegQueryValueExW(chain.key(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        if (type == REG_DWORD || type == REG_QWORD) {
            unsigned long long number = 0;
            DWORD numberSize = sizeof number;
            if (::RegQueryValueExW(chain.key(), name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&number), &numberSize) != ERROR_SUCCESS)
                return false;
            text = std::to_wstring(type == REG_DWORD ? static_cast<unsigned int>(number) : number);
            return true;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return false;
        if (size / sizeof(wchar_t) > maxLength + 1)
            return false;
        std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG rc = ::RegQueryValueExW(chain.key(), name.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (rc == ERROR_MORE_DATA)
            continue; // it grew meanwhile
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return false;
        buffer.resize(got / sizeof(wchar_t));
        while (!buffer.empty() && buffer.back() == L'\0')
            buffer.pop_back();
        if (buffer.size() > maxLength)
            return false;
        text = buffer;
        return true;
    }
    return false;
}

bool regWriteText(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
                  const std::wstring& text) {
    keyChain chain(root, keys, KEY_SET_VALUE, true);
    return chain.key() != nullptr &&
           ::RegSetValueExW(chain.key(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool regWriteNumber(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name,
                    unsigned int number) {
    keyChain chain(root, keys, KEY_SET_VALUE, true);
    const DWORD value = number;
    return chain.key() != nullptr &&
           ::RegSetValueExW(chain.key(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value) == ERROR_SUCCESS;
}

bool regRemove(const std::wstring& root, const std::vector<std::wstring>& keys, const std::wstring& name) {
    keyChain chain(root, keys, KEY_SET_VALUE, false);
    return chain.key() != nullptr && ::RegDeleteValueW(chain.key(), name.c_str()) == ERROR_SUCCESS;
}

bool regList(const std::wstring& root, const std::vector<std::wstring>& keys, bool values,
             std::vector<std::wstring>& names) {
    names.clear();
    keyChain chain(root, keys, values ? KEY_QUERY_VALUE : KEY_ENUMERATE_SUB_KEYS, false);
    if (chain.key() == nullptr)
        return false;
    std::wstring buffer(256, L'\0');
    for (DWORD index = 0;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const LONG rc = values ? ::RegEnumValueW(chain.key(), index, buffer.data(), &size, nullptr, nullptr,
                                                 nullptr, nullptr)
                               : ::RegEnumKeyExW(chain.key(), index, buffer.data(), &size, nullptr, nullptr,
                                                 nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return true;
        if (rc == ERROR_MORE_DATA && buffer.size() < 65536) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return false;
        names.emplace_back(buffer.data(), size);
        ++index;
    }
}

} // namespace zv::os
