#pragma once

#include "dcps/entity/Entity.h"

namespace vexatest {

// The smallest entity: counts its enable_childs calls and enables the one child it may have,
// as containers do.
class ProbeEntity : public vexa::dcps::Entity {
public:
    explicit ProbeEntity(int32_t id, ProbeEntity* parent = nullptr) : Entity(id, parent) {}

    void closedByApi() override {}
    vexa::dds::ReturnCode_t enable_childs() override {
        ++enableChildsCalls;
        return child != nullptr ? child->enable() : vexa::dds::RETCODE_OK;
    }

    ProbeEntity* child = nullptr;
    unsigned enableChildsCalls = 0;
};

}  // namespace vexatest
