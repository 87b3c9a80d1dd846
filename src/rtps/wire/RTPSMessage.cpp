#include "rtps/wire/RTPSMessage.h"

#include <cstring>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"

namespace RTPS {

RTPSMessage::RTPSMessage(void const* data, uint16_t length)
    : m_data(new uint8_t[length != 0 ? length : 1]), m_length(data != nullptr ? length : 0) {
    if (m_length != 0) {
        std::memcpy(m_data.get(), data, m_length);
    }
}

void RTPSMessage::addReference() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_references;
    m_freeAfterParsing = false;
}

bool RTPSMessage::removeReference() {
    bool last = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_references == 0) {
            // Unbalanced release: deleting here would free the message twice.
            vexalog::Logger::getLogger().logMessage(
                "RTPSMessage::removeReference", vexalog::Logger::SEV_ERROR,
                vexares::RTPS_MSG_MESSAGE_OVER_RELEASED, unsigned{m_length});
            return false;
        }
        last = --m_references == 0;
    }
    // The mutex is a member: it must be unlocked before the object goes.
    if (last) {
        vexalog::Logger::getLogger().logMessage(
            "RTPSMessage::removeReference", vexalog::Logger::SEV_DEBUG_2,
            vexares::RTPS_MSG_MESSAGE_RELEASED, unsigned{m_length});
        delete this;
    }
    return true;
}

bool RTPSMessage::isFreeAfterParsing() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_freeAfterParsing;
}

unsigned int RTPSMessage::getReferenceCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_references;
}

}  // namespace RTPS
