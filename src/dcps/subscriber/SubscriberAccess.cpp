// The subscriber's locked front-ends of its readers: loans, the wait for historical data,
// keys, read conditions, listeners and status getters.
#include <algorithm>
#include <chrono>
#include <exception>
#include <mutex>

#include "common/os/OsTime.h"
#include "dcps/domain/DomainParticipant.h"
#include "dcps/entity/EndpointGate.h"
#include "dcps/subscriber/Reader.h"
#include "dcps/subscriber/Subscriber.h"
#include "rtps/reader/Reader.h"
#include "vexa/SampleSeq.h"

namespace vexa::dcps {

using vexa::dds::ReturnCode_t;

namespace {

// One engine wait lasts at most this long, so a reader that goes is noticed soon.
constexpr uint64_t SLICE_MKS = 100000;

}  // namespace

ReturnCode_t Subscriber::loanSamples(api::SampleSeq& seq, Reader* reader, bool read,
                                     int32_t maxSamples, uint32_t sampleMask, uint32_t viewMask,
                                     uint32_t instanceMask) {
    if (maxSamples == 0) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isOurs(reader)) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    if (qos_.presentation.ordered_access &&
        qos_.presentation.access_scope == vexa::dds::GROUP_PRESENTATION_QOS) {
        maxSamples = 1;
    }
    if (!reader->isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    if (reader->getRTPS() == nullptr) {
        return vexa::dds::RETCODE_ALREADY_DELETED;  // closed with its participant or subscriber
    }
    reset_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
    size_t const before = seq.size();
    reader->loanSamples(seq, read, maxSamples, sampleMask, viewMask, instanceMask);
    return seq.size() == before ? vexa::dds::RETCODE_NO_DATA : vexa::dds::RETCODE_OK;
}

ReturnCode_t Subscriber::loanInstanceSamples(api::SampleSeq& seq, Reader* reader, bool read,
                                             vexa::dds::InstanceHandle_t handle, bool next,
                                             int32_t maxSamples, uint32_t sampleMask,
                                             uint32_t viewMask, uint32_t instanceMask) {
    if (maxSamples == 0) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isOurs(reader)) {
        return vexa::dds::RETCODE_BAD_PARAMETER;
    }
    if (qos_.presentation.ordered_access &&
        qos_.presentation.access_scope == vexa::dds::GROUP_PRESENTATION_QOS) {
        maxSamples = 1;
    }
    if (!reader->isEnabled()) {
        return vexa::dds::RETCODE_NOT_ENABLED;
    }
    if (reader->getRTPS() == nullptr) {
        return vexa::dds::RETCODE_ALREADY_DELETED;
    }
    reset_status_changes(vexa::dds::DATA_ON_READERS_STATUS);
    return next ? reader->loanNextInstanceSamples(seq, read, handle, maxSamples, sampleMask,
                                                  viewMask, instanceMask)
                : reader->loanInstanceSamples(seq, read, handle, maxSamples, sampleMask, viewMask,
                                              instanceMask);
}

ReturnCode_t Subscriber::returnLoan(api::SampleSeq& seq, Reader* reader) {
    if (seq.empty()) {
        return vexa::dds::RETCODE_OK;
    }
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    if (!isOurs(reader)) {
        return vexa::dds::RETCODE_PRECONDITION_NOT_MET;
    }
    return reader->returnLoan(seq);
}

ReturnCode_t Subscriber::waitForHistoricalData(vexa::dds::Duration_t limit, Reader* reader) {
    std::shared_ptr<ReaderGate> gate;
    RTPS::Reader* engine = nullptr;
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        if (!isOurs(reader)) {
            return vexa::dds::RETCODE_BAD_PARAMETER;
        }
        if (!reader->isEnabled() || reader->getRTPS() == nullptr) {
            return vexa::dds::RETCODE_NOT_ENABLED;
        }
        if (reader->getQoS().durability.kind == vexa::dds::VOLATILE_DURABILITY_QOS) {
            return vexa::dds::RETCODE_OK;
        }
        gate = reader->gate();
        engine = gate->enter();
        if (engine == nullptr) {
            return vexa::dds::RETCODE_NOT_ENABLED;
        }
    }
    // From here on only the gate and the engine reader are touched: the reader may be deleted
    // meanwhile, and its engine reader is closed only after this call leaves the gate.
    bool const infinite = limit == vexa::dds::DURATION_INFINITE;
    uint64_t const total =
        limit.sec < 0 ? 0 : static_cast<uint64_t>(limit.sec) * 1000000u + limit.nanosec / 1000u;
    uint64_t const deadline = vexa::OsGetMonotonicMks() + total;
    ReturnCode_t result = vexa::dds::RETCODE_TIMEOUT;
    for (;;) {
        if (gate->released()) {
            result = vexa::dds::RETCODE_ALREADY_DELETED;
            break;
        }
        uint64_t const now = vexa::OsGetMonotonicMks();
        uint64_t const slice =
            infinite ? SLICE_MKS : std::min(SLICE_MKS, deadline > now ? deadline - now : 0);
        vexa::dds::Duration_t d;
        d.sec = static_cast<int32_t>(slice / 1000000u);
        d.nanosec = static_cast<uint32_t>(slice % 1000000u) * 1000u;
        try {
            if (engine->waitForHistoricalData(d)) {
                result = vexa::dds::RETCODE_OK;
                break;
            }
        } catch (std::exception const&) {
            result = vexa::dds::RETCODE_ERROR;
            break;
        }
        if (!infinite && vexa::OsGetMonotonicMks() >= deadline) {
            break;
        }
    }
    gate->leave();
    return result;
}

ReturnCode_t Subscriber::getKeyValue(void* keyHolder, vexa::dds::InstanceHandle_t handle,
                                     Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->getKeyValue(keyHolder, handle)
                          : vexa::dds::RETCODE_BAD_PARAMETER;
}

vexa::dds::InstanceHandle_t Subscriber::lookupInstance(void const* data, Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->lookupInstance(data) : vexa::dds::HANDLE_NIL;
}

ReturnCode_t Subscriber::setReaderListener(api::DREventForwarder* listener, uint32_t mask,
                                           Reader* reader) {
    api::DREventForwarder* old;
    {
        std::lock_guard<CoreRecursiveMutex> lock(mutex_);
        if (!isOurs(reader)) {
            return vexa::dds::RETCODE_BAD_PARAMETER;
        }
        old = reader->getListener();
        reader->setListener(listener, mask);
    }
    participant_->listenerCalls().replaced(old, listener);
    return vexa::dds::RETCODE_OK;
}

ReadCondition* Subscriber::createReadCondition(uint32_t sampleMask, uint32_t viewMask,
                                               uint32_t instanceMask, Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->createReadCondition(sampleMask, viewMask, instanceMask)
                          : nullptr;
}

ReturnCode_t Subscriber::deleteReadCondition(ReadCondition* condition, Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->deleteReadCondition(condition)
                          : vexa::dds::RETCODE_PRECONDITION_NOT_MET;
}

ReturnCode_t Subscriber::deleteAllReadConditions(Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->deleteAllReadConditions()
                          : vexa::dds::RETCODE_PRECONDITION_NOT_MET;
}

ReturnCode_t Subscriber::getLivelinessChangedStatus(vexa::dds::LivelinessChangedStatus& out,
                                                    Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->getLivelinessChangedStatus(out)
                          : vexa::dds::RETCODE_BAD_PARAMETER;
}

ReturnCode_t Subscriber::getRequestedDeadlineMissedStatus(vexa::dds::DeadlineMissedStatus& out,
                                                          Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->getRequestedDeadlineMissedStatus(out)
                          : vexa::dds::RETCODE_BAD_PARAMETER;
}

ReturnCode_t Subscriber::getRequestedIncompatibleQosStatus(vexa::dds::IncompatibleQosStatus& out,
                                                           Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->getRequestedIncompatibleQosStatus(out)
                          : vexa::dds::RETCODE_BAD_PARAMETER;
}

ReturnCode_t Subscriber::getSampleLostStatus(vexa::dds::SampleLostStatus& out, Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->getSampleLostStatus(out) : vexa::dds::RETCODE_BAD_PARAMETER;
}

ReturnCode_t Subscriber::getSampleRejectedStatus(vexa::dds::SampleRejectedStatus& out,
                                                 Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->getSampleRejectedStatus(out) : vexa::dds::RETCODE_BAD_PARAMETER;
}

ReturnCode_t Subscriber::getSubscriptionMatchedStatus(vexa::dds::SubscriptionMatchedStatus& out,
                                                      Reader* reader) {
    std::lock_guard<CoreRecursiveMutex> lock(mutex_);
    return isOurs(reader) ? reader->getSubscriptionMatchedStatus(out)
                          : vexa::dds::RETCODE_BAD_PARAMETER;
}

}  // namespace vexa::dcps
