#ifndef VEXA_DOMAIN_QOS_DOMAINPARTICIPANTQOSIMPL_HPP
#define VEXA_DOMAIN_QOS_DOMAINPARTICIPANTQOSIMPL_HPP

#include "dds/core/policy/CorePolicy.hpp"

namespace vexa {
namespace domain {
namespace qos {

class DomainParticipantQosImpl {
public:
    DomainParticipantQosImpl() = default;
    DomainParticipantQosImpl(::dds::core::policy::UserData const& user_data,
                             ::dds::core::policy::EntityFactory const& entity_factory)
        : user_data_(user_data), entity_factory_(entity_factory) {}

    void policy(::dds::core::policy::UserData const& p) { user_data_ = p; }
    void policy(::dds::core::policy::EntityFactory const& p) { entity_factory_ = p; }

    ::dds::core::policy::UserData const& user_data() const { return user_data_; }
    ::dds::core::policy::EntityFactory const& entity_factory() const { return entity_factory_; }

private:
    ::dds::core::policy::UserData user_data_;
    ::dds::core::policy::EntityFactory entity_factory_;
};

}  // namespace qos
}  // namespace domain
}  // namespace vexa

#endif
