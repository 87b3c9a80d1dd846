#ifndef VEXA_TYPESUPPORTIMPL_H
#define VEXA_TYPESUPPORTIMPL_H

// The untyped base of a topic type's type support: registers the type's factory with the
// core's registry when the core is running, and registers the type with a participant.
// Codes come back unchanged.

#include "vexa/dds/BasicTypes.h"

namespace vexa {
namespace dcps {

class DomainParticipant;
struct TypeSupportCB;

namespace api {

class TypeSupportFactoryImpl;

class TypeSupportImpl {
public:
    // No registry entry for an empty name, a null factory or a core that is not running.
    TypeSupportImpl(char const* typeName, TypeSupportFactoryImpl* factory);
    TypeSupportImpl(TypeSupportImpl const&) = delete;
    TypeSupportImpl& operator=(TypeSupportImpl const&) = delete;
    virtual ~TypeSupportImpl();

    // PRECONDITION_NOT_MET without a registry entry, BAD_PARAMETER for a null participant; a
    // null or empty name registers under the entry's name.
    virtual vexa::dds::ReturnCode_t register_type(DomainParticipant* participant,
                                                  char const* typeName);
    // Null without a registry entry.
    virtual char const* get_type_name();

    TypeSupportCB* getTypeSupportCB() const { return record_; }

private:
    TypeSupportCB* record_ = nullptr;
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
