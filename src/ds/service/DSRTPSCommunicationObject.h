#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "rtps/participant/CommunicationObject.h"

namespace vexa::ds {

class DSDomainParticipant;

// The engine's callbacks for one served domain, and the data thread's wake-up. The engine calls
// in on its own threads; once stopHandlingInput has run, every callback does nothing.
// Lock order: the wake-up mutex is the innermost lock; nothing is called while holding it.
class DSRTPSCommunicationObject : public RTPS::CommunicationObject {
public:
    explicit DSRTPSCommunicationObject(DSDomainParticipant& owner) : m_owner(owner) {}

    bool changeAvailable(RTPS::Reader* reader, void* userData, RTPS::SampleInfo* sample) override;
    void assertLiveliness(RTPS::Reader* reader, void* userData, unsigned int* guidPrefix,
                          unsigned int entityId) override;
    void participantLost(unsigned int* guidPrefix) override;
    void getHistoricalData(unsigned int const* guidPrefix, unsigned int entityId,
                           vexa::dds::SubscriptionBuiltinTopicData const* subscription) override;
    void stopHistoricalData(unsigned int const* guidPrefix, unsigned int entityId) override;

    // Reads an announced change of `reader`; false (logged) when the engine refuses, and the
    // change is then left to the engine.
    bool readMsg(RTPS::Reader* reader, RTPS::SampleInfo* in, unsigned (*prefix)[3],
                 unsigned* entityId, RTPS::SampleInfo& out);
    // Removes a change the service has stored; an engine refusal is ignored.
    void deleteMsg(RTPS::Reader* reader, RTPS::SampleInfo* in);
    // A queued entry has left the work list, whatever readMsg and deleteMsg answered for it.
    void entryDone() { m_pending.fetch_sub(1); }

    void stopHandlingInput() { m_stopped.store(true); }
    bool isStopped() const { return m_stopped.load(); }

    // Queue entries not yet taken off the work list. The data thread sleeps only while it is 0.
    int32_t pending() const { return m_pending.load(); }

    // Data thread: sleeps up to `ms` unless a producer or a stop wakes it first.
    void waitForWork(int64_t ms);
    // Producers: ends a sleep in progress. The stop passes `always`, since it may come before
    // the thread has marked itself waiting.
    void wake(bool always = false);

private:
    DSDomainParticipant& m_owner;
    std::atomic<int32_t> m_pending{0};
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_waiting{false};
    std::mutex m_mutex;
    std::condition_variable m_wakeup;
};

}  // namespace vexa::ds
