#include "vexa/sub/DataReaderDelegate.hpp"

#include <string>

#include "DataReaderEventForwarder.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/core/ConvertQos.hpp"
#include "vexa/core/Exception.hpp"
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

DataReaderDelegate::~DataReaderDelegate() {
    if (bridge_ != nullptr) {
        if (forwarder_ != nullptr) {
            bridge_->set_listener(nullptr, 0);
        }
        // Straight to the core: the subscriber may be closed already.
        subscriber_->subscriber()->deleteDR(bridge_);
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

void DataReaderDelegate::return_loan(vexa::dcps::api::SampleSeq& seq) noexcept {
    if (!seq.empty()) {
        bridge_->return_loan(seq);
        seq.clear();
    }
}

}  // namespace sub
}  // namespace vexa
