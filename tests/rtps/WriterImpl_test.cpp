#include "rtps/writer/WriterImpl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "FakeParticipant.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/writer/ChangeHandle.h"

using namespace RTPS;

namespace {

// The base alone: no protocol, every change stays where the base puts it.
class PlainWriter : public WriterImpl {
public:
    using WriterImpl::WriterImpl;
    void start() override {}
    void assertLiveliness() override {}
    void checkMatchedReaders(std::vector<ReaderProxyInfo*>) override {}
    void checkMatchedReader(DiscoveredReaderData const*) override {}
    void removeMatchedReaders(GUID_t) override {}
    void setProtocol(EndpointProtocolKind kind) { m_protocolKind = kind; }
};

EndpointConfig configFor(uint8_t kind) {
    EndpointConfig c{};
    c.guid.guidPrefix[0] = 0xAA;
    c.guid.entityId = EntityId_t{{0, 0, 0x31}, kind};
    c.topicKind = TOPIC_KIND_NO_KEY;
    c.reliabilityLevel = RELIABILITY_BEST_EFFORT;
    c.unicastLocator = _LOCATOR_INVALID;
    c.multicastLocator = _LOCATOR_INVALID;
    return c;
}

struct Sample {
    explicit Sample(uint8_t fill, size_t n = 32) : bytes(n, fill) {
        info.data = bytes.data();
        info.length = n;
    }
    std::vector<uint8_t> bytes;
    SampleInfo info{};
};

class WriterImplTest : public ::testing::Test {
protected:
    WriterImplTest() : participant(new FakeParticipant) {
        publication.topic_name = "Temperature";
        EndpointConfig c = configFor(0x03);
        writer = new PlainWriter(participant.get(), &c, &publication, 5);
    }
    ~WriterImplTest() override {
        delete writer;
        participant.reset();
    }

    std::unique_ptr<FakeParticipant> participant;
    vexa::dds::PublicationBuiltinTopicData publication;
    PlainWriter* writer;
};

TEST(ChangeHandle, SequenceNumbersAndHandles) {
    EXPECT_EQ(sequenceToHandle({0, 1}), 0x0000000100000000);
    EXPECT_EQ(sequenceToHandle({-1, 0}), CHANGE_NOT_TAKEN);
    EXPECT_EQ(sequenceToHandle({2, 0xFFFFFFFF}), static_cast<int64_t>(0xFFFFFFFF00000002));
    for (SequenceNumber_t sn :
         {SequenceNumber_t{0, 1}, SequenceNumber_t{7, 0x80000000}, SequenceNumber_t{-3, 9}}) {
        EXPECT_EQ(handleToSequence(sequenceToHandle(sn)), sn);
    }
}

TEST_F(WriterImplTest, TakesTheTopicNameAndNumbersFromOne) {
    EXPECT_EQ(writer->getName(), "Temperature");
    Sample s(7);
    EXPECT_EQ(writer->addChange(&s.info), 0x0000000100000000);
    EXPECT_EQ(writer->addChange(&s.info), 0x0000000200000000);
    EXPECT_TRUE(writer->livelinessShown());
}

TEST_F(WriterImplTest, TheSampleIsCopiedIntoAPoolBlock) {
    Sample s(7);
    writer->addChange(&s.info);
    s.bytes.assign(s.bytes.size(), 0);  // the application reuses its buffer
    CacheChange* c = writer->getHistory().getEarliestChange();
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->userBuffer, nullptr);
    EXPECT_EQ(c->sampleInfo.data, c->userBuffer->data.get());
    EXPECT_EQ(c->sampleInfo.length, 32u);
    EXPECT_EQ(static_cast<uint8_t const*>(c->sampleInfo.data)[31], 7);
}

TEST_F(WriterImplTest, ANullSampleThrowsButCountsAsWritten) {
    writer->setWritten(false);
    try {
        writer->addChange(nullptr);
        ADD_FAILURE();
    } catch (BAD_PARAMETERS const& e) {
        EXPECT_STREQ(e.what(), "Неверные данные сэмпла");
    }
    EXPECT_TRUE(writer->livelinessShown());
    EXPECT_EQ(writer->getHistory().size(), 0u);
}

TEST_F(WriterImplTest, BadHandlesAndChangesAreRefused) {
    for (int64_t h : {int64_t{0}, sequenceToHandle({-1, 1}), sequenceToHandle({-5, 0})}) {
        try {
            writer->deleteChange(h);
            ADD_FAILURE() << h;
        } catch (BAD_PARAMETERS const& e) {
            EXPECT_STREQ(e.what(), "Неверный порядковый номер сэмпла");
        }
    }
    try {
        writer->deleteChange(static_cast<CacheChange*>(nullptr));
        ADD_FAILURE();
    } catch (BAD_PARAMETERS const& e) {
        EXPECT_STREQ(e.what(), "Неверный указатель на сэмпл");
    }
}

// A block goes back to the pool only when the history frees its change: a change still loaned
// (being sent, queued, or listed for a reader) keeps its bytes.
TEST_F(WriterImplTest, ABlockIsNotReusedWhileItsChangeIsLoaned) {
    Sample first(0x11);
    const int64_t h = writer->addChange(&first.info);
    CacheChange* loaned = writer->getHistory().get_change(handleToSequence(h));
    ASSERT_NE(loaned, nullptr);
    const uint64_t lentBefore = participant->pool->lentBytes();
    writer->deleteChange(h);
    EXPECT_EQ(participant->pool->lentBytes(), lentBefore);
    for (int i = 0; i < 20; ++i) {  // more than the pool's blocks
        Sample other(0x22);
        writer->addChange(&other.info);
    }
    uint8_t const* bytes = static_cast<uint8_t const*>(loaned->sampleInfo.data);
    for (size_t i = 0; i < 32; ++i) {
        ASSERT_EQ(bytes[i], 0x11) << i;
    }
    const uint64_t lentWhileLoaned = participant->pool->lentBytes();
    writer->getHistory().free_change(loaned);  // the last loan: the block goes back now
    EXPECT_EQ(participant->pool->lentBytes(),
              lentWhileLoaned - RTPS::UserInputBufferPool::MIN_BLOCK);
}

TEST_F(WriterImplTest, DestroyingTheWriterReturnsEveryBlock) {
    for (int i = 0; i < 5; ++i) {
        Sample s(static_cast<uint8_t>(i));
        writer->addChange(&s.info);
    }
    EXPECT_EQ(participant->pool->lentBytes(), 5 * RTPS::UserInputBufferPool::MIN_BLOCK);
    delete writer;
    writer = nullptr;
    EXPECT_EQ(participant->pool->lentBytes(), 0u);
}

TEST_F(WriterImplTest, SetQoSReplacesTheDescriptionAndReannouncesWhileActive) {
    vexa::dds::PublicationBuiltinTopicData changed = publication;
    changed.user_data.value = {1, 2, 3};
    writer->setQoS(changed, RTPS_AdditionalTopicData{}, 1);
    EXPECT_EQ(participant->modifyWriterCalls.load(), 1);
    EXPECT_EQ(writer->getDCPSConfig()->user_data.value, changed.user_data.value);

    writer->stop();
    vexa::dds::PublicationBuiltinTopicData later = publication;
    later.user_data.value = {9};
    writer->setQoS(later, RTPS_AdditionalTopicData{}, 1);
    EXPECT_EQ(participant->modifyWriterCalls.load(), 1);
    EXPECT_EQ(writer->getDCPSConfig()->user_data.value, changed.user_data.value);
    EXPECT_EQ(writer->takeDCPSConfig(), nullptr);
}

TEST_F(WriterImplTest, CloseUnregistersAUserWriterAndFreesItsBlocks) {
    Sample s(1);
    writer->addChange(&s.info);
    EXPECT_NE(participant->pool->lentBytes(), 0u);
    writer->setProtocol(PROTOCOL_STATEFUL);
    writer->close();
    writer = nullptr;
    EXPECT_EQ(participant->removeEndpointCalls.load(), 1);
    EXPECT_EQ(participant->pool->lentBytes(), 0u);
}

TEST_F(WriterImplTest, CloseLeavesABuiltinWriterRunning) {
    EndpointConfig c = configFor(0xC2);
    PlainWriter builtin(participant.get(), &c, &publication, 0);
    builtin.setProtocol(PROTOCOL_STATEFUL);
    builtin.close();
    EXPECT_TRUE(builtin.isActive());
    EXPECT_EQ(participant->removeEndpointCalls.load(), 0);
}

TEST_F(WriterImplTest, NullArgumentsAreRefusedAtConstruction) {
    EndpointConfig c = configFor(0x03);
    EXPECT_THROW(PlainWriter(nullptr, &c, &publication, 0), BAD_PARAMETERS);
    EXPECT_THROW(PlainWriter(participant.get(), &c, nullptr, 0), BAD_PARAMETERS);
    EXPECT_THROW(PlainWriter(participant.get(), nullptr, &publication, 0), BAD_PARAMETERS);
}

}  // namespace
