#pragma once

#include <cstdint>

#include "dcps/entity/Entity.h"

namespace RTPS {
struct SampleInfo;
}

namespace vexa::dcps {

class DomainParticipant;
class Reader;
namespace api {
class DPEventForwarder;
}

// A subscriber as its participant and the communication object see it. Readers, the input
// queue and sample intake build on it.
class Subscriber : public Entity {
public:
    Subscriber(DomainParticipant* participant, int32_t id);

    void closedByApi() override {}
    vexa::dds::ReturnCode_t enable_childs() override { return vexa::dds::RETCODE_OK; }

    void collectGarbage() {}
    void periodicStatusCheckAndNotify(api::DPEventForwarder* listener, uint32_t mask) {
        (void)listener;
        (void)mask;
    }
    bool contains_entity(int32_t handle) const {
        (void)handle;
        return false;
    }
    // While one of its readers is not marked for deletion.
    bool inUse() const { return false; }

    // On an engine thread: queues a change announced for one of its readers; true when queued.
    // Takes only the input-queue mutex.
    bool ddsisampleHandler(Reader* reader, RTPS::SampleInfo* sample) {
        (void)reader;
        (void)sample;
        return false;
    }
    // On an engine thread: a remote writer of `reader` asserted its liveliness.
    void assertLiveliness(Reader* reader, unsigned const* guidPrefix, unsigned entityId) {
        (void)reader;
        (void)guidPrefix;
        (void)entityId;
    }
    // On the data-handling thread: files the queued changes into the readers.
    void ddsicashHandler() {}
    // On the data-handling thread: the data listeners.
    void notifyUser(api::DPEventForwarder* listener, uint32_t mask) {
        (void)listener;
        (void)mask;
    }
};

}  // namespace vexa::dcps
