#pragma once

#include <cstdint>

#include "dcps/entity/Entity.h"

namespace vexa::dcps {

class Subscriber;

// A data reader as the communication object sees it: the engine hands it back as the user data
// of its engine reader. Instances, samples and access build on it.
class Reader : public Entity {
public:
    Reader(Subscriber* subscriber, int32_t id);

    void closedByApi() override {}
    vexa::dds::ReturnCode_t enable_childs() override { return vexa::dds::RETCODE_OK; }

    Subscriber* getSubscriber() const;
};

}  // namespace vexa::dcps
