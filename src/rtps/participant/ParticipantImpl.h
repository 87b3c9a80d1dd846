#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "rtps/discovery/DiscoveryHost.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/BuiltinEndpoint.h"
#include "rtps/participant/CommunicationMode.h"
#include "rtps/participant/Config.h"
#include "rtps/participant/EndpointHandle.h"
#include "rtps/participant/Entity.h"
#include "rtps/participant/LocalReader.h"
#include "rtps/participant/LocalWriter.h"
#include "rtps/participant/Participant.h"

namespace RTPS {

class CommunicationObject;
class ComponentFactory;
class DiscoveryDirectory;
class DsvcLink;
class MessageComposer;
class MessageReceiver;
class RTPSDataTransport;
class RTPSRouter;
class RTPSTaskScheduler;
class UserInputBufferPool;

using WriterHandle = EndpointHandle<LocalWriter>;
using ReaderHandle = EndpointHandle<LocalReader>;

// The engine's participant: owns its configuration, transport, router, task scheduler, message
// composer and receiver, user input buffer pool, every writer and reader (the built-in
// discovery endpoints at the first list positions), the garbage collector and the DSVC link.
//
// Life: constructed (scheduler and collector threads run) -> start (parser thread, built-in
// writers, datagrams let in, first announcement) -> destroyed. A construction that fails part
// way throws GENERAL_DDSI_ERROR (or what an endpoint threw) after undoing every step taken, so
// no thread and no component is left behind; the destructor runs the same shutdown.
//
// Locks. The writer list and the reader list each have a mutex that guards the list and the
// raising of use counts; the two are never held together, and the participant never calls an
// endpoint, discovery or the DCPS core while it holds either: lookups hand out EndpointHandles
// and the calls are made after the mutex is released. The delivery mutex (checkDelivery,
// reportAllDelivered), the liveliness mutex (task ids and periods), the gate mutex
// (dataRecipient), the collector mutex and the DSVC mutex are leaves: nothing else is taken or
// called under them, except that the liveliness mutex is held around the scheduler's addTask,
// changeTask and removeTask(id), which never wait. The delivery cache (m_matchedReaders) lives
// under the reader-list mutex, so a hit raises the readers' use counts in the same hold; it is
// filled with no mutex held and stored only when no change came in between.
//
// Uses. An endpoint that goes leaves its list first, then whoever ends it waits until no
// handle holds it (removeEndpoint for close, discardWriter, discardReader, destroyEndpoints),
// with no mutex held, and destroys it only after that wait: Endpoint's destructor also waits,
// but only once the derived parts are gone. A handle's holder (a discovery walk holds every
// listed endpoint at once) never waits for the one that ends the endpoint; it finds the
// endpoint stopped.
class ParticipantImpl : public Entity, public Participant, public DiscoveryHost {
public:
    static constexpr uint32_t USER_BUFFER_COUNT = 256;
    static constexpr uint64_t USER_BUFFER_SIZE = 1024;
    static constexpr uint32_t BUILTIN_HISTORY_RESERVE = 2048;
    // Built-in endpoints announced in the participant's SPDP data.
    static constexpr uint32_t AVAILABLE_BUILTIN_ENDPOINTS = 0x3C3F;
    static constexpr uint32_t COLLECTOR_PERIOD_MS = 5000;

    enum DsvcRole : int { DSVC_NONE = 0, DSVC_CLIENT = 1, DSVC_SERVER = 2 };

    // Called by createParticipant after it has checked the arguments. `factory` null: the
    // engine's own parts.
    ParticipantImpl(CommunicationObject* communicationObject, COMMUNICATION_MODE mode,
                    vexa::dds::ParticipantBuiltinTopicData* data, unsigned int domainId,
                    bool dsvcServer, std::shared_ptr<ComponentFactory> factory = nullptr);
    ~ParticipantImpl() override;

    ParticipantImpl(ParticipantImpl const&) = delete;
    ParticipantImpl& operator=(ParticipantImpl const&) = delete;

    // Participant
    void start() override;
    Writer* addWriter(vexa::dds::PublicationBuiltinTopicData const* data,
                      RTPS_AdditionalTopicData const& extra, TOPIC_KIND kind, int samples) override;
    Reader* addReader(vexa::dds::SubscriptionBuiltinTopicData const* data,
                      RTPS_AdditionalTopicData const& extra, TOPIC_KIND kind, int samples,
                      void* userData) override;
    void setQoS(vexa::dds::ParticipantBuiltinTopicData const& data,
                RTPS_AdditionalTopicData const& extra) override;
    int checkDelivery(std::vector<Writer*>& writers, vexa::dds::Duration_t timeout) override;
    Writer* getDCPSParticipantWriter() override;
    Writer* getDCPSSubscriptionWriter() override;
    Writer* getDCPSPublicationWriter() override;
    Writer* getDCPSTopicWriter() override;
    Reader* getDCPSParticipantReader() override;
    Reader* getDCPSSubscriptionReader() override;
    Reader* getDCPSPublicationReader() override;
    Reader* getDCPSTopicReader() override;
    // Drops the datagram unless started; the destructor waits for a call in progress.
    void dataRecipient(void* data, unsigned short length) override;
    void dsvcDataRecipient(int socket, unsigned long tag, void* body) override;
    unsigned int getDomainID() override { return m_domainId; }
    int participantDetected(SPDPdiscoveredParticipantData const* data, bool neverExpires) override;
    int participantLost(unsigned char const* guidPrefix) override;
    int subscriptionDetected(DiscoveredReaderData const* data) override;
    int publicationDetected(DiscoveredWriterData const* data) override;
    int endpointLost(GUID_t const& guid) override;
    void historicalData(unsigned int const* guidPrefix, unsigned int entityId,
                        std::vector<std::shared_ptr<HistoricalSampleInfo>>& samples) override;

    // The message receiver's hooks (parser thread).
    void participantAlive(uint8_t const* guidPrefix) override;
    bool hasReader(EntityId_t const& readerId) override;
    unsigned int heartbeatToReaders(HeartbeatData* heartbeat) override;
    bool gapToReader(GapData* gap) override;
    bool acknackToWriter(AckNAckData* acknack) override;
    bool nackfragToWriter(NAckFragData* nackfrag) override;
    bool decodeBuiltinData(EntityId_t const& writerId, uint8_t const* payload, uint32_t length,
                           CacheChange* change) override;
    // To the one reader; null when there is none or it kept nothing.
    CacheChange* addChange(EntityId_t& readerId, CacheChange* change) override;
    // To every local reader matched with the change's writer. The first reader gets `change`,
    // every further one a copy of its own (own record, own reference on the message); true
    // when the first reader kept `change`. Copies that nobody kept are deleted here.
    bool addChange(CacheChange* change) override;

    // Lookups: the first endpoint with that entity id (or, for the int forms, with those three
    // key bytes, whatever the kind), held by the handle; empty when none.
    WriterHandle getWriter(EntityId_t const& id);
    ReaderHandle getReader(EntityId_t const& id);
    WriterHandle getWriter(int entityKey);
    ReaderHandle getReader(int entityKey);
    // Gives back one use of a looked-up endpoint (what a handle does when dropped).
    void freeEndpoint(Endpoint* endpoint);

    // The local readers (writers) that match a remote writer's (reader's) description.
    void getMatchedReaders(vexa::dds::PublicationBuiltinTopicData const* remoteWriter,
                           std::vector<ReaderHandle>& out) override;
    void getMatchedWriters(vexa::dds::SubscriptionBuiltinTopicData const* remoteReader,
                           std::vector<WriterHandle>& out) override;

    // DiscoveryHost: what the discovery directory asks of the participant. Called without any
    // of the participant's list mutexes held.
    CommunicationObject* communicationObject() override { return m_communicationObject; }
    RTPSOutSocket* getSocket(Locator_t& locator) override;
    void releaseSocket(RTPSOutSocket* socket) override;
    void manualResend() override;
    bool matchRemoteWriter(EntityId_t const& localReader, WriterProxyInfo const& remote) override;
    bool matchRemoteReader(EntityId_t const& localWriter, ReaderProxyInfo const& remote) override;
    void checkMatchedWriter(DiscoveredWriterData const& remote) override;
    void checkMatchedReader(DiscoveredReaderData const& remote) override;
    void addReceiver(Locator_t const& group) override;
    void remoteWritersChanged() override;
    void reannounceReader(LocalReader* reader) override;
    void discoveredForDSVC(GUID_t const& reader,
                           vexa::dds::SubscriptionBuiltinTopicData const& data) override;
    // What the participant announces about itself, as prepared at construction (the SPDP
    // writer keeps its own copy from then on).
    SPDPdiscoveredParticipantData const& getOwnAnnouncement() const { return m_spdpData; }
    // The directory, for the built-in readers that hand it their changes; null when none.
    DiscoveryDirectory* getDirectory() const { return m_directory.get(); }

    // Re-announce an endpoint after a QoS change and match it again.
    void modifyWriter(LocalWriter* writer, RTPS_AdditionalTopicData const& extra,
                      bool announce) override;
    void modifyReader(LocalReader* reader, RTPS_AdditionalTopicData const& extra,
                      bool announce) override;
    // Discovery's rule; false while there is no discovery.
    bool endpointsMatch(vexa::dds::PublicationBuiltinTopicData const& publication,
                        vexa::dds::SubscriptionBuiltinTopicData const& subscription) override;
    // Takes a closing (stopped) endpoint out of its list, waits until no handle holds it and
    // frees its history's garbage; the endpoint itself stays its caller's to destroy.
    void removeEndpoint(Endpoint* endpoint) override;
    // Drops every local match with a remote endpoint, or with all of a remote participant's,
    // and discovery's records of them.
    void removeMatchedEndpoints(GUID_t const& remote) override;
    // Wakes every checkDelivery.
    void reportAllDelivered() override;
    // What discovery knows of a remote reader (a stateful writer's late-joiner decision).
    bool getReaderConfig(GUID_t const& reader,
                         vexa::dds::SubscriptionBuiltinTopicData& out) override;
    // What discovery knows of the remote readers of a best-effort writer.
    void getMatchedRemoteReaders(vexa::dds::PublicationBuiltinTopicData const& publication,
                                 std::vector<ReaderProxyInfo>& out) override;
    void getReaderLocators(GUID_t const& reader, std::vector<Locator_t>& out) override;

    // Liveliness: recomputes the periods of tasks 10 and 11 from the writers; their bodies.
    void checkLivelinessPeriod();
    void automaticLivelinessWorker();
    void manualByParticipantLivelinessWorker();

    // What the endpoints use.
    Config const& getConfig() const override { return m_config; }
    RTPSDataTransport* getTransport() const { return m_transport.get(); }
    RTPSRouter* getRouter() const override { return m_router.get(); }
    RTPSTaskScheduler* getScheduler() const override { return m_scheduler.get(); }
    MessageComposer* getComposer() const override { return m_composer.get(); }
    MessageReceiver* getMessageReceiver() const override { return m_receiver.get(); }
    UserInputBufferPool* getUserInputBufferPool() const override { return m_userPool.get(); }
    DsvcLink* getDsvcLink() const { return m_dsvc.get(); }
    DsvcLink* getDsvcClientLink() const override {
        return m_dsvcRole == DSVC_CLIENT ? m_dsvc.get() : nullptr;
    }
    int getDsvcRole() const { return m_dsvcRole; }
    COMMUNICATION_MODE getCommunicationMode() const { return m_mode; }
    CommunicationObject* getCommunicationObject() const { return m_communicationObject; }
    std::string const& getName() const { return m_name; }
    bool isStarted() const { return m_started.load(); }

private:
    void construct(vexa::dds::ParticipantBuiltinTopicData const& data);
    void createBuiltinEndpoints();
    void prepareOwnData(vexa::dds::ParticipantBuiltinTopicData const& data);
    void startCollector();
    void setUpDsvc();
    // Stops and destroys whatever exists, in the fixed order; safe on a partly built object.
    void shutdown() noexcept;
    void closeGate();
    void stopCollector();
    void stopDsvcSender();
    void destroyEndpoints();

    static void collectorEntry(void* self);
    void collectorWorker();
    static void dsvcSenderEntry(void* self);
    void dsvcSenderWorker();

    EndpointConfig endpointConfig(EntityId_t const& id, uint32_t reliability) const;
    Locator_t unicastLocator(uint16_t port) const;
    bool prefixIsOwn(vexa::dds::BuiltinTopicKey_t const& participantKey) const;
    // Handles of all listed writers (readers) in list order.
    std::vector<WriterHandle> writerHandles();
    std::vector<ReaderHandle> readerHandles();
    WriterHandle builtinWriter(BuiltinTopic topic);
    ReaderHandle builtinReader(BuiltinTopic topic);
    // The local readers matched with a remote writer that discovery knows, from the delivery
    // cache when it holds the writer.
    std::vector<ReaderHandle> readersMatchedWith(GUID_t const& writer);
    // Empties the delivery cache; the reader-list mutex held (the Locked form) or not.
    void forgetMatches();
    void forgetMatchesLocked();
    // Ends an endpoint that was listed: out of its list, waited for, destroyed.
    void discardWriter(LocalWriter* writer);
    void discardReader(LocalReader* reader);
    void announce(BuiltinTopic via, EntityId_t const& id, vexa::dds::Time_t const& timestamp,
                  void* description, uint64_t length);
    bool allDelivered(std::vector<Writer*> const& writers);
    void livelinessPass(bool manual);
    void updateLivelinessTask(bool manual, vexa::dds::Duration_t const& lease);
    void addMulticastOfWriters(LocalReader* reader, std::vector<WriterProxyInfo> const& writers);

    std::shared_ptr<ComponentFactory> m_factory;
    Config m_config;

    uint32_t m_domainId;
    std::string m_name;
    CommunicationObject* m_communicationObject;
    COMMUNICATION_MODE m_mode;

    // dataRecipient passes datagrams while open; shutdown closes it and waits for the calls
    // in progress.
    std::atomic<bool> m_started{false};
    std::mutex m_gateMutex;
    std::condition_variable m_gateIdle;
    bool m_gateOpen = false;
    unsigned m_deliveriesInFlight = 0;

    // Owned components, destroyed in the fixed order by shutdown.
    std::unique_ptr<RTPSDataTransport> m_transport;
    std::unique_ptr<RTPSRouter> m_router;
    std::unique_ptr<RTPSTaskScheduler> m_scheduler;
    std::unique_ptr<MessageComposer> m_composer;
    std::unique_ptr<MessageReceiver> m_receiver;
    std::mutex m_poolMutex;
    std::unique_ptr<UserInputBufferPool> m_userPool;
    std::unique_ptr<DiscoveryDirectory> m_directory;

    // Positions 0 .. BUILTIN_TOPIC_COUNT - 1 hold the built-in endpoints (null when absent);
    // user endpoints follow in creation order.
    std::mutex m_writersMutex;
    std::vector<LocalWriter*> m_writers;
    std::mutex m_readersMutex;
    std::vector<LocalReader*> m_readers;

    // The delivery cache: per remote writer that discovery knows, the listed readers matched
    // with it, so that a received sample neither copies the writer's record nor asks every
    // reader again. What a match depends on, and what empties the cache when it changes:
    //   the reader list (addReader, removeEndpoint, discardReader, shutdown: under the mutex);
    //   each listed reader's description (setQoS sets it, then calls modifyReader);
    //   the remote writer's stored record, present or not (the publication store stores,
    //     replaces and removes records, by announcement, by hand, on an endpoint's or a
    //     participant's loss, then calls remoteWritersChanged);
    //   the matching rule, a function of those two descriptions alone (topic, QoS, partitions).
    // A reader that stops before it leaves the list may still be offered a change; it refuses
    // it. Only known writers are held, so the wire cannot grow it. Guarded by m_readersMutex,
    // as is the generation, which moves at every emptying.
    struct GuidHash {
        size_t operator()(GUID_t const& g) const;
    };
    std::unordered_map<GUID_t, std::vector<LocalReader*>, GuidHash> m_matchedReaders;
    uint64_t m_matchGeneration = 0;

    // The built-in endpoints' descriptions, one pair per built-in topic.
    vexa::dds::PublicationBuiltinTopicData m_builtinPublications[BUILTIN_TOPIC_COUNT];
    vexa::dds::SubscriptionBuiltinTopicData m_builtinSubscriptions[BUILTIN_TOPIC_COUNT];

    // What the participant announces about itself, and the two liveliness messages.
    SPDPdiscoveredParticipantData m_spdpData;
    vexa::dds::ParticipantBuiltinTopicData m_ownData;
    SampleInfo m_ownSample{};
    ParticipantMessageData m_automaticMessage;
    ParticipantMessageData m_manualMessage;
    SampleInfo m_automaticSample{};
    SampleInfo m_manualSample{};
    std::atomic<uint32_t> m_discoverySequence{0};

    // Liveliness tasks 10 and 11: ids (0: none), the periods they were given, the handles of
    // the messages last written. The workers' handles are touched by the scheduler's thread only.
    std::mutex m_livelinessMutex;
    uint32_t m_automaticTask = 0;
    uint32_t m_manualTask = 0;
    vexa::dds::Duration_t m_automaticPeriod = vexa::dds::DURATION_INFINITE;
    vexa::dds::Duration_t m_manualPeriod = vexa::dds::DURATION_INFINITE;
    int64_t m_automaticHandle = 0;
    int64_t m_manualHandle = 0;

    // checkDelivery waits for the generation to move; reportAllDelivered moves it.
    std::mutex m_deliveryMutex;
    std::condition_variable m_deliveryCv;
    uint64_t m_deliveryGeneration = 0;

    // The garbage collector.
    std::mutex m_collectorMutex;
    std::condition_variable m_collectorWake;
    bool m_collectorStop = false;
    pthread_t m_collectorThread = 0;

    // DSVC.
    std::unique_ptr<DsvcLink> m_dsvc;
    int m_dsvcRole = DSVC_NONE;
    std::mutex m_dsvcMutex;
    std::condition_variable m_dsvcWake;
    bool m_dsvcWorkPending = false;
    std::atomic<bool> m_dsvcRunning{false};
    pthread_t m_dsvcThread = 0;
};

}  // namespace RTPS
