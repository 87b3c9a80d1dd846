#include "rtps/io/RTPSOutSocket.h"

namespace RTPS {

RTPSOutSocket::RTPSOutSocket(Locator_t const& locator, RTPSSender* sender, uint32_t maxDataSize,
                             MessageComposer* owner)
    : m_locator(locator), m_sender(sender), m_maxDataSize(maxDataSize), m_owner(owner) {}

size_t RTPSOutSocket::queued() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

}  // namespace RTPS
