#pragma once

#include <cstdint>

#include "rtps/wire/Locator.h"
#include "rtps/io/RTPSReceiver.h"

namespace RTPS {

// One receive locator of a participant, shared by the endpoints that listen on it. Owned by the
// MessageReceiver, which counts its users; the transport's receiver stays the transport's.
class RTPSInSocket {
public:
    RTPSInSocket(Locator_t const& locator, RTPSReceiver* receiver)
        : m_locator(locator), m_receiver(receiver) {}

    RTPSInSocket(RTPSInSocket const&) = delete;
    RTPSInSocket& operator=(RTPSInSocket const&) = delete;

    Locator_t const& getLocator() const { return m_locator; }
    RTPSReceiver* getReceiver() const { return m_receiver; }
    uint16_t getUseCount() const { return m_useCount; }

private:
    friend class MessageReceiver;

    Locator_t const m_locator;
    RTPSReceiver* const m_receiver;
    uint16_t m_useCount = 1;
};

}  // namespace RTPS
