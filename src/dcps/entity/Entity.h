#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "dcps/condition/StatusCondition.h"
#include "vexa/dds/BasicTypes.h"

namespace vexa::dcps {

// The base of every core entity: its id (also its instance handle), its enabled state, its
// changed-status bits with its status condition, its parent and the two flags of deferred
// deletion. A delete operation only marks an entity; the collector destroys it two passes
// later (TwoPassCollection.h), so work already running on it can finish.
//
// enabled, marked and ready are changed under the container's mutex (participant, publisher,
// subscriber or the factory) but read without it on engine threads, hence atomic. The API
// object is set, looked up and forgotten by any thread under no common mutex: it has a leaf
// mutex of its own, held for the copy only.
class Entity {
public:
    Entity(int32_t id, Entity* parent);
    virtual ~Entity() = default;
    Entity(Entity const&) = delete;
    Entity& operator=(Entity const&) = delete;

    // The API layer has closed the entity.
    virtual void closedByApi() = 0;
    // Enables the contained entities after this one was enabled.
    virtual vexa::dds::ReturnCode_t enable_childs() = 0;

    // OK when enabled (or already enabled, without enabling the children again);
    // PRECONDITION_NOT_MET while the parent is disabled.
    vexa::dds::ReturnCode_t enable();
    // Forgets the API object and marks the entity; tables, listeners and engine endpoints are
    // the owner's business.
    void markToDelete();
    void set_status_changes(uint32_t mask);
    void reset_status_changes(uint32_t mask);
    uint32_t get_status_changes() const { return statusChanges_.load(); }

    int32_t getId() const { return id_; }
    Entity* getParent() const { return parent_; }
    bool isEnabled() const { return enabled_.load(); }
    bool isMarked() const { return marked_.load(); }
    bool isReady() const { return ready_.load(); }
    // The collector's first pass over a marked entity.
    void setReady() { ready_ = true; }
    StatusCondition& getStatusCondition() { return statusCondition_; }

    void setApiObject(std::weak_ptr<void> object);
    std::shared_ptr<void> getApiObject() const;

private:
    mutable std::mutex apiObjectMutex_;
    std::weak_ptr<void> apiObject_;
    std::atomic<bool> enabled_{false};
    int32_t const id_;
    std::atomic<uint32_t> statusChanges_{0};
    StatusCondition statusCondition_;
    std::atomic<bool> marked_{false};
    std::atomic<bool> ready_{false};
    Entity* const parent_;
};

}  // namespace vexa::dcps
