#include "dds/sub/cond/detail/ReadCondition.hpp"

#include <utility>

#include "dcps/condition/ReadCondition.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/core/Exception.hpp"

namespace dds {
namespace sub {
namespace cond {
namespace detail {

ReadCondition::ReadCondition(AnyDataReader const& reader, status::DataState const& state,
                             std::function<void()> handler)
    : reader_(reader), state_(state), handler_(std::move(handler)) {}

ReadCondition::~ReadCondition() {
    deleteDCPSCondition();
}

void ReadCondition::initByDCPSReader() {
    vexa::dcps::api::DataReaderImpl* bridge = reader_->identity();
    condition_ =
        bridge->create_readcondition(static_cast<uint32_t>(state_.sample_state().to_ulong()),
                                     static_cast<uint32_t>(state_.view_state().to_ulong()),
                                     static_cast<uint32_t>(state_.instance_state().to_ulong()));
    if (condition_ == nullptr) {
        throw ::dds::core::NullReferenceError(
            "NullReferenceError : Unable to create ReadCondition implementation");
    }
}

vexa::dds::ReturnCode_t ReadCondition::deleteDCPSCondition() {
    if (condition_ == nullptr) {
        return vexa::dds::RETCODE_OK;
    }
    auto* core = static_cast<vexa::dcps::ReadCondition*>(condition_);
    condition_ = nullptr;
    return reader_->identity()->delete_readcondition(core);
}

void ReadCondition::dispatch() {
    if (handler_) {
        handler_();
    }
}

}  // namespace detail
}  // namespace cond
}  // namespace sub
}  // namespace dds
