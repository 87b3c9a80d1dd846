#include "vexa/core/Exception.hpp"

#include <cstdint>

namespace dds {
namespace core {

Exception::~Exception() = default;

Error::~Error() = default;
AlreadyClosedError::~AlreadyClosedError() = default;
IllegalOperationError::~IllegalOperationError() = default;
ImmutablePolicyError::~ImmutablePolicyError() = default;
InconsistentPolicyError::~InconsistentPolicyError() = default;
NotEnabledError::~NotEnabledError() = default;
PreconditionNotMetError::~PreconditionNotMetError() = default;
UnsupportedError::~UnsupportedError() = default;
InvalidDataError::~InvalidDataError() = default;
OutOfResourcesError::~OutOfResourcesError() = default;
TimeoutError::~TimeoutError() = default;
InvalidDowncastError::~InvalidDowncastError() = default;
NullReferenceError::~NullReferenceError() = default;
InvalidArgumentError::~InvalidArgumentError() = default;

}  // namespace core
}  // namespace dds

namespace vexa {
namespace core {

namespace {

template <typename E>
[[noreturn]] void raise(char const* prefix, std::string const& where) {
    throw E(prefix + where);
}

}  // namespace

void code2exception(vexa::dds::ReturnCode_t rc, std::string const& where) {
    using namespace ::dds::core;
    // Tested as unsigned so that negative codes fall out of range with the large ones.
    switch (static_cast<uint32_t>(rc)) {
        case vexa::dds::RETCODE_OK:
        case vexa::dds::RETCODE_NO_DATA:
            return;
        case vexa::dds::RETCODE_ERROR:
            raise<Error>("dds::core::Error : ", where);
        case vexa::dds::RETCODE_UNSUPPORTED:
            raise<UnsupportedError>("dds::core::UnsupportedError : ", where);
        case vexa::dds::RETCODE_BAD_PARAMETER:
            raise<InvalidArgumentError>("dds::core::InvalidArgumentError : ", where);
        case vexa::dds::RETCODE_PRECONDITION_NOT_MET:
            raise<PreconditionNotMetError>("dds::core::PreconditionNotMetError : ", where);
        case vexa::dds::RETCODE_OUT_OF_RESOURCES:
            raise<OutOfResourcesError>("dds::core::OutOfResourcesError : ", where);
        case vexa::dds::RETCODE_NOT_ENABLED:
            raise<NotEnabledError>("dds::core::NotEnabledError : ", where);
        case vexa::dds::RETCODE_IMMUTABLE_POLICY:
            raise<ImmutablePolicyError>("dds::core::ImmutablePolicyError : ", where);
        case vexa::dds::RETCODE_INCONSISTENT_POLICY:
            raise<InconsistentPolicyError>("dds::core::InconsistentPolicyError : ", where);
        case vexa::dds::RETCODE_ALREADY_DELETED:
            raise<AlreadyClosedError>("dds::core::AlreadyClosedError : ", where);
        case vexa::dds::RETCODE_TIMEOUT:
            raise<TimeoutError>("dds::core::TimeoutError : ", where);
        case vexa::dds::RETCODE_ILLEGAL_OPERATION:
            raise<IllegalOperationError>("dds::core::IllegalOperationError : ", where);
        default:
            throw IllegalOperationError("dds::core::IllegalOperationError : " + where +
                                        ". Unknown return value is " +
                                        std::to_string(static_cast<int32_t>(rc)));
    }
}

}  // namespace core
}  // namespace vexa
