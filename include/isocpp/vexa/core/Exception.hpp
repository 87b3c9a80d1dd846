#ifndef VEXA_CORE_EXCEPTION_HPP
#define VEXA_CORE_EXCEPTION_HPP

// The exceptions of the API and the one mapping from a core return code to them. Generated
// type code includes this header and throws InvalidArgumentError from its union accessors.
//
// Each concrete class derives from dds::core::Exception and from exactly one standard
// exception, which holds the message, so callers catch either by the API base or by the
// standard one. Their destructors live in libvexa64, which keeps one type identity for every
// class across the library and the application.

#include <stdexcept>
#include <string>

#include "vexa/dds/BasicTypes.h"

namespace dds {
namespace core {

class Exception {
public:
    virtual ~Exception();
    virtual char const* what() const noexcept = 0;

protected:
    Exception() = default;
    Exception(Exception const&) = default;
    Exception& operator=(Exception const&) = default;
};

#define VEXA_DDS_EXCEPTION_CLASS(NAME, BASE)                                \
    class NAME : public Exception, public BASE {                            \
    public:                                                                 \
        explicit NAME(std::string const& msg) : BASE(msg) {}                \
        NAME(NAME const&) = default;                                        \
        NAME& operator=(NAME const&) = default;                             \
        ~NAME() override;                                                   \
        char const* what() const noexcept override { return BASE::what(); } \
    };

VEXA_DDS_EXCEPTION_CLASS(Error, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(AlreadyClosedError, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(IllegalOperationError, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(ImmutablePolicyError, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(InconsistentPolicyError, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(NotEnabledError, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(PreconditionNotMetError, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(UnsupportedError, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(InvalidDataError, std::logic_error)
VEXA_DDS_EXCEPTION_CLASS(OutOfResourcesError, std::runtime_error)
VEXA_DDS_EXCEPTION_CLASS(TimeoutError, std::runtime_error)
VEXA_DDS_EXCEPTION_CLASS(InvalidDowncastError, std::runtime_error)
VEXA_DDS_EXCEPTION_CLASS(NullReferenceError, std::runtime_error)
VEXA_DDS_EXCEPTION_CLASS(InvalidArgumentError, std::invalid_argument)

#undef VEXA_DDS_EXCEPTION_CLASS

}  // namespace core
}  // namespace dds

namespace vexa {
namespace core {

// Returns for OK and NO_DATA; throws for every other code, also for values outside the
// enumeration (IllegalOperationError naming the value). The message is the class's full name,
// " : " and `where`.
void code2exception(vexa::dds::ReturnCode_t rc, std::string const& where);

}  // namespace core
}  // namespace vexa

#endif
