#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtps/history/SampleInfo.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

struct HistoricalSampleInfo;

// The messages of the DSVC link. Every message is a u32 little-endian total length (the length
// field included), an 8-byte tag and a body. A tag is the 64-bit little-endian value of an
// ASCII constant, so its wire bytes read backwards ("TINICVSD" for "DSVCINIT").
inline constexpr uint64_t DSVC_TAG_INIT = 0x44535643494E4954ULL;  // client to server
inline constexpr uint64_t DSVC_TAG_SMPL = 0x44535643534D504CULL;  // server to client
inline constexpr uint64_t DSVC_TAG_PAUS = 0x4453564350415553ULL;  // server to client
inline constexpr uint64_t DSVC_TAG_STOP = 0x4453564353544F50ULL;  // both directions
// Never on the wire: a client tells its reader that INIT went out.
inline constexpr uint64_t DSVC_TAG_CONNECTED = 0x494E5452434F4E4EULL;

inline constexpr uint32_t DSVC_HEAD_SIZE = 12;  // length and tag
inline constexpr uint32_t DSVC_INIT_SIZE = 32;
inline constexpr uint32_t DSVC_INIT_BODY_SIZE = DSVC_INIT_SIZE - DSVC_HEAD_SIZE;
// SMPL body before the data: writer GUID, SampleInfo head, data length, sequence number.
inline constexpr uint32_t DSVC_SAMPLE_HEAD_SIZE = 64;
inline constexpr uint32_t DSVC_SMPL_OVERHEAD = DSVC_HEAD_SIZE + DSVC_SAMPLE_HEAD_SIZE;
// The bytes of SampleInfo that an SMPL carries: key hash, instance handle, flags, timestamp.
inline constexpr uint32_t DSVC_SAMPLE_INFO_HEAD_SIZE = 32;
// The largest sample the link carries, and so the largest message a receiver accepts.
inline constexpr uint64_t DSVC_MAX_SAMPLE_SIZE = 256ULL << 20;
inline constexpr uint32_t DSVC_MAX_MESSAGE_SIZE =
    static_cast<uint32_t>(DSVC_SMPL_OVERHEAD + DSVC_MAX_SAMPLE_SIZE);

// The message name of a tag, for log lines; "?" for any other.
char const* dsvcTagName(uint64_t tag);

// Whole messages, ready to send. An SMPL whose data is larger than DSVC_MAX_SAMPLE_SIZE, or
// that has no data pointer for a non-zero length, is not built: the result is empty.
std::vector<uint8_t> buildDsvcInit(GUID_t const& reader);
std::vector<uint8_t> buildDsvcEmpty(uint64_t tag);  // PAUS, STOP
std::vector<uint8_t> buildDsvcSample(HistoricalSampleInfo const& sample);

// What an SMPL body says. `data` points into the body it was read from.
struct DSVCSampleView {
    GUID_t writer;
    SampleInfo head;  // the first four fields; data, length and sequence number are zero
    uint64_t dataLength;
    SequenceNumber_t sequenceNumber;
    uint8_t const* data;
};

// Bodies as they arrive (the bytes after the tag). Both read through a bounds-checked cursor
// and refuse a body of another size: INIT must have exactly 20 bytes; SMPL at least 64, and
// its data length must be exactly what is left after the head.
bool parseDsvcInit(uint8_t const* body, size_t length, GUID_t& reader);
bool parseDsvcSample(uint8_t const* body, size_t length, DSVCSampleView& out);

}  // namespace RTPS
