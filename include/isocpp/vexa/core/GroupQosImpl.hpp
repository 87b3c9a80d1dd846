#ifndef VEXA_CORE_GROUPQOSIMPL_HPP
#define VEXA_CORE_GROUPQOSIMPL_HPP

// What publisher and subscriber QoS hold alike. Each derives its own type, so the two never
// convert into each other's core record by mistake.

#include "dds/core/policy/CorePolicy.hpp"

namespace vexa {
namespace core {

class GroupQosImpl {
public:
    void policy(::dds::core::policy::Presentation const& p) { presentation_ = p; }
    void policy(::dds::core::policy::Partition const& p) { partition_ = p; }
    void policy(::dds::core::policy::GroupData const& p) { group_data_ = p; }
    void policy(::dds::core::policy::EntityFactory const& p) { entity_factory_ = p; }

    ::dds::core::policy::Presentation const& presentation() const { return presentation_; }
    // By default one empty name, not an empty list.
    ::dds::core::policy::Partition const& partition() const { return partition_; }
    ::dds::core::policy::GroupData const& group_data() const { return group_data_; }
    ::dds::core::policy::EntityFactory const& entity_factory() const { return entity_factory_; }

protected:
    GroupQosImpl() = default;
    GroupQosImpl(::dds::core::policy::Presentation const& presentation,
                 ::dds::core::policy::Partition const& partition,
                 ::dds::core::policy::GroupData const& group_data,
                 ::dds::core::policy::EntityFactory const& entity_factory)
        : presentation_(presentation),
          partition_(partition),
          group_data_(group_data),
          entity_factory_(entity_factory) {}

private:
    ::dds::core::policy::Presentation presentation_;
    ::dds::core::policy::Partition partition_;
    ::dds::core::policy::GroupData group_data_;
    ::dds::core::policy::EntityFactory entity_factory_;
};

}  // namespace core
}  // namespace vexa

#endif
