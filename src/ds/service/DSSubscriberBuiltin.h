#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ds/store/DSReaderHost.h"
#include "vexa/dds/BasicTypes.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace RTPS {
class Reader;
struct SampleInfo;
}  // namespace RTPS

namespace vexa::ds {

class DSDomainParticipant;
class DSReader;
struct RemoteDP;

// A remote writer as discovery reported it, and the stored reader that takes its samples.
struct RemoteDW {
    uint32_t remotePubId = 0;  // 0 until its first publication record
    bool lost = false;
    RemoteDP* participant = nullptr;
    vexa::dds::Time_t livelinessTime = vexa::dds::TIME_INVALID;
    vexa::dds::PublicationBuiltinTopicData data;
    DSReader* reader = nullptr;
};

// A topic as one remote participant described it.
struct RemoteTopic {
    static constexpr uint32_t INCONSISTENT = 1;
    static constexpr uint32_t REMOVED = 2;
    uint32_t flags = 0;
    vexa::dds::TopicBuiltinTopicData data;  // name empty until the first record
};

// A remote participant with what it published.
struct RemoteDP {
    static constexpr uint32_t LOST = 1;  // the engine reported its lease expired
    static constexpr uint32_t REMOVED = 2;
    uint32_t flags = 0;
    std::map<uint32_t, RemoteDW> writers;       // by entity id
    std::map<std::string, RemoteTopic> topics;  // by name
    // First seen, last loss report or last participant-level assertion; {0, 0}: never set.
    vexa::dds::Time_t participantTime = {0, 0};
    vexa::dds::Time_t writerLivelinessTime = {0, 0};
};

// The discovery bookkeeping of one served domain: reads the engine's built-in participant,
// topic and publication readers on the engine's receive thread, makes durable topics, hands
// remote writers to the stored readers and retires participants and writers that are gone.
// Subscriptions are not kept: late readers make themselves known over the DSVC link.
//
// Lock order: domain lock -> subscriber lock -> built-in lock. The handlers hold the domain
// lock throughout and release the built-in lock before any call into the stored-reader set.
// Records are erased only under the domain lock, so a pointer to one stays valid while the
// caller holds it.
class DSSubscriberBuiltin {
public:
    static constexpr uint32_t ID = 0x020000FF;
    static constexpr uint32_t FIRST_REMOTE_PUB_ID = 0x10000001;
    // A participant reported lost is kept this long (seconds) before it is removed.
    static constexpr int32_t LOST_PARTICIPANT_KEPT_S = 300;

    explicit DSSubscriberBuiltin(DSDomainParticipant& participant);
    virtual ~DSSubscriberBuiltin();

    DSSubscriberBuiltin(const DSSubscriberBuiltin&) = delete;
    DSSubscriberBuiltin& operator=(const DSSubscriberBuiltin&) = delete;

    // A change of one of the built-in readers, handled at once on the calling engine thread.
    // Always false: nothing is queued for the data thread.
    bool ddsisampleHandler(RTPS::Reader* reader, RTPS::SampleInfo* sample);

    void participantLostByRTPS(const uint32_t prefix[3]);
    // From participants already known only.
    void assertLiveliness(const uint32_t prefix[3], bool writerLevel);

    // Subscriber lock held: offers the known writers of the topic to its new stored reader.
    void discoverDWforNewReader(DSReader* reader, const std::string& topicName);
    // Subscriber lock held: the stored reader is going; no writer may point at it any more.
    void forgetReader(DSReader* reader);
    // Tells a writer never seen from one seen and lost. Found makes `reader` (when given) the
    // writer's storing reader; `out.data` is valid while the caller holds the domain lock.
    DSReaderHost::Lookup getRemotePublisher(const uint32_t prefix[3], uint32_t entityId,
                                            DSReader* reader, DSReaderHost::Publication& out);

    // Erases what the previous pass removed, then removes participants lost for longer than
    // LOST_PARTICIPANT_KEPT_S.
    void collectGarbage();
    uint32_t getNewRemotePubID();

    // Views for tests and the fuzz target; the caller holds the domain lock.
    const RemoteDP* findParticipant(const uint32_t prefix[3]) const;
    size_t participantCount() const { return m_remoteParticipants.size(); }
    // The bookkeeping's invariants; the text of the first broken one, else empty.
    std::string checkInvariants() const;

private:
    struct KeyHasher {
        size_t operator()(const vexa::dds::BuiltinTopicKey_t& k) const;
    };
    using Handler = void (DSSubscriberBuiltin::*)(RTPS::SampleInfo&, const uint32_t prefix[3],
                                                  uint32_t entityId,
                                                  std::unique_lock<std::recursive_mutex>& guard);
    using Pending = std::vector<std::pair<uint32_t, DSReader*>>;

    void handleDCPSParticipantReader(RTPS::SampleInfo& si, const uint32_t prefix[3],
                                     uint32_t entityId,
                                     std::unique_lock<std::recursive_mutex>& guard);
    void handleDCPSTopicReader(RTPS::SampleInfo& si, const uint32_t prefix[3], uint32_t entityId,
                               std::unique_lock<std::recursive_mutex>& guard);
    void handleDCPSPublicationReader(RTPS::SampleInfo& si, const uint32_t prefix[3],
                                     uint32_t entityId,
                                     std::unique_lock<std::recursive_mutex>& guard);
    void handleDCPSSubscriptionReader(RTPS::SampleInfo& si, const uint32_t prefix[3],
                                      uint32_t entityId,
                                      std::unique_lock<std::recursive_mutex>& guard);
    // Marks every writer of `dp` lost and collects those that had a reader.
    static void looseWriters(RemoteDP& dp, Pending& pending);
    void looseAll(const uint32_t prefix[3], const Pending& pending);
    static vexa::dds::BuiltinTopicKey_t keyOf(const uint32_t prefix[3]);

    DSDomainParticipant& m_participant;
    struct Entry {
        RTPS::Reader* reader;
        Handler handler;
    };
    Entry m_handlers[4];
    std::unordered_map<vexa::dds::BuiltinTopicKey_t, RemoteDP, KeyHasher> m_remoteParticipants;
    uint32_t m_nextRemotePubId = FIRST_REMOTE_PUB_ID;
    mutable std::recursive_mutex m_lock;
};

}  // namespace vexa::ds
