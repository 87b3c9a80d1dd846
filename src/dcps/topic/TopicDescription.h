#pragma once

#include <cstdint>
#include <string>

#include "dcps/entity/Entity.h"

namespace vexa::dcps {

class DomainParticipant;
struct TypeSupportCB;

// What readers and writers name: a topic of the participant with its registered type.
class TopicDescription : public Entity {
public:
    TopicDescription(int32_t id, DomainParticipant* participant, TypeSupportCB* typeSupport,
                     std::string name);

    // The type name of its type support.
    std::string const& getTypeName() const;
    std::string const& getName() const { return name_; }
    TypeSupportCB* getTypeSupport() const { return typeSupport_; }
    DomainParticipant* getParticipant() const { return participant_; }

private:
    TypeSupportCB* const typeSupport_;
    std::string const name_;
    DomainParticipant* const participant_;
};

}  // namespace vexa::dcps
