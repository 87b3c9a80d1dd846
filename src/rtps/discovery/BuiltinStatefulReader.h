#pragma once

#include "rtps/participant/BuiltinEndpoint.h"
#include "rtps/reader/StatefulReader.h"

namespace RTPS {

class ParticipantImpl;

// The reliable discovery readers whose records the directory keeps: SEDP publications and
// subscriptions and the participant messages. The stateful protocol takes a change from a
// matched remote built-in writer once; the complete change then goes to the participant's
// directory, which stores it in this reader's history (where the DCPS core's getChange finds
// it) and matches, reports and removes as the record says.
//
// The DCPS core's deleteChange keeps the record: it stays until its remote endpoint or
// participant goes.
class BuiltinStatefulReader : public StatefulReader {
public:
    BuiltinStatefulReader(BuiltinTopic topic, ParticipantImpl* participant,
                          EndpointConfig const* config,
                          vexa::dds::SubscriptionBuiltinTopicData const* description,
                          CommunicationObject* communicationObject, COMMUNICATION_MODE mode);

    CacheChange* addChange(CacheChange* change) override;
    // Does nothing: 0.
    unsigned int deleteChange(SampleInfo* handle) override;

private:
    BuiltinTopic const m_topic;
    ParticipantImpl* const m_owner;
};

}  // namespace RTPS
