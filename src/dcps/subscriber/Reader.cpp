#include "dcps/subscriber/Reader.h"

#include "dcps/subscriber/Subscriber.h"

namespace vexa::dcps {

Reader::Reader(Subscriber* subscriber, int32_t id) : Entity(id, subscriber) {}

Subscriber* Reader::getSubscriber() const {
    return static_cast<Subscriber*>(getParent());
}

}  // namespace vexa::dcps
