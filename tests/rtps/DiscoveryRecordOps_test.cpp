#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "DiscoveryRecordSamples.h"
#include "rtps/participant/Config.h"
#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/RecordEncoders.h"
#include "rtps/history/CacheChange.h"

using namespace RTPS;
using namespace discovery_samples;

namespace {

GUID_t remote(EntityId_t writer) {
    return guidOf(0x50, writer);
}

std::unique_ptr<CacheChange> received(EntityId_t writer) {
    auto c = std::make_unique<CacheChange>(remote(writer), nullptr);
    c->payloadKind = OWNER_RECEIVED;
    return c;
}

}  // namespace

// A local SEDP announcement: the change packs the record once with the registered encoder and
// owns the record from then on (its destructor frees it; LeakSanitizer would see a leak).
TEST(DiscoveryRecordOps, ChangesPackAndOwnPublicationRecords) {
    registerDiscoveryRecordOps();
    auto* record = new DiscoveredWriterData(writerSample());
    SampleInfo info{};
    info.data = record;
    info.length = sizeof *record;
    CacheChange change(guidOf(1, _ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER), &info);
    ASSERT_TRUE(change.storePackedData(OWNER_PUBLICATION));
    std::vector<uint8_t> expected;
    ASSERT_TRUE(packPub(*record, expected));
    EXPECT_EQ(change.packedData, expected);
    EXPECT_EQ(change.packedLength, expected.size());
    EXPECT_TRUE(change.ownsRecord);
}

TEST(DiscoveryRecordOps, AnOversizedAnnouncementLeavesNoPackedCopy) {
    registerDiscoveryRecordOps();
    DiscoveredReaderData record = readerSample();
    record.subscriptionData.user_data.value.assign(MAX_PACKED_RECORD_SIZE, 1);
    SampleInfo info{};
    info.data = &record;
    info.length = sizeof record;
    CacheChange change(guidOf(1, _ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER), &info);
    EXPECT_FALSE(change.storePackedData(OWNER_SUBSCRIPTION));
    EXPECT_TRUE(change.packedData.empty());
    EXPECT_FALSE(change.ownsRecord);
}

TEST(DiscoveryRecordOps, ReceivedPayloadsDecodeByWriter) {
    struct Case {
        EntityId_t writer;
        std::vector<uint8_t> payload;
        size_t size;
    };
    std::vector<uint8_t> part, pub, sub, topic, msg;
    ASSERT_TRUE(packPart(participantSample(), part));
    ASSERT_TRUE(packPub(writerSample(), pub));
    ASSERT_TRUE(packSub(readerSample(), sub));
    ASSERT_TRUE(packTopic(topicSample(), topic));
    ASSERT_TRUE(packMsg(messageSample(), msg));
    Case const cases[] = {
        {_ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER, part, sizeof(SPDPdiscoveredParticipantData)},
        {_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER, pub, sizeof(DiscoveredWriterData)},
        {_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_WRITER, sub, sizeof(DiscoveredReaderData)},
        {_ENTITYID_SEDP_BUILTIN_TOPIC_WRITER, topic, sizeof(DiscoveredTopicData)},
        {_ENTITYID_P2P_BUILTIN_PARTICIPANT_MESSAGE_WRITER, msg, sizeof(ParticipantMessageData)},
    };
    for (Case const& c : cases) {
        auto change = received(c.writer);
        ASSERT_TRUE(decodeBuiltinRecord(c.writer, c.payload.data(), uint32_t(c.payload.size()),
                                        change.get()))
            << int(c.writer.entityKey[2]);
        EXPECT_TRUE(change->ownsRecord);
        EXPECT_NE(change->sampleInfo.data, nullptr);
        EXPECT_EQ(change->sampleInfo.length, c.size);

        // Cut by one byte: refused, and the change keeps no payload.
        auto cut = received(c.writer);
        EXPECT_FALSE(decodeBuiltinRecord(c.writer, c.payload.data(), uint32_t(c.payload.size() - 1),
                                         cut.get()));
        EXPECT_EQ(cut->sampleInfo.data, nullptr);
        EXPECT_FALSE(cut->ownsRecord);
    }
    auto user = received(EntityId_t{{0, 0, 5}, 0x02});
    EXPECT_FALSE(decodeBuiltinRecord(user->writerGUID.entityId, pub.data(), uint32_t(pub.size()),
                                     user.get()));
}

// DATA_FRAGs of a built-in writer arrive still packed; the reader decodes after reassembly.
TEST(DiscoveryRecordOps, AReassembledRecordIsDecodedInPlace) {
    std::vector<uint8_t> pub;
    ASSERT_TRUE(packPub(writerSample(), pub));
    auto change = received(_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER);
    uint16_t const fragment = 100;
    uint32_t const fragments = uint32_t((pub.size() + fragment - 1) / fragment);
    for (uint32_t i = 0; i < fragments; ++i) {
        size_t const from = size_t(i) * fragment;
        size_t const n = std::min<size_t>(fragment, pub.size() - from);
        ASSERT_EQ(
            change->addFragmentData(uint32_t(pub.size()), fragment, i + 1, 1, pub.data() + from, n,
                                    RTPS::Config::DEFAULT_MAX_SAMPLE_SIZE),
            FragmentVerdict::Accepted);
    }
    ASSERT_TRUE(change->allFragmentPresent());
    ASSERT_TRUE(decodeIfPacked(change.get()));
    ASSERT_TRUE(change->ownsRecord);
    auto const* record = static_cast<DiscoveredWriterData const*>(change->sampleInfo.data);
    EXPECT_TRUE(sameWriter(*record, writerSample()));
    // A second call leaves the decoded record alone.
    EXPECT_TRUE(decodeIfPacked(change.get()));
    EXPECT_EQ(change->sampleInfo.data, record);

    // Reassembled bytes that do not decode: refused, the reader drops the change.
    auto bad = received(_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_WRITER);
    std::vector<uint8_t> junk(pub.begin(), pub.begin() + 30);
    bad->setData(junk.data(), junk.size());
    EXPECT_FALSE(decodeIfPacked(bad.get()));
    EXPECT_FALSE(bad->ownsRecord);
    bad->setData(nullptr, 0);
}
