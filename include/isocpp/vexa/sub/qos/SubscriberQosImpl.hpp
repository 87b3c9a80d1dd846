#ifndef VEXA_SUB_QOS_SUBSCRIBERQOSIMPL_HPP
#define VEXA_SUB_QOS_SUBSCRIBERQOSIMPL_HPP

#include "vexa/core/GroupQosImpl.hpp"

namespace vexa {
namespace sub {
namespace qos {

class SubscriberQosImpl : public vexa::core::GroupQosImpl {
public:
    SubscriberQosImpl() = default;
    SubscriberQosImpl(::dds::core::policy::Presentation const& presentation,
                      ::dds::core::policy::Partition const& partition,
                      ::dds::core::policy::GroupData const& group_data,
                      ::dds::core::policy::EntityFactory const& entity_factory)
        : GroupQosImpl(presentation, partition, group_data, entity_factory) {}
};

}  // namespace qos
}  // namespace sub
}  // namespace vexa

#endif
