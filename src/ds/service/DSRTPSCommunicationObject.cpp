#include "ds/service/DSRTPSCommunicationObject.h"

#include <chrono>

#include "ds/service/DSDomainParticipant.h"

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
