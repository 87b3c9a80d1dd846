#include "ds/service/DSSubscriberBuiltin.h"

#include <gtest/gtest.h>

#include <string>

#include "common/log/Logger.h"
#include "common/res/DsMessages.h"
#include "common/res/ResourceManager.h"
#include "ds/FakeDiscovery.h"
#include "rtps/LogCapture.h"

namespace {

using vexa::ds::DSReaderHost;
using vexa::ds::RemoteDP;
using vexa::ds::RemoteDW;
using vexatest::publicationRecord;
using vexatest::topicRecord;
namespace dds = vexa::dds;

const uint32_t PEER[3] = {0x0101AA8A, 0x02020202, 0x03030303};
const uint32_t OTHER[3] = {0x0404AA8A, 0x05050505, 0x06060606};
constexpr uint32_t WRITER = 0x00000102;

class BuiltinTest : public ::testing::Test {
protected:
    void SetUp() override {
        vexares::ResourceManager::getInstance().initialise("ds_strings_ru.res");
        vexalog::Logger::getLogger().setLogLevelReadable(7);
    }
    void TearDown() override { EXPECT_EQ(d.builtin().checkInvariants(), ""); }

    const RemoteDW* writer(const uint32_t prefix[3], uint32_t entityId) {
        const RemoteDP* dp = d.builtin().findParticipant(prefix);
        if (dp == nullptr)
            return nullptr;
        auto it = dp->writers.find(entityId);
        return it == dp->writers.end() ? nullptr : &it->second;
    }
    // A durable topic with its stored reader, and one writer of it stored there.
    vexa::ds::DSReader* durableWriter(const uint32_t prefix[3], uint32_t entityId,
                                      const std::string& name = "T") {
        auto t = topicRecord(name);
        d.topic(prefix, t);
        d.domain.createDRs();
        auto p = publicationRecord(name);
        d.publication(prefix, entityId, p);
        const RemoteDW* rdw = writer(prefix, entityId);
        return rdw ? rdw->reader : nullptr;
    }

    vexatest::DiscoveryDomain d;
};

TEST_F(BuiltinTest, OnlyTransientAndPersistentTopicsAreKept) {
    const struct {
        dds::DurabilityQosPolicyKind kind;
        bool kept;
    } cases[] = {
        {dds::VOLATILE_DURABILITY_QOS, false},
        {dds::TRANSIENT_LOCAL_DURABILITY_QOS, false},
        {dds::TRANSIENT_DURABILITY_QOS, true},
        {dds::PERSISTENT_DURABILITY_QOS, true},
    };
    for (const auto& c : cases) {
        const std::string name = "topic" + std::to_string(c.kind);
        auto t = topicRecord(name, c.kind);
        d.topic(PEER, t);
        EXPECT_EQ(d.domain.findTopic(name) != nullptr, c.kept) << name;
        const RemoteDP* dp = d.builtin().findParticipant(PEER);
        ASSERT_NE(dp, nullptr);
        ASSERT_EQ(dp->topics.count(name), 1u);
        // A topic not kept is no contradiction either.
        EXPECT_EQ(dp->topics.at(name).flags, 0u) << name;
    }
    EXPECT_EQ(d.domain.topicCount(), 2u);
    // The key tells whether the topic has one.
    EXPECT_TRUE(d.domain.findTopic("topic2")->hasKey());
}

TEST_F(BuiltinTest, WritersReachTheReaderOfTheirTopicWhicheverCameFirst) {
    // Writer first, then the topic's reader: the reader collects it when it is made.
    auto early = publicationRecord("Early");
    d.publication(PEER, WRITER, early);
    ASSERT_NE(writer(PEER, WRITER), nullptr);
    EXPECT_EQ(writer(PEER, WRITER)->reader, nullptr);
    auto t = topicRecord("Early");
    d.topic(OTHER, t);
    d.domain.createDRs();
    ASSERT_NE(d.domain.findTopic("Early")->reader(), nullptr);
    EXPECT_EQ(writer(PEER, WRITER)->reader, d.domain.findTopic("Early")->reader());
    EXPECT_EQ(writer(PEER, WRITER)->remotePubId,
              vexa::ds::DSSubscriberBuiltin::FIRST_REMOTE_PUB_ID);

    // Reader first, then the writer.
    vexa::ds::DSReader* reader = durableWriter(OTHER, WRITER, "Late");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader, d.domain.findTopic("Late")->reader());
    EXPECT_EQ(reader->writers().size(), 1u);

    // A writer of a topic that is not kept has no reader.
    auto v = topicRecord("Volatile", dds::VOLATILE_DURABILITY_QOS);
    d.topic(PEER, v);
    d.domain.createDRs();
    auto vp = publicationRecord("Volatile", dds::VOLATILE_DURABILITY_QOS);
    d.publication(PEER, WRITER + 1, vp);
    ASSERT_NE(writer(PEER, WRITER + 1), nullptr);
    EXPECT_EQ(writer(PEER, WRITER + 1)->reader, nullptr);
    EXPECT_FALSE(writer(PEER, WRITER + 1)->lost);
}

TEST_F(BuiltinTest, MalformedRecordsAreDroppedWithALogLine) {
    auto good = topicRecord("T");
    auto unnamed = topicRecord("");
    auto pub = publicationRecord("T");
    const auto sizeLine = [](const char* topic, uint64_t length) {
        return vexalog::Logger::sprintf_(vexares::DS_MSG_DISCOVERY_RECORD_SIZE, topic,
                                         (unsigned long long)length, unsigned(PEER[0]),
                                         unsigned(PEER[1]), unsigned(PEER[2]));
    };
    const std::string topicSize = vexa::dds::DCPS_TOPIC_TOPIC_NAME;
    const std::string pubSize = vexa::dds::DCPS_PUBLICATION_TOPIC_NAME;
    const struct {
        const char* what;
        bool topicReader;
        void* data;
        uint64_t length;
        std::string line;
    } cases[] = {
        {"short topic record", true, &good, 40, sizeLine(topicSize.c_str(), 40)},
        {"long topic record", true, &good, sizeof(good) + 1,
         sizeLine(topicSize.c_str(), sizeof(good) + 1)},
        {"topic record without data", true, nullptr, sizeof(good),
         sizeLine(topicSize.c_str(), sizeof(good))},
        {"topic without a name", true, &unnamed, sizeof(unnamed),
         vexalog::Logger::sprintf_(vexares::DS_MSG_TOPIC_WITHOUT_NAME, unsigned(PEER[0]),
                                   unsigned(PEER[1]), unsigned(PEER[2]))},
        {"topic record as publication", false, &good, sizeof(good),
         sizeLine(pubSize.c_str(), sizeof(good))},
        {"publication without data", false, nullptr, sizeof(pub),
         sizeLine(pubSize.c_str(), sizeof(pub))},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.line.empty()) << c.what;
        const size_t before = LogCapture::count(c.line);
        d.deliver(c.topicReader ? d.engine->topics : d.engine->publications, PEER, WRITER,
                  RTPS::SAMPLE_ALIVE, c.data, c.length);
        // Nothing of the peer was taken in, and the drop left one line.
        EXPECT_EQ(d.builtin().findParticipant(PEER), nullptr) << c.what;
        EXPECT_EQ(d.domain.topicCount(), 0u) << c.what;
        EXPECT_EQ(LogCapture::count(c.line), before + 1) << c.what;
    }
}

TEST_F(BuiltinTest, DisposedWriterIsIgnoredUntilCollected) {
    vexa::ds::DSReader* reader = durableWriter(PEER, WRITER);
    ASSERT_NE(reader, nullptr);
    const uint32_t firstId = writer(PEER, WRITER)->remotePubId;
    auto p = publicationRecord("T");
    d.publication(PEER, WRITER, p, RTPS::SAMPLE_DISPOSED | RTPS::SAMPLE_UNREGISTERED);
    EXPECT_TRUE(writer(PEER, WRITER)->lost);
    EXPECT_EQ(writer(PEER, WRITER)->reader, nullptr);
    EXPECT_EQ(d.subscriber->lostWriters, 1);
    DSReaderHost::Publication out;
    EXPECT_EQ(d.builtin().getRemotePublisher(PEER, WRITER, nullptr, out),
              DSReaderHost::Lookup::Lost);

    // The same publication again changes nothing while the lost record is kept.
    d.publication(PEER, WRITER, p);
    EXPECT_TRUE(writer(PEER, WRITER)->lost);
    EXPECT_EQ(writer(PEER, WRITER)->remotePubId, firstId);

    d.domain.collectGarbage();
    EXPECT_EQ(writer(PEER, WRITER), nullptr);
    d.publication(PEER, WRITER, p);
    ASSERT_NE(writer(PEER, WRITER), nullptr);
    EXPECT_FALSE(writer(PEER, WRITER)->lost);
    EXPECT_EQ(writer(PEER, WRITER)->remotePubId, firstId + 1);
    EXPECT_EQ(writer(PEER, WRITER)->reader, reader);
}

// A participant reported lost is kept for 300 s from the report (seconds compared); a sample
// from it before then brings it back with its writers.
TEST_F(BuiltinTest, LostParticipantIsRemovedAfterThreeHundredSeconds) {
    const struct {
        int32_t after;  // seconds from the loss report to the collection pass
        bool comesBack;
        bool removed;
    } cases[] = {
        {300, false, false},
        {301, false, true},
        {301, true, false},
        {1000, true, false},
    };
    uint32_t n = 0;
    for (const auto& c : cases) {
        const uint32_t prefix[3] = {0x10, ++n, 0x30};
        vexa::ds::DSReader* reader = durableWriter(prefix, WRITER, "T" + std::to_string(n));
        ASSERT_NE(reader, nullptr);
        d.domain.comm().participantLost(const_cast<unsigned*>(prefix));
        ASSERT_TRUE(d.builtin().findParticipant(prefix)->flags & RemoteDP::LOST);
        d.advance(c.after);
        if (c.comesBack)
            d.participant(prefix);
        const int lostBefore = d.subscriber->lostWriters;
        d.domain.collectGarbage();
        const RemoteDP* dp = d.builtin().findParticipant(prefix);
        ASSERT_NE(dp, nullptr) << c.after;
        EXPECT_EQ((dp->flags & RemoteDP::REMOVED) != 0, c.removed) << c.after;
        EXPECT_EQ(writer(prefix, WRITER)->lost, c.removed) << c.after;
        EXPECT_EQ(writer(prefix, WRITER)->reader, c.removed ? nullptr : reader) << c.after;
        EXPECT_EQ(d.subscriber->lostWriters - lostBefore, c.removed ? 1 : 0) << c.after;
        // Erased on the next pass.
        d.domain.collectGarbage();
        EXPECT_EQ(d.builtin().findParticipant(prefix) == nullptr, c.removed) << c.after;
        // Back, so that it stays out of the next case.
        d.participant(prefix);
    }
}

TEST_F(BuiltinTest, DisposedParticipantLosesItsWritersAndIsIgnored) {
    vexa::ds::DSReader* reader = durableWriter(PEER, WRITER);
    ASSERT_NE(reader, nullptr);
    d.participant(PEER, RTPS::SAMPLE_DISPOSED);
    EXPECT_TRUE(d.builtin().findParticipant(PEER)->flags & RemoteDP::REMOVED);
    EXPECT_TRUE(writer(PEER, WRITER)->lost);
    EXPECT_EQ(d.subscriber->lostWriters, 1);

    const std::string ignored =
        vexalog::Logger::sprintf_(vexares::DS_MSG_PARTICIPANT_REMOVED, unsigned(PEER[0]),
                                  unsigned(PEER[1]), unsigned(PEER[2]));
    const size_t before = LogCapture::count(ignored);
    auto p = publicationRecord("T");
    d.publication(PEER, WRITER + 1, p);
    EXPECT_EQ(writer(PEER, WRITER + 1), nullptr);
    EXPECT_EQ(LogCapture::count(ignored), before + 1);
    DSReaderHost::Publication out;
    EXPECT_EQ(d.builtin().getRemotePublisher(PEER, WRITER, nullptr, out),
              DSReaderHost::Lookup::Lost);
}

TEST_F(BuiltinTest, RemotePublisherLookup) {
    vexa::ds::DSReader* reader = durableWriter(PEER, WRITER);
    ASSERT_NE(reader, nullptr);
    const struct {
        const uint32_t* prefix;
        uint32_t entityId;
        DSReaderHost::Lookup result;
    } cases[] = {
        {PEER, WRITER, DSReaderHost::Lookup::Found},
        {PEER, WRITER + 7, DSReaderHost::Lookup::Unknown},
        {OTHER, WRITER, DSReaderHost::Lookup::Unknown},
    };
    for (const auto& c : cases) {
        DSReaderHost::Publication out;
        EXPECT_EQ(d.builtin().getRemotePublisher(c.prefix, c.entityId, nullptr, out), c.result);
        EXPECT_EQ(out.data != nullptr, c.result == DSReaderHost::Lookup::Found);
    }
    DSReaderHost::Publication out;
    d.builtin().getRemotePublisher(PEER, WRITER, nullptr, out);
    EXPECT_EQ(out.rdw, writer(PEER, WRITER));
    EXPECT_EQ(out.remotePubId, writer(PEER, WRITER)->remotePubId);
    EXPECT_EQ(out.data->topic_name, "T");
}

TEST_F(BuiltinTest, ForgottenReaderIsNoWritersReader) {
    vexa::ds::DSReader* reader = durableWriter(PEER, WRITER);
    auto p = publicationRecord("T");
    d.publication(OTHER, WRITER, p);
    ASSERT_EQ(writer(OTHER, WRITER)->reader, reader);
    d.builtin().forgetReader(reader);
    EXPECT_EQ(writer(PEER, WRITER)->reader, nullptr);
    EXPECT_EQ(writer(OTHER, WRITER)->reader, nullptr);
}

TEST_F(BuiltinTest, LivelinessOnlyFromKnownParticipants) {
    d.domain.comm().assertLiveliness(&d.engine->participants, nullptr, const_cast<unsigned*>(OTHER),
                                     0);
    EXPECT_EQ(d.builtin().findParticipant(OTHER), nullptr);

    ASSERT_NE(durableWriter(PEER, WRITER), nullptr);
    d.advance(5);
    d.domain.comm().assertLiveliness(&d.engine->participants, nullptr, const_cast<unsigned*>(PEER),
                                     WRITER);
    const RemoteDP* dp = d.builtin().findParticipant(PEER);
    EXPECT_EQ(dp->writerLivelinessTime, d.domain.clock().now());
    EXPECT_NE(dp->participantTime, d.domain.clock().now());
    EXPECT_EQ(d.subscriber->livelinessForwarded, 1);
    d.domain.comm().assertLiveliness(&d.engine->participants, nullptr, const_cast<unsigned*>(PEER),
                                     0);
    EXPECT_EQ(dp->participantTime, d.domain.clock().now());
    EXPECT_EQ(d.subscriber->livelinessForwarded, 2);
}

TEST_F(BuiltinTest, ChangedTopicIsCheckedAgain) {
    auto t = topicRecord("T");
    d.topic(PEER, t);
    auto other = t;
    other.deadline.period = {5, 0};
    d.topic(OTHER, other);
    const auto flags = [&](const uint32_t* p) {
        return d.builtin().findParticipant(p)->topics.at("T").flags;
    };
    EXPECT_EQ(flags(OTHER), vexa::ds::RemoteTopic::INCONSISTENT);
    // The same record again is no change; the agreeing one clears the mark.
    d.topic(OTHER, other);
    EXPECT_EQ(flags(OTHER), vexa::ds::RemoteTopic::INCONSISTENT);
    d.topic(OTHER, t);
    EXPECT_EQ(flags(OTHER), 0u);
    // Topic data alone is a change, but not a contradiction.
    other = t;
    other.topic_data.value = {1, 2};
    d.topic(PEER, other);
    EXPECT_EQ(flags(PEER), 0u);
    // A disposed topic stays removed.
    d.topic(PEER, t, RTPS::SAMPLE_DISPOSED);
    EXPECT_EQ(flags(PEER), vexa::ds::RemoteTopic::REMOVED);
    d.topic(PEER, other);
    EXPECT_EQ(flags(PEER), vexa::ds::RemoteTopic::REMOVED);
}

TEST_F(BuiltinTest, ChangedWriterQosReachesItsReader) {
    ASSERT_NE(durableWriter(PEER, WRITER), nullptr);
    auto p = publicationRecord("T");
    p.partition.name = {"x"};
    d.publication(PEER, WRITER, p);
    EXPECT_EQ(d.subscriber->qosChanges, 0);
    EXPECT_EQ(writer(PEER, WRITER)->data.partition.name.size(), 1u);
    p.lifespan.duration = {3, 0};
    d.publication(PEER, WRITER, p);
    EXPECT_EQ(d.subscriber->qosChanges, 1);
    EXPECT_EQ(writer(PEER, WRITER)->data.lifespan.duration, (dds::Duration_t{3, 0}));
}

}  // namespace
