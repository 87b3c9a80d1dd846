#include "rtps/wire/RTPSMessage.h"

#include <cstring>
#include <new>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"

namespace RTPS {

RTPSMessage* RTPSMessage::create(void const* data, uint16_t length) {
    return new (Inline{}, length) RTPSMessage(Inline{}, data, length);
}

void* RTPSMessage::operator new(size_t size, Inline, uint16_t length) {
    // At least one byte, so the data pointer is never past the block.
    return ::operator new(size + (length != 0 ? length : 1));
}

RTPSMessage::RTPSMessage(void const* data, uint16_t length)
    : m_owned(new uint8_t[length != 0 ? length : 1]),
      m_data(m_owned.get()),
      m_length(data != nullptr ? length : 0) {
    if (m_length != 0) {
        std::memcpy(m_data, data, m_length);
    }
}

RTPSMessage::RTPSMessage(Inline, void const* data, uint16_t length) noexcept
    : m_data(reinterpret_cast<uint8_t*>(this) + sizeof(RTPSMessage)),
      m_length(data != nullptr ? length : 0) {
    static_assert(sizeof(RTPSMessage) % alignof(uint64_t) == 0, "the inline copy is aligned");
    if (m_length != 0) {
        std::memcpy(m_data, data, m_length);
    }
}

void RTPSMessage::addReference() {
    m_freeAfterParsing.store(false, std::memory_order_relaxed);
    m_references.fetch_add(1, std::memory_order_relaxed);
}

bool RTPSMessage::removeReference() {
    unsigned int count = m_references.load(std::memory_order_relaxed);
    do {
        if (count == 0) {
            // Unbalanced release: deleting here would free the message twice.
            vexalog::Logger::getLogger().logMessage(
                "RTPSMessage::removeReference", vexalog::Logger::SEV_ERROR,
                vexares::RTPS_MSG_MESSAGE_OVER_RELEASED, unsigned{m_length});
            return false;
        }
    } while (!m_references.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel,
                                                 std::memory_order_relaxed));
    if (count == 1) {
        vexalog::Logger::getLogger().logMessage(
            "RTPSMessage::removeReference", vexalog::Logger::SEV_DEBUG_2,
            vexares::RTPS_MSG_MESSAGE_RELEASED, unsigned{m_length});
        delete this;
    }
    return true;
}

bool RTPSMessage::isFreeAfterParsing() const {
    return m_freeAfterParsing.load(std::memory_order_relaxed);
}

unsigned int RTPSMessage::getReferenceCount() const {
    return m_references.load(std::memory_order_acquire);
}

}  // namespace RTPS
