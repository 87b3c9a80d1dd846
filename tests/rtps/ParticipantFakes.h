#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FakeTransport.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/CommunicationObject.h"
#include "rtps/participant/ComponentFactory.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/DiscoveryDirectory.h"
#include "rtps/participant/DsvcLink.h"
#include "rtps/participant/LocalReader.h"
#include "rtps/participant/LocalWriter.h"
#include "rtps/participant/ParticipantImpl.h"
#include "rtps/wire/HeartbeatData.h"

// Fakes of the parts a participant gets from its ComponentFactory: writers and readers that
// record what the participant asks of them, a discovery directory the test fills, a DSVC link
// with knobs. Every fake endpoint counts itself in `live`, so a test sees that none is left.

namespace participant_test {

inline uint8_t const OWN_PREFIX[12] = {0xAA, 0xAA, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
inline uint8_t const REMOTE_PREFIX[12] = {0xAA, 0xAA, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

inline std::atomic<int>& liveEndpoints() {
    static std::atomic<int> live{0};
    return live;
}

// What a writer's announcement carried, copied during the call.
struct Announcement {
    int32_t instanceHandle;
    vexa::dds::Time_t timestamp;
    std::string topic;
    uint64_t length;
};

class FakeWriter : public RTPS::LocalWriter {
public:
    FakeWriter(RTPS::ParticipantImpl* p, RTPS::EndpointConfig const& config,
               vexa::dds::PublicationBuiltinTopicData const& description, bool builtin)
        : LocalWriter(p, &config), config(config), m_description(description), m_builtin(builtin) {
        ++liveEndpoints();
    }
    ~FakeWriter() override { --liveEndpoints(); }

    RTPS::Writer* asWriter() override { return reinterpret_cast<RTPS::Writer*>(&m_tag); }
    void start() override { ++starts; }
    void stop() override { stopped = true; }

    int64_t addChange(RTPS::SampleInfo* sample) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Announcement a{sample->instanceHandle, sample->sourceTimestamp, {}, sample->length};
        RTPS::EntityId_t const id = getGuid().entityId;
        if (id == RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER) {
            a.topic =
                static_cast<vexa::dds::PublicationBuiltinTopicData*>(sample->data)->topic_name;
        } else if (id == RTPS::_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER) {
            a.topic =
                static_cast<vexa::dds::SubscriptionBuiltinTopicData*>(sample->data)->topic_name;
        }
        added.push_back(a);
        return static_cast<int64_t>(added.size()) << 32;
    }
    bool deleteChange(long handle) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        deleted.push_back(handle);
        return true;
    }
    void checkMatchedReaders(std::vector<RTPS::ReaderProxyInfo*> readers) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        matched.clear();
        for (auto* r : readers) {
            matched.push_back(*r);
        }
    }
    void removeMatchedReaders(RTPS::GUID_t remote) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            removed.push_back(remote);
        }
        if (onRemoveMatchedReaders) {
            onRemoveMatchedReaders();
        }
    }
    vexa::dds::PublicationBuiltinTopicData* takeDCPSConfig() override {
        if (stopped) {
            return nullptr;
        }
        lockDescription();
        return &m_description;
    }
    bool allDelivered() override {
        if (onAllDelivered) {
            return onAllDelivered();
        }
        return delivered.load();
    }
    void setTimestamp(vexa::dds::Time_t const& t) override { timestamp = t; }
    vexa::dds::Time_t getTimestamp() override { return timestamp; }
    vexa::dds::LivelinessQosPolicy getLivelinessQosPolicy() override {
        return m_description.liveliness;
    }
    bool livelinessShown() override { return shown; }
    void clearLivelinessShown() override { shown = false; }
    bool reader_locator_add(RTPS::Locator_t const& locator, bool multicast) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        readerLocators.push_back(locator);
        readerLocatorMulticast = multicast;
        return acceptLocators;
    }
    void checkMatchedReader(RTPS::DiscoveredReaderData const* data) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        checked.push_back(*data);
    }
    bool matchedReaderAdd(RTPS::ReaderProxyInfo const& reader) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        builtinMatches.push_back(reader);
        return true;
    }
    void matchedAddMulticastLocator(RTPS::GUID_t const& reader, RTPS::Locator_t& group) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        proxyGroups.emplace_back(reader, group);
    }
    void manualResend() override { ++resends; }

    size_t addedCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return added.size();
    }

    RTPS::EndpointConfig config;
    std::atomic<int> starts{0};
    std::atomic<bool> stopped{false};
    std::atomic<bool> delivered{true};
    std::function<bool()> onAllDelivered;
    // Called (outside the fake's mutex) by each removeMatchedReaders: a test holds the calling
    // thread there, or throws to end the participant's walk.
    std::function<void()> onRemoveMatchedReaders;
    vexa::dds::Time_t timestamp{};
    std::atomic<bool> shown{false};
    bool acceptLocators = true;
    bool readerLocatorMulticast = false;
    std::vector<RTPS::Locator_t> readerLocators;
    std::vector<Announcement> added;
    std::vector<int64_t> deleted;
    std::vector<RTPS::ReaderProxyInfo> matched;
    std::vector<RTPS::GUID_t> removed;
    std::vector<RTPS::DiscoveredReaderData> checked;
    std::vector<RTPS::ReaderProxyInfo> builtinMatches;
    std::vector<std::pair<RTPS::GUID_t, RTPS::Locator_t>> proxyGroups;
    std::atomic<int> resends{0};

private:
    std::mutex m_mutex;
    vexa::dds::PublicationBuiltinTopicData m_description;
    bool m_builtin;
    char m_tag = 0;
};

class FakeReader : public RTPS::LocalReader {
public:
    FakeReader(RTPS::ParticipantImpl* p, RTPS::EndpointConfig const& config,
               vexa::dds::SubscriptionBuiltinTopicData const& description, void* userData)
        : LocalReader(p, &config), config(config), userData(userData), m_description(description) {
        ++liveEndpoints();
    }
    ~FakeReader() override { --liveEndpoints(); }

    RTPS::Reader* asReader() override { return reinterpret_cast<RTPS::Reader*>(&m_tag); }
    void stop() override { stopped = true; }

    // Keeps the change it is given (as a history would) or takes nothing.
    RTPS::CacheChange* addChange(RTPS::CacheChange* change) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++offered;
        if (!keep) {
            return nullptr;
        }
        kept.emplace_back(change);
        return change;
    }
    void heatrbeat(RTPS::HeartbeatData* heartbeat) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        heartbeats.push_back(heartbeat->count);
    }
    void checkMatchedWriters(std::vector<RTPS::WriterProxyInfo*> writers) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        matched.clear();
        for (auto* w : writers) {
            matched.push_back(*w);
        }
    }
    void removeMatchedWriters(RTPS::GUID_t remote) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            removed.push_back(remote);
        }
        if (onRemoveMatchedWriters) {
            onRemoveMatchedWriters();
        }
    }
    void checkMatchedWriter(RTPS::DiscoveredWriterData const* data) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        checked.push_back(*data);
    }
    bool matchedWriterAdd(RTPS::WriterProxyInfo const& writer) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        builtinMatches.push_back(writer);
        return true;
    }
    vexa::dds::SubscriptionBuiltinTopicData* takeDCPSConfig() override {
        if (stopped) {
            return nullptr;
        }
        lockDescription();
        return &m_description;
    }
    void setTimestamp(vexa::dds::Time_t const& t) override { timestamp = t; }
    vexa::dds::Time_t getTimestamp() override { return timestamp; }
    // A QoS change as the engine's reader makes it: the description first, then the participant.
    void setDescription(vexa::dds::SubscriptionBuiltinTopicData const& d) {
        lockDescription();
        m_description = d;
        freeDCPSConfig();
    }
    size_t heartbeatCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return heartbeats.size();
    }

    size_t keptCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return kept.size();
    }

    RTPS::EndpointConfig config;
    void* userData;
    std::atomic<bool> stopped{false};
    std::atomic<bool> keep{true};
    std::atomic<int> offered{0};
    // As FakeWriter::onRemoveMatchedReaders, for removeMatchedWriters.
    std::function<void()> onRemoveMatchedWriters;
    vexa::dds::Time_t timestamp{};
    std::vector<std::unique_ptr<RTPS::CacheChange>> kept;
    std::vector<uint32_t> heartbeats;
    std::vector<RTPS::WriterProxyInfo> matched;
    std::vector<RTPS::GUID_t> removed;
    std::vector<RTPS::DiscoveredWriterData> checked;
    std::vector<RTPS::WriterProxyInfo> builtinMatches;

private:
    std::mutex m_mutex;
    vexa::dds::SubscriptionBuiltinTopicData m_description;
    char m_tag = 0;
};

// Remote writers and readers the test declares; endpoints match when their topic names do.
class FakeDirectory : public RTPS::DiscoveryDirectory {
public:
    void alive(uint8_t const* prefix) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        aliveFrom.emplace_back(prefix, prefix + 12);
    }
    void removeParticipant(uint8_t const* prefix) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        lostParticipants.emplace_back(prefix, prefix + 12);
    }
    bool getWriterDCPSConfig(RTPS::GUID_t const& writer,
                             vexa::dds::PublicationBuiltinTopicData& out) override {
        for (auto& w : remoteWriters) {
            if (w.writerProxy.remoteWriterGuid == writer) {
                out = w.publicationData;
                return true;
            }
        }
        return false;
    }
    void getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const& publication,
                           std::vector<RTPS::ReaderProxyInfo>& out) override {
        out.clear();
        for (auto& r : remoteReaders) {
            if (endpointsMatch(publication, r.subscriptionData)) {
                out.push_back(r.readerProxy);
            }
        }
    }
    void getMatchedWriters(vexa::dds::SubscriptionBuiltinTopicData const& subscription,
                           std::vector<RTPS::WriterProxyInfo>& out) override {
        out.clear();
        for (auto& w : remoteWriters) {
            if (endpointsMatch(w.publicationData, subscription)) {
                out.push_back(w.writerProxy);
            }
        }
    }
    bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const& p,
                        vexa::dds::SubscriptionBuiltinTopicData const& s) override {
        return p.topic_name == s.topic_name;
    }
    bool decodeBuiltinData(RTPS::EntityId_t const&, uint8_t const*, uint32_t,
                           RTPS::CacheChange*) override {
        return false;
    }

    size_t aliveCount(uint8_t const* prefix) {
        std::lock_guard<std::mutex> lock(m_mutex);
        size_t n = 0;
        for (auto& a : aliveFrom) {
            n += std::memcmp(a.data(), prefix, 12) == 0 ? 1 : 0;
        }
        return n;
    }

    // Filled before the participant is built; read on its threads.
    std::vector<RTPS::DiscoveredWriterData> remoteWriters;
    std::vector<RTPS::DiscoveredReaderData> remoteReaders;
    std::vector<std::vector<uint8_t>> aliveFrom;
    std::vector<std::vector<uint8_t>> lostParticipants;

private:
    std::mutex m_mutex;
};

class FakeDsvcLink : public RTPS::DsvcLink {
public:
    bool isConfigured() override { return configured; }
    bool addDSVCServer() override { return serverOpens; }
    void sendPending(std::atomic<bool> const&) override { ++passes; }
    bool dataRecipient(int, unsigned long, void*) override { return true; }
    bool historicalData(unsigned int const*, unsigned int,
                        std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>>&) override {
        return true;
    }
    void discoveredForDSVC(RTPS::GUID_t const& reader,
                           vexa::dds::SubscriptionBuiltinTopicData const&) override {
        discovered.push_back(reader);
    }

    bool configured = false;
    bool serverOpens = true;
    std::atomic<int> passes{0};
    std::vector<RTPS::GUID_t> discovered;
};

class NullCommunicationObject : public RTPS::CommunicationObject {
public:
    bool changeAvailable(RTPS::Reader*, void*, RTPS::SampleInfo*) override { return false; }
    void assertLiveliness(RTPS::Reader*, void*, unsigned int*, unsigned int) override {}
    void participantLost(unsigned int*) override {}
};

// Makes fakes for every built-in endpoint and user endpoint, over a FakeTransport; each knob
// makes one step of the construction fail.
class FakeFactory : public RTPS::ComponentFactory {
public:
    RTPS::RTPSDataTransport* makeTransport(RTPS::Participant*) override {
        if (noTransport) {
            return nullptr;
        }
        auto* t = new InitFakeTransport(transportInits);
        transport = t;
        return t;
    }
    std::shared_ptr<RTPS::SchedulerClock> makeSchedulerClock() override { return clock; }

    RTPS::LocalWriter* makeBuiltinWriter(
        RTPS::BuiltinTopic topic, RTPS::ParticipantImpl* p, RTPS::EndpointConfig const& config,
        vexa::dds::PublicationBuiltinTopicData const& description) override {
        if (failBuiltinWriter && topic == *failBuiltinWriter) {
            throw RTPS::GENERAL_DDSI_ERROR("Отказ фабрики");
        }
        auto* w = new FakeWriter(p, config, description, true);
        w->acceptLocators = spdpAcceptsLocator;
        builtinWriters[RTPS::positionOf(topic)] = w;
        return w;
    }
    RTPS::LocalReader* makeBuiltinReader(RTPS::BuiltinTopic topic, RTPS::ParticipantImpl* p,
                                         RTPS::EndpointConfig const& config,
                                         vexa::dds::SubscriptionBuiltinTopicData const& description,
                                         RTPS::CommunicationObject*,
                                         RTPS::COMMUNICATION_MODE) override {
        auto* r = new FakeReader(p, config, description, nullptr);
        builtinReaders[RTPS::positionOf(topic)] = r;
        return r;
    }
    RTPS::LocalWriter* makeWriter(bool reliable, RTPS::ParticipantImpl* p,
                                  RTPS::EndpointConfig const& config,
                                  vexa::dds::PublicationBuiltinTopicData const& description,
                                  int32_t) override {
        auto* w = new FakeWriter(p, config, description, false);
        (reliable ? statefulWriters : statelessWriters)++;
        userWriters.push_back(w);
        return w;
    }
    RTPS::LocalReader* makeReader(bool reliable, RTPS::ParticipantImpl* p,
                                  RTPS::EndpointConfig const& config,
                                  vexa::dds::SubscriptionBuiltinTopicData const& description,
                                  void* userData, RTPS::CommunicationObject*,
                                  RTPS::COMMUNICATION_MODE) override {
        auto* r = new FakeReader(p, config, description, userData);
        (reliable ? statefulReaders : statelessReaders)++;
        userReaders.push_back(r);
        return r;
    }
    std::unique_ptr<RTPS::DiscoveryDirectory> makeDirectory(RTPS::ParticipantImpl* p) override {
        if (realDirectory) {
            return ComponentFactory::makeDirectory(p);
        }
        auto d = std::make_unique<FakeDirectory>();
        d->remoteWriters = remoteWriters;
        d->remoteReaders = remoteReaders;
        directory = d.get();
        return d;
    }
    std::unique_ptr<RTPS::DsvcLink> makeDsvcLink(RTPS::ParticipantImpl*, int role) override {
        dsvcRoleAsked = role;
        if (!dsvc) {
            return nullptr;
        }
        auto link = std::make_unique<FakeDsvcLink>();
        link->configured = dsvcConfigured;
        link->serverOpens = dsvcServerOpens;
        dsvcLink = link.get();
        return link;
    }

    // A FakeTransport whose init answers as told.
    class InitFakeTransport : public FakeTransport {
    public:
        explicit InitFakeTransport(bool ok) : m_ok(ok) {}
        bool init() override { return m_ok; }

    private:
        bool m_ok;
    };

    // The engine's own discovery directory in place of FakeDirectory.
    bool realDirectory = false;
    bool noTransport = false;
    bool transportInits = true;
    bool spdpAcceptsLocator = true;
    std::unique_ptr<RTPS::BuiltinTopic> failBuiltinWriter;
    bool dsvc = true;
    bool dsvcConfigured = false;
    bool dsvcServerOpens = true;
    int dsvcRoleAsked = -1;
    std::shared_ptr<RTPS::SchedulerClock> clock;
    std::vector<RTPS::DiscoveredWriterData> remoteWriters;
    std::vector<RTPS::DiscoveredReaderData> remoteReaders;

    FakeTransport* transport = nullptr;
    FakeDirectory* directory = nullptr;
    FakeDsvcLink* dsvcLink = nullptr;
    FakeWriter* builtinWriters[RTPS::BUILTIN_TOPIC_COUNT] = {};
    FakeReader* builtinReaders[RTPS::BUILTIN_TOPIC_COUNT] = {};
    std::vector<FakeWriter*> userWriters;
    std::vector<FakeReader*> userReaders;
    int statefulWriters = 0, statelessWriters = 0, statefulReaders = 0, statelessReaders = 0;
};

// The participant's own record: its key is the GUID prefix.
inline vexa::dds::ParticipantBuiltinTopicData ownData() {
    vexa::dds::ParticipantBuiltinTopicData data;
    std::memcpy(data.key.value, OWN_PREFIX, 12);
    data.user_data.value = {'u', 's', 'e', 'r'};
    return data;
}

inline vexa::dds::BuiltinTopicKey_t keyOf(uint8_t const* prefix) {
    vexa::dds::BuiltinTopicKey_t key;
    std::memcpy(key.value, prefix, 12);
    return key;
}

// A user endpoint's key: its entity key bytes first.
inline vexa::dds::BuiltinTopicKey_t endpointKey(uint8_t a, uint8_t b, uint8_t c) {
    vexa::dds::BuiltinTopicKey_t key;
    uint8_t bytes[4] = {a, b, c, 0};
    std::memcpy(&key.value[0], bytes, 4);
    return key;
}

inline vexa::dds::PublicationBuiltinTopicData publication(
    std::string const& topic, uint8_t entity = 0x21,
    vexa::dds::ReliabilityQosPolicyKind reliability = vexa::dds::RELIABLE_RELIABILITY_QOS) {
    vexa::dds::PublicationBuiltinTopicData p;
    p.key = endpointKey(0, 0, entity);
    p.participant_key = keyOf(OWN_PREFIX);
    p.topic_name = topic;
    p.type_name = "T";
    p.reliability.kind = reliability;
    return p;
}

inline vexa::dds::SubscriptionBuiltinTopicData subscription(
    std::string const& topic, uint8_t entity = 0x31,
    vexa::dds::ReliabilityQosPolicyKind reliability = vexa::dds::RELIABLE_RELIABILITY_QOS) {
    vexa::dds::SubscriptionBuiltinTopicData s;
    s.key = endpointKey(0, 0, entity);
    s.participant_key = keyOf(OWN_PREFIX);
    s.topic_name = topic;
    s.type_name = "T";
    s.reliability.kind = reliability;
    return s;
}

inline RTPS::GUID_t remoteGuid(uint8_t key, uint8_t kind) {
    RTPS::GUID_t g{};
    std::memcpy(g.guidPrefix, REMOTE_PREFIX, 12);
    g.entityId = RTPS::EntityId_t{{0, 0, key}, kind};
    return g;
}

// Runs each test in a directory of its own with configuration files that make shutdown quick:
// no pause for the last answers, receive threads that look at their stop flag every second.
class ScratchDir {
public:
    explicit ScratchDir(std::string const& rtpsExtra = "") {
        char const* home = std::getenv("VEXA_HOME");
        m_old = getcwd(nullptr, 0);
        char dir[] = "/tmp/vexa-participant.XXXXXX";
        if (mkdtemp(dir) != nullptr && chdir(dir) == 0) {
            m_dir = dir;
        }
        std::string shipped = home != nullptr ? std::string(home) + "/conf/" : "";
        copyWith(shipped + "rtps.cfg", "rtps.cfg",
                 "BUSINESS.HEARTBEAT_RESPONSE_DELAY = 0\n" + rtpsExtra);
        copyWith(shipped + "trellis.cfg", "trellis.cfg", "TRANSPORT.SELECT_TIMEOUT = 1\n");
    }
    ~ScratchDir() {
        if (!m_dir.empty()) {
            std::string const cmd = "rm -rf '" + m_dir + "'";
            if (chdir(m_old) != 0 || std::system(cmd.c_str()) != 0) {
                std::fprintf(stderr, "scratch directory %s left behind\n", m_dir.c_str());
            }
        }
        std::free(m_old);
    }

private:
    // The shipped file with the parameters of `extra` ("NAME = value" lines) replaced.
    static void copyWith(std::string const& from, char const* to, std::string const& extra) {
        std::ifstream in(from);
        std::ofstream out(to);
        std::string line;
        while (std::getline(in, line)) {
            std::string const name = line.substr(0, line.find(' '));
            if (name.empty() || extra.find(name + " ") == std::string::npos) {
                out << line << "\n";
            }
        }
        out << extra;
    }

    char* m_old = nullptr;
    std::string m_dir;
};

}  // namespace participant_test
