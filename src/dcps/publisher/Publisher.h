#pragma once

#include <cstdint>

#include "dcps/entity/Entity.h"

namespace vexa::dcps {

class DomainParticipant;
namespace api {
class DPEventForwarder;
}

// A publisher as its participant sees it: what the participant's tables, collector passes and
// status checks call. Writers and the write path build on it.
class Publisher : public Entity {
public:
    Publisher(DomainParticipant* participant, int32_t id);

    void closedByApi() override {}
    vexa::dds::ReturnCode_t enable_childs() override { return vexa::dds::RETCODE_OK; }

    // One collector pass over its writers.
    void collectGarbage() {}
    // The periodic checks of its writers, with the participant's listener.
    void periodicStatusCheckAndNotify(api::DPEventForwarder* listener, uint32_t mask) {
        (void)listener;
        (void)mask;
    }
    // Whether one of its writers has this handle.
    bool contains_entity(int32_t handle) const {
        (void)handle;
        return false;
    }
};

}  // namespace vexa::dcps
