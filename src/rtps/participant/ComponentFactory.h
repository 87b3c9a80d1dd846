#pragma once

#include <memory>

#include "rtps/history/EndpointConfig.h"
#include "rtps/participant/BuiltinEndpoint.h"
#include "rtps/participant/CommunicationMode.h"
#include "rtps/sched/RTPSTaskScheduler.h"
#include "rtps/sched/SchedulerClock.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {

class CommunicationObject;
class DiscoveryDirectory;
class DsvcLink;
class LocalReader;
class LocalWriter;
class Participant;
class ParticipantImpl;
class RTPSDataTransport;

// The one place where a participant gets the parts it does not build itself: its transport,
// its writers and readers of every kind, the discovery directory over its built-in readers and
// the DSVC link. The engine's own factory is this class; a test derives from it to put fakes
// in. A maker that returns null leaves that part out (a built-in endpoint's list position
// stays empty); one that throws fails the participant's construction.
class ComponentFactory {
public:
    virtual ~ComponentFactory() = default;

    // The transport bound to the participant (not yet initialised); null when none.
    virtual RTPSDataTransport* makeTransport(Participant* participant);

    // The scheduler's clock; null for the monotonic clock.
    virtual std::shared_ptr<SchedulerClock> makeSchedulerClock();
    // The task callables of the endpoints (every type but the participant's own 10 and 11).
    virtual TaskFunctions endpointTaskFunctions();

    // The built-in endpoints, created in the participant's fixed order. `description` and
    // `config` are the participant's and outlive the endpoint.
    virtual LocalWriter* makeBuiltinWriter(
        BuiltinTopic topic, ParticipantImpl* participant, EndpointConfig const& config,
        vexa::dds::PublicationBuiltinTopicData const& description);
    virtual LocalReader* makeBuiltinReader(
        BuiltinTopic topic, ParticipantImpl* participant, EndpointConfig const& config,
        vexa::dds::SubscriptionBuiltinTopicData const& description,
        CommunicationObject* communicationObject, COMMUNICATION_MODE mode);

    // User endpoints: reliable ones are stateful, best-effort ones stateless.
    virtual LocalWriter* makeWriter(bool reliable, ParticipantImpl* participant,
                                    EndpointConfig const& config,
                                    vexa::dds::PublicationBuiltinTopicData const& description,
                                    int32_t transportPriority);
    virtual LocalReader* makeReader(bool reliable, ParticipantImpl* participant,
                                    EndpointConfig const& config,
                                    vexa::dds::SubscriptionBuiltinTopicData const& description,
                                    void* userData, CommunicationObject* communicationObject,
                                    COMMUNICATION_MODE mode);

    // Made once the built-in endpoints exist; the engine's own is BuiltinDiscovery, whose lease
    // thread runs from then on. Null: nothing remote is known.
    virtual std::unique_ptr<DiscoveryDirectory> makeDirectory(ParticipantImpl* participant);

    // The participant's DSVC link for its role (1 client, 2 server); null: none.
    virtual std::unique_ptr<DsvcLink> makeDsvcLink(ParticipantImpl* participant, int role);
};

}  // namespace RTPS
