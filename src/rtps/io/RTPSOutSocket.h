#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "rtps/wire/Locator.h"
#include "rtps/io/RTPSSender.h"
#include "rtps/wire/SubMessage.h"

namespace RTPS {

// One destination of the message composer: its locator, the transport's sender for it, the
// largest datagram it may be sent, and the submessages queued for it (first in, first out).
// Created and owned by the MessageComposer; the object lives as long as the composer, so a
// pointer never dangles. Each getSocket is one use, ended by MessageComposer::release; when no
// use is left the transport's sender is removed (its descriptor closed) and what is sent to the
// socket afterwards is dropped, until a getSocket for the destination makes a sender again.
class RTPSOutSocket {
public:
    RTPSOutSocket(Locator_t const& locator, RTPSSender* sender, uint32_t maxDataSize,
                  class MessageComposer* owner = nullptr);
    // The queue must be empty: queued submessages belong to the composer's pool.
    ~RTPSOutSocket() = default;

    RTPSOutSocket(RTPSOutSocket const&) = delete;
    RTPSOutSocket& operator=(RTPSOutSocket const&) = delete;

    Locator_t const& getLocator() const { return m_locator; }
    // Null once the socket was released by all its users.
    RTPSSender* getSender() const {
        std::shared_lock<std::shared_mutex> lock(m_senderMutex);
        return m_sender;
    }
    uint32_t getMaxDataSize() const { return m_maxDataSize; }

    // Submessages waiting to be packed.
    size_t queued() const;

private:
    friend class MessageComposer;

    Locator_t const m_locator;
    // Shared while a datagram is handed to the sender, exclusive while it is replaced.
    mutable std::shared_mutex m_senderMutex;
    RTPSSender* m_sender;
    uint32_t const m_maxDataSize;
    class MessageComposer* const m_owner;
    uint32_t m_users = 1;  // under the owner's socket list mutex
    // Guards the queue and the sending mark; held while a datagram is packed from the queue.
    mutable std::mutex m_mutex;
    std::deque<SubMessage*> m_queue;
    // Set while one thread packs and hands over this socket's datagrams (the send role).
    bool m_sending = false;
    // The holder's scratch list of what one datagram took from the queue.
    std::vector<SubMessage*> m_packed;
};

}  // namespace RTPS
