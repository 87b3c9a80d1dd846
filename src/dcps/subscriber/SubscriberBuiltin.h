#pragma once

#include <cstdint>

#include "dcps/entity/Entity.h"
#include "dcps/entity/EntityId.h"

namespace RTPS {
class Reader;
struct SampleInfo;
}  // namespace RTPS

namespace vexa::dcps {

class DomainParticipant;
class Topic;
namespace api {
class DPEventForwarder;
}

// The participant's built-in subscriber as the participant and the communication object see
// it: it turns discovery data into remote-entity tables. Its mutex is marked: no engine call
// is made while it is held.
class SubscriberBuiltin : public Entity {
public:
    explicit SubscriberBuiltin(DomainParticipant* participant);

    void closedByApi() override {}
    vexa::dds::ReturnCode_t enable_childs() override { return vexa::dds::RETCODE_OK; }

    // On an engine thread: queues a built-in reader's change; true when queued.
    bool ddsisampleHandler(RTPS::Reader* reader, RTPS::SampleInfo* sample) {
        (void)reader;
        (void)sample;
        return false;
    }
    void ddsicashHandler() {}
    void notifyUser(api::DPEventForwarder* listener, uint32_t mask) {
        (void)listener;
        (void)mask;
    }
    void collectGarbage() {}
    // Stops using the engine's built-in readers.
    void closeRTPS() {}
    void assertLiveliness(unsigned const* guidPrefix, bool manual) {
        (void)guidPrefix;
        (void)manual;
    }
    void participantLostByRTPS(unsigned const* guidPrefix) { (void)guidPrefix; }
    // Known remote topics of the topic's name that disagree with it.
    int32_t countInconsistentTopics(Topic const& topic) const {
        (void)topic;
        return 0;
    }
};

}  // namespace vexa::dcps
