#ifndef DDS_CORE_STATUS_SAMPLEREJECTEDSTATE_HPP
#define DDS_CORE_STATUS_SAMPLEREJECTEDSTATE_HPP

// Why the last sample was rejected, as sixteen bits: the core's reason code, low 16 bits.

#include <bitset>
#include <cstdint>

namespace dds {
namespace core {
namespace status {

class SampleRejectedState : public std::bitset<16> {
public:
    using MaskType = std::bitset<16>;

    SampleRejectedState() = default;
    SampleRejectedState(MaskType const& state) : MaskType(state) {}
    explicit SampleRejectedState(uint32_t state) : MaskType(state & 0xffffu) {}
};

}  // namespace status
}  // namespace core
}  // namespace dds

#endif
