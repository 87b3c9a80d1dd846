#ifndef VEXA_CORE_INSTANCEHANDLEIMPL_HPP
#define VEXA_CORE_INSTANCEHANDLEIMPL_HPP

// The value behind dds::core::InstanceHandle: the core's InstanceHandle_t, an entity id or the
// handle of a key instance. 0 is nil. Handles order as signed numbers, so the ids with bit 31
// set sort before every positive one.

#include <cstdint>

#include "dds/core/types.hpp"
#include "vexa/dds/BasicTypes.h"

namespace vexa {
namespace core {

class InstanceHandleImpl {
public:
    InstanceHandleImpl() = default;
    InstanceHandleImpl(::dds::core::null_type const&) {}
    InstanceHandleImpl(vexa::dds::InstanceHandle_t h) : handle_(h) {}

    InstanceHandleImpl& operator=(::dds::core::null_type const&) {
        handle_ = vexa::dds::HANDLE_NIL;
        return *this;
    }

    bool operator==(InstanceHandleImpl const& other) const { return handle_ == other.handle_; }
    bool operator<(InstanceHandleImpl const& other) const { return handle_ < other.handle_; }
    bool operator>(InstanceHandleImpl const& other) const { return handle_ > other.handle_; }

    bool is_nil() const { return handle_ == vexa::dds::HANDLE_NIL; }
    vexa::dds::InstanceHandle_t handle() const { return handle_; }

private:
    vexa::dds::InstanceHandle_t handle_ = vexa::dds::HANDLE_NIL;
};

}  // namespace core
}  // namespace vexa

#endif
