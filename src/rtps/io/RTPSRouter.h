#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace RTPS {

// Hands out the IPv4 multicast groups that user data is sent to: one group per writer
// ("239.<last octet of the unicast address>.<host-wide participant index>.<slot>", 256 slots
// per participant, never given back) or one group per topic, derived from the CRC-24 of the
// topic name so that every participant on every host picks the same one. Callable from any
// thread.
class RTPSRouter {
public:
    static constexpr unsigned WRITER_SLOTS = 256;

    // unicastAddress: the participant's default unicast address text; participantIndex: its
    // host-wide index. When they cannot form a group address, no per-writer group is given.
    RTPSRouter(std::string const& unicastAddress, unsigned participantIndex);

    RTPSRouter(RTPSRouter const&) = delete;
    RTPSRouter& operator=(RTPSRouter const&) = delete;

    // The next per-writer group; none when all slots are taken (the caller then makes no
    // group locator).
    std::optional<std::string> getGroupAddress();

    // The group of a topic. Two names with the same CRC-24 share a group; that is logged.
    std::string getGroupAddress(std::string const& topicName);

private:
    std::string m_writerPrefix;  // "239.a.b." or empty when unusable

    // Guards the two below. Held while logging a clash: router mutex, then the logger's.
    std::mutex m_mutex;
    unsigned m_slotsTaken = 0;
    std::vector<std::pair<uint32_t, std::string>> m_topics;  // (crc, name) in arrival order
};

}  // namespace RTPS
