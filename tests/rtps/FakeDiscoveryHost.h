#pragma once

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "rtps/discovery/DiscoveryHost.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/participant/CommunicationObject.h"

// A participant as participant discovery sees it, recording every call; it has no endpoints of
// its own. Sockets are opaque tokens that nothing dereferences.
class FakeDiscoveryHost : public RTPS::DiscoveryHost, public RTPS::CommunicationObject {
public:
    enum class SocketAnswer { Token, Null, Throw };

    struct Match {
        RTPS::EntityId_t local;
        RTPS::GUID_t remote;
        RTPS::Locator_t locator;
        bool expectsInlineQos;
    };

    // DiscoveryHost
    RTPS::CommunicationObject* communicationObject() override { return this; }
    RTPS::RTPSOutSocket* getSocket(RTPS::Locator_t& locator) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        socketsAsked.push_back(locator);
        switch (socketAnswer) {
            case SocketAnswer::Null:
                return nullptr;
            case SocketAnswer::Throw:
                throw std::runtime_error("refused");
            case SocketAnswer::Token:
                break;
        }
        return token();
    }
    void manualResend() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++resends;
    }
    bool matchRemoteWriter(RTPS::EntityId_t const& localReader,
                           RTPS::WriterProxyInfo const& remote) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        writerMatches.push_back(
            {localReader, remote.remoteWriterGuid, remote.unicastLocatorList.at(0), false});
        return true;
    }
    bool matchRemoteReader(RTPS::EntityId_t const& localWriter,
                           RTPS::ReaderProxyInfo const& remote) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        readerMatches.push_back({localWriter, remote.remoteReaderGuid,
                                 remote.unicastLocatorList.at(0), remote.expectsInlineQos});
        return true;
    }
    void removeMatchedEndpoints(RTPS::GUID_t const& remote) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        removed.push_back(remote);
    }
    // This participant has no endpoints of its own.
    void getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const*,
                           std::vector<RTPS::EndpointHandle<RTPS::LocalReader>>& out) override {
        out.clear();
    }
    void getMatchedWriters(vexa::dds::SubscriptionBuiltinTopicData const*,
                           std::vector<RTPS::EndpointHandle<RTPS::LocalWriter>>& out) override {
        out.clear();
    }
    void checkMatchedWriter(RTPS::DiscoveredWriterData const&) override {}
    void checkMatchedReader(RTPS::DiscoveredReaderData const&) override {}
    void addReceiver(RTPS::Locator_t const&) override {}
    void reannounceReader(RTPS::LocalReader*) override {}
    void discoveredForDSVC(RTPS::GUID_t const&,
                           vexa::dds::SubscriptionBuiltinTopicData const&) override {}

    // CommunicationObject
    bool changeAvailable(RTPS::Reader*, void*, RTPS::SampleInfo* sample) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        reported.push_back(sample);
        return true;
    }
    void assertLiveliness(RTPS::Reader*, void*, unsigned int* guidPrefix,
                          unsigned int value) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        RTPS::GUID_t g{};
        std::memcpy(g.guidPrefix, guidPrefix, RTPS::GUID_PREFIX_SIZE);
        asserted.push_back({g, value});
    }
    void participantLost(unsigned int* guid) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        RTPS::GUID_t g{};
        std::memcpy(&g, guid, sizeof g);
        lost.push_back(g);
        m_lostCv.notify_all();
    }

    // Waits (up to the time-out) until `n` participants were reported lost.
    bool waitLost(size_t n, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_lostCv.wait_for(lock, timeout, [&] { return lost.size() >= n; });
    }

    static RTPS::RTPSOutSocket* token() {
        static char t;
        return reinterpret_cast<RTPS::RTPSOutSocket*>(&t);
    }

    SocketAnswer socketAnswer = SocketAnswer::Token;
    std::vector<RTPS::Locator_t> socketsAsked;
    int resends = 0;
    std::vector<Match> writerMatches;
    std::vector<Match> readerMatches;
    std::vector<RTPS::GUID_t> removed;
    std::vector<RTPS::SampleInfo*> reported;
    std::vector<std::pair<RTPS::GUID_t, unsigned>> asserted;
    std::vector<RTPS::GUID_t> lost;

private:
    std::mutex m_mutex;
    std::condition_variable m_lostCv;
};
