#ifndef DDS_SUB_STATUS_DATASTATE_HPP
#define DDS_SUB_STATUS_DATASTATE_HPP

// The sample, view and instance states that select samples for read and take, and that a
// sample's info reports. Each is a 16-bit set with the core's bit values; from an integer only
// the low 16 bits count.

#include <bitset>
#include <cstdint>

namespace dds {
namespace sub {
namespace status {

class SampleState : public std::bitset<16> {
public:
    using MaskType = std::bitset<16>;
    SampleState() = default;
    explicit SampleState(uint32_t v) : MaskType(v & 0xffffu) {}
    SampleState(MaskType const& m) : MaskType(m) {}

    static SampleState read() { return SampleState(0x1u); }
    static SampleState not_read() { return SampleState(0x2u); }
    static SampleState any() { return SampleState(0xffffu); }
};

class ViewState : public std::bitset<16> {
public:
    using MaskType = std::bitset<16>;
    ViewState() = default;
    explicit ViewState(uint32_t v) : MaskType(v & 0xffffu) {}
    ViewState(MaskType const& m) : MaskType(m) {}

    static ViewState new_view() { return ViewState(0x1u); }
    static ViewState not_new_view() { return ViewState(0x2u); }
    static ViewState any() { return ViewState(0xffffu); }
};

class InstanceState : public std::bitset<16> {
public:
    using MaskType = std::bitset<16>;
    InstanceState() = default;
    explicit InstanceState(uint32_t v) : MaskType(v & 0xffffu) {}
    InstanceState(MaskType const& m) : MaskType(m) {}

    static InstanceState alive() { return InstanceState(0x1u); }
    static InstanceState not_alive_disposed() { return InstanceState(0x2u); }
    static InstanceState not_alive_no_writers() { return InstanceState(0x4u); }
    static InstanceState not_alive_mask() { return InstanceState(0x6u); }
    static InstanceState any() { return InstanceState(0xffffu); }
};

// The three together: what read and take select, or what one sample is in.
class DataState {
public:
    DataState()
        : sample_(SampleState::any()), view_(ViewState::any()), instance_(InstanceState::any()) {}
    DataState(SampleState const& s, ViewState const& v, InstanceState const& i)
        : sample_(s), view_(v), instance_(i) {}

    SampleState const& sample_state() const { return sample_; }
    ViewState const& view_state() const { return view_; }
    InstanceState const& instance_state() const { return instance_; }

    static DataState any() { return DataState(); }
    // Samples not read yet, of live instances.
    static DataState new_data() {
        return DataState(SampleState::not_read(), ViewState::any(), InstanceState::alive());
    }

private:
    SampleState sample_;
    ViewState view_;
    InstanceState instance_;
};

}  // namespace status
}  // namespace sub
}  // namespace dds

#endif
