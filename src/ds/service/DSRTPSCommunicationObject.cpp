#include "ds/service/DSRTPSCommunicationObject.h"

#include <chrono>
#include <mutex>

#include "common/log/Logger.h"
#include "common/res/DsMessages.h"
#include "ds/service/DSDomainParticipant.h"
#include "ds/service/DSSubscriberBuiltin.h"
#include "ds/service/DomainSubscriber.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/reader/Reader.h"

namespace vexa::ds {

namespace {

long long sequenceOf(const RTPS::SampleInfo* sample) {
    return sample ? (long long)(uint64_t(uint32_t(sample->sequenceNumber.high)) << 32 |
                                sample->sequenceNumber.low)
                  : 0;
}

}  // namespace

bool DSRTPSCommunicationObject::changeAvailable(RTPS::Reader* reader, void* userData,
                                                RTPS::SampleInfo* sample) {
    if (isStopped())
        return false;
    m_owner.waitUntilBuilt();
    if (isStopped() || sample == nullptr)
        return false;
    if (userData == nullptr) {
        // A discovery record: handled here, on the engine's thread.
        if (DSSubscriberBuiltin* builtin = m_owner.builtinSubscriber())
            builtin->ddsisampleHandler(reader, sample);
        return false;
    }
    vexalog::Logger::getLogger().logMessage("DS::DSRTPSCommunicationObject::changeAvailable", 7,
                                            vexares::DS_MSG_SAMPLE_QUEUED, sequenceOf(sample));
    DomainSubscriber* subscriber = m_owner.subscriber();
    if (subscriber == nullptr ||
        !subscriber->ddsisampleHandler(static_cast<DSReader*>(userData), sample))
        return false;
    m_pending.fetch_add(1);
    wake();
    return true;
}

void DSRTPSCommunicationObject::assertLiveliness(RTPS::Reader*, void* userData,
                                                 unsigned int* guidPrefix, unsigned int entityId) {
    if (isStopped() || guidPrefix == nullptr)
        return;
    m_owner.waitUntilBuilt();
    if (isStopped())
        return;
    if (userData != nullptr) {
        if (DomainSubscriber* subscriber = m_owner.subscriber())
            subscriber->assertLiveliness(static_cast<DSReader*>(userData), guidPrefix, entityId);
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(m_owner.lock());
    DSSubscriberBuiltin* builtin = m_owner.builtinSubscriber();
    if (builtin && m_owner.rtps())
        builtin->assertLiveliness(guidPrefix, entityId != 0);
}

void DSRTPSCommunicationObject::participantLost(unsigned int* guidPrefix) {
    if (isStopped() || guidPrefix == nullptr)
        return;
    m_owner.waitUntilBuilt();
    std::lock_guard<std::recursive_mutex> guard(m_owner.lock());
    if (DSSubscriberBuiltin* builtin = m_owner.builtinSubscriber())
        builtin->participantLostByRTPS(guidPrefix);
}

void DSRTPSCommunicationObject::getHistoricalData(
    unsigned int const* guidPrefix, unsigned int entityId,
    vexa::dds::SubscriptionBuiltinTopicData const* subscription) {
    if (isStopped() || guidPrefix == nullptr || subscription == nullptr)
        return;
    m_owner.waitUntilBuilt();
    m_owner.requestHistory(guidPrefix, entityId, *subscription);
    wake();
}

void DSRTPSCommunicationObject::stopHistoricalData(unsigned int const* guidPrefix,
                                                   unsigned int entityId) {
    if (isStopped() || guidPrefix == nullptr)
        return;
    m_owner.waitUntilBuilt();
    m_owner.stopSendingHistory(guidPrefix, entityId);
}

bool DSRTPSCommunicationObject::readMsg(RTPS::Reader* reader, RTPS::SampleInfo* in,
                                        unsigned (*prefix)[3], unsigned* entityId,
                                        RTPS::SampleInfo& out) {
    if (reader == nullptr)
        return false;
    try {
        reader->getChange(in, prefix, entityId, out);
        return true;
    } catch (const RTPS::DDSIException& e) {
        vexalog::Logger::getLogger().logMessage("DS::DSRTPSCommunicationObject::readMsg", 3,
                                                vexares::DS_MSG_READ_FAILED, sequenceOf(in),
                                                e.what());
        return false;
    }
}

void DSRTPSCommunicationObject::deleteMsg(RTPS::Reader* reader, RTPS::SampleInfo* in) {
    if (reader == nullptr)
        return;
    try {
        reader->deleteChange(in);
    } catch (const RTPS::DDSIException&) {
        // The engine keeps it; the queue entry is done either way.
    }
}

void DSRTPSCommunicationObject::waitForWork(int64_t ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock<std::mutex> guard(m_mutex);
    m_waiting.store(true);
    // Checking pending here too closes the gap between the caller's check and this sleep: a
    // producer that counted its entry before seeing `waiting` set is seen here instead.
    m_wakeup.wait_until(guard, deadline,
                        [this] { return !m_waiting.load() || m_pending.load() > 0; });
    m_waiting.store(false);
}

void DSRTPSCommunicationObject::wake(bool always) {
    if (!always && !m_waiting.load())
        return;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_waiting.store(false);
    }
    m_wakeup.notify_one();
}

}  // namespace vexa::ds
