#ifndef DDS_CORE_INSTANCEHANDLE_HPP
#define DDS_CORE_INSTANCEHANDLE_HPP

// The handle of an entity or of a key instance, as the application sees it.

#include "dds/core/Value.hpp"
#include "dds/core/types.hpp"
#include "vexa/core/InstanceHandleImpl.hpp"

namespace dds {
namespace core {

template <typename D>
class TInstanceHandle : public Value<D> {
public:
    TInstanceHandle() = default;
    TInstanceHandle(null_type const& nil) : Value<D>(D(nil)) {}
    explicit TInstanceHandle(vexa::dds::InstanceHandle_t h) : Value<D>(D(h)) {}
    TInstanceHandle(D const& d) : Value<D>(d) {}

    TInstanceHandle& operator=(null_type const& nil) {
        this->d_ = nil;
        return *this;
    }

    bool operator<(TInstanceHandle const& other) const { return this->d_ < other.d_; }
    bool operator>(TInstanceHandle const& other) const { return this->d_ > other.d_; }

    bool is_nil() const { return this->d_.is_nil(); }
};

using InstanceHandle = TInstanceHandle<vexa::core::InstanceHandleImpl>;

}  // namespace core
}  // namespace dds

#endif
