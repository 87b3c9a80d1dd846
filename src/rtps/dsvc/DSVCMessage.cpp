#include "rtps/dsvc/DSVCMessage.h"

#include <cstring>

#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/wire/ByteCursor.h"

namespace RTPS {

namespace {

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

void putU64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

void putBytes(std::vector<uint8_t>& out, void const* p, size_t n) {
    auto const* b = static_cast<uint8_t const*>(p);
    out.insert(out.end(), b, b + n);
}

std::vector<uint8_t> startMessage(uint32_t total, uint64_t tag) {
    std::vector<uint8_t> out;
    out.reserve(total);
    putU32(out, total);
    putU64(out, tag);
    return out;
}

}  // namespace

char const* dsvcTagName(uint64_t tag) {
    switch (tag) {
        case DSVC_TAG_INIT:
            return "INIT";
        case DSVC_TAG_SMPL:
            return "SMPL";
        case DSVC_TAG_PAUS:
            return "PAUS";
        case DSVC_TAG_STOP:
            return "STOP";
        case DSVC_TAG_CONNECTED:
            return "CONNECTED";
        default:
            return "?";
    }
}

std::vector<uint8_t> buildDsvcInit(GUID_t const& reader) {
    std::vector<uint8_t> out = startMessage(DSVC_INIT_SIZE, DSVC_TAG_INIT);
    putBytes(out, reader.guidPrefix, GUID_PREFIX_SIZE);
    putBytes(out, &reader.entityId, sizeof reader.entityId);
    putU32(out, 0);  // reserved
    return out;
}

std::vector<uint8_t> buildDsvcEmpty(uint64_t tag) {
    return startMessage(DSVC_HEAD_SIZE, tag);
}

std::vector<uint8_t> buildDsvcSample(HistoricalSampleInfo const& s) {
    if (s.dataLength > DSVC_MAX_SAMPLE_SIZE || (s.dataLength != 0 && s.data == nullptr)) {
        return {};
    }
    uint32_t const total = DSVC_SMPL_OVERHEAD + static_cast<uint32_t>(s.dataLength);
    std::vector<uint8_t> out = startMessage(total, DSVC_TAG_SMPL);
    for (uint32_t word : s.writerGuidPrefix) {
        putU32(out, word);
    }
    putU32(out, s.writerEntityId);
    putBytes(out, s.keyHash, sizeof s.keyHash);
    putU32(out, static_cast<uint32_t>(s.instanceHandle));
    putU32(out, s.statusFlags);
    putU32(out, static_cast<uint32_t>(s.sourceTimestamp.sec));
    putU32(out, s.sourceTimestamp.nanosec);
    putU64(out, s.dataLength);
    putU32(out, static_cast<uint32_t>(s.sequenceNumber.high));
    putU32(out, s.sequenceNumber.low);
    putBytes(out, s.data, static_cast<size_t>(s.dataLength));
    return out;
}

bool parseDsvcInit(uint8_t const* body, size_t length, GUID_t& reader) {
    if (length != DSVC_INIT_BODY_SIZE) {
        return false;
    }
    ByteCursor in(body, length);
    in.readBytes(reader.guidPrefix, GUID_PREFIX_SIZE);
    in.readBytes(&reader.entityId, sizeof reader.entityId);
    return in.skip(4);
}

bool parseDsvcSample(uint8_t const* body, size_t length, DSVCSampleView& out) {
    out = DSVCSampleView{};
    ByteCursor in(body, length, ByteOrder::Little);
    uint32_t flags = 0, sec = 0, nanosec = 0, high = 0;
    int32_t handle = 0;
    in.readBytes(out.writer.guidPrefix, GUID_PREFIX_SIZE);
    in.readBytes(&out.writer.entityId, sizeof out.writer.entityId);
    in.readBytes(out.head.keyHash, sizeof out.head.keyHash);
    in.readI32(handle);
    in.readU32(flags);
    in.readU32(sec);
    in.readU32(nanosec);
    in.readU64(out.dataLength);
    in.readU32(high);
    in.readU32(out.sequenceNumber.low);
    // Compared with what is left, never summed: a length near 2^64 must not wrap into a match.
    if (!in.ok() || out.dataLength != in.remaining()) {
        return false;
    }
    out.head.instanceHandle = handle;
    out.head.statusFlags = flags;
    out.head.sourceTimestamp = {static_cast<int32_t>(sec), nanosec};
    out.sequenceNumber.high = static_cast<int32_t>(high);
    return in.readView(out.data, static_cast<size_t>(out.dataLength));
}

}  // namespace RTPS
