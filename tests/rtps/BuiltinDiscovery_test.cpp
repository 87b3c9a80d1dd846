#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ParticipantFakes.h"
#include "rtps/discovery/BuiltinDiscovery.h"
#include "rtps/discovery/RecordEncoders.h"
#include "rtps/participant/DDSIException.h"

// The engine's discovery directory inside a participant whose endpoints are fakes: what a
// received SPDP, SEDP or liveliness record makes the participant's endpoints do.

using namespace participant_test;
using RTPS::BuiltinTopic;
using RTPS::CacheChange;

namespace {

RTPS::RTPS_AdditionalTopicData const EXTRA{{5, 6}, 0};
uint8_t const OTHER_PREFIX[12] = {0xAA, 0xAA, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};

RTPS::Locator_t udp(char const* address, uint32_t port) {
    RTPS::Locator_t l{RTPS::LOCATOR_KIND_UDPv4, port, {}};
    RTPS::strToLoc(&l, address);
    return l;
}

RTPS::GUID_t guidIn(uint8_t const* prefix, RTPS::EntityId_t id) {
    RTPS::GUID_t g{};
    std::memcpy(g.guidPrefix, prefix, 12);
    g.entityId = id;
    return g;
}

// A received built-in change owning its decoded record, as the receiver makes it.
template <class Record>
std::unique_ptr<CacheChange> received(Record const& record, RTPS::GUID_t writer,
                                      uint32_t sequence = 1) {
    auto c = std::make_unique<CacheChange>(writer, nullptr);
    c->setSequenceNumber(RTPS::SequenceNumber_t{0, sequence});
    c->payloadKind = RTPS::OWNER_RECEIVED;
    c->setData(new Record(record), sizeof record);
    c->ownsRecord = true;
    c->completeness = 2;
    return c;
}

RTPS::SPDPdiscoveredParticipantData remoteParticipant(uint8_t const* prefix, uint32_t bits) {
    RTPS::SPDPdiscoveredParticipantData p;
    std::memcpy(p.guidPrefix, prefix, 12);
    p.participant.key = keyOf(prefix);
    p.availableBuiltinEndpoints = bits;
    p.metatrafficUnicastLocator = udp("127.0.0.1", 7412);
    p.leaseDuration = vexa::dds::Duration_t{45, 0};
    return p;
}

RTPS::DiscoveredWriterData remoteWriter(std::string const& topic, uint8_t key,
                                        uint8_t const* prefix = REMOTE_PREFIX) {
    RTPS::DiscoveredWriterData w;
    w.publicationData.topic_name = topic;
    w.publicationData.type_name = "T";
    w.publicationData.participant_key = keyOf(prefix);
    w.publicationData.reliability.kind = vexa::dds::RELIABLE_RELIABILITY_QOS;
    w.writerProxy.remoteWriterGuid = guidIn(prefix, RTPS::EntityId_t{{0, 0, key}, 0x02});
    w.writerProxy.unicastLocatorList.push_back(udp("127.0.0.1", 7413));
    return w;
}

RTPS::DiscoveredReaderData remoteReader(std::string const& topic, uint8_t key,
                                        uint8_t const* prefix = REMOTE_PREFIX) {
    RTPS::DiscoveredReaderData r;
    r.subscriptionData.topic_name = topic;
    r.subscriptionData.type_name = "T";
    r.subscriptionData.participant_key = keyOf(prefix);
    r.readerProxy.remoteReaderGuid = guidIn(prefix, RTPS::EntityId_t{{0, 0, key}, 0x07});
    r.readerProxy.unicastLocatorList.push_back(udp("127.0.0.1", 7413));
    return r;
}

// The DCPS core's side: what it is told, and what the participant still knew of the reader
// while it was told.
class ReportRecorder : public RTPS::CommunicationObject {
public:
    bool changeAvailable(RTPS::Reader*, void*, RTPS::SampleInfo* sample) override {
        statusFlags.push_back(sample->statusFlags);
        if (onReport) {
            onReport(*sample);
        }
        return false;
    }
    void assertLiveliness(RTPS::Reader*, void*, unsigned int*, unsigned int) override {}
    void participantLost(unsigned int*) override {}

    std::vector<uint32_t> statusFlags;
    std::function<void(RTPS::SampleInfo const&)> onReport;
};

class BuiltinDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        factory->realDirectory = true;
        p = std::make_unique<RTPS::ParticipantImpl>(&m_comm, 0, &m_data, 0, true, factory);
        directory = dynamic_cast<RTPS::BuiltinDiscovery*>(p->getDirectory());
        ASSERT_NE(directory, nullptr);
    }

    // Hands a received record to the directory as the built-in reader of `topic` would;
    // true when it was kept.
    template <class Record>
    bool hear(BuiltinTopic topic, Record const& record, RTPS::GUID_t writer,
              uint32_t sequence = 1) {
        std::unique_ptr<CacheChange> c = received(record, writer, sequence);
        if (directory->addBuiltinChange(topic, c.get()) == c.get()) {
            c.release();
            return true;
        }
        return false;
    }
    bool hearWriter(RTPS::DiscoveredWriterData const& w, uint32_t sequence = 1) {
        RTPS::GUID_t from = w.writerProxy.remoteWriterGuid;
        from.entityId = RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER;
        return hear(BuiltinTopic::PUBLICATION, w, from, sequence);
    }
    bool hearReader(RTPS::DiscoveredReaderData const& r, uint32_t sequence = 1) {
        RTPS::GUID_t from = r.readerProxy.remoteReaderGuid;
        from.entityId = RTPS::_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER;
        return hear(BuiltinTopic::SUBSCRIPTION, r, from, sequence);
    }
    FakeReader* addUserReader(std::string const& topic, uint8_t key) {
        auto sub = subscription(topic, key);
        p->addReader(&sub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0, nullptr);
        return factory->userReaders.back();
    }
    FakeWriter* addUserWriter(std::string const& topic, uint8_t key, bool stateless) {
        auto pub = publication(topic, key);
        p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);
        FakeWriter* w = factory->userWriters.back();
        w->acceptLocators = stateless;
        return w;
    }

    ScratchDir m_dir;
    ReportRecorder m_comm;
    vexa::dds::ParticipantBuiltinTopicData m_data = ownData();
    std::shared_ptr<FakeFactory> factory = std::make_shared<FakeFactory>();
    std::unique_ptr<RTPS::ParticipantImpl> p;
    RTPS::BuiltinDiscovery* directory = nullptr;
};

FakeReader* builtinReader(FakeFactory& f, BuiltinTopic t) {
    return f.builtinReaders[RTPS::positionOf(t)];
}
FakeWriter* builtinWriter(FakeFactory& f, BuiltinTopic t) {
    return f.builtinWriters[RTPS::positionOf(t)];
}

// A newcomer's built-in endpoints reach the participant's own through its metatraffic locator,
// and the SPDP writer answers at once.
TEST_F(BuiltinDiscoveryTest, ANewParticipantIsWiredToTheBuiltinEndpoints) {
    auto const remote = remoteParticipant(REMOTE_PREFIX, RTPS::BUILTIN_ENDPOINTS_OWN);
    ASSERT_TRUE(hear(BuiltinTopic::PARTICIPANT, remote,
                     guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER)));
    EXPECT_EQ(builtinWriter(*factory, BuiltinTopic::PARTICIPANT)->resends.load(), 1);
    for (BuiltinTopic t : {BuiltinTopic::SUBSCRIPTION, BuiltinTopic::PUBLICATION,
                           BuiltinTopic::TOPIC, BuiltinTopic::PARTICIPANT_MESSAGE}) {
        FakeReader* r = builtinReader(*factory, t);
        ASSERT_EQ(r->builtinMatches.size(), 1u) << RTPS::positionOf(t);
        EXPECT_EQ(r->builtinMatches[0].remoteWriterGuid,
                  guidIn(REMOTE_PREFIX, RTPS::builtinWriterId(t)));
        EXPECT_EQ(r->builtinMatches[0].unicastLocatorList.at(0), remote.metatrafficUnicastLocator);
        FakeWriter* w = builtinWriter(*factory, t);
        ASSERT_EQ(w->builtinMatches.size(), 1u) << RTPS::positionOf(t);
        EXPECT_EQ(w->builtinMatches[0].remoteReaderGuid,
                  guidIn(REMOTE_PREFIX, RTPS::builtinReaderId(t)));
    }
    // A repeated announcement only refreshes it.
    EXPECT_FALSE(hear(BuiltinTopic::PARTICIPANT, remote,
                      guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER), 2));
    EXPECT_EQ(builtinReader(*factory, BuiltinTopic::PUBLICATION)->builtinMatches.size(), 1u);
}

// Losing a participant drops its records and its matches, and no other participant's.
TEST_F(BuiltinDiscoveryTest, LosingAParticipantForgetsItsEndpoints) {
    FakeReader* reader = addUserReader("Temp", 0x31);
    hear(BuiltinTopic::PARTICIPANT, remoteParticipant(REMOTE_PREFIX, RTPS::BUILTIN_ENDPOINTS_OWN),
         guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER));
    ASSERT_TRUE(hearWriter(remoteWriter("Temp", 0x51)));
    ASSERT_TRUE(hearReader(remoteReader("Temp", 0x61)));
    ASSERT_TRUE(hearWriter(remoteWriter("Temp", 0x52, OTHER_PREFIX)));
    EXPECT_EQ(directory->publications().size(), 2u);

    EXPECT_EQ(p->participantLost(REMOTE_PREFIX), 1);
    EXPECT_EQ(directory->publications().size(), 1u);
    EXPECT_EQ(directory->subscriptions().size(), 0u);
    vexa::dds::PublicationBuiltinTopicData copy;
    EXPECT_FALSE(p->getDirectory()->getWriterDCPSConfig(
        remoteWriter("Temp", 0x51).writerProxy.remoteWriterGuid, copy));
    EXPECT_TRUE(p->getDirectory()->getWriterDCPSConfig(
        remoteWriter("Temp", 0x52, OTHER_PREFIX).writerProxy.remoteWriterGuid, copy));
    EXPECT_EQ(copy.topic_name, "Temp");
    ASSERT_FALSE(reader->removed.empty());
    EXPECT_EQ(reader->removed.back(), guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_PARTICIPANT));

    // Now unknown: removal by its prefix is refused.
    EXPECT_THROW(p->participantLost(REMOTE_PREFIX), RTPS::GENERAL_DDSI_ERROR);
    uint8_t const zero[12] = {};
    EXPECT_THROW(p->participantLost(zero), RTPS::BAD_PARAMETERS);
}

// Every local reader decides again on a changed record: a partition change can end a match
// that a multicast-only re-examination would keep.
TEST_F(BuiltinDiscoveryTest, AChangedRemoteWriterIsMatchedAgainByEveryReader) {
    FakeReader* temp = addUserReader("Temp", 0x31);
    FakeReader* other = addUserReader("Other", 0x32);
    RTPS::DiscoveredWriterData w = remoteWriter("Temp", 0x51);
    ASSERT_TRUE(hearWriter(w));
    w.publicationData.partition.name = {"A"};
    ASSERT_TRUE(hearWriter(w, 2));
    EXPECT_EQ(directory->publications().size(), 1u);
    for (FakeReader* r : {temp, other}) {
        ASSERT_EQ(r->checked.size(), 2u);
        EXPECT_TRUE(r->checked[1].publicationData.partition.name == std::vector<std::string>{"A"});
    }
}

// A remote writer that gains a multicast group: the matching readers join it once, are
// re-announced, and the receiver listens on it once.
TEST_F(BuiltinDiscoveryTest, AWriterThatGainsAGroupIsJoinedOnce) {
    FakeReader* temp = addUserReader("Temp", 0x31);
    FakeReader* other = addUserReader("Other", 0x32);
    FakeWriter* announcer = builtinWriter(*factory, BuiltinTopic::SUBSCRIPTION);
    size_t const announced = announcer->addedCount();
    int const receivers = factory->transport->receiversAdded.load();

    RTPS::DiscoveredWriterData w = remoteWriter("Temp", 0x51);
    ASSERT_TRUE(hearWriter(w));
    w.writerProxy.multicastLocatorList.push_back(udp("239.1.2.3", 7401));
    for (uint32_t sn = 2; sn <= 3; ++sn) {
        ASSERT_TRUE(hearWriter(w, sn));
    }
    std::vector<RTPS::Locator_t> groups;
    temp->getMulticastLocatorList(groups);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0], udp("239.1.2.3", 7401));
    other->getMulticastLocatorList(groups);
    EXPECT_TRUE(groups.empty());
    EXPECT_EQ(announcer->addedCount(), announced + 1);
    EXPECT_EQ(factory->transport->receiversAdded.load(), receivers + 1);
}

// Which destination a matching writer gets for a new remote reader: the writer's first group
// when the reader listens on it (per-topic groups: every writer of a topic has the same one),
// else, for a stateless writer, the reader's first unicast locator.
TEST_F(BuiltinDiscoveryTest, ARemoteReaderIsServedByTheSharedGroupOrByUnicast) {
    FakeWriter* stateless = addUserWriter("Temp", 0x21, true);
    FakeWriter* stateful = addUserWriter("Temp", 0x22, false);
    FakeWriter* elsewhere = addUserWriter("Other", 0x24, true);
    std::vector<RTPS::Locator_t> own;
    stateless->getMulticastLocatorList(own);
    ASSERT_FALSE(own.empty()) << "the shipped configuration gives each topic a group";
    RTPS::Locator_t const group = own.front();

    RTPS::DiscoveredReaderData listening = remoteReader("Temp", 0x61);
    listening.readerProxy.multicastLocatorList = {udp("239.9.9.9", 7401), group};
    ASSERT_TRUE(hearReader(listening));
    ASSERT_EQ(stateless->readerLocators.size(), 1u);
    EXPECT_EQ(stateless->readerLocators[0], group);
    EXPECT_TRUE(stateless->readerLocatorMulticast);
    ASSERT_EQ(stateful->proxyGroups.size(), 1u);
    EXPECT_EQ(stateful->proxyGroups[0].first, listening.readerProxy.remoteReaderGuid);
    EXPECT_EQ(stateful->proxyGroups[0].second, group);

    RTPS::DiscoveredReaderData unicastOnly = remoteReader("Temp", 0x62);
    ASSERT_TRUE(hearReader(unicastOnly));
    ASSERT_EQ(stateless->readerLocators.size(), 2u);
    EXPECT_EQ(stateless->readerLocators[1], unicastOnly.readerProxy.unicastLocatorList[0]);
    EXPECT_FALSE(stateless->readerLocatorMulticast);
    EXPECT_EQ(stateful->proxyGroups.size(), 1u);

    EXPECT_TRUE(elsewhere->readerLocators.empty());
    // Every writer decided on both, matching or not.
    EXPECT_EQ(elsewhere->checked.size(), 2u);

    // The DSVC side hears of each new reader once, not of a re-announcement.
    ASSERT_TRUE(hearReader(listening, 2));
    ASSERT_NE(factory->dsvcLink, nullptr);
    ASSERT_EQ(factory->dsvcLink->discovered.size(), 2u);
    EXPECT_EQ(factory->dsvcLink->discovered[0], listening.readerProxy.remoteReaderGuid);
}

// A reader deleted at its participant is announced once more, disposed and unregistered. The
// core hears of it while the record is still there; then every local writer lets the reader
// go at once (an acknowledgement wait would otherwise wait for it until its participant's lease
// ran out), and nothing matches the record again.
TEST_F(BuiltinDiscoveryTest, ADepartedRemoteReaderIsUnmatchedAndForgotten) {
    FakeWriter* writer = addUserWriter("Temp", 0x22, false);
    RTPS::DiscoveredReaderData const leaving = remoteReader("Temp", 0x61);
    RTPS::DiscoveredReaderData const staying = remoteReader("Temp", 0x62);
    RTPS::GUID_t const gone = leaving.readerProxy.remoteReaderGuid;
    ASSERT_TRUE(hearReader(leaving));
    ASSERT_TRUE(hearReader(staying));
    ASSERT_EQ(writer->checked.size(), 2u);

    bool knownWhileReported = false;
    m_comm.onReport = [&](RTPS::SampleInfo const&) {
        vexa::dds::SubscriptionBuiltinTopicData config;
        knownWhileReported = p->getReaderConfig(gone, config);
    };
    RTPS::GUID_t from = gone;
    from.entityId = RTPS::_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER;
    std::unique_ptr<CacheChange> c = received(leaving, from, 2);
    c->sampleInfo.statusFlags = RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED;
    if (directory->addBuiltinChange(BuiltinTopic::SUBSCRIPTION, c.get()) == c.get()) {
        c.release();
    }

    ASSERT_EQ(m_comm.statusFlags.size(), 3u);
    EXPECT_EQ(m_comm.statusFlags.back(), RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED);
    EXPECT_TRUE(knownWhileReported);
    EXPECT_EQ(writer->checked.size(), 2u) << "a departure is not matched again";
    ASSERT_EQ(writer->removed.size(), 1u);
    EXPECT_EQ(writer->removed[0], gone);

    vexa::dds::SubscriptionBuiltinTopicData config;
    EXPECT_FALSE(p->getReaderConfig(gone, config));
    EXPECT_EQ(directory->subscriptions().size(), 1u);
    std::vector<RTPS::ReaderProxyInfo> matched;
    p->getDirectory()->getMatchedReaders(publication("Temp"), matched);
    ASSERT_EQ(matched.size(), 1u);
    EXPECT_EQ(matched[0].remoteReaderGuid, staying.readerProxy.remoteReaderGuid);
}

// The same for a writer deleted at its participant: no local reader keeps it.
TEST_F(BuiltinDiscoveryTest, ADepartedRemoteWriterIsUnmatchedAndForgotten) {
    FakeReader* reader = addUserReader("Temp", 0x31);
    RTPS::DiscoveredWriterData const leaving = remoteWriter("Temp", 0x51);
    RTPS::DiscoveredWriterData const staying = remoteWriter("Temp", 0x52);
    RTPS::GUID_t const gone = leaving.writerProxy.remoteWriterGuid;
    ASSERT_TRUE(hearWriter(leaving));
    ASSERT_TRUE(hearWriter(staying));
    size_t const checked = reader->checked.size();

    bool knownWhileReported = false;
    m_comm.onReport = [&](RTPS::SampleInfo const&) {
        vexa::dds::PublicationBuiltinTopicData config;
        knownWhileReported = p->getDirectory()->getWriterDCPSConfig(gone, config);
    };
    RTPS::GUID_t from = gone;
    from.entityId = RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER;
    std::unique_ptr<CacheChange> c = received(leaving, from, 2);
    c->sampleInfo.statusFlags = RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED;
    if (directory->addBuiltinChange(BuiltinTopic::PUBLICATION, c.get()) == c.get()) {
        c.release();
    }

    EXPECT_EQ(m_comm.statusFlags.back(), RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED);
    EXPECT_TRUE(knownWhileReported);
    EXPECT_EQ(reader->checked.size(), checked) << "a departure is not matched again";
    ASSERT_FALSE(reader->removed.empty());
    EXPECT_EQ(reader->removed.back(), gone);
    vexa::dds::PublicationBuiltinTopicData config;
    EXPECT_FALSE(p->getDirectory()->getWriterDCPSConfig(gone, config));
    EXPECT_TRUE(
        p->getDirectory()->getWriterDCPSConfig(staying.writerProxy.remoteWriterGuid, config));
    EXPECT_EQ(directory->publications().size(), 1u);
}

// Which local readers a remote writer's samples reach, after each kind of change that decides
// a match. The participant keeps the answer between samples; every row first asks once (so an
// answer is kept), makes its change, then asks again. Readers: A (Temp, any partition) and
// B (Temp, "east"); the writer W publishes Temp in "west".
TEST_F(BuiltinDiscoveryTest, DeliveryFollowsEveryChangeOfAMatch) {
    struct World {
        RTPS::DiscoveredWriterData w;
        FakeReader* a;
        FakeReader* b;
        FakeReader* c = nullptr;
        std::unique_ptr<FakeReader> removed;
    };
    auto inPartition = [](auto data, char const* name) {
        data.partition.name.push_back(name);
        return data;
    };
    auto writerIn = [](RTPS::DiscoveredWriterData w, char const* name) {
        w.publicationData.partition.name.push_back(name);
        return w;
    };
    struct Row {
        char const* rule;
        uint8_t probeKey;  // the writer whose heartbeat is sent
        std::function<void(World&)> change;
        char const* reached;  // the readers that get the heartbeat afterwards
    } const rows[] = {
        {"a reader created matches at once", 0x51,
         [this](World& x) { x.c = addUserReader("Temp", 0x33); }, "AC"},
        {"a reader taken out of the list gets nothing", 0x51,
         [this](World& x) {
             p->removeEndpoint(x.a);
             x.removed.reset(x.a);
         },
         ""},
        {"a reader whose partitions now exclude the writer gets nothing", 0x51,
         [&, this](World& x) {
             x.a->setDescription(inPartition(subscription("Temp", 0x31), "east"));
             p->modifyReader(x.a, EXTRA, true);
         },
         ""},
        {"a reader whose partitions now admit the writer gets it", 0x51,
         [&, this](World& x) {
             x.b->setDescription(inPartition(subscription("Temp", 0x32), "w*"));
             p->modifyReader(x.b, EXTRA, true);
         },
         "AB"},
        {"a writer announced again in another partition", 0x51,
         [&, this](World&) { hearWriter(writerIn(remoteWriter("Temp", 0x51), "east"), 2); }, "AB"},
        {"a writer announced again with a weaker QoS", 0x51,
         [&, this](World& x) {
             RTPS::DiscoveredWriterData weaker = x.w;
             weaker.publicationData.reliability.kind = vexa::dds::BEST_EFFORT_RELIABILITY_QOS;
             hearWriter(weaker, 2);
         },
         ""},
        {"a writer announced departed", 0x51,
         [this](World& x) {
             RTPS::GUID_t from = x.w.writerProxy.remoteWriterGuid;
             from.entityId = RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER;
             std::unique_ptr<CacheChange> c = received(x.w, from, 2);
             c->sampleInfo.statusFlags = RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED;
             if (directory->addBuiltinChange(BuiltinTopic::PUBLICATION, c.get()) == c.get()) {
                 c.release();
             }
         },
         ""},
        {"a writer lost", 0x51,
         [this](World& x) { p->endpointLost(x.w.writerProxy.remoteWriterGuid); }, ""},
        {"the writer's participant lost", 0x51,
         [this](World&) { p->participantLost(REMOTE_PREFIX); }, ""},
        {"a writer first heard of after its first samples", 0x52,
         [this](World&) { hearWriter(remoteWriter("Temp", 0x52)); }, "AB"},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.rule);
        p.reset();
        factory = std::make_shared<FakeFactory>();
        SetUp();
        ASSERT_TRUE(hear(BuiltinTopic::PARTICIPANT,
                         remoteParticipant(REMOTE_PREFIX, RTPS::BUILTIN_ENDPOINTS_OWN),
                         guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER)));
        World x{writerIn(remoteWriter("Temp", 0x51), "west"), nullptr, nullptr, nullptr, nullptr};
        ASSERT_TRUE(hearWriter(x.w));
        x.a = addUserReader("Temp", 0x31);
        auto east = inPartition(subscription("Temp", 0x32), "east");
        p->addReader(&east, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0, nullptr);
        x.b = factory->userReaders.back();

        RTPS::HeartbeatData hb;
        hb.writerGUID = guidIn(REMOTE_PREFIX, RTPS::EntityId_t{{0, 0, row.probeKey}, 0x02});
        hb.readerId = RTPS::_ENTITYID_UNKNOWN;
        p->heartbeatToReaders(&hb);
        std::vector<std::pair<char, FakeReader*>> const named = {{'A', x.a}, {'B', x.b}};
        std::vector<size_t> before;
        for (auto const& n : named) {
            before.push_back(n.second->heartbeatCount());
        }
        row.change(x);
        unsigned const count = p->heartbeatToReaders(&hb);

        std::string reached;
        for (size_t i = 0; i < named.size(); ++i) {
            if (named[i].second->heartbeatCount() > before[i]) {
                reached += named[i].first;
            }
        }
        if (x.c != nullptr && x.c->heartbeatCount() > 0) {
            reached += 'C';
        }
        EXPECT_EQ(reached, row.reached);
        EXPECT_EQ(count, std::string(row.reached).size());
    }
}

// Samples keep arriving while the application and discovery change matches: each sample reaches
// only listed readers (a deleted one would be touched after its destruction, which the
// sanitizers see), and once the changes stop the answer is exact.
TEST_F(BuiltinDiscoveryTest, DeliveryRacesChangesOfMatches) {
    RTPS::DiscoveredWriterData const w = remoteWriter("Temp", 0x51);
    ASSERT_TRUE(hearWriter(w));
    FakeReader* a = addUserReader("Temp", 0x31);
    std::atomic<bool> stop{false};
    RTPS::HeartbeatData hb;
    hb.writerGUID = w.writerProxy.remoteWriterGuid;
    hb.readerId = RTPS::_ENTITYID_UNKNOWN;
    std::thread parser([&] {
        RTPS::HeartbeatData mine = hb;
        while (!stop.load()) {
            p->heartbeatToReaders(&mine);
        }
    });
    uint32_t sn = 2;
    for (int i = 0; i < 200; ++i) {
        FakeReader* passing = addUserReader("Temp", 0x40);
        auto cold = subscription("Cold", 0x31);
        a->setDescription(cold);
        p->modifyReader(a, EXTRA, true);
        hearWriter(w, sn++);
        p->removeEndpoint(passing);
        passing->waitUntilUnused();
        delete passing;
        a->setDescription(subscription("Temp", 0x31));
        p->modifyReader(a, EXTRA, true);
    }
    stop = true;
    parser.join();
    size_t const before = a->heartbeatCount();
    EXPECT_EQ(p->heartbeatToReaders(&hb), 1u);
    EXPECT_EQ(a->heartbeatCount(), before + 1);
}

// The core is told of a remote writer holding no local reader: it takes its participant mutex
// for it, while an application thread that deletes a matched reader holds that mutex and waits
// for the reader to be unused.
TEST_F(BuiltinDiscoveryTest, TheCoreHearsOfARemoteWriterWithNoLocalReaderHeld) {
    FakeReader* reader = addUserReader("Temp", 0x31);
    RTPS::DiscoveredWriterData w = remoteWriter("Temp", 0x51);
    w.writerProxy.multicastLocatorList.push_back(udp("239.1.2.3", 7401));
    uint32_t usesWhileReported = 99;
    m_comm.onReport = [&](RTPS::SampleInfo const&) { usesWhileReported = reader->getUseCount(); };
    ASSERT_TRUE(hearWriter(w));
    EXPECT_EQ(usesWhileReported, 0u);
}

TEST_F(BuiltinDiscoveryTest, RecordsWithoutUnicastLocatorAreSkipped) {
    FakeReader* reader = addUserReader("Temp", 0x31);
    RTPS::DiscoveredWriterData w = remoteWriter("Temp", 0x51);
    w.writerProxy.unicastLocatorList.clear();
    EXPECT_FALSE(hearWriter(w));
    RTPS::DiscoveredReaderData r = remoteReader("Temp", 0x61);
    r.readerProxy.unicastLocatorList.clear();
    EXPECT_FALSE(hearReader(r));
    EXPECT_EQ(directory->publications().size(), 0u);
    EXPECT_EQ(directory->subscriptions().size(), 0u);
    EXPECT_TRUE(reader->checked.empty());
}

TEST_F(BuiltinDiscoveryTest, QueriesGiveCopiesOfMatchingRecords) {
    RTPS::DiscoveredReaderData a = remoteReader("Temp", 0x61);
    RTPS::DiscoveredReaderData b = remoteReader("Temp", 0x62);
    b.readerProxy.unicastLocatorList.push_back(udp("127.0.0.1", 7415));
    RTPS::DiscoveredReaderData c = remoteReader("Other", 0x63, OTHER_PREFIX);
    for (auto const& r : {a, b, c}) {
        ASSERT_TRUE(hearReader(r));
    }
    std::vector<RTPS::ReaderProxyInfo> matched;
    p->getDirectory()->getMatchedReaders(publication("Temp"), matched);
    ASSERT_EQ(matched.size(), 2u);
    EXPECT_EQ(matched[1].remoteReaderGuid, b.readerProxy.remoteReaderGuid);

    struct Case {
        RTPS::GUID_t asked;
        size_t locators;
    } const cases[] = {
        {a.readerProxy.remoteReaderGuid, 1},
        {b.readerProxy.remoteReaderGuid, 2},
        {guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_PARTICIPANT), 3},
        {guidIn(OTHER_PREFIX, RTPS::_ENTITYID_PARTICIPANT), 1},
        {guidIn(REMOTE_PREFIX, RTPS::EntityId_t{{0, 0, 0x70}, 0x07}), 0},
    };
    for (Case const& k : cases) {
        std::vector<RTPS::Locator_t> locators{udp("1.2.3.4", 1)};
        p->getDirectory()->getReaderLocators(k.asked, locators);
        EXPECT_EQ(locators.size(), k.locators);
    }
    vexa::dds::SubscriptionBuiltinTopicData config;
    ASSERT_TRUE(p->getReaderConfig(c.readerProxy.remoteReaderGuid, config));
    EXPECT_EQ(config.topic_name, "Other");
}

// A liveliness message reaches the DCPS core with the manual flag of its kind; only the latest
// is kept.
TEST(BuiltinParticipantMessages, ManualFlagAndLatestOnly) {
    class Recorder : public NullCommunicationObject {
    public:
        void assertLiveliness(RTPS::Reader*, void*, unsigned int* prefix,
                              unsigned int manual) override {
            uint8_t bytes[12];
            std::memcpy(bytes, prefix, 12);
            asserted.emplace_back(std::vector<uint8_t>(bytes, bytes + 12), manual);
        }
        std::vector<std::pair<std::vector<uint8_t>, unsigned>> asserted;
    } core;
    RTPS::BuiltinParticipantMessageReader reader(&core, nullptr, "P000000200c7");
    struct Case {
        uint8_t kind;
        unsigned manual;
    } const cases[] = {{1, 0}, {2, 1}, {1, 0}};
    uint32_t sn = 1;
    for (Case const& c : cases) {
        RTPS::ParticipantMessageData m;
        std::memcpy(m.guidPrefix, REMOTE_PREFIX, 12);
        m.kind[3] = c.kind;
        auto change = received(
            m, guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER), sn++);
        ASSERT_EQ(reader.addChange(change.get()), change.get());
        change.release();
        EXPECT_EQ(reader.size(), 1u);
        ASSERT_FALSE(core.asserted.empty());
        EXPECT_EQ(core.asserted.back().second, c.manual) << int{c.kind};
        EXPECT_EQ(core.asserted.back().first,
                  std::vector<uint8_t>(REMOTE_PREFIX, REMOTE_PREFIX + 12));
    }
    EXPECT_EQ(core.asserted.size(), 3u);
}

}  // namespace
