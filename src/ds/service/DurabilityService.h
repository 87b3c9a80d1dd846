#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ds/service/DomainEngine.h"

namespace vexaconf {
class ConfigurationManager;
}

namespace vexa::ds {

class DSDomainParticipant;

// The service: up to ten served domains, the settings of ds.cfg and the garbage collector.
// Lock order: the service lock is taken before any domain's lock.
class DurabilityService {
public:
    static constexpr unsigned MAX_DOMAINS = 10;
    static constexpr unsigned MAX_DOMAIN_ID = 229;
    static constexpr int DEFAULT_MAX_SAMPLES_PER_READER = 1024;
    static constexpr int DEFAULT_COLLECT_GARBAGE_PERIOD = 120;

    // Never null; check isStarted().
    static DurabilityService* start(const DomainEngine& engine);

    explicit DurabilityService(const DomainEngine& engine);
    ~DurabilityService();

    DurabilityService(const DurabilityService&) = delete;
    DurabilityService& operator=(const DurabilityService&) = delete;

    bool isStarted() const { return m_started; }
    int getMaxSamplesPerReader() const { return m_maxSamplesPerReader; }
    int getCollectGarbagePeriod() const { return m_collectGarbagePeriod; }

    bool addDomain(unsigned domainId);
    bool closeDomain(unsigned domainId);
    // Served ids in slot order.
    void listDomains(std::vector<unsigned>& out) const;
    unsigned countDomains() const;
    // The slot serving the id, else the first free one; -1 for a full table or a bad id.
    int getDomainIndex(unsigned domainId) const;
    static void getGUID12(unsigned (&prefix)[3]);

    void collectGarbage();
    bool startGarbageCollector();
    void stopGarbageCollector();
    bool isGarbageCollectorRunning() const { return m_gcThread != 0; }

private:
    static void GarbageCollectorThread(void* self);
    void collectorLoop();
    void freeSlot(int index);

    const DomainEngine m_engine;
    bool m_started = false;
    DSDomainParticipant* m_domains[MAX_DOMAINS] = {};
    unsigned m_domainCount = 0;
    int m_maxSamplesPerReader = DEFAULT_MAX_SAMPLES_PER_READER;
    int m_collectGarbagePeriod = DEFAULT_COLLECT_GARBAGE_PERIOD;
    std::unique_ptr<vexaconf::ConfigurationManager> m_config;
    std::atomic<bool> m_gcRunning{false};
    // The collector waits on m_gcWake under m_gcMutex (a leaf), so a stop ends its wait at once.
    std::mutex m_gcMutex;
    std::condition_variable m_gcWake;
    pthread_t m_gcThread = 0;
    mutable std::recursive_mutex m_lock;
};

// The process's service, made by main.
extern DurabilityService* pds;

}  // namespace vexa::ds
