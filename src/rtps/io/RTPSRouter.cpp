#include "rtps/io/RTPSRouter.h"

#include <cstdio>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/participant/Crc24.h"

namespace RTPS {

namespace {

// A decimal octet of at most three digits and at most 255.
bool parseOctet(std::string const& text, unsigned& value) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 255;
}

}  // namespace

RTPSRouter::RTPSRouter(std::string const& unicastAddress, unsigned participantIndex) {
    m_topics.reserve(16);
    const size_t dot = unicastAddress.rfind('.');
    unsigned lastOctet = 0;
    if (dot != std::string::npos && parseOctet(unicastAddress.substr(dot + 1), lastOctet) &&
        participantIndex <= 255) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "239.%u.%u.", lastOctet, participantIndex);
        m_writerPrefix = prefix;
    }
}

std::optional<std::string> RTPSRouter::getGroupAddress() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_writerPrefix.empty() || m_slotsTaken >= WRITER_SLOTS) {
        return std::nullopt;
    }
    return m_writerPrefix + std::to_string(m_slotsTaken++);
}

std::string RTPSRouter::getGroupAddress(std::string const& topicName) {
    const uint32_t crc = crc24(topicName.data(), static_cast<unsigned>(topicName.size()));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bool listed = false;
        for (auto const& [listedCrc, listedName] : m_topics) {
            if (listedCrc != crc) {
                continue;
            }
            if (listedName == topicName) {
                listed = true;
                break;
            }
            vexalog::Logger::getLogger().logMessage(
                "RTPSRouter::getGroupAddress", vexalog::Logger::SEV_WARNING,
                vexares::RTPS_MSG_ROUTER_TOPIC_CLASH, topicName.c_str(), listedName.c_str(), crc);
        }
        if (!listed) {
            m_topics.emplace_back(crc, topicName);
        }
    }
    char address[16];
    std::snprintf(address, sizeof address, "239.%u.%u.%u", (crc >> 16) & 0xFFu, (crc >> 8) & 0xFFu,
                  crc & 0xFFu);
    return address;
}

}  // namespace RTPS
