#include "vexa/pub/DataWriterDelegate.hpp"

#include <string>

#include "DataWriterEventForwarder.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "vexa/DataWriterImpl.h"
#include "vexa/core/ConvertQos.hpp"
#include "vexa/core/Exception.hpp"
#include "vexa/core/TimeConversion.hpp"
#include "vexa/core/status/ConvertStatus.hpp"

namespace vexa {
namespace pub {

namespace {

// Only a failure builds the text, so a write that succeeds allocates nothing here.
void check(vexa::dds::ReturnCode_t rc, char const* operation, int line) {
    if (rc != vexa::dds::RETCODE_OK) {
        vexa::core::code2exception(
            rc, std::string(operation) + " at DataWriterDelegate:" + std::to_string(line));
    }
}

}  // namespace

DataWriterDelegate::DataWriterDelegate(::dds::pub::Publisher const& publisher,
                                       std::shared_ptr<vexa::topic::TopicDelegate> const& topic,
                                       ::dds::pub::qos::DataWriterQos const& q)
    : publisher_(publisher), topic_(topic) {
    // The listener comes later (listener()), once the handle can reach this delegate.
    bridge_ = publisher_->create_datawriter(topic_ != nullptr ? topic_->topic() : nullptr, q,
                                            nullptr, ::dds::core::status::StatusMask(0));
    if (bridge_ == nullptr) {
        throw ::dds::core::NullReferenceError(
            "NullReferenceError : Unable to create DataWriter implementation");
    }
    setEntity(bridge_->getEntity());
}

DataWriterDelegate::~DataWriterDelegate() {
    if (bridge_ != nullptr) {
        if (forwarder_ != nullptr) {
            bridge_->set_listener(nullptr, 0);
        }
        // Straight to the core: the publisher may be closed already.
        publisher_->publisher()->deleteDW(bridge_);
    }
    DataWriterEventForwarder::release(forwarder_);
}

vexa::dcps::Writer* DataWriterDelegate::writer() const {
    return bridge_->getEntity();
}

void DataWriterDelegate::checkOpen(int line) const {
    if (closed_) {
        throw ::dds::core::AlreadyClosedError(
            "DataWriter is already closed at DataWriterDelegate:" + std::to_string(line));
    }
}

void DataWriterDelegate::close() {
    checkOpen(60);
    vexa::core::EntityDelegate::close();
    bridge_->close();
}

::dds::pub::qos::DataWriterQos DataWriterDelegate::qos() {
    checkOpen(70);
    vexa::dds::DataWriterQos core;
    check(bridge_->get_qos(core), "qos", 70);
    ::dds::pub::qos::DataWriterQos q;
    vexa::pub::qos::convertQos(core, q);
    return q;
}

void DataWriterDelegate::qos(::dds::pub::qos::DataWriterQos const& q) {
    checkOpen(80);
    vexa::dds::DataWriterQos core;
    vexa::pub::qos::convertQos(q, core);
    check(bridge_->set_qos(core), "qos", 80);
}

::dds::pub::Publisher const& DataWriterDelegate::publisher() const {
    checkOpen(90);
    return publisher_;
}

std::shared_ptr<vexa::topic::TopicDelegate> const& DataWriterDelegate::topic() const {
    checkOpen(95);
    return topic_;
}

void DataWriterDelegate::listener(std::unique_ptr<DataWriterListenerAdapter> adapter,
                                  ::dds::core::status::StatusMask const& mask) {
    checkOpen(100);
    DataWriterEventForwarder* next =
        adapter != nullptr ? new DataWriterEventForwarder(std::move(adapter)) : nullptr;
    vexa::dds::ReturnCode_t rc =
        bridge_->set_listener(next, next != nullptr ? static_cast<uint32_t>(mask.to_ulong()) : 0);
    if (rc != vexa::dds::RETCODE_OK) {
        delete next;
        throw ::dds::core::PreconditionNotMetError(
            "PreconditionNotMetError : Unable to set listener at DataWriterDelegate:100");
    }
    DataWriterEventForwarder* previous = forwarder_;
    forwarder_ = next;
    DataWriterEventForwarder::release(previous);
}

bool DataWriterDelegate::has_listener() const {
    checkOpen(120);
    return forwarder_ != nullptr;
}

void DataWriterDelegate::wait_for_acknowledgments(::dds::core::Duration const& timeout) {
    checkOpen(125);
    vexa::dds::Duration_t limit;
    vexa::core::convertDuration(timeout, limit);
    check(bridge_->wait_for_acknowledgments(limit), "wait_for_acknowledgments", 125);
}

void DataWriterDelegate::assert_liveliness() {
    checkOpen(132);
    check(bridge_->assert_liveliness(), "assert_liveliness", 132);
}

::dds::core::status::PublicationMatchedStatus DataWriterDelegate::publication_matched_status() {
    checkOpen(137);
    vexa::dds::PublicationMatchedStatus core;
    check(bridge_->get_publication_matched_status(core), "publication_matched_status", 137);
    ::dds::core::status::PublicationMatchedStatus s;
    vexa::core::convertStatus(core, s);
    return s;
}

::dds::core::status::LivelinessLostStatus DataWriterDelegate::liveliness_lost_status() {
    checkOpen(146);
    vexa::dds::LivelinessLostStatus core;
    check(bridge_->get_liveliness_lost_status(core), "liveliness_lost_status", 146);
    ::dds::core::status::LivelinessLostStatus s;
    vexa::core::convertStatus(core, s);
    return s;
}

::dds::core::status::OfferedDeadlineMissedStatus
DataWriterDelegate::offered_deadline_missed_status() {
    checkOpen(156);
    vexa::dds::DeadlineMissedStatus core;
    check(bridge_->get_offered_deadline_missed_status(core), "offered_deadline_missed_status", 156);
    ::dds::core::status::OfferedDeadlineMissedStatus s;
    vexa::core::convertStatus(core, s);
    return s;
}

::dds::core::status::OfferedIncompatibleQosStatus
DataWriterDelegate::offered_incompatible_qos_status() {
    checkOpen(167);
    vexa::dds::IncompatibleQosStatus core;
    check(bridge_->get_offered_incompatible_qos_status(core), "offered_incompatible_qos_status",
          167);
    ::dds::core::status::OfferedIncompatibleQosStatus s;
    vexa::core::convertStatus(core, s);
    return s;
}

void DataWriterDelegate::write(void const* sample, ::dds::core::InstanceHandle const& handle) {
    checkOpen(178);
    check(bridge_->write(sample, handle.delegate().handle()), "write", 178);
}

void DataWriterDelegate::write(void const* sample, ::dds::core::InstanceHandle const& handle,
                               ::dds::core::Time const& timestamp) {
    checkOpen(184);
    vexa::dds::Time_t t;
    vexa::core::convertTime(timestamp, t);
    check(bridge_->write_w_timestamp(sample, handle.delegate().handle(), t), "write", 184);
}

::dds::core::InstanceHandle DataWriterDelegate::register_instance(void const* sample) {
    checkOpen(192);
    return ::dds::core::InstanceHandle(bridge_->register_instance(sample));
}

void DataWriterDelegate::unregister_instance(void const* sample,
                                             ::dds::core::InstanceHandle const& handle) {
    checkOpen(198);
    check(bridge_->unregister_instance(sample, handle.delegate().handle()), "unregister_instance",
          198);
}

void DataWriterDelegate::dispose(void const* sample, ::dds::core::InstanceHandle const& handle) {
    checkOpen(205);
    check(bridge_->dispose(sample, handle.delegate().handle()), "dispose", 205);
}

::dds::core::InstanceHandle DataWriterDelegate::lookup_instance(void const* sample) {
    checkOpen(210);
    return ::dds::core::InstanceHandle(bridge_->lookup_instance(sample));
}

}  // namespace pub
}  // namespace vexa
