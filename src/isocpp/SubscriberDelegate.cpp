#include "vexa/sub/SubscriberDelegate.hpp"

#include <string>

#include "QosConsistency.h"
#include "SubscriberEventForwarder.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "dcps/topic/Topic.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/core/ConvertQos.hpp"
#include "vexa/core/Exception.hpp"

namespace vexa {
namespace sub {

namespace {

char const DELEGATE[] = "SubscriberDelegate";

std::string where(char const* operation, int line) {
    return std::string(operation) + " at " + DELEGATE + ":" + std::to_string(line);
}

// The reader rules in the order they are tested; `full` adds the cases that only a reader's
// own QoS gets (an unbounded max_samples_per_instance).
void checkReaderQos(::dds::sub::qos::DataReaderQos const& q, bool full, int historyLine,
                    int limitsLine, int filterLine) {
    int32_t const depth = q->history().depth();
    int32_t const ms = q->resource_limits().max_samples();
    int32_t const mspi = q->resource_limits().max_samples_per_instance();
    if (full) {
        vexa::core::checkHistoryLimits(depth, ms, mspi, DELEGATE, historyLine, limitsLine);
    } else if (mspi != -1) {
        if (depth > mspi) {
            vexa::core::throwHistoryInconsistent(DELEGATE, historyLine);
        }
        if (ms != -1 && ms < mspi) {
            vexa::core::throwLimitsInconsistent(DELEGATE, limitsLine);
        }
    }
    if (q->time_based_filter().minimum_separation() > q->deadline().period()) {
        throw ::dds::core::InconsistentPolicyError(
            "QoS TIME_BASED_FILTER has inconsistent values at SubscriberDelegate:" +
            std::to_string(filterLine));
    }
}

}  // namespace

SubscriberDelegate::SubscriberDelegate(::dds::domain::DomainParticipant const& participant,
                                       ::dds::sub::qos::SubscriberQos const& q,
                                       ::dds::core::status::StatusMask const&)
    : participant_(participant), qos_(q) {
    if (q->presentation().access_scope() !=
        ::dds::core::policy::PresentationAccessScopeKind::INSTANCE) {
        throw ::dds::core::UnsupportedError(
            "UnsupportedError : QoS PRESENTATION has unsupported value");
    }
    subscriber_ = participant_->create_subscriber(q);
    if (subscriber_ == nullptr) {
        throw ::dds::core::NullReferenceError(
            "NullReferenceError : Unable to create Subscriber implementation");
    }
    vexa::dds::DataReaderQos dr;
    subscriber_->getDefaultDRQoS(dr);
    vexa::sub::qos::convertQos(dr, default_dr_qos_);
    setEntity(subscriber_);
}

SubscriberDelegate::~SubscriberDelegate() {
    if (subscriber_ != nullptr) {
        if (listener_ != nullptr) {
            subscriber_->setListener(nullptr, 0);
        }
        // The built-in subscriber is refused and stays with its participant.
        participant_->delete_subscriber(subscriber_);
    }
    delete forwarder_;
}

void SubscriberDelegate::checkOpen(int line) const {
    if (closed_) {
        throw ::dds::core::AlreadyClosedError(
            "Subscriber is already closed at SubscriberDelegate:" + std::to_string(line));
    }
}

void SubscriberDelegate::notify_datareaders() {
    checkOpen(92);
    vexa::core::code2exception(subscriber_->notify_datareaders(), "Calling ::notify_datareaders");
}

::dds::domain::DomainParticipant const& SubscriberDelegate::participant() const {
    checkOpen(105);
    return participant_;
}

::dds::sub::qos::SubscriberQos const& SubscriberDelegate::qos() const {
    checkOpen(117);
    return qos_;
}

void SubscriberDelegate::qos(::dds::sub::qos::SubscriberQos const& q) {
    checkOpen(129);
    auto const& now = qos_->presentation();
    auto const& next = q->presentation();
    if (next.access_scope() != now.access_scope() ||
        next.coherent_access() != now.coherent_access() ||
        next.ordered_access() != now.ordered_access()) {
        throw ::dds::core::ImmutablePolicyError(
            "Immutable policy: Presentation at SubscriberDelegate:136");
    }
    vexa::dds::SubscriberQos core;
    vexa::sub::qos::convertQos(q, core);
    vexa::core::code2exception(subscriber_->setQoS(core), where("qos", 129));
    qos_ = q;
}

::dds::sub::qos::DataReaderQos SubscriberDelegate::default_datareader_qos() {
    checkOpen(153);
    vexa::dds::DataReaderQos core;
    subscriber_->getDefaultDRQoS(core);
    vexa::sub::qos::convertQos(core, default_dr_qos_);
    return default_dr_qos_;
}

void SubscriberDelegate::default_datareader_qos(::dds::sub::qos::DataReaderQos const& q) {
    checkOpen(169);
    checkReaderQos(q, false, 178, 182, 187);
    vexa::dds::DataReaderQos core;
    vexa::sub::qos::convertQos(q, core);
    vexa::core::code2exception(subscriber_->setDefaultDRQoS(core),
                               where("default_datareader_qos", 169));
    default_dr_qos_ = q;
}

void SubscriberDelegate::event_forwarder(::dds::sub::SubscriberListener* listener,
                                         vexa::dcps::api::SubEventForwarder* forwarder,
                                         ::dds::core::status::StatusMask const& mask) {
    if (closed_) {
        delete forwarder;
        checkOpen(204);
    }
    if (subscriber_->setListener(forwarder, static_cast<uint32_t>(mask.to_ulong())) !=
        vexa::dds::RETCODE_OK) {
        // The core keeps the old forwarder: it stays, the new one goes.
        delete forwarder;
        throw ::dds::core::PreconditionNotMetError(
            "PreconditionNotMetError : Unable to set listener at SubscriberDelegate:215");
    }
    delete forwarder_;
    forwarder_ = forwarder;
    listener_ = listener;
}

::dds::sub::SubscriberListener* SubscriberDelegate::listener() const {
    checkOpen(225);
    return listener_;
}

void SubscriberDelegate::close() {
    checkOpen(237);
    vexa::core::EntityDelegate::close();
    subscriber_->closedByApi();
}

vexa::dcps::api::DataReaderImpl* SubscriberDelegate::create_datareader(
    vexa::dcps::Topic* topic, ::dds::sub::qos::DataReaderQos const* q,
    vexa::dcps::api::DREventForwarder* forwarder, ::dds::core::status::StatusMask const* mask) {
    checkOpen(262);
    if (topic == nullptr) {
        throw ::dds::core::NullReferenceError("Topic does not exist at SubscriberDelegate:267");
    }
    if (topic->getParticipant() != participant_->participant()) {
        throw ::dds::core::PreconditionNotMetError(
            "Topic was not created by the Domain Participant at SubscriberDelegate:267");
    }
    vexa::dds::DataReaderQos core;
    if (q != nullptr) {
        checkReaderQos(*q, true, 279, 283, 288);
        vexa::sub::qos::convertQos(*q, core);
        vexa::core::checkKeepLastDepth(core.history.kind == vexa::dds::KEEP_LAST_HISTORY_QOS,
                                       core.history.depth, DELEGATE, 279);
    }
    uint32_t const m = mask != nullptr ? static_cast<uint32_t>(mask->to_ulong()) : 0;
    vexa::dcps::Reader* reader =
        subscriber_->createDR(topic, q != nullptr ? &core : nullptr, forwarder, m);
    return reader != nullptr ? reader->getBridge() : nullptr;
}

vexa::dds::ReturnCode_t SubscriberDelegate::delete_datareader(
    vexa::dcps::api::DataReaderImpl* reader) {
    checkOpen(321);
    return subscriber_->deleteDR(reader);
}

vexa::dcps::api::DataReaderImpl* SubscriberDelegate::lookup_data_reader(
    std::string const& topic_name, std::weak_ptr<vexa::core::EntityBase>& api,
    std::string& type_name) {
    checkOpen(337);
    vexa::dcps::api::DataReaderImpl* bridge = subscriber_->lookupDR(topic_name);
    if (bridge != nullptr) {
        api = api_obj(bridge->getEntity());
        type_name = bridge->get_topicdescription()->getTypeName();
    }
    return bridge;
}

void SubscriberDelegate::get_datareaders(std::vector<ReaderAndNames>& out,
                                         vexa::dds::SampleStateMask sampleStates,
                                         vexa::dds::ViewStateMask viewStates,
                                         vexa::dds::InstanceStateMask instanceStates) {
    checkOpen(357);
    std::vector<vexa::dcps::api::DataReaderImpl*> readers;
    subscriber_->getDataReaders(readers, sampleStates, viewStates, instanceStates);
    for (vexa::dcps::api::DataReaderImpl* bridge : readers) {
        if (bridge == nullptr) {
            continue;
        }
        vexa::dcps::TopicDescription* td = bridge->get_topicdescription();
        out.push_back({bridge, api_obj(bridge->getEntity()), td->getName(), td->getTypeName()});
    }
}

bool SubscriberDelegate::is_builtin() const {
    return subscriber_->isBuiltin();
}

void SubscriberDelegate::init_builtin(vexa::dcps::Subscriber* builtin) {
    if (subscriber_ != nullptr) {
        participant_->delete_subscriber(subscriber_);
    }
    subscriber_ = builtin;
    setEntity(builtin);
    vexa::dds::SubscriberQos sq;
    builtin->getQoS(sq);
    vexa::sub::qos::convertQos(sq, qos_);
    vexa::dds::DataReaderQos dr;
    builtin->getDefaultDRQoS(dr);
    vexa::sub::qos::convertQos(dr, default_dr_qos_);
}

}  // namespace sub
}  // namespace vexa
