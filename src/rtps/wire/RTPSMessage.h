#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

namespace RTPS {

// A received datagram: a private copy of exactly its length, kept alive by the changes whose
// payloads point into it. Always created with new. The parser deletes it after parsing while
// isFreeAfterParsing() still holds; once a change has taken a reference, the release that takes
// the count from 1 to 0 deletes it.
class RTPSMessage {
public:
    RTPSMessage(void const* data, uint16_t length);
    virtual ~RTPSMessage() = default;

    RTPSMessage(RTPSMessage const&) = delete;
    RTPSMessage& operator=(RTPSMessage const&) = delete;

    uint8_t* getData() { return m_data.get(); }
    uint8_t const* getData() const { return m_data.get(); }
    uint16_t getLength() const { return m_length; }

    // Count + 1; the parser no longer frees the message.
    void addReference();
    // Count - 1; the 1 -> 0 release deletes the message (do not touch it afterwards). A release
    // at 0 is logged, changes nothing and returns false.
    bool removeReference();

    bool isFreeAfterParsing() const;
    unsigned int getReferenceCount() const;

private:
    std::unique_ptr<uint8_t[]> m_data;
    uint16_t m_length;
    mutable std::mutex m_mutex;
    unsigned int m_references = 0;
    bool m_freeAfterParsing = true;
};

}  // namespace RTPS
