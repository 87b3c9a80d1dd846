#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "rtps/discovery/DiscoveryRecords.h"

namespace RTPS {

// The decoders of received discovery payloads. Each reads the record at `data` through a
// bounds-checked cursor and returns it decoded, or null when the payload is shorter than its
// fields, counts and lengths say: no read goes past `length`, and no count allocates more
// than the bytes left could hold. Bytes after the record are ignored. A participant record's
// locator list keeps its last entry; an empty list gives _LOCATOR_INVALID. Booleans are true
// for any non-zero byte.
std::unique_ptr<SPDPdiscoveredParticipantData> extractPart(uint8_t const* data, size_t length);
std::unique_ptr<DiscoveredWriterData> extractPub(uint8_t const* data, size_t length);
std::unique_ptr<DiscoveredReaderData> extractSub(uint8_t const* data, size_t length);
std::unique_ptr<DiscoveredTopicData> extractTopic(uint8_t const* data, size_t length);
std::unique_ptr<ParticipantMessageData> extractMsg(uint8_t const* data, size_t length);

}  // namespace RTPS
