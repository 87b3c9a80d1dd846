#include "vexa/TypeSupportImpl.h"

#include "dcps/domain/DomainParticipant.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "dcps/service/TypeSupportCB.h"

namespace vexa {
namespace dcps {
namespace api {

TypeSupportImpl::TypeSupportImpl(char const* typeName, TypeSupportFactoryImpl* factory) {
    if (typeName == nullptr || *typeName == '\0' || factory == nullptr) {
        return;
    }
    if (DPFactory* f = DCPSservice::getInstance().getFactory()) {
        record_ = f->addTypeSupport(typeName, factory);
    }
}

TypeSupportImpl::~TypeSupportImpl() = default;

vexa::dds::ReturnCode_t TypeSupportImpl::register_type(DomainParticipant* participant,
                                                       char const* typeName) {
    if (record_ == nullptr) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    if (typeName == nullptr || *typeName == '\0') {
        typeName = get_type_name();
    }
    if (participant == nullptr) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    return participant->registerTypeSupport(typeName, record_);
}

char const* TypeSupportImpl::get_type_name() {
    return record_ == nullptr ? nullptr : record_->typeName.c_str();
}

}  // namespace api
}  // namespace dcps
}  // namespace vexa
