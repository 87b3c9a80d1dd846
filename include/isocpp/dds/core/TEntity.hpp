#ifndef DDS_CORE_TENTITY_HPP
#define DDS_CORE_TENTITY_HPP

// An entity handle: a reference to an entity delegate. close() closes the entity for every
// handle that shares the delegate; the core entity itself goes with the delegate's last
// reference. retain() keeps the entity alive without a handle where the kind supports it.

#include "dds/core/InstanceHandle.hpp"
#include "dds/core/Reference.hpp"
#include "dds/core/status/StatusMask.hpp"

namespace dds {
namespace core {

template <typename D>
class TEntity : public Reference<D> {
public:
    TEntity() = default;
    TEntity(null_type const& nil) : Reference<D>(nil) {}
    explicit TEntity(std::shared_ptr<D> const& d) : Reference<D>(d) {}
    ~TEntity() override = default;
    TEntity(TEntity const&) = default;
    TEntity& operator=(TEntity const&) = default;

    virtual void close() { this->impl_->close(); }
    virtual void retain() { this->impl_->retain(); }

    void enable() { this->impl_->enable(); }
    status::StatusMask status_changes() { return this->impl_->status_changes(); }
    InstanceHandle instance_handle() const { return this->impl_->instance_handle(); }
};

}  // namespace core
}  // namespace dds

#endif
