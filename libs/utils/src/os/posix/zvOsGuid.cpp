// Identities from libuuid. Its bytes are in network order; the Windows field
// layout keeps the first three groups as numbers, so they are assembled here.
#include "../zvOs.h"

#include <uuid/uuid.h>

namespace zv::os {

namespace {

void fromBytes(const uuid_t bytes, guidFields& out) {
    out.data1 = (static_cast<unsigned int>(bytes[0]) << 24) | (static_cast<unsigned int>(bytes[1]) << 16) |
                (static_cast<unsigned int>(bytes[2]) << 8) | bytes[3];
    out.data2 = static_cast<unsigned short>((bytes[4] << 8) | bytes[5]);
    out.data3 = static_cast<unsigned short>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        out.data4[i] = bytes[8 + i];
}

void toBytes(const guidFields& id, uuid_t bytes) {
    bytes[0] = static_cast<unsigned char>(id.data1 >> 24);
    bytes[1] = static_cast<unsigned char>(id.data1 >> 16);
    bytes[2] = static_cast<unsigned char>(id.data1 >> 8);
    bytes[3] = static_cast<unsigned char>(id.data1);
    bytes[4] = static_cast<unsigned char>(id.data2 >> 8);
    bytes[5] = static_cast<unsigned char>(id.data2);
    bytes[6] = static_cast<unsigned char>(id.data3 >> 8);
    bytes[7] = static_cast<unsigned char>(id.data3);
    for (int i = 0; i < 8; ++i)
        bytes[8 + i] = id.data4[i];
}

} // namespace

bool createSequentialGuid(guidFields& out) {
    uuid_t bytes;
    uuid_generate_time(bytes);
    fromBytes(bytes, out);
    return true;
}

bool createRandomGuid(guidFields& out) {
    uuid_t bytes;
    uuid_generate_random(bytes);
    fromBytes(bytes, out);
    return true;
}

bool guidToString(const guidFields& id, std::wstring& text) {
    uuid_t bytes;
    toBytes(id, bytes);
    char buffer[37];
    uuid_unparse_lower(bytes, buffer);
    text.assign(buffer, buffer + 36); // hexadecimal digits and "-": ASCII only
    return true;
}

} // namespace zv::os
