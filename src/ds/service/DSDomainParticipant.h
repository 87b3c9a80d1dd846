#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "ds/service/DSRTPSCommunicationObject.h"
#include "ds/service/DSTimeService.h"
#include "ds/service/DomainEngine.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {
class Participant;
class Reader;
class Writer;
}  // namespace RTPS

namespace vexa::ds {

class DurabilityService;

// One served domain: its engine participant in durability-server role, the engine callbacks,
// the domain clock and the data thread.
// Lock order: service lock -> domain lock (`lock()`) -> subscriber lock -> built-in lock ->
// sample input lock. The engine participant is destroyed, which joins every engine thread,
// before any member its callbacks reach.
class DSDomainParticipant {
public:
    // The two bytes of user data that mark a durability service's participant.
    static constexpr char DURABILITY_SERVICE_ID[] = "DS";
    static constexpr int32_t INSTANCE_HANDLE = 65535;

    DSDomainParticipant(const DurabilityService& service, unsigned domainId,
                        const DomainEngine& engine);
    ~DSDomainParticipant();

    DSDomainParticipant(const DSDomainParticipant&) = delete;
    DSDomainParticipant& operator=(const DSDomainParticipant&) = delete;

    unsigned getDomainId() const { return m_domainId; }
    const DurabilityService& service() const { return m_service; }
    std::recursive_mutex& lock() { return m_lock; }
    vexa::dds::ParticipantBuiltinTopicData& participantData() { return m_participantData; }
    DSRTPSCommunicationObject& comm() { return *m_comm; }
    DSTimeService& clock() { return m_clock; }
    RTPS::Participant* rtps() const { return m_rtps; }

    // Takes ownership of the engine participant and fetches its built-in endpoints.
    void setRTPS(RTPS::Participant* participant);
    // Marks the domain complete: callbacks that came in while it was being built go on.
    void setBuilt() { m_built.store(true); }
    // Callbacks: returns once addDomain has finished building the domain (it holds the domain
    // lock until then).
    void waitUntilBuilt();

    bool startHandlingData();
    void stopHandlingData();
    bool isHandlingData() const { return m_running.load(); }

    // Stops input and the data thread, announces the departure and deletes the engine
    // participant. The destructor does the same without the announcement.
    void close();
    void collectGarbage();

private:
    static void DataHandlingThread(void* self);
    void dataLoop();
    void periodicStatusCheck();
    void handleSubscriptions();
    void deleteEngine();

    const DurabilityService& m_service;
    const unsigned m_domainId;
    const DomainEngine m_engine;
    DSTimeService m_clock;
    vexa::dds::ParticipantBuiltinTopicData m_participantData;
    std::unique_ptr<DSRTPSCommunicationObject> m_comm;
    RTPS::Participant* m_rtps = nullptr;
    RTPS::Writer* m_participantWriter = nullptr;
    std::atomic<bool> m_built{false};
    std::atomic<bool> m_running{false};
    pthread_t m_dataThread = 0;
    std::recursive_mutex m_lock;
};

}  // namespace vexa::ds
