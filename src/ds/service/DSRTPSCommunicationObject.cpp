#include "ds/service/DSRTPSCommunicationObject.h"

#include <chrono>

#include "common/log/Logger.h"
#include "common/res/DsMessages.h"
#include "ds/service/DSDomainParticipant.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/reader/Reader.h"

namespace vexa::ds {

// The sample and discovery handlers come with the stored-reader set and the discovery
// bookkeeping; until then a callback only waits for addDomain to finish building the domain.
bool DSRTPSCommunicationObject::changeAvailable(RTPS::Reader*, void*, RTPS::SampleInfo*) {
    if (isStopped())
        return false;
    m_owner.waitUntilBuilt();
    return false;
}

void DSRTPSCommunicationObject::assertLiveliness(RTPS::Reader*, void*, unsigned int*,
                                                 unsigned int) {}

void DSRTPSCommunicationObject::participantLost(unsigned int*) {}

void DSRTPSCommunicationObject::getHistoricalData(unsigned int const*, unsigned int,
                                                  vexa::dds::SubscriptionBuiltinTopicData const*) {
    if (isStopped())
        return;
    wake();
}

void DSRTPSCommunicationObject::stopHistoricalData(unsigned int const*, unsigned int) {}

bool DSRTPSCommunicationObject::readMsg(RTPS::Reader* reader, RTPS::SampleInfo* in,
                                        unsigned (*prefix)[3], unsigned* entityId,
                                        RTPS::SampleInfo& out) {
    if (reader == nullptr)
        return false;
    try {
        reader->getChange(in, prefix, entityId, out);
        return true;
    } catch (const RTPS::DDSIException& e) {
        const long long sequence =
            in ? (int64_t(in->sequenceNumber.high) << 32) | in->sequenceNumber.low : 0;
        vexalog::Logger::getLogger().logMessage("DS::DSRTPSCommunicationObject::readMsg", 3,
                                                vexares::DS_MSG_READ_FAILED, sequence, e.what());
        return false;
    }
}

void DSRTPSCommunicationObject::deleteMsg(RTPS::Reader* reader, RTPS::SampleInfo* in) {
    if (reader == nullptr)
        return;
    try {
        reader->deleteChange(in);
    } catch (const RTPS::DDSIException&) {
        // Gone already or the reader is closing: nothing is left to free.
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
