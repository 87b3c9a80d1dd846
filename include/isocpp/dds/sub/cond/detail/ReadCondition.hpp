#ifndef DDS_SUB_COND_DETAIL_READCONDITION_HPP
#define DDS_SUB_COND_DETAIL_READCONDITION_HPP

// The implementation behind a read condition: it asks its reader's bridge for a core read
// condition on the three state masks and deletes it again when it goes. It holds the reader,
// so the core reader, which owns the core condition, outlives it.

#include <functional>

#include "dds/sub/AnyDataReader.hpp"
#include "dds/sub/status/DataState.hpp"
#include "vexa/core/cond/ConditionImpl.hpp"
#include "vexa/dds/BasicTypes.h"

namespace dds {
namespace sub {
namespace cond {
namespace detail {

class ReadCondition : public vexa::core::cond::ConditionImpl {
public:
    ReadCondition(AnyDataReader const& reader, status::DataState const& state,
                  std::function<void()> handler = nullptr);
    ~ReadCondition() override;

    // Creates the core condition; NullReferenceError when the core refuses.
    void initByDCPSReader();
    // The core's code for deleting the condition (OK without one).
    vexa::dds::ReturnCode_t deleteDCPSCondition();
    // Runs the handler, if any.
    void dispatch() override;

    AnyDataReader const& data_reader() const { return reader_; }
    status::DataState const& state_filter() const { return state_; }

private:
    AnyDataReader reader_;
    status::DataState state_;
    std::function<void()> handler_;
};

}  // namespace detail
}  // namespace cond
}  // namespace sub
}  // namespace dds

#endif
