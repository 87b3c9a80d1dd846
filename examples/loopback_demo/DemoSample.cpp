#include "DemoSample.h"

#include "vexa_pack.h"

std::vector<uint8_t> DemoSample::pack() const {
    const unsigned size = 4 + 4 + 4 + static_cast<unsigned>(source.size()) + 1 + 8 + 8 + 4 +
                          static_cast<unsigned>(blob.size());
    std::vector<uint8_t> out(size);
    VEXA_PACK::pack(VEXA_PACK::ex_CDR_HEADER_LE, out.data(), size);
    uint8_t* body = out.data() + 4;
    const unsigned len = size - 4;
    unsigned pos = VEXA_PACK::packPrimitive(id, body, 0, len);
    pos = VEXA_PACK::pack(source, body, pos, len);
    pos = VEXA_PACK::packPrimitive(value, body, pos, len);
    pos = VEXA_PACK::pack(blob, body, pos, len);
    out.resize(pos == 0 ? 0 : pos + 4);
    return out;
}

bool DemoSample::unpack(const uint8_t* data, uint64_t length) {
    if (length < 4 || length > UINT32_MAX) {
        return false;
    }
    VEXA_PACK::CDR_HEADER header{};
    VEXA_PACK::unpack(header, data, static_cast<unsigned>(length));  // length >= 4: never fails
    const bool swap = header.Encapsulation != VEXA_PACK::CDR_LE;
    const uint8_t* body = data + 4;
    const unsigned len = static_cast<unsigned>(length - 4);
    unsigned pos = 0;
    if (swap) {
        pos = VEXA_PACK::unpackPrimitiveCH(id, body, pos, len);
        pos = pos ? VEXA_PACK::unpackCH(source, body, pos, len) : 0;
        pos = pos ? VEXA_PACK::unpackPrimitiveCH(value, body, pos, len) : 0;
        pos = pos ? VEXA_PACK::unpackPrimitiveCH(blob, body, pos, len) : 0;
    } else {
        pos = VEXA_PACK::unpackPrimitive(id, body, pos, len);
        pos = pos ? VEXA_PACK::unpack(source, body, pos, len) : 0;
        pos = pos ? VEXA_PACK::unpackPrimitive(value, body, pos, len) : 0;
        pos = pos ? VEXA_PACK::unpackPrimitive(blob, body, pos, len) : 0;
    }
    return pos != 0;
}
