#pragma once

#include "rtps/reader/StatelessReader.h"

namespace RTPS {

class ParticipantImpl;

// The SPDP reader: best effort, every announcement taken (a known participant's repeat only
// refreshes it). The complete change goes to the participant's directory, which stores a
// newcomer's announcement in this reader's history, wires and reports it, and expires it when
// the participant falls silent.
//
// The DCPS core's deleteChange keeps the record: a participant stays until it is removed.
class BuiltinStatelessReader : public StatelessReader {
public:
    BuiltinStatelessReader(ParticipantImpl* participant, EndpointConfig const* config,
                           vexa::dds::SubscriptionBuiltinTopicData const* description,
                           CommunicationObject* communicationObject, COMMUNICATION_MODE mode);

    CacheChange* addChange(CacheChange* change) override;
    // Does nothing: 0.
    unsigned int deleteChange(SampleInfo* handle) override;

private:
    ParticipantImpl* const m_owner;
};

}  // namespace RTPS
