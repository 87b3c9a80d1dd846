#pragma once

#include <cstdint>

#include "rtps/wire/EntityId.h"
#include "rtps/wire/FragmentNumberSet.h"
#include "rtps/wire/KeyHash.h"
#include "rtps/wire/SequenceNumber.h"
#include "rtps/wire/SequenceNumberSet.h"
#include "rtps/wire/SubmessageSpan.h"

namespace RTPS {

// Field views of received submessages. Each decode reads the span through a bounded cursor and
// returns false when the span is too short for its kind, a set holds more than 256 bits, an
// inline QoS list runs past the submessage, or it holds a key hash of other than 16 bytes or a
// status info of fewer than 4: the submessage is then dropped. Bytes past the
// fields a kind needs are ignored. The E flag is not looked at; every value is little-endian.

struct AckNackFields {
    bool final;
    EntityId_t readerId;
    EntityId_t writerId;
    SequenceNumberSet readerSNState;
    uint32_t count;
};

struct HeartbeatFields {
    bool final;
    bool liveliness;
    EntityId_t readerId;
    EntityId_t writerId;
    SequenceNumber_t firstSN;
    SequenceNumber_t lastSN;
    uint32_t count;
};

struct GapFields {
    EntityId_t readerId;
    EntityId_t writerId;
    SequenceNumber_t gapStart;
    SequenceNumberSet gapList;
};

struct InfoTsFields {
    bool invalidate;  // no time: the following DATA carry none
    int32_t sec;
    uint32_t nanosec;
};

struct NackFragFields {
    EntityId_t readerId;
    EntityId_t writerId;
    SequenceNumber_t writerSN;
    FragmentNumberSet fragmentNumberState;
    uint32_t count;
};

// DATA and DATA_FRAG. Pointers point into the span.
struct DataFields {
    bool fragment;  // DATA_FRAG
    uint8_t flags;
    EntityId_t readerId;
    EntityId_t writerId;
    SequenceNumber_t writerSN;
    // DATA_FRAG only; 0 for DATA.
    uint32_t fragmentStartingNum;
    uint16_t fragmentsInSubmessage;
    uint16_t fragmentSize;
    uint32_t sampleSize;
    // Inline QoS (flag 0x02): the whole list, sentinel included, and the two values used.
    uint8_t const* inlineQos;
    uint16_t inlineQosLength;
    bool hasKeyHash;
    uint8_t keyHash[KEY_HASH_SIZE];
    bool hasStatusInfo;
    uint8_t statusInfo;  // first byte: 0x01 disposed, 0x02 unregistered
    // Everything after the inline QoS: serialized data, key-only payload or fragment bytes.
    uint8_t const* payload;
    uint16_t payloadLength;
    // Key-only DATA (flags key without data): the writer's instance handle behind the
    // 4-byte encapsulation header.
    bool keyOnly;
    uint32_t instanceHandle;
};

bool decodeAckNack(SubmessageSpan const& s, AckNackFields& out);
bool decodeHeartbeat(SubmessageSpan const& s, HeartbeatFields& out);
bool decodeGap(SubmessageSpan const& s, GapFields& out);
bool decodeInfoTs(SubmessageSpan const& s, InfoTsFields& out);
bool decodeNackFrag(SubmessageSpan const& s, NackFragFields& out);
bool decodeData(SubmessageSpan const& s, DataFields& out);

}  // namespace RTPS
