#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rtps/history/EndpointConfig.h"
#include "rtps/participant/Entity.h"
#include "rtps/history/HistoryCache.h"
#include "rtps/wire/Locator.h"
#include "rtps/writer/BusyCount.h"

namespace RTPS {

class Participant;

// Common base of the engine's writers and readers: configuration values, multicast locators,
// the history cache and the use count that keeps the endpoint alive while a lookup holds it.
class Endpoint : public Entity {
public:
    // Throws BAD_PARAMETERS for a null configuration.
    Endpoint(Participant* participant, EndpointConfig const* config);
    // Waits until no lookup holds the endpoint; destroys the history with every change.
    ~Endpoint() override;

    Endpoint(Endpoint const&) = delete;
    Endpoint& operator=(Endpoint const&) = delete;

    // Appends the locator unless an equal one is listed; true when it was added. Logged either
    // way.
    bool addMulticastLocator(Locator_t const& locator);
    void getMulticastLocatorList(std::vector<Locator_t>& out);
    bool hasMulticastLocators() const { return m_hasMulticast.load(); }

    unsigned long removeGarbage(unsigned long max) { return m_history.removeGarbage(max); }

    // Releases the description mutex when the calling thread holds it from takeDCPSConfig;
    // does nothing otherwise (takeDCPSConfig may have returned without locking).
    void freeDCPSConfig();

    // The use count: raised by each lookup that hands the endpoint out, lowered when the
    // lookup is done (never below 0). Both are one atomic step; only the lowering that ends the
    // last use while an owner waits takes a mutex.
    void raiseUseCount();
    void lowerUseCount();
    uint32_t getUseCount();
    // Blocks until the use count is 0. Owners call it before they destroy a derived endpoint,
    // so that no lookup reaches a half-destroyed object.
    void waitUntilUnused();

    HistoryCache& getHistory() { return m_history; }
    Participant* getParticipant() const { return m_participant; }
    uint32_t getTopicKind() const { return m_topicKind; }
    uint32_t getReliabilityLevel() const { return m_reliabilityLevel; }
    Locator_t const& getUnicastLocator() const { return m_unicastLocator; }
    uint32_t getHistoryReserve() const { return m_historyReserve; }
    std::string const& getName() const { return m_name; }
    std::string const& getLogName() const { return m_logName; }

protected:
    // For takeDCPSConfig of writers and readers: locks the description mutex for the calling
    // thread (nested calls nest).
    void lockDescription();

    Participant* const m_participant;
    std::string m_name;  // filled by the writer or reader
    const uint32_t m_topicKind;
    const uint32_t m_reliabilityLevel;
    const Locator_t m_unicastLocator;

    std::recursive_mutex m_multicastMutex;
    std::vector<Locator_t> m_multicastLocators;
    std::atomic<bool> m_hasMulticast{false};

    const uint32_t m_historyReserve;
    std::string m_logName;  // filled by the writer or reader

    std::recursive_mutex m_descriptionMutex;
    std::atomic<std::thread::id> m_descriptionOwner{};
    unsigned m_descriptionDepth = 0;  // touched only by the owner

    HistoryCache m_history;

private:
    // The waiter returns only once the lowering that ended the last use is done with the
    // count: the endpoint may be destroyed right after.
    BusyCount m_uses;
};

}  // namespace RTPS
