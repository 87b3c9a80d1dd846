#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "ReaderHarness.h"
#include "rtps/discovery/BuiltinParticipantMessageWriter.h"
#include "rtps/discovery/RecordDecoders.h"
#include "rtps/discovery/SEDPBuiltinPublicationWriter.h"
#include "rtps/discovery/SEDPBuiltinTopicWriter.h"
#include "rtps/discovery/SPDPBuiltinParticipantWriter.h"
#include "rtps/participant/PortMapping.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/reader/Reader.h"
#include "rtps/writer/ChangeHandle.h"
#include "rtps/writer/Writer.h"

// The engine's own built-in endpoints in a participant with the engine's discovery directory,
// over a fake transport: what received discovery changes make the built-in readers keep for the
// DCPS core, and what the built-in writers hold of the participant's announcements.

using namespace reader_test;
using RTPS::BuiltinTopic;
using RTPS::CacheChange;

namespace {

RTPS::RTPS_AdditionalTopicData const EXTRA{{5, 6}, 0};
uint8_t const OTHER_PREFIX[12] = {0xAA, 0xAA, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};

RTPS::GUID_t guidIn(uint8_t const* prefix, RTPS::EntityId_t id) {
    RTPS::GUID_t g{};
    std::memcpy(g.guidPrefix, prefix, 12);
    g.entityId = id;
    return g;
}

// A received built-in change owning its decoded record, as the receiver makes it.
template <class Record>
std::unique_ptr<CacheChange> received(Record const& record, RTPS::GUID_t writer, uint32_t sn) {
    auto c = std::make_unique<CacheChange>(writer, nullptr);
    c->setSequenceNumber(RTPS::SequenceNumber_t{0, sn});
    c->payloadKind = RTPS::OWNER_RECEIVED;
    c->setData(new Record(record), sizeof record);
    c->ownsRecord = true;
    c->completeness = 3;
    return c;
}

RTPS::SPDPdiscoveredParticipantData announcementOf(uint8_t const* prefix) {
    RTPS::SPDPdiscoveredParticipantData p;
    std::memcpy(p.guidPrefix, prefix, 12);
    p.participant.key = keyOf(prefix);
    p.participant.user_data.value = {'p', 'e', 'e', 'r'};
    p.availableBuiltinEndpoints = RTPS::ParticipantImpl::AVAILABLE_BUILTIN_ENDPOINTS;
    p.metatrafficUnicastLocator = RTPS::Locator_t{RTPS::LOCATOR_KIND_UDPv4, 7412, {}};
    RTPS::strToLoc(&p.metatrafficUnicastLocator, "127.0.0.1");
    p.leaseDuration = vexa::dds::Duration_t{45, 0};
    return p;
}

RTPS::DiscoveredWriterData remoteWriter(uint8_t const* prefix, uint8_t key) {
    RTPS::DiscoveredWriterData w;
    w.publicationData.topic_name = "Remote";
    w.publicationData.type_name = "T";
    w.publicationData.participant_key = keyOf(prefix);
    w.writerProxy.remoteWriterGuid = guidIn(prefix, RTPS::EntityId_t{{0, 0, key}, 0x02});
    w.writerProxy.unicastLocatorList.push_back(RTPS::Locator_t{RTPS::LOCATOR_KIND_UDPv4, 7413, {}});
    RTPS::strToLoc(&w.writerProxy.unicastLocatorList[0], "127.0.0.1");
    return w;
}

RTPS::ParticipantMessageData message(uint8_t const* prefix, uint8_t kind) {
    RTPS::ParticipantMessageData m;
    std::memcpy(m.guidPrefix, prefix, 12);
    m.kind[3] = kind;
    return m;
}

// The engine's makers with a capturing transport, a clock that stands still (no periodic
// task runs on its own) and the engine's directory.
class DirectoryEngineFactory : public RTPS::ComponentFactory {
public:
    RTPS::RTPSDataTransport* makeTransport(RTPS::Participant*) override {
        transport = new FakeTransport;
        return transport;
    }
    std::shared_ptr<RTPS::SchedulerClock> makeSchedulerClock() override { return clock; }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeTransport* transport = nullptr;
};

class BuiltinEndpointsTest : public ::testing::Test {
protected:
    void SetUp() override {
        p = std::make_unique<RTPS::ParticipantImpl>(&comm, 0, &data, 0, false, factory);
    }
    void TearDown() override { p.reset(); }

    // Hands a change to one reader as the message receiver does; true when it was kept.
    bool deliver(RTPS::EntityId_t reader, std::unique_ptr<CacheChange> c) {
        if (p->addChange(reader, c.get()) == c.get()) {
            c.release();
            return true;
        }
        return false;
    }
    // The remote participant's announcement: wires its built-in endpoints to ours.
    bool hearParticipant(uint8_t const* prefix) {
        RTPS::GUID_t from = guidIn(prefix, RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER);
        return deliver(RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER,
                       received(announcementOf(prefix), from, 1));
    }
    RTPS::HistoryCache& readerHistory(BuiltinTopic topic) {
        RTPS::ReaderHandle r = p->getReader(RTPS::builtinReaderId(topic));
        return r->getHistory();
    }
    template <class W>
    W* builtinWriter(BuiltinTopic topic) {
        RTPS::WriterHandle w = p->getWriter(RTPS::builtinWriterId(topic));
        return dynamic_cast<W*>(w.get());
    }
    // The announcements sent to the SPDP group so far, decoded.
    std::vector<RTPS::SPDPdiscoveredParticipantData> announcements() {
        RTPS::Locator_t group{RTPS::LOCATOR_KIND_UDPv4, RTPS::metatrafficMulticastPort(0), {}};
        RTPS::strToLoc(&group, RTPS::DEFAULT_MULTICAST_ADDRESS);
        std::vector<RTPS::SPDPdiscoveredParticipantData> out;
        FakeSender* sender = factory->transport->senderFor(group);
        if (sender == nullptr) {
            return out;
        }
        for (SentDatagram const& d : sender->sent()) {
            RTPS::DatagramWalker walker(d.bytes.data(), d.bytes.size());
            RTPS::SubmessageSpan span;
            while (walker.next(span)) {
                RTPS::DataFields f{};
                if (span.kind == RTPS::DATA && RTPS::decodeData(span, f) && !f.keyOnly &&
                    f.writerId == RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER) {
                    auto record = RTPS::extractPart(f.payload, f.payloadLength);
                    EXPECT_NE(record, nullptr);
                    if (record) {
                        out.push_back(*record);
                    }
                }
            }
        }
        return out;
    }
    RTPS::HistoryCache& writerHistory(BuiltinTopic topic) {
        RTPS::WriterHandle w = p->getWriter(RTPS::builtinWriterId(topic));
        return w->getHistory();
    }

    ScratchDir dir;
    RecordingCommunicationObject comm;
    vexa::dds::ParticipantBuiltinTopicData data = ownData();
    std::shared_ptr<DirectoryEngineFactory> factory = std::make_shared<DirectoryEngineFactory>();
    std::unique_ptr<RTPS::ParticipantImpl> p;
};

}  // namespace

// A discovered participant is kept in the SPDP reader's history: the DCPS core reads its record
// through the sample it was told of, and its release of the sample keeps the participant.
TEST_F(BuiltinEndpointsTest, TheCoreReadsAndKeepsADiscoveredParticipant) {
    ASSERT_TRUE(hearParticipant(REMOTE_PREFIX));
    ASSERT_EQ(comm.announcedCount(), 1u);
    RTPS::Reader* reader = p->getDCPSParticipantReader();
    ASSERT_NE(reader, nullptr);

    unsigned int prefix[3];
    unsigned int entity = 0;
    RTPS::SampleInfo sample{};
    reader->getChange(comm.announced[0], &prefix, &entity, sample);
    ASSERT_EQ(sample.length, sizeof(vexa::dds::ParticipantBuiltinTopicData));
    auto const* participant = static_cast<vexa::dds::ParticipantBuiltinTopicData*>(sample.data);
    EXPECT_EQ(participant->user_data.value, (std::vector<uint8_t>{'p', 'e', 'e', 'r'}));
    EXPECT_EQ(std::memcmp(prefix, REMOTE_PREFIX, 12), 0);

    EXPECT_EQ(reader->deleteChange(comm.announced[0]), 0u);
    EXPECT_EQ(readerHistory(BuiltinTopic::PARTICIPANT).size(), 1u);
    // A repeated announcement only refreshes it.
    RTPS::GUID_t from = guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER);
    EXPECT_FALSE(deliver(RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER,
                         received(announcementOf(REMOTE_PREFIX), from, 2)));
    EXPECT_EQ(readerHistory(BuiltinTopic::PARTICIPANT).size(), 1u);
}

// The publication reader takes records only from the SEDP writers participant discovery matched
// it with, keeps them in its history for the core and keeps them when the core releases them.
TEST_F(BuiltinEndpointsTest, PublicationsComeFromMatchedAnnouncersAndStay) {
    RTPS::EntityId_t const reader = RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER;
    RTPS::GUID_t const remoteAnnouncer =
        guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER);
    // Nobody announced the remote participant yet: its SEDP writer is not matched.
    EXPECT_FALSE(deliver(reader, received(remoteWriter(REMOTE_PREFIX, 0x21), remoteAnnouncer, 1)));

    ASSERT_TRUE(hearParticipant(REMOTE_PREFIX));
    size_t const before = comm.announcedCount();
    ASSERT_TRUE(deliver(reader, received(remoteWriter(REMOTE_PREFIX, 0x21), remoteAnnouncer, 1)));
    // The same number again is a repeat, and an unmatched participant's announcer is ignored.
    EXPECT_FALSE(deliver(reader, received(remoteWriter(REMOTE_PREFIX, 0x22), remoteAnnouncer, 1)));
    RTPS::GUID_t const stranger =
        guidIn(OTHER_PREFIX, RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER);
    EXPECT_FALSE(deliver(reader, received(remoteWriter(OTHER_PREFIX, 0x21), stranger, 1)));
    ASSERT_EQ(comm.announcedCount(), before + 1);
    EXPECT_EQ(readerHistory(BuiltinTopic::PUBLICATION).size(), 1u);

    RTPS::Reader* dcps = p->getDCPSPublicationReader();
    unsigned int prefix[3];
    unsigned int entity = 0;
    RTPS::SampleInfo sample{};
    dcps->getChange(comm.announced[before], &prefix, &entity, sample);
    ASSERT_EQ(sample.length, sizeof(vexa::dds::PublicationBuiltinTopicData));
    EXPECT_EQ(static_cast<RTPS::DiscoveredWriterData*>(sample.data)->publicationData.topic_name,
              "Remote");
    EXPECT_EQ(std::memcmp(prefix, REMOTE_PREFIX, 12), 0);
    EXPECT_EQ(entity, RTPS::entityIdToU32(RTPS::EntityId_t{{0, 0, 0x21}, 0}));
    EXPECT_EQ(dcps->deleteChange(comm.announced[before]), 0u);
    EXPECT_EQ(readerHistory(BuiltinTopic::PUBLICATION).size(), 1u);
}

// Liveliness messages reach the core as assertions (manual flag 1 for a manual message) and the
// reader holds only the latest.
TEST_F(BuiltinEndpointsTest, ParticipantMessagesAssertLivelinessAndOnlyTheLatestStays) {
    ASSERT_TRUE(hearParticipant(REMOTE_PREFIX));
    RTPS::EntityId_t const reader = RTPS::_ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_READER;
    RTPS::GUID_t const from =
        guidIn(REMOTE_PREFIX, RTPS::_ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER);
    ASSERT_TRUE(deliver(reader, received(message(REMOTE_PREFIX, 1), from, 1)));
    ASSERT_TRUE(deliver(reader, received(message(REMOTE_PREFIX, 2), from, 2)));
    EXPECT_EQ(readerHistory(BuiltinTopic::PARTICIPANT_MESSAGE).size(), 1u);
    ASSERT_EQ(comm.liveliness.size(), 2u);
    EXPECT_EQ(comm.liveliness[0][3], 0u);
    EXPECT_EQ(comm.liveliness[1][3], 1u);
}

// The publication writer announces a local writer with its GUID and locators; each new
// announcement replaces the earlier one at once, also while a matched reader has not
// acknowledged it, so the history holds one announcement per writer.
TEST_F(BuiltinEndpointsTest, AReannouncedWriterLeavesOneAnnouncement) {
    auto pub = publication("Local", 0x21);
    RTPS::Writer* writer = p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);
    ASSERT_NE(writer, nullptr);
    RTPS::HistoryCache& history = writerHistory(BuiltinTopic::PUBLICATION);
    ASSERT_EQ(history.size(), 1u);
    auto const* record =
        static_cast<RTPS::DiscoveredWriterData*>(history.getEarliestChange()->sampleInfo.data);
    EXPECT_EQ(record->writerProxy.remoteWriterGuid,
              guidIn(OWN_PREFIX, RTPS::EntityId_t{{0, 0, 0x21}, 0x02}));
    ASSERT_EQ(record->writerProxy.unicastLocatorList.size(), 1u);
    EXPECT_EQ(record->writerProxy.unicastLocatorList[0].port, p->getConfig().userUnicastPort());
    EXPECT_EQ(record->publicationData.topic_name, "Local");

    // A remote SEDP reader is matched now and acknowledges nothing.
    ASSERT_TRUE(hearParticipant(REMOTE_PREFIX));
    for (int i = 0; i < 3; ++i) {
        writer->setQoS(pub, EXTRA, 1);
    }
    EXPECT_EQ(history.size(), 1u);
    EXPECT_EQ(history.getEarliestChangeNum(), (RTPS::SequenceNumber_t{0, 4}));
}

// A description whose packed record would not fit in one DATA is refused, and the endpoint is
// not created.
TEST_F(BuiltinEndpointsTest, OversizedDescriptionsAreRefused) {
    auto pub = publication("Large", 0x21);
    pub.user_data.value.assign(70000, 'x');
    EXPECT_THROW(p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0), RTPS::BAD_PARAMETERS);
    EXPECT_FALSE(p->getWriter(int(pub.key.value[0])));
    auto sub = subscription("Large", 0x31);
    sub.user_data.value.assign(70000, 'x');
    EXPECT_THROW(p->addReader(&sub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0, nullptr),
                 RTPS::BAD_PARAMETERS);
    EXPECT_FALSE(p->getReader(int(sub.key.value[0])));
    EXPECT_EQ(writerHistory(BuiltinTopic::PUBLICATION).size(), 0u);
    EXPECT_EQ(writerHistory(BuiltinTopic::SUBSCRIPTION).size(), 0u);
}

// The announcers refuse what they cannot announce.
TEST_F(BuiltinEndpointsTest, AnnouncersRefuseWhatTheyCannotAnnounce) {
    struct Case {
        char const* rule;
        BuiltinTopic via;
        std::string text;
        RTPS::SampleInfo sample;
    };
    auto unknownWriter = publication("Nobody", 0x55);
    auto unknownReader = subscription("Nobody", 0x56);
    vexa::dds::TopicBuiltinTopicData topic;
    auto sampleOf = [](void* data, uint64_t length) {
        RTPS::SampleInfo s{};
        s.data = data;
        s.length = length;
        return s;
    };
    Case const cases[] = {
        {"a writer the participant does not have", BuiltinTopic::PUBLICATION,
         "Не найден соответствующий Writer", sampleOf(&unknownWriter, sizeof unknownWriter)},
        {"a reader the participant does not have", BuiltinTopic::SUBSCRIPTION,
         "Не найден соответствующий Reader", sampleOf(&unknownReader, sizeof unknownReader)},
        {"a publication of the wrong length", BuiltinTopic::PUBLICATION, "Неверные данные сэмпла",
         sampleOf(&unknownWriter, sizeof unknownWriter - 1)},
        {"a subscription without data", BuiltinTopic::SUBSCRIPTION, "Неверные данные сэмпла",
         sampleOf(nullptr, sizeof unknownReader)},
        {"a topic of the wrong length", BuiltinTopic::TOPIC, "Неверные данные сэмпла",
         sampleOf(&topic, 3)},
    };
    for (Case const& c : cases) {
        RTPS::WriterHandle w = p->getWriter(RTPS::builtinWriterId(c.via));
        RTPS::SampleInfo s = c.sample;
        try {
            w->addChange(&s);
            ADD_FAILURE() << c.rule << ": taken";
        } catch (RTPS::BAD_PARAMETERS const& e) {
            EXPECT_EQ(e.what(), c.text) << c.rule;
        }
        EXPECT_EQ(w->getHistory().size(), 0u) << c.rule;
    }
}

// The topic writer keeps one entry and one announcement per topic key; its table grows past 64
// topics; a stopped writer refuses with its own text.
TEST_F(BuiltinEndpointsTest, TopicAnnouncementsOnePerKey) {
    auto* topics = builtinWriter<RTPS::SEDPBuiltinTopicWriter>(BuiltinTopic::TOPIC);
    ASSERT_NE(topics, nullptr);
    auto announce = [&](uint32_t key, std::string const& name) {
        vexa::dds::TopicBuiltinTopicData t;
        t.key.value[0] = key;
        t.name = name;
        t.type_name = "T";
        RTPS::SampleInfo s{};
        s.data = &t;
        s.length = sizeof t;
        return topics->addChange(&s);
    };
    int64_t const first = announce(1, "A");
    announce(1, "A again");
    EXPECT_EQ(topics->topicCount(), 1u);
    EXPECT_EQ(topics->getHistory().size(), 1u);
    for (uint32_t k = 2; k <= 65; ++k) {
        announce(k, "T" + std::to_string(k));
    }
    EXPECT_EQ(topics->topicCount(), 65u);
    EXPECT_EQ(topics->tableSize(), 128u);
    EXPECT_EQ(topics->getHistory().size(), 65u);

    int64_t const last = announce(65, "again");
    EXPECT_NE(last, first);
    EXPECT_TRUE(topics->deleteChange(last));
    EXPECT_EQ(topics->topicCount(), 64u);
    EXPECT_EQ(topics->getHistory().size(), 64u);

    topics->stop();
    try {
        announce(70, "late");
        ADD_FAILURE() << "a stopped topic writer took an announcement";
    } catch (RTPS::GENERAL_DDSI_ERROR const& e) {
        EXPECT_STREQ(e.what(), "Райтер находится в состоянии завершения работы");
    }
}

// Each liveliness run withdraws the message it wrote before, acknowledged or not: with a matched
// remote reader that acknowledges nothing the writer still holds one message.
TEST_F(BuiltinEndpointsTest, LivelinessMessagesReplaceEachOther) {
    ASSERT_TRUE(hearParticipant(REMOTE_PREFIX));
    auto* messages =
        builtinWriter<RTPS::BuiltinParticipantMessageWriter>(BuiltinTopic::PARTICIPANT_MESSAGE);
    ASSERT_NE(messages, nullptr);
    ASSERT_EQ(messages->matchedReaderCount(), 1u);
    for (int i = 0; i < 3; ++i) {
        p->automaticLivelinessWorker();
    }
    EXPECT_EQ(messages->getHistory().size(), 1u);
    EXPECT_EQ(messages->getHistory().getEarliestChangeNum(), (RTPS::SequenceNumber_t{0, 3}));
    EXPECT_THROW(messages->deleteChange(0), RTPS::BAD_PARAMETERS);
    EXPECT_THROW(messages->deleteChange(RTPS::sequenceToHandle({-1, 1})), RTPS::BAD_PARAMETERS);
}

// The participant announces itself when it starts, at once again for a newcomer
// (manualResend) and every announce period; what goes to the SPDP group is its own record.
TEST_F(BuiltinEndpointsTest, TheParticipantAnnouncesItself) {
    p->start();
    factory->clock->waitIdle();
    auto sent = announcements();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::memcmp(sent[0].guidPrefix, OWN_PREFIX, 12), 0);
    EXPECT_EQ(sent[0].participant.user_data.value, data.user_data.value);
    EXPECT_EQ(sent[0].availableBuiltinEndpoints, 0x3C3Fu);
    EXPECT_EQ(sent[0].metatrafficUnicastLocator.port, p->getConfig().metatrafficUnicastPort());
    EXPECT_EQ(sent[0].leaseDuration,
              (vexa::dds::Duration_t{p->getConfig().participantLeaseDuration() / 1000, 0}));

    p->manualResend();
    factory->clock->waitIdle();
    EXPECT_EQ(announcements().size(), 2u);
    factory->clock->advanceMs(uint64_t(p->getConfig().spdpAnnouncePeriod()));
    factory->clock->waitIdle();
    EXPECT_EQ(announcements().size(), 3u);
}

// A new announcement refreshes the record's key and user data, goes out at once and is the only
// one the writer keeps.
TEST_F(BuiltinEndpointsTest, ANewAnnouncementReplacesTheOldOne) {
    p->start();
    auto* spdp = builtinWriter<RTPS::SPDPBuiltinParticipantWriter>(BuiltinTopic::PARTICIPANT);
    ASSERT_NE(spdp, nullptr);
    vexa::dds::ParticipantBuiltinTopicData changed = data;
    changed.user_data.value = {'n', 'e', 'w'};
    RTPS::SampleInfo s{};
    s.data = &changed;
    s.length = sizeof changed;
    int64_t const handle = spdp->addChange(&s);
    EXPECT_EQ(RTPS::handleToSequence(handle), (RTPS::SequenceNumber_t{0, 2}));
    EXPECT_EQ(spdp->getHistory().size(), 1u);
    factory->clock->waitIdle();
    auto sent = announcements();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().participant.user_data.value, changed.user_data.value);

    // Refused: the wrong size, and a record too large for one DATA; the last one stays.
    s.length = sizeof changed - 1;
    EXPECT_THROW(spdp->addChange(&s), RTPS::BAD_PARAMETERS);
    changed.user_data.value.assign(70000, 'x');
    s.length = sizeof changed;
    EXPECT_THROW(spdp->addChange(&s), RTPS::BAD_PARAMETERS);
    EXPECT_EQ(spdp->announced().participant.user_data.value, (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(spdp->getHistory().size(), 1u);
    EXPECT_EQ(spdp->getHistory().getEarliestChangeNum(), (RTPS::SequenceNumber_t{0, 2}));
}

// Regression: an announcement run that finds nothing to send still lets stop return; a stopped
// writer takes and wakes nothing.
TEST_F(BuiltinEndpointsTest, TheAnnouncerStopsPromptly) {
    auto* spdp = builtinWriter<RTPS::SPDPBuiltinParticipantWriter>(BuiltinTopic::PARTICIPANT);
    ASSERT_NE(spdp, nullptr);
    spdp->start();
    ASSERT_NE(spdp->getAnnounceTaskId(), 0u);
    spdp->manualResend();  // a run with an empty history
    factory->clock->waitIdle();
    std::packaged_task<void()> stopping([spdp] { spdp->stop(); });
    std::future<void> stopped = stopping.get_future();
    std::thread(std::move(stopping)).detach();
    if (stopped.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "stop waits for an announcement run that has ended";
        std::_Exit(1);
    }
    EXPECT_EQ(spdp->getAnnounceTaskId(), 0u);
    RTPS::SampleInfo s{};
    s.data = &data;
    s.length = sizeof data;
    EXPECT_EQ(spdp->addChange(&s), RTPS::CHANGE_NOT_TAKEN);
    spdp->manualResend();
    EXPECT_TRUE(announcements().empty());
}
