#include "vexa/pub/PublisherDelegate.hpp"

#include <string>

#include "PublisherEventForwarder.h"
#include "QosConsistency.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/topic/Topic.h"
#include "vexa/DataWriterImpl.h"
#include "vexa/core/ConvertQos.hpp"
#include "vexa/core/Exception.hpp"

namespace vexa {
namespace pub {

namespace {

char const DELEGATE[] = "PublisherDelegate";

std::string where(char const* operation, int line) {
    return std::string(operation) + " at " + DELEGATE + ":" + std::to_string(line);
}

bool isInstanceScope(::dds::core::policy::Presentation const& p) {
    return p.access_scope() == ::dds::core::policy::PresentationAccessScopeKind::INSTANCE;
}

}  // namespace

PublisherDelegate::PublisherDelegate(::dds::domain::DomainParticipant const& participant,
                                     ::dds::pub::qos::PublisherQos const& q,
                                     ::dds::pub::PublisherListener* listener,
                                     ::dds::core::status::StatusMask const& mask)
    : participant_(participant), qos_(q) {
    if (!isInstanceScope(q->presentation())) {
        throw ::dds::core::UnsupportedError(
            "UnsupportedError : QoS PRESENTATION has unsupported value at PublisherDelegate:42");
    }
    publisher_ = participant_->create_publisher(q);
    if (publisher_ == nullptr) {
        throw ::dds::core::NullReferenceError(
            "Unable to create Publisher implementation at PublisherDelegate:47");
    }
    vexa::dds::DataWriterQos dw;
    publisher_->getDefaultDWQoS(dw);
    vexa::pub::qos::convertQos(dw, default_dw_qos_);
    setEntity(publisher_);
    if (listener != nullptr) {
        forwarder_ = new PublisherEventForwarder(listener);
        publisher_->setListener(forwarder_, static_cast<uint32_t>(mask.to_ulong()));
        listener_ = listener;
    }
}

PublisherDelegate::~PublisherDelegate() {
    if (publisher_ != nullptr) {
        if (listener_ != nullptr) {
            publisher_->setListener(nullptr, 0);
        }
        participant_->delete_publisher(publisher_);
    }
    delete forwarder_;
}

void PublisherDelegate::checkOpen(int line) const {
    if (closed_) {
        throw ::dds::core::AlreadyClosedError("Publisher is already closed at PublisherDelegate:" +
                                              std::to_string(line));
    }
}

::dds::pub::qos::PublisherQos const& PublisherDelegate::qos() const {
    checkOpen(82);
    return qos_;
}

void PublisherDelegate::qos(::dds::pub::qos::PublisherQos const& q) {
    checkOpen(95);
    auto const& now = qos_->presentation();
    auto const& next = q->presentation();
    if (next.access_scope() != now.access_scope() ||
        next.coherent_access() != now.coherent_access() ||
        next.ordered_access() != now.ordered_access()) {
        throw ::dds::core::ImmutablePolicyError(
            "Immutable policy: Presentation at PublisherDelegate:102");
    }
    vexa::dds::PublisherQos core;
    vexa::pub::qos::convertQos(q, core);
    vexa::core::code2exception(publisher_->setQoS(core), where("qos", 95));
    qos_ = q;
}

void PublisherDelegate::default_datawriter_qos(::dds::pub::qos::DataWriterQos const& q) {
    checkOpen(121);
    // Only a bounded max_samples_per_instance is checked here; create_datawriter checks all.
    int32_t const depth = q->history().depth();
    int32_t const ms = q->resource_limits().max_samples();
    int32_t const mspi = q->resource_limits().max_samples_per_instance();
    if (mspi != -1 && depth > mspi) {
        vexa::core::throwHistoryInconsistent(DELEGATE, 130);
    }
    if (mspi != -1 && ms != -1 && ms < mspi) {
        vexa::core::throwLimitsInconsistent(DELEGATE, 134);
    }
    vexa::dds::DataWriterQos core;
    vexa::pub::qos::convertQos(q, core);
    vexa::core::code2exception(publisher_->setDefaultDWQoS(core),
                               where("default_datawriter_qos", 121));
    default_dw_qos_ = q;
}

::dds::pub::qos::DataWriterQos PublisherDelegate::default_datawriter_qos() {
    checkOpen(165);
    vexa::dds::DataWriterQos core;
    publisher_->getDefaultDWQoS(core);
    vexa::pub::qos::convertQos(core, default_dw_qos_);
    return default_dw_qos_;
}

void PublisherDelegate::listener(::dds::pub::PublisherListener* l,
                                 ::dds::core::status::StatusMask const& mask) {
    checkOpen(183);
    PublisherEventForwarder* forwarder = l != nullptr ? new PublisherEventForwarder(l) : nullptr;
    if (publisher_->setListener(forwarder, static_cast<uint32_t>(mask.to_ulong())) !=
        vexa::dds::RETCODE_OK) {
        // The core keeps the old forwarder: it stays.
        delete forwarder;
        throw ::dds::core::PreconditionNotMetError(
            "PreconditionNotMetError : Unable to set listener at PublisherDelegate:183");
    }
    delete forwarder_;
    forwarder_ = forwarder;
    listener_ = l;
}

::dds::pub::PublisherListener* PublisherDelegate::listener() const {
    checkOpen(197);
    return listener_;
}

void PublisherDelegate::wait_for_acknowledgments(::dds::core::Duration const& timeout) {
    checkOpen(206);
    vexa::dds::Duration_t d;
    d.sec = timeout.sec();
    d.nanosec = timeout.nanosec();
    vexa::dds::ReturnCode_t const rc = publisher_->waitForAcknowledgements(d);
    if (rc != vexa::dds::RETCODE_OK) {
        vexa::core::code2exception(rc, "wait_for_acknowledgments at PublisherDelegate:210");
    }
}

::dds::domain::DomainParticipant const& PublisherDelegate::participant() const {
    checkOpen(220);
    return participant_;
}

void PublisherDelegate::close() {
    checkOpen(232);
    vexa::core::EntityDelegate::close();
    publisher_->closedByApi();
}

vexa::dcps::api::DataWriterImpl* PublisherDelegate::create_datawriter(
    vexa::dcps::Topic const* topic, ::dds::pub::qos::DataWriterQos const& q,
    vexa::dcps::api::DWEventForwarder* forwarder, ::dds::core::status::StatusMask const& mask) {
    checkOpen(274);
    if (topic == nullptr) {
        throw ::dds::core::NullReferenceError("Topic does not exist at PublisherDelegate:279");
    }
    if (topic->getParticipant() != participant_->participant()) {
        throw ::dds::core::PreconditionNotMetError(
            "Topic was not created by the Domain Participant at PublisherDelegate:279");
    }
    vexa::dds::DataWriterQos core;
    vexa::pub::qos::convertQos(q, core);
    vexa::core::checkKeepLastDepth(core.history.kind == vexa::dds::KEEP_LAST_HISTORY_QOS,
                                   core.history.depth, DELEGATE, 291);
    vexa::core::checkHistoryLimits(core.history.depth, core.resource_limits.max_samples,
                                   core.resource_limits.max_samples_per_instance, DELEGATE, 291,
                                   295);
    return publisher_->createDW(topic, &core, forwarder, static_cast<uint32_t>(mask.to_ulong()));
}

void PublisherDelegate::delete_datawriter(vexa::dcps::api::DataWriterImpl* writer) {
    checkOpen(307);
    publisher_->deleteDW(writer);
}

std::weak_ptr<vexa::core::EntityBase> PublisherDelegate::lookup_data_writer(
    std::string const& topic_name) {
    checkOpen(321);
    vexa::dcps::api::DataWriterImpl* bridge = publisher_->lookupDW(topic_name);
    return bridge == nullptr ? std::weak_ptr<vexa::core::EntityBase>()
                             : api_obj(bridge->getEntity());
}

}  // namespace pub
}  // namespace vexa
