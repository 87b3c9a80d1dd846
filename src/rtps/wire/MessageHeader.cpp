#include "rtps/wire/MessageHeader.h"

#include <cstring>

#include "rtps/wire/ByteCursor.h"

namespace RTPS {

namespace {
constexpr uint8_t PROTOCOL_ID[4] = {'R', 'T', 'P', 'S'};
}

void writeMessageHeader(uint8_t* out, uint8_t const* guidPrefix) {
    std::memcpy(out, PROTOCOL_ID, 4);
    out[4] = PROTOCOL_VERSION_MAJOR;
    out[5] = PROTOCOL_VERSION_MINOR;
    out[6] = VENDOR_ID[0];
    out[7] = VENDOR_ID[1];
    std::memcpy(out + 8, guidPrefix, GUID_PREFIX_SIZE);
}

bool parseMessageHeader(uint8_t const* datagram, size_t length, MessageHeader& out) {
    ByteCursor c(datagram, length);
    uint8_t id[4];
    if (!c.readBytes(id, 4) || std::memcmp(id, PROTOCOL_ID, 4) != 0) {
        return false;
    }
    return c.readU8(out.versionMajor) && c.readU8(out.versionMinor) &&
           c.readBytes(out.vendorId, 2) && c.readBytes(out.guidPrefix, GUID_PREFIX_SIZE);
}

}  // namespace RTPS
