#ifndef DDS_SUB_COND_READCONDITION_HPP
#define DDS_SUB_COND_READCONDITION_HPP

// A condition triggered while its reader holds a sample in the given states; attach it to a
// wait set. The condition keeps its reader alive.

#include <functional>
#include <memory>

#include "dds/core/cond/TCondition.hpp"
#include "dds/sub/AnyDataReader.hpp"
#include "dds/sub/cond/detail/ReadCondition.hpp"
#include "dds/sub/status/DataState.hpp"

namespace dds {
namespace sub {
namespace cond {

class ReadCondition : public ::dds::core::cond::TCondition<vexa::core::cond::ConditionImpl> {
public:
    ReadCondition(AnyDataReader const& reader, status::DataState const& state)
        : TCondition(make(reader, state, nullptr)) {}
    // `handler` runs when a wait set's dispatch finds the condition triggered.
    template <typename F>
    ReadCondition(AnyDataReader const& reader, status::DataState const& state, F handler)
        : TCondition(make(reader, state, std::function<void()>(handler))) {}

    status::DataState const& state_filter() const { return impl()->state_filter(); }
    AnyDataReader const& data_reader() const { return impl()->data_reader(); }

private:
    static std::shared_ptr<detail::ReadCondition> make(AnyDataReader const& reader,
                                                       status::DataState const& state,
                                                       std::function<void()> handler) {
        auto c = std::make_shared<detail::ReadCondition>(reader, state, std::move(handler));
        c->initByDCPSReader();
        return c;
    }
    detail::ReadCondition* impl() const {
        return static_cast<detail::ReadCondition*>(this->impl_.get());
    }
};

}  // namespace cond
}  // namespace sub
}  // namespace dds

#endif
