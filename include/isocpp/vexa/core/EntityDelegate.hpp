#ifndef VEXA_CORE_ENTITYDELEGATE_HPP
#define VEXA_CORE_ENTITYDELEGATE_HPP

// What every entity delegate (participant, publisher, subscriber, typed writer and reader)
// has: its core entity and a closed flag. close() only sets the flag (the derived delegates
// add their own step); the core entity lives until the delegate's destructor deletes it, so
// a closed handle still reaches a live core object and its operations throw
// AlreadyClosedError.

#include <atomic>
#include <memory>

#include "dds/core/InstanceHandle.hpp"
#include "dds/core/status/StatusMask.hpp"
#include "vexa/core/EntityBase.hpp"

namespace vexa {
namespace dcps {
class Entity;
}

namespace core {

class EntityDelegate : public EntityBase {
public:
    EntityDelegate() = default;
    ~EntityDelegate() override;

    // Entity::enable; PreconditionNotMetError for any refusal (the parent is not enabled).
    virtual void enable();
    virtual ::dds::core::status::StatusMask status_changes();
    virtual ::dds::core::InstanceHandle instance_handle() const;
    virtual void close();
    virtual void retain();

    // Points the core entity's API-object slot at `obj` (nothing without an entity).
    void register_api_obj(std::shared_ptr<EntityBase> const& obj);

    // The core entity; null until the derived delegate has made or found it.
    vexa::dcps::Entity* entity() const { return entity_; }
    bool closed() const { return closed_.load(); }

    // The API object registered with a core entity; empty when none or when it has gone.
    static std::weak_ptr<EntityBase> api_obj(vexa::dcps::Entity* entity);

protected:
    void setEntity(vexa::dcps::Entity* entity) { entity_ = entity; }

    vexa::dcps::Entity* entity_ = nullptr;
    std::atomic<bool> closed_{false};
};

}  // namespace core
}  // namespace vexa

#endif
