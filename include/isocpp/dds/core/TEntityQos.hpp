#ifndef DDS_CORE_TENTITYQOS_HPP
#define DDS_CORE_TENTITYQOS_HPP

// The QoS of one entity kind, as the application holds it: a value over the entity's holder
// (vexa::…::qos::…QosImpl). Policies are replaced one at a time with policy(p) and read
// through the holder (qos->reliability()). The holders test nothing; the delegates check
// consistency when they hand a QoS to the core.

#include "dds/core/Value.hpp"

namespace dds {
namespace core {

template <typename D>
class TEntityQos : public Value<D> {
public:
    TEntityQos() = default;
    TEntityQos(D const& d) : Value<D>(d) {}
    // A writer's or reader's QoS from a topic's: the holder decides what carries over.
    template <typename T>
    explicit TEntityQos(TEntityQos<T> const& other) : Value<D>(D(other.delegate())) {}

    template <typename POLICY>
    TEntityQos& policy(POLICY const& p) {
        this->d_.policy(p);
        return *this;
    }
};

}  // namespace core
}  // namespace dds

#endif
