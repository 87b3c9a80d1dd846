#include "vexa/sub/DataReaderDelegate.hpp"

#include <mutex>
#include <string>

#include "DataReaderEventForwarder.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/TopicDescription.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/core/ConvertQos.hpp"
#include "vexa/core/Exception.hpp"
#include "vexa/core/TimeConversion.hpp"
#include "vexa/core/status/ConvertStatus.hpp"

namespace vexa {
namespace sub {

namespace {

void check(vexa::dds::ReturnCode_t rc, char const* operation, int line) {
    if (rc != vexa::dds::RETCODE_OK) {
        vexa::core::code2exception(
            rc, std::string(operation) + " at DataReaderDelegate:" + std::to_string(line));
    }
}

uint32_t bits(std::bitset<16> const& b) {
    return static_cast<uint32_t>(b.to_ulong());
}

}  // namespace

DataReaderDelegate::DataReaderDelegate(::dds::sub::Subscriber const& subscriber,
                                       std::shared_ptr<vexa::topic::TopicDelegate> const& topic,
                                       ::dds::sub::qos::DataReaderQos const* q)
    : subscriber_(subscriber), topic_(topic) {
    // The listener comes later (listener()), once the handle can reach this delegate.
    bridge_ = subscriber_->create_datareader(topic_ != nullptr ? topic_->topic() : nullptr, q,
                                             nullptr, nullptr);
    if (bridge_ == nullptr) {
        throw ::dds::core::NullReferenceError(
            "NullReferenceError : Unable to create DataReader implementation");
    }
    setEntity(bridge_->getEntity());
}

DataReaderDelegate::DataReaderDelegate(Adopt, ::dds::sub::Subscriber const& subscriber,
                                       vexa::dcps::api::DataReaderImpl* bridge)
    : subscriber_(subscriber), bridge_(bridge), adopted_(true) {
    setEntity(bridge_->getEntity());
}

std::shared_ptr<DataReaderDelegate> DataReaderDelegate::found(
    ::dds::sub::Subscriber const& subscriber, vexa::dcps::api::DataReaderImpl* bridge,
    std::weak_ptr<vexa::core::EntityBase> const& api) {
    if (auto known = std::dynamic_pointer_cast<DataReaderDelegate>(api.lock())) {
        return known;
    }
    if (bridge == nullptr || !subscriber->is_builtin()) {
        return nullptr;
    }
    // Two threads finding one built-in reader at once would otherwise make two delegates.
    static std::mutex adopting;
    std::lock_guard<std::mutex> lock(adopting);
    if (auto known =
            std::dynamic_pointer_cast<DataReaderDelegate>(api_obj(bridge->getEntity()).lock())) {
        return known;
    }
    auto made = std::make_shared<DataReaderDelegate>(Adopt{}, subscriber, bridge);
    made->register_api_obj(made);
    return made;
}

DataReaderDelegate::~DataReaderDelegate() {
    if (bridge_ != nullptr) {
        if (forwarder_ != nullptr) {
            bridge_->set_listener(nullptr, 0);
        }
        // Straight to the core: the subscriber may be closed already. The built-in
        // subscriber keeps its readers (a later find adopts one anew).
        if (!adopted_) {
            subscriber_->subscriber()->deleteDR(bridge_);
        }
    }
    DataReaderEventForwarder::release(forwarder_);
}

vexa::dcps::Reader* DataReaderDelegate::reader() const {
    return bridge_->getEntity();
}

void DataReaderDelegate::checkOpen(int line) const {
    if (closed_) {
        throw ::dds::core::AlreadyClosedError(
            "DataReader is already closed at DataReaderDelegate:" + std::to_string(line));
    }
}

void DataReaderDelegate::close() {
    checkOpen(60);
    vexa::core::EntityDelegate::close();
    bridge_->close();
}

::dds::sub::qos::DataReaderQos DataReaderDelegate::qos() {
    checkOpen(70);
    vexa::dds::DataReaderQos core;
    check(bridge_->get_qos(core), "qos", 70);
    ::dds::sub::qos::DataReaderQos q;
    vexa::sub::qos::convertQos(core, q);
    return q;
}

void DataReaderDelegate::qos(::dds::sub::qos::DataReaderQos const& q) {
    checkOpen(80);
    vexa::dds::DataReaderQos core;
    vexa::sub::qos::convertQos(q, core);
    check(bridge_->set_qos(core), "qos", 80);
}

::dds::sub::Subscriber const& DataReaderDelegate::subscriber() const {
    checkOpen(90);
    return subscriber_;
}

std::shared_ptr<vexa::topic::TopicDelegate> const& DataReaderDelegate::topic() const {
    checkOpen(95);
    return topic_;
}

std::string const& DataReaderDelegate::topic_name() const {
    checkOpen(96);
    return topic_ != nullptr ? topic_->name() : bridge_->get_topicdescription()->getName();
}

std::string const& DataReaderDelegate::type_name() const {
    checkOpen(97);
    return topic_ != nullptr ? topic_->type_name() : bridge_->get_topicdescription()->getTypeName();
}

void DataReaderDelegate::listener(std::unique_ptr<DataReaderListenerAdapter> adapter,
                                  ::dds::core::status::StatusMask const& mask) {
    checkOpen(100);
    DataReaderEventForwarder* next =
        adapter != nullptr ? new DataReaderEventForwarder(std::move(adapter)) : nullptr;
    vexa::dds::ReturnCode_t rc = bridge_->set_listener(next, next != nullptr ? bits(mask) : 0);
    if (rc != vexa::dds::RETCODE_OK) {
        delete next;
        throw ::dds::core::PreconditionNotMetError(
            "PreconditionNotMetError : Unable to set listener at DataReaderDelegate:100");
    }
    DataReaderEventForwarder* previous = forwarder_;
    forwarder_ = next;
    DataReaderEventForwarder::release(previous);
}

bool DataReaderDelegate::has_listener() const {
    checkOpen(120);
    return forwarder_ != nullptr;
}

#define VEXA_READER_STATUS(NAME, API, CORE, GETTER, LINE) \
    API DataReaderDelegate::NAME() {                      \
        checkOpen(LINE);                                  \
        CORE core;                                        \
        check(bridge_->GETTER(core), #NAME, LINE);        \
        API s;                                            \
        vexa::core::convertStatus(core, s);               \
        return s;                                         \
    }

VEXA_READER_STATUS(subscription_matched_status, ::dds::core::status::SubscriptionMatchedStatus,
                   vexa::dds::SubscriptionMatchedStatus, get_subscription_matched_status, 130)
VEXA_READER_STATUS(liveliness_changed_status, ::dds::core::status::LivelinessChangedStatus,
                   vexa::dds::LivelinessChangedStatus, get_liveliness_changed_status, 135)
VEXA_READER_STATUS(sample_lost_status, ::dds::core::status::SampleLostStatus,
                   vexa::dds::SampleLostStatus, get_sample_lost_status, 140)
VEXA_READER_STATUS(sample_rejected_status, ::dds::core::status::SampleRejectedStatus,
                   vexa::dds::SampleRejectedStatus, get_sample_rejected_status, 145)
VEXA_READER_STATUS(requested_deadline_missed_status,
                   ::dds::core::status::RequestedDeadlineMissedStatus,
                   vexa::dds::DeadlineMissedStatus, get_requested_deadline_missed_status, 150)
VEXA_READER_STATUS(requested_incompatible_qos_status,
                   ::dds::core::status::RequestedIncompatibleQosStatus,
                   vexa::dds::IncompatibleQosStatus, get_requested_incompatible_qos_status, 155)

#undef VEXA_READER_STATUS

void DataReaderDelegate::read(vexa::dcps::api::SampleSeq& seq, int32_t max,
                              ::dds::sub::status::DataState const& state) {
    checkOpen(165);
    vexa::dds::ReturnCode_t rc =
        bridge_->read(seq, max, bits(state.sample_state()), bits(state.view_state()),
                      bits(state.instance_state()));
    if (rc != vexa::dds::RETCODE_NO_DATA) {
        check(rc, "read", 165);
    }
}

void DataReaderDelegate::take(vexa::dcps::api::SampleSeq& seq, int32_t max,
                              ::dds::sub::status::DataState const& state) {
    checkOpen(177);
    vexa::dds::ReturnCode_t rc =
        bridge_->take(seq, max, bits(state.sample_state()), bits(state.view_state()),
                      bits(state.instance_state()));
    if (rc != vexa::dds::RETCODE_NO_DATA) {
        check(rc, "take", 177);
    }
}

void DataReaderDelegate::read_instance(vexa::dcps::api::SampleSeq& seq, int32_t max,
                                       ::dds::core::InstanceHandle const& handle, bool next,
                                       ::dds::sub::status::DataState const& state) {
    checkOpen(190);
    vexa::dds::InstanceHandle_t const h = handle->handle();
    uint32_t const s = bits(state.sample_state());
    uint32_t const v = bits(state.view_state());
    uint32_t const i = bits(state.instance_state());
    vexa::dds::ReturnCode_t const rc = next ? bridge_->read_next_instance(seq, max, h, s, v, i)
                                            : bridge_->read_instance(seq, max, h, s, v, i);
    if (rc != vexa::dds::RETCODE_NO_DATA) {
        check(rc, next ? "read_next_instance" : "read_instance", 190);
    }
}

void DataReaderDelegate::take_instance(vexa::dcps::api::SampleSeq& seq, int32_t max,
                                       ::dds::core::InstanceHandle const& handle, bool next,
                                       ::dds::sub::status::DataState const& state) {
    checkOpen(205);
    vexa::dds::InstanceHandle_t const h = handle->handle();
    uint32_t const s = bits(state.sample_state());
    uint32_t const v = bits(state.view_state());
    uint32_t const i = bits(state.instance_state());
    vexa::dds::ReturnCode_t const rc = next ? bridge_->take_next_instance(seq, max, h, s, v, i)
                                            : bridge_->take_instance(seq, max, h, s, v, i);
    if (rc != vexa::dds::RETCODE_NO_DATA) {
        check(rc, next ? "take_next_instance" : "take_instance", 205);
    }
}

::dds::core::InstanceHandle DataReaderDelegate::lookup_instance(void const* sample) {
    checkOpen(220);
    return ::dds::core::InstanceHandle(bridge_->lookup_instance(sample));
}

void DataReaderDelegate::key_value(void* key, ::dds::core::InstanceHandle const& handle) {
    checkOpen(225);
    check(bridge_->get_key_value(key, handle->handle()), "key_value", 225);
}

void DataReaderDelegate::wait_for_historical_data(::dds::core::Duration const& timeout) {
    checkOpen(230);
    vexa::dds::Duration_t limit;
    vexa::core::convertDuration(timeout, limit);
    check(bridge_->wait_for_historical_data(limit), "wait_for_historical_data", 230);
}

void DataReaderDelegate::return_loan(vexa::dcps::api::SampleSeq& seq) noexcept {
    if (!seq.empty()) {
        bridge_->return_loan(seq);
        seq.clear();
    }
}

}  // namespace sub
}  // namespace vexa
