#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtps/dsvc/DSVCMessage.h"

namespace RTPS {

// One message cut out of a DSVC byte stream.
struct DSVCFrame {
    uint32_t length = 0;  // total, as on the wire
    uint64_t tag = 0;
    // False when the body was longer than the decoder keeps: it was read past, not stored.
    bool bodyKept = true;
    std::vector<uint8_t> body;  // length - 12 bytes when kept
};

// Cuts a TCP byte stream into DSVC messages, whatever the segment boundaries. Bytes are read
// through a bounds-checked cursor; a length field below 12 or above `maxLength` fails the
// decoder for good (the stream can no longer be framed: the caller ends the connection). A
// body grows only as its bytes arrive, so a lying length costs no memory; bodies longer than
// `keepLimit` are skipped rather than stored.
//
// Use: consume() takes bytes up to the end of the next whole message and says how many it
// took; when hasFrame(), take() it before consuming more.
class DSVCFrameDecoder {
public:
    explicit DSVCFrameDecoder(uint32_t maxLength = DSVC_MAX_MESSAGE_SIZE,
                              uint32_t keepLimit = DSVC_MAX_MESSAGE_SIZE);

    size_t consume(uint8_t const* data, size_t size);
    bool hasFrame() const { return m_ready; }
    DSVCFrame take();

    bool failed() const { return m_failure != nullptr; }
    // Why the stream failed; null while it has not.
    char const* failure() const { return m_failure; }
    // Whether a message has begun and is not whole yet.
    bool inMessage() const { return m_headFill != 0; }

private:
    void startBody();

    const uint32_t m_maxLength;
    const uint32_t m_keepLimit;
    uint8_t m_head[DSVC_HEAD_SIZE] = {};
    uint32_t m_headFill = 0;
    uint64_t m_bodyLeft = 0;
    DSVCFrame m_frame;
    bool m_ready = false;
    char const* m_failure = nullptr;
};

}  // namespace RTPS
