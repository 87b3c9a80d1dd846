#include "rtps/wire/SubmessageDecoder.h"

#include <cstring>

#include "rtps/wire/ByteCursor.h"
#include "rtps/wire/Parameter.h"
#include "rtps/wire/SubmessageKind.h"

namespace RTPS {

namespace {

// A cursor over the body of a submessage of the expected kind.
bool body(SubmessageSpan const& s, uint8_t kind, ByteCursor& c) {
    if (s.data == nullptr || s.length < SUBMESSAGE_HEADER_SIZE || s.kind != kind) {
        return false;
    }
    c = ByteCursor(s.data + SUBMESSAGE_HEADER_SIZE, s.length - SUBMESSAGE_HEADER_SIZE);
    return true;
}

bool readEntityId(ByteCursor& c, EntityId_t& id) {
    return c.readBytes(&id, sizeof id);
}

bool readSequenceNumber(ByteCursor& c, SequenceNumber_t& sn) {
    return c.readI32(sn.high) && c.readU32(sn.low);
}

// Walks the inline QoS list at the cursor and steps over it.
bool readInlineQos(ByteCursor& c, DataFields& out) {
    uint8_t const* start = c.position();
    for (;;) {
        uint16_t id = 0;
        uint16_t length = 0;
        if (!c.readU16(id) || !c.readU16(length)) {
            return false;
        }
        if (id == PID_SENTINEL) {
            break;
        }
        uint8_t const* value = nullptr;
        if (!c.readView(value, length)) {
            return false;
        }
        // The two values the engine reads have their own sizes; any other would be read wrongly.
        if (id == PID_KEY_HASH) {
            if (length != KEY_HASH_SIZE) {
                return false;
            }
            out.hasKeyHash = true;
            std::memcpy(out.keyHash, value, KEY_HASH_SIZE);
        } else if (id == PID_STATUS_INFO) {
            if (length < STATUS_INFO_SIZE) {
                return false;
            }
            out.hasStatusInfo = true;
            out.statusInfo = value[0];
        }
    }
    out.inlineQos = start;
    out.inlineQosLength = static_cast<uint16_t>(c.position() - start);
    return true;
}

}  // namespace

bool decodeAckNack(SubmessageSpan const& s, AckNackFields& out) {
    ByteCursor c;
    if (!body(s, ACKNACK, c)) {
        return false;
    }
    out.final = (s.flags & ACKNACK_FLAG_FINAL) != 0;
    return readEntityId(c, out.readerId) && readEntityId(c, out.writerId) &&
           readSequenceNumberSet(c, out.readerSNState) && c.readU32(out.count);
}

bool decodeHeartbeat(SubmessageSpan const& s, HeartbeatFields& out) {
    ByteCursor c;
    if (!body(s, HEARTBEAT, c)) {
        return false;
    }
    out.final = (s.flags & HEARTBEAT_FLAG_FINAL) != 0;
    out.liveliness = (s.flags & HEARTBEAT_FLAG_LIVELINESS) != 0;
    return readEntityId(c, out.readerId) && readEntityId(c, out.writerId) &&
           readSequenceNumber(c, out.firstSN) && readSequenceNumber(c, out.lastSN) &&
           c.readU32(out.count);
}

bool decodeGap(SubmessageSpan const& s, GapFields& out) {
    ByteCursor c;
    if (!body(s, GAP, c)) {
        return false;
    }
    return readEntityId(c, out.readerId) && readEntityId(c, out.writerId) &&
           readSequenceNumber(c, out.gapStart) && readSequenceNumberSet(c, out.gapList);
}

bool decodeInfoTs(SubmessageSpan const& s, InfoTsFields& out) {
    ByteCursor c;
    if (!body(s, INFO_TS, c)) {
        return false;
    }
    out.invalidate = (s.flags & INFO_TS_FLAG_INVALIDATE) != 0;
    if (out.invalidate) {
        out.sec = -1;
        out.nanosec = 0xFFFFFFFFu;
        return true;
    }
    return c.readI32(out.sec) && c.readU32(out.nanosec);
}

bool decodeNackFrag(SubmessageSpan const& s, NackFragFields& out) {
    ByteCursor c;
    if (!body(s, NACK_FRAG, c)) {
        return false;
    }
    return readEntityId(c, out.readerId) && readEntityId(c, out.writerId) &&
           readSequenceNumber(c, out.writerSN) &&
           readFragmentNumberSet(c, out.fragmentNumberState) && c.readU32(out.count);
}

bool decodeData(SubmessageSpan const& s, DataFields& out) {
    out = DataFields{};
    out.fragment = s.kind == DATA_FRAG;
    ByteCursor c;
    if (!body(s, out.fragment ? DATA_FRAG : DATA, c)) {
        return false;
    }
    out.flags = s.flags;
    uint16_t extraFlags = 0;
    uint16_t octetsToInlineQos = 0;
    if (!c.readU16(extraFlags) || !c.readU16(octetsToInlineQos)) {
        return false;
    }
    // The fields between octetsToInlineQos and the inline QoS; a sender may put more there.
    ByteCursor fixed;
    if (!c.subCursor(octetsToInlineQos, fixed)) {
        return false;
    }
    if (!readEntityId(fixed, out.readerId) || !readEntityId(fixed, out.writerId) ||
        !readSequenceNumber(fixed, out.writerSN)) {
        return false;
    }
    if (out.fragment &&
        (!fixed.readU32(out.fragmentStartingNum) || !fixed.readU16(out.fragmentsInSubmessage) ||
         !fixed.readU16(out.fragmentSize) || !fixed.readU32(out.sampleSize))) {
        return false;
    }
    if ((s.flags & DATA_FLAG_INLINE_QOS) != 0 && !readInlineQos(c, out)) {
        return false;
    }
    out.payloadLength = static_cast<uint16_t>(c.remaining());
    out.payload = out.payloadLength != 0 ? c.position() : nullptr;
    if (!out.fragment && (s.flags & (DATA_FLAG_DATA | DATA_FLAG_KEY)) == DATA_FLAG_KEY) {
        out.keyOnly = true;
        if (!c.skip(4) || !c.readU32(out.instanceHandle)) {
            return false;
        }
    }
    return true;
}

}  // namespace RTPS
