#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "rtps/wire/Locator.h"
#include "rtps/io/RTPSSender.h"
#include "rtps/wire/SubMessage.h"

namespace RTPS {

// One destination of the message composer: its locator, the transport's sender for it, the
// largest datagram it may be sent, and the submessages queued for it (first in, first out).
// Created and owned by the MessageComposer; callers keep the pointer for the composer's life.
class RTPSOutSocket {
public:
    RTPSOutSocket(Locator_t const& locator, RTPSSender* sender, uint32_t maxDataSize);
    // The queue must be empty: queued submessages belong to the composer's pool.
    ~RTPSOutSocket() = default;

    RTPSOutSocket(RTPSOutSocket const&) = delete;
    RTPSOutSocket& operator=(RTPSOutSocket const&) = delete;

    Locator_t const& getLocator() const { return m_locator; }
    RTPSSender* getSender() const { return m_sender; }
    uint32_t getMaxDataSize() const { return m_maxDataSize; }

    // Submessages waiting to be packed.
    size_t queued() const;

private:
    friend class MessageComposer;

    Locator_t const m_locator;
    RTPSSender* const m_sender;
    uint32_t const m_maxDataSize;
    // Guards the queue; held while a datagram is packed from it.
    mutable std::mutex m_mutex;
    std::deque<SubMessage*> m_queue;
};

}  // namespace RTPS
