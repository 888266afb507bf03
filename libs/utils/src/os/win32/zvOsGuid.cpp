// Identities from the RPC runtime.
#include "../zvOs.h"

#include <windows.h>

#include <rpc.h>

#include <cstring>

namespace zv::os {

namespace {

static_assert(sizeof(UUID) == sizeof(guidFields), "the field layout of UUID");

UUID toUuid(const guidFields& id) {
    UUID u;
    u.Data1 = id.data1;
    u.Data2 = id.data2;
    u.Data3 = id.data3;
    std::memcpy(u.Data4, id.data4, sizeof u.Data4);
    return u;
}

void fromUuid(const UUID& u, guidFields& out) {
    out.data1 = u.Data1;
    out.data2 = u.Data2;
    out.data3 = u.Data3;
    std::memcpy(out.data4, u.Data4, sizeof out.data4);
}

bool made(RPC_STATUS status) {
    return status == RPC_S_OK || status == RPC_S_UUID_LOCAL_ONLY;
}

} // namespace

bool createSequentialGuid(guidFields& out) {
    UUID u;
    if (!made(UuidCreateSequential(&u)))
        return false;
    fromUuid(u, out);
    return true;
}

bool createRandomGuid(guidFields& out) {
    UUID u;
    if (!made(UuidCreate(&u)))
        return false;
    fromUuid(u, out);
    return true;
}

bool guidToString(const guidFields& id, std::wstring& text) {
    UUID u = toUuid(id);
    RPC_WSTR s = nullptr;
    if (UuidToStringW(&u, &s) != RPC_S_OK || !s)
        return false;
    text.assign(reinterpret_cast<const wchar_t*>(s));
    RpcStringFreeW(&s);
    return true;
}

} // namespace zv::os
