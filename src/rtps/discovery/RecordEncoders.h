#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtps/discovery/DiscoveryRecords.h"

namespace RTPS {

// A packed record must travel as one DATA: readers of built-in topics decode whole DATA
// payloads, and this leaves room for the message header, INFO_TS and inline QoS below the
// largest datagram.
inline constexpr size_t MAX_PACKED_RECORD_SIZE = 65000;

// Packed size of a record, counted without packing it; SIZE_MAX when a string or sequence is
// too long for its 32-bit length.
size_t packedSize(SPDPdiscoveredParticipantData const& record);
size_t packedSize(DiscoveredWriterData const& record);
size_t packedSize(DiscoveredReaderData const& record);
size_t packedSize(DiscoveredTopicData const& record);
size_t packedSize(ParticipantMessageData const& record);

// Whether a record of this packed size may be announced.
inline bool fitsOneData(size_t packed) {
    return packed <= MAX_PACKED_RECORD_SIZE;
}

// The encoders: `out` becomes the packed record, exactly its size. False, with `out` empty,
// when the record is larger than MAX_PACKED_RECORD_SIZE.
bool packPart(SPDPdiscoveredParticipantData const& record, std::vector<uint8_t>& out);
bool packPub(DiscoveredWriterData const& record, std::vector<uint8_t>& out);
bool packSub(DiscoveredReaderData const& record, std::vector<uint8_t>& out);
bool packTopic(DiscoveredTopicData const& record, std::vector<uint8_t>& out);
bool packMsg(ParticipantMessageData const& record, std::vector<uint8_t>& out);

}  // namespace RTPS
