#ifndef VEXA_CORE_ENTITYBASE_HPP
#define VEXA_CORE_ENTITYBASE_HPP

// The common base of every API object that a core entity can point back to: a core entity
// keeps a weak reference to it (its API-object slot), so a lookup from the core finds the
// application's delegate while some handle still holds it, and nothing once it has gone.

namespace vexa {
namespace core {

class EntityBase {
public:
    EntityBase() = default;
    EntityBase(EntityBase const&) = delete;
    EntityBase& operator=(EntityBase const&) = delete;
    virtual ~EntityBase();
};

}  // namespace core
}  // namespace vexa

#endif
