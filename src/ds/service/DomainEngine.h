#pragma once

#include <cstdint>
#include <functional>

namespace RTPS {
class CommunicationObject;
class Participant;
}  // namespace RTPS

namespace vexa::dds {
struct ParticipantBuiltinTopicData;
}

namespace vexa::ds {

// What the service takes from outside for each served domain: how an engine participant in
// durability-server role is made, and the monotonic microsecond source of the data thread's
// tick. vexads passes the engine's createParticipant and the OS clock; tests pass fakes.
struct DomainEngine {
    // Throws RTPS::DDSIException when the engine refuses the participant.
    using CreateParticipant = std::function<RTPS::Participant*(
        RTPS::CommunicationObject* comm, vexa::dds::ParticipantBuiltinTopicData* data,
        unsigned domainId)>;

    CreateParticipant createParticipant;
    std::function<uint64_t()> tickClock;
};

}  // namespace vexa::ds
