#include "rtps/writer/StatelessWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FakeParticipant.h"
#include "rtps/discovery/ReaderProxyInfo.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/writer/ChangeHandle.h"

using namespace RTPS;

namespace {

constexpr uint8_t USER_WRITER_NO_KEY = 0x03;
constexpr uint8_t USER_WRITER_WITH_KEY = 0x02;

GUID_t writerGuid(uint8_t kind) {
    GUID_t g{};
    const uint8_t prefix[12] = {0xAA, 0xAA, 9, 9, 9, 9, 1, 2, 3, 4, 5, 6};
    std::memcpy(g.guidPrefix, prefix, 12);
    g.entityId = EntityId_t{{0, 0, 0x41}, kind};
    return g;
}

GUID_t readerGuid(uint8_t n, uint8_t participant) {
    GUID_t g{};
    g.guidPrefix[0] = 0xAA;
    g.guidPrefix[1] = 0xAA;
    g.guidPrefix[2] = participant;
    g.entityId = EntityId_t{{0, 0, n}, 0x04};
    return g;
}

Locator_t at(uint8_t a, uint8_t d, uint32_t port) {
    Locator_t l{LOCATOR_KIND_UDPv4, port, {}};
    l.address[12] = a;
    l.address[15] = d;
    return l;
}

Locator_t unicast(uint8_t n) {
    return at(127, 1, 7600u + n);
}

Locator_t group(uint8_t n) {
    return at(239, n, 7700);
}

struct Options {
    uint8_t kind = USER_WRITER_NO_KEY;
    uint32_t historyReserve = 0;
    bool start = true;
};

using Seqs = std::vector<uint32_t>;

class StatelessWriterTest : public ::testing::Test {
protected:
    void make(FakeParticipant::Settings const& s = FakeParticipant::Settings(),
              Options const& o = Options()) {
        TearDown();  // a writer never outlives its participant
        participant.reset(new FakeParticipant(s));
        traffic.reset(new TrafficReader(participant->transport));
        EndpointConfig config{};
        config.guid = writerGuid(o.kind);
        config.topicKind = o.kind == USER_WRITER_WITH_KEY ? TOPIC_KIND_WITH_KEY : TOPIC_KIND_NO_KEY;
        config.reliabilityLevel = RELIABILITY_BEST_EFFORT;
        config.unicastLocator = _LOCATOR_INVALID;
        config.multicastLocator = _LOCATOR_INVALID;
        config.historyReserve = o.historyReserve;
        publication.topic_name = "T";
        publication.reliability.kind = vexa::dds::BEST_EFFORT_RELIABILITY_QOS;
        writer.reset(new StatelessWriter(participant.get(), &config, &publication, 0));
        if (o.start) {
            writer->start();
            participant->settle();
        }
    }

    void TearDown() override {
        writer.reset();
        participant.reset();
    }

    // Adds the destination; returns the index of its sender.
    size_t destination(Locator_t const& l, bool multicast = false) {
        const int before = participant->transport.sendersAdded.load();
        EXPECT_TRUE(writer->reader_locator_add(l, multicast));
        participant->settle();
        return static_cast<size_t>(before);
    }

    int64_t write(uint32_t value = 7) {
        SampleInfo info{};
        info.data = &value;
        info.length = sizeof value;
        info.statusFlags = SAMPLE_ALIVE;
        info.sourceTimestamp = vexa::dds::TIME_INVALID;
        const int64_t handle = writer->addChange(&info);
        participant->settle();
        return handle;
    }

    static int64_t handleOf(uint32_t sn) { return sequenceToHandle(SequenceNumber_t{0, sn}); }

    std::unique_ptr<FakeParticipant> participant;
    std::unique_ptr<TrafficReader> traffic;
    vexa::dds::PublicationBuiltinTopicData publication;
    std::unique_ptr<StatelessWriter> writer;
};

TEST_F(StatelessWriterTest, EveryDestinationGetsEveryChangeOnceAndForNoParticularReader) {
    make();
    const size_t a = destination(unicast(1));
    const size_t b = destination(unicast(2));
    for (uint32_t v = 1; v <= 5; ++v) {
        write(v);
    }
    Traffic ta = traffic->next(a);
    EXPECT_EQ(ta.data, (Seqs{1, 2, 3, 4, 5}));
    EXPECT_EQ(traffic->next(b).data, (Seqs{1, 2, 3, 4, 5}));
    ASSERT_FALSE(ta.dataReaderIds.empty());
    EXPECT_EQ(ta.dataReaderIds[0], _ENTITYID_UNKNOWN);
    EXPECT_TRUE(ta.heartbeats.empty());
    // Nothing is resent by later periodic runs.
    participant->advanceMs(2000);
    EXPECT_TRUE(traffic->next(a).data.empty());
    EXPECT_TRUE(traffic->next(b).data.empty());
}

TEST_F(StatelessWriterTest, ALateDestinationGetsTheChangesNotWithdrawn) {
    make();
    write(1);
    write(2);
    write(3);
    writer->deleteChange(handleOf(2));
    const size_t late = destination(unicast(1));
    EXPECT_EQ(traffic->next(late).data, (Seqs{1, 3}));
}

TEST_F(StatelessWriterTest, AKeyedWriterSendsKeyThenData) {
    Options o;
    o.kind = USER_WRITER_WITH_KEY;
    make(FakeParticipant::Settings(), o);
    const size_t a = destination(unicast(1));
    write();
    Traffic t = traffic->next(a);
    EXPECT_EQ(t.keyOnly, Seqs{1});
    EXPECT_EQ(t.data, Seqs{1});
}

TEST_F(StatelessWriterTest, AddingADestinationTwiceAddsItOnce) {
    make();
    const size_t a = destination(unicast(1));
    write();
    destination(unicast(1));
    EXPECT_EQ(writer->locatorCount(), 1u);
    EXPECT_EQ(traffic->next(a).data, Seqs{1});
}

// A withdrawn change that is still queued somewhere must not leave the history (nor make room
// in a full one) before it has gone out.
TEST_F(StatelessWriterTest, AWithdrawnChangeStaysUntilItHasBeenSent) {
    Options o;
    o.historyReserve = 2;
    o.start = false;  // no task: the queue is drained by hand
    make(FakeParticipant::Settings(), o);
    const size_t a = destination(unicast(1));
    write(11);
    write(12);
    EXPECT_TRUE(writer->deleteChange(handleOf(1)));
    EXPECT_TRUE(writer->deleteChange(handleOf(2)));
    EXPECT_EQ(writer->getHistory().size(), 2u);
    EXPECT_EQ(write(13), CHANGE_NOT_TAKEN);

    writer->bestEffortWorker();
    EXPECT_EQ(traffic->next(a).data, (Seqs{1, 2}));
    EXPECT_EQ(write(13), handleOf(3));
    EXPECT_EQ(writer->getHistory().size(), 1u);
}

TEST_F(StatelessWriterTest, LivelinessGoesToEveryDestinationAsAFinalHeartbeat) {
    make();
    const size_t a = destination(unicast(1));
    const size_t b = destination(unicast(2));
    write();
    write();
    writer->assertLiveliness();
    EXPECT_TRUE(writer->livelinessShown());
    for (size_t s : {a, b}) {
        Traffic t = traffic->next(s);
        ASSERT_EQ(t.heartbeats.size(), 1u) << s;
        HeartbeatFields const& hb = t.heartbeats[0];
        EXPECT_EQ(hb.readerId, _ENTITYID_UNKNOWN);
        EXPECT_TRUE(hb.final);
        EXPECT_TRUE(hb.liveliness);
        EXPECT_EQ(hb.firstSN, (SequenceNumber_t{0, 1}));
        EXPECT_EQ(hb.lastSN, (SequenceNumber_t{0, 2}));
        EXPECT_EQ(hb.count, 0u);
    }
}

// In the per-writer multicasting mode the second distinct destination gives the writer a group
// of its own, which is announced; the first and the third do not, nor any in the other modes.
TEST_F(StatelessWriterTest, TheSecondDestinationTakesAGroupInPerWriterModeOnly) {
    struct Case {
        char const* mode;
        int announcedAfter[3];
    };
    for (Case const& c : {Case{"ПО_ПИСАТЕЛЯМ", {0, 1, 1}}, Case{"ПО_ТЕМАМ", {0, 0, 0}},
                          Case{"ОТКЛЮЧЕН", {0, 0, 0}}}) {
        FakeParticipant::Settings s;
        s.multicastingMode = c.mode;
        make(s);
        for (uint8_t n = 0; n < 3; ++n) {
            destination(unicast(n));
            destination(unicast(n));  // a repeat changes nothing
            EXPECT_EQ(participant->modifyWriterCalls.load(), c.announcedAfter[n])
                << c.mode << " after destination " << int{n};
        }
        EXPECT_EQ(writer->hasMulticastLocators(), c.announcedAfter[2] == 1) << c.mode;
    }
}

TEST_F(StatelessWriterTest, AStoppedWriterTakesNothing) {
    make();
    writer->stop();
    EXPECT_EQ(write(), CHANGE_NOT_TAKEN);
    EXPECT_FALSE(writer->reader_locator_add(unicast(1), false));
    EXPECT_EQ(writer->getTaskId(), 0u);
}

// A reader reached through its group keeps that destination when the readers are matched
// again: its history is not sent a second time.
TEST_F(StatelessWriterTest, MatchingAgainKeepsTheDestinationsInUse) {
    make();
    write(1);
    write(2);
    ReaderProxyInfo grouped;
    grouped.remoteReaderGuid = readerGuid(1, 1);
    grouped.unicastLocatorList.push_back(unicast(1));
    grouped.multicastLocatorList.push_back(group(1));
    ReaderProxyInfo plain;
    plain.remoteReaderGuid = readerGuid(2, 2);
    plain.unicastLocatorList.push_back(unicast(2));
    ReaderProxyInfo nowhere;
    nowhere.remoteReaderGuid = readerGuid(3, 3);

    writer->checkMatchedReaders({&grouped, &plain, &nowhere});
    participant->settle();
    EXPECT_EQ(writer->locatorCount(), 2u);
    EXPECT_EQ(traffic->next(0).data, (Seqs{1, 2}));  // the group
    EXPECT_EQ(traffic->next(1).data, (Seqs{1, 2}));

    writer->checkMatchedReaders({&grouped, &plain});
    participant->settle();
    EXPECT_EQ(writer->locatorCount(), 2u);
    EXPECT_TRUE(traffic->next(0).data.empty());
    EXPECT_TRUE(traffic->next(1).data.empty());

    writer->checkMatchedReaders({&plain});
    write(3);
    EXPECT_EQ(writer->locatorCount(), 1u);
    EXPECT_TRUE(traffic->next(0).data.empty());
    EXPECT_EQ(traffic->next(1).data, Seqs{3});
}

// Readers of one remote participant share its unicast locator: losing one of them must not
// cut off the others.
TEST_F(StatelessWriterTest, LosingAReaderKeepsADestinationAnotherReaderUses) {
    make();
    ReaderProxyInfo first;
    first.remoteReaderGuid = readerGuid(1, 1);
    first.unicastLocatorList.push_back(unicast(1));
    ReaderProxyInfo second = first;
    second.remoteReaderGuid = readerGuid(2, 1);
    ReaderProxyInfo other;
    other.remoteReaderGuid = readerGuid(1, 2);
    other.unicastLocatorList.push_back(unicast(2));
    for (ReaderProxyInfo const* r : {&first, &second, &other}) {
        participant->knowReaderProxy(*r);
    }
    writer->checkMatchedReader(nullptr);
    EXPECT_EQ(writer->locatorCount(), 2u);

    writer->removeMatchedReaders(first.remoteReaderGuid);
    participant->forgetReader(first.remoteReaderGuid);
    EXPECT_EQ(writer->locatorCount(), 2u);
    writer->removeMatchedReaders(second.remoteReaderGuid);
    participant->forgetReader(second.remoteReaderGuid);
    EXPECT_EQ(writer->locatorCount(), 1u);

    GUID_t wholeParticipant = other.remoteReaderGuid;
    wholeParticipant.entityId = _ENTITYID_PARTICIPANT;
    writer->removeMatchedReaders(wholeParticipant);
    EXPECT_EQ(writer->locatorCount(), 0u);
}

TEST_F(StatelessWriterTest, ReplacingADestinationMovesItsTraffic) {
    make();
    const size_t old = destination(unicast(1));
    const int before = participant->transport.sendersAdded.load();
    EXPECT_TRUE(writer->reader_locator_replace(unicast(1), group(4)));
    participant->settle();
    const size_t fresh = static_cast<size_t>(before);
    write();
    EXPECT_EQ(writer->locatorCount(), 1u);
    EXPECT_TRUE(traffic->next(old).data.empty());
    EXPECT_EQ(traffic->next(fresh).data, Seqs{1});
}

// Changes still queued when the writer goes give back their loans and their buffers (the
// sanitizer build also sees a destination that leaked).
TEST_F(StatelessWriterTest, DestroyingTheWriterReleasesWhatIsQueued) {
    Options o;
    o.start = false;
    make(FakeParticipant::Settings(), o);
    const uint64_t lentBefore = participant->pool->lentBytes();
    destination(unicast(1));
    destination(unicast(2));
    write();
    write();
    CacheChange* first = writer->getHistory().getEarliestChange();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->loanCount.load(), 2u);
    EXPECT_EQ(participant->pool->lentBytes(),
              lentBefore + 2 * RTPS::UserInputBufferPool::MIN_BLOCK);
    writer.reset();
    EXPECT_EQ(participant->pool->lentBytes(), lentBefore);
}

}  // namespace

// A sample larger than any reader takes in is refused with a text that says so, before the
// full history is looked at.
TEST_F(StatelessWriterTest, ASampleOverTheSizeCapIsRefused) {
    Options o;
    o.historyReserve = 1;
    make(FakeParticipant::Settings(), o);
    write();
    const size_t cap = Config::DEFAULT_MAX_SAMPLE_SIZE;
    std::vector<uint8_t> bytes(cap + 1, 3);
    SampleInfo info{};
    info.data = bytes.data();
    info.length = bytes.size();
    info.statusFlags = SAMPLE_ALIVE;
    info.sourceTimestamp = vexa::dds::TIME_INVALID;
    try {
        writer->addChange(&info);
        ADD_FAILURE() << "taken";
    } catch (BAD_PARAMETERS const& e) {
        EXPECT_NE(std::string(e.what()).find(std::to_string(cap + 1)), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(writer->getHistory().size(), 1u);
}
