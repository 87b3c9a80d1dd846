#ifndef VEXA_PUB_QOS_PUBLISHERQOSIMPL_HPP
#define VEXA_PUB_QOS_PUBLISHERQOSIMPL_HPP

#include "vexa/core/GroupQosImpl.hpp"

namespace vexa {
namespace pub {
namespace qos {

class PublisherQosImpl : public vexa::core::GroupQosImpl {
public:
    PublisherQosImpl() = default;
    PublisherQosImpl(::dds::core::policy::Presentation const& presentation,
                     ::dds::core::policy::Partition const& partition,
                     ::dds::core::policy::GroupData const& group_data,
                     ::dds::core::policy::EntityFactory const& entity_factory)
        : GroupQosImpl(presentation, partition, group_data, entity_factory) {}
};

}  // namespace qos
}  // namespace pub
}  // namespace vexa

#endif
