#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "DiscoveryRecordSamples.h"
#include "ReaderHarness.h"
#include "rtps/discovery/DiscoveryRecordOps.h"
#include "rtps/discovery/DiscoveryRecords.h"
#include "rtps/discovery/RecordEncoders.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/participant/ReceiveBatch.h"
#include "rtps/wire/RTPSMessage.h"

using namespace reader_test;

namespace {

template <class F>
std::string thrownBy(F&& f) {
    try {
        f();
    } catch (RTPS::DDSIException const& e) {
        return e.what();
    }
    return "";
}

}  // namespace

// Mode 0 announces every change; any other mode only the change that makes the history go
// from 0 to 1 change.
TEST(ReaderImpl, NotificationModes) {
    struct Case {
        RTPS::COMMUNICATION_MODE mode;
        size_t announced;
    } const cases[] = {{0, 3}, {1, 1}};
    for (Case const& c : cases) {
        ReaderHarness h;
        auto& r = h.stateless(false, c.mode);
        auto bytes = pattern(8);
        for (uint32_t sn = 1; sn <= 3; ++sn) {
            ASSERT_NE(offer(r, dataChange(writerGuid(), sn, &bytes)), nullptr);
        }
        EXPECT_EQ(r.getHistory().size(), 3u) << "mode " << c.mode;
        EXPECT_EQ(h.comm.announcedCount(), c.announced) << "mode " << c.mode;
    }
}

// A keyed sample sent as a key-only and a data-only DATA is stored once, with the key half's
// instance handle and the data half's bytes, whichever half comes first; the change keeps the
// reference of the datagram that holds the data and gives back the other.
TEST(ReaderImpl, KeyAndDataHalvesJoinInEitherOrder) {
    for (bool keyFirst : {true, false}) {
        ReaderHarness h;
        auto& r = h.stateless(true);
        auto bytes = pattern(12);
        uint8_t raw[24] = {};
        auto* keyMessage = new RTPS::RTPSMessage(raw, sizeof raw);
        auto* dataMessage = new RTPS::RTPSMessage(raw, sizeof raw);
        keyMessage->addReference();  // the test's own
        dataMessage->addReference();

        auto key = keyChange(writerGuid(), 7, 0x1234);
        key->attachMessage(keyMessage);
        auto data = dataChange(writerGuid(), 7, &bytes, 2);
        data->attachMessage(dataMessage);

        RTPS::CacheChange* kept = nullptr;
        if (keyFirst) {
            EXPECT_EQ(offer(r, std::move(key)), nullptr);
            EXPECT_EQ(r.pendingCount(), 1u);
            kept = offer(r, std::move(data));
        } else {
            EXPECT_EQ(offer(r, std::move(data)), nullptr);
            kept = offer(r, std::move(key));
        }
        ASSERT_NE(kept, nullptr) << "key first " << keyFirst;
        EXPECT_EQ(r.pendingCount(), 0u);
        EXPECT_EQ(r.getHistory().size(), 1u);
        EXPECT_EQ(h.comm.announcedCount(), 1u);
        EXPECT_EQ(kept->completeness, 3);
        EXPECT_EQ(kept->sampleInfo.instanceHandle, 0x1234);
        ASSERT_EQ(kept->sampleInfo.length, bytes.size());
        EXPECT_EQ(std::memcmp(kept->sampleInfo.data, bytes.data(), bytes.size()), 0);
        EXPECT_EQ(kept->message, dataMessage) << "key first " << keyFirst;
        EXPECT_EQ(keyMessage->getReferenceCount(), 1u) << "key first " << keyFirst;
        EXPECT_EQ(dataMessage->getReferenceCount(), 2u) << "key first " << keyFirst;

        h.readers.clear();  // the history frees the change and its reference
        EXPECT_EQ(dataMessage->getReferenceCount(), 1u);
        keyMessage->removeReference();
        dataMessage->removeReference();
    }
}

// A discovery record can come as a key half and a data half in two datagrams. The data half
// arrives decoded and owns its record, which moves to the joined change whichever half comes
// first: the history gets the record, not freed memory to decode again.
TEST(ReaderImpl, DecodedRecordHalvesJoinInEitherOrder) {
    RTPS::DiscoveredTopicData const sample = discovery_samples::topicSample();
    std::vector<uint8_t> packed;
    ASSERT_TRUE(RTPS::packTopic(sample, packed));
    RTPS::EntityId_t const readerId = RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_READER;
    RTPS::GUID_t writer = writerGuid();
    writer.entityId = RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_WRITER;
    for (bool keyFirst : {true, false}) {
        ReaderHarness h;
        auto& r = h.stateless(true, 0, nullptr, &readerId);
        auto key = keyChange(writer, 3, 0x55);
        auto data = dataChange(writer, 3, nullptr, 2);
        ASSERT_TRUE(RTPS::decodeBuiltinRecord(writer.entityId, packed.data(),
                                              static_cast<uint32_t>(packed.size()), data.get()));
        RTPS::CacheChange* kept = nullptr;
        if (keyFirst) {
            EXPECT_EQ(offer(r, std::move(key)), nullptr);
            kept = offer(r, std::move(data));
        } else {
            EXPECT_EQ(offer(r, std::move(data)), nullptr);
            kept = offer(r, std::move(key));
        }
        ASSERT_NE(kept, nullptr) << "key first " << keyFirst;
        EXPECT_TRUE(kept->ownsRecord);
        ASSERT_EQ(kept->sampleInfo.length, sizeof(RTPS::DiscoveredTopicData));
        auto const* record = static_cast<RTPS::DiscoveredTopicData const*>(kept->sampleInfo.data);
        EXPECT_EQ(record->topicData.name, sample.topicData.name) << "key first " << keyFirst;
        EXPECT_EQ(record->topicData.type_name, sample.topicData.type_name);
        EXPECT_EQ(kept->sampleInfo.instanceHandle, 0x55);
    }
}

// Fragments are put together in any order; a DATA_FRAG with every fragment is stored at once.
TEST(ReaderImpl, FragmentsAreReassembled) {
    ReaderHarness h;
    auto& r = h.stateless();
    auto sample = pattern(1000, 3);
    // 1000 bytes in fragments of 300: four fragments, the last one short.
    EXPECT_EQ(offer(r, fragChange(writerGuid(), 1, sample, 300, 3, 2)), nullptr);
    EXPECT_EQ(offer(r, fragChange(writerGuid(), 1, sample, 300, 1, 1)), nullptr);
    EXPECT_EQ(r.pendingCount(), 1u);
    RTPS::CacheChange* kept = offer(r, fragChange(writerGuid(), 1, sample, 300, 2, 1));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(r.pendingCount(), 0u);
    EXPECT_EQ(r.pendingBytes(), 0u);
    ASSERT_EQ(kept->sampleInfo.length, sample.size());
    EXPECT_EQ(std::memcmp(kept->sampleInfo.data, sample.data(), sample.size()), 0);
    EXPECT_EQ(h.comm.announcedCount(), 1u);

    auto whole = pattern(500, 9);
    kept = offer(r, fragChange(writerGuid(), 2, whole, 200, 1, 3));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(r.pendingCount(), 0u);
    EXPECT_EQ(std::memcmp(kept->sampleInfo.data, whole.data(), whole.size()), 0);
}

// Fragments of a keyed sample carry data only: without its key half the sample stays pending;
// the key half completes it.
TEST(ReaderImpl, KeyedFragmentsWaitForTheKey) {
    ReaderHarness h;
    auto& r = h.stateless(true);
    auto sample = pattern(400);
    EXPECT_EQ(offer(r, fragChange(writerGuid(), 4, sample, 100, 1, 4)), nullptr);
    EXPECT_EQ(r.pendingCount(), 1u);
    EXPECT_EQ(r.getHistory().size(), 0u);
    RTPS::CacheChange* kept = offer(r, keyChange(writerGuid(), 4, 77));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->sampleInfo.instanceHandle, 77);
    EXPECT_EQ(std::memcmp(kept->sampleInfo.data, sample.data(), sample.size()), 0);
}

// Malformed fragments are dropped without a trace in the pending list or the history; one that
// contradicts the fragments already taken leaves them as they were.
TEST(ReaderImpl, MalformedFragmentsAreDropped) {
    RTPS::ReassemblyLimits const limits{4096, 1 << 20};
    auto sample = pattern(1000);
    struct Case {
        char const* rule;
        uint32_t sampleSize;
        uint16_t fragmentSize;
        uint32_t first;
        uint32_t count;
        uint64_t length;
    } const cases[] = {
        {"first fragment 0", 1000, 100, 0, 1, 100},
        {"fragment size 0", 1000, 0, 1, 1, 100},
        {"sample size 0", 0, 100, 1, 1, 100},
        {"sample above the reader's cap", 4097, 100, 1, 1, 100},
        {"first fragment after the last", 1000, 100, 11, 1, 100},
        {"fewer bytes than fragments", 1000, 100, 2, 2, 150},
    };
    for (Case const& c : cases) {
        ReaderHarness h;
        auto& r = h.stateless(false, 0, &limits);
        auto f = fragChange(writerGuid(), 1, sample, 100, 1, 1);
        f->sampleSize = c.sampleSize;
        f->fragmentSize = c.fragmentSize;
        f->fragmentStartingNum = c.first;
        f->fragmentsInSubmessage = c.count;
        f->sampleInfo.length = c.length;
        EXPECT_EQ(offer(r, std::move(f)), nullptr) << c.rule;
        EXPECT_EQ(r.pendingCount(), 0u) << c.rule;
        EXPECT_EQ(r.pendingBytes(), 0u) << c.rule;
        EXPECT_EQ(r.getHistory().size(), 0u) << c.rule;
    }

    // Sizes that differ from the first fragment's.
    ReaderHarness h;
    auto& r = h.stateless(false, 0, &limits);
    EXPECT_EQ(offer(r, fragChange(writerGuid(), 1, sample, 100, 1, 1)), nullptr);
    uint64_t const held = r.pendingBytes();
    auto other = fragChange(writerGuid(), 1, sample, 200, 2, 1);
    EXPECT_EQ(offer(r, std::move(other)), nullptr);
    auto grown = fragChange(writerGuid(), 1, sample, 100, 2, 1);
    grown->sampleSize = 2000;
    EXPECT_EQ(offer(r, std::move(grown)), nullptr);
    EXPECT_EQ(r.pendingCount(), 1u);
    EXPECT_EQ(r.pendingBytes(), held);
    // The sample still completes with fragments that agree.
    ASSERT_NE(offer(r, fragChange(writerGuid(), 1, sample, 100, 2, 9)), nullptr);
}

// Incomplete samples together never hold more than the reader's budget: a fragment that would
// pass it is dropped, and what the others hold stays.
TEST(ReaderImpl, PendingMemoryStaysWithinTheBudget) {
    RTPS::ReassemblyLimits const limits{64 * 1024, 160 * 1024};
    ReaderHarness h;
    auto& r = h.stateless(false, 0, &limits);
    auto big = pattern(64 * 1024);
    size_t taken = 0;
    for (uint32_t sn = 1; sn <= 200; ++sn) {
        // The first fragment of a 64 KiB sample each time.
        if (offer(r, fragChange(writerGuid(), sn, big, 1024, 1, 1)) == nullptr) {
            taken = r.pendingCount();
        }
        ASSERT_LE(r.pendingBytes(), limits.maxPendingBytes) << "sample " << sn;
    }
    EXPECT_GE(taken, 1u);
    EXPECT_LT(taken, 200u);
    EXPECT_EQ(h.comm.announcedCount(), 0u);
}

// A best-effort reader forgets an incomplete sample after the fragment time-out: a fragment
// that comes later is dropped with it; a key half whose data half never comes goes the same way.
TEST(ReaderImpl, BestEffortPendingEntriesExpire) {
    ReaderHarness h;
    auto& r = h.stateless(true);
    auto sample = pattern(300);
    EXPECT_EQ(offer(r, fragChange(writerGuid(), 1, sample, 100, 1, 1)), nullptr);
    EXPECT_EQ(offer(r, keyChange(writerGuid(), 2, 5)), nullptr);
    EXPECT_EQ(r.pendingCount(), 2u);

    h.factory->clock->advanceMs(3999);
    EXPECT_EQ(offer(r, fragChange(writerGuid(), 1, sample, 100, 2, 1)), nullptr);
    EXPECT_EQ(r.pendingCount(), 2u);

    h.factory->clock->advanceMs(1);
    EXPECT_EQ(offer(r, fragChange(writerGuid(), 1, sample, 100, 3, 1)), nullptr);
    EXPECT_EQ(r.pendingCount(), 0u) << "both entries expired";
    EXPECT_EQ(r.pendingBytes(), 0u);
    EXPECT_EQ(h.comm.announcedCount(), 0u);
}

// A reliable reader keeps incomplete samples however long they take.
TEST(ReaderImpl, ReliablePendingEntriesDoNotExpire) {
    ReaderHarness h;
    auto& r = h.stateful();
    ASSERT_TRUE(r.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
    auto sample = pattern(300);
    EXPECT_EQ(offer(r, fragChange(writerGuid(), 1, sample, 100, 1, 1)), nullptr);
    h.factory->clock->advanceMs(60000);
    EXPECT_NE(offer(r, fragChange(writerGuid(), 1, sample, 100, 2, 2)), nullptr);
}

// getChange copies the record and reports the writer's GUID with the kind byte cleared; the
// built-in readers hand out the decoded record (part of it for SPDP) and the GUID it names.
TEST(ReaderImpl, GetChangeReportsRecordAndIdentity) {
    ReaderHarness h;
    RTPS::DiscoveredWriterData pub;
    pub.writerProxy.remoteWriterGuid = remoteGuid(0x21, 0x02);
    RTPS::DiscoveredReaderData sub;
    sub.readerProxy.remoteReaderGuid = remoteGuid(0x22, 0x07);
    vexa::dds::TopicBuiltinTopicData topic;
    RTPS::SPDPdiscoveredParticipantData spdp;
    auto user = pattern(16);
    struct Case {
        char const* reader;
        RTPS::EntityId_t id;
        void* record;
        uint64_t storedLength;
        void* expectedData;
        uint64_t expectedLength;
        RTPS::GUID_t expectedGuid;
    } const cases[] = {
        {"user", RTPS::EntityId_t{{0, 0, 0x50}, 0x04}, user.data(), user.size(), user.data(),
         user.size(), writerGuid()},
        {"publications", RTPS::_ENTITYID_SEDP_BUILTIN_PUBLICATIONS_READER, &pub, 1, &pub,
         sizeof pub.publicationData, pub.writerProxy.remoteWriterGuid},
        {"subscriptions", RTPS::_ENTITYID_SEDP_BUILTIN_SUBSCRIPTIONS_READER, &sub, 1, &sub,
         sizeof sub.subscriptionData, sub.readerProxy.remoteReaderGuid},
        {"topics", RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_READER, &topic, 1, &topic, sizeof topic,
         writerGuid()},
        {"participants", RTPS::_ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER, &spdp, 1,
         &spdp.participant, sizeof spdp.participant, writerGuid()},
    };
    for (Case const& c : cases) {
        auto& r = h.stateless(false, 0, nullptr, &c.id);
        RTPS::SampleInfo info{};
        info.data = c.record;
        info.length = c.storedLength;
        info.instanceHandle = 42;
        auto* change = new RTPS::CacheChange(writerGuid(), &info);
        change->setSequenceNumber(RTPS::SequenceNumber_t{0, 9});
        r.getHistory().add_change(change);

        unsigned int prefix[3] = {};
        unsigned int entity = 0xFFFFFFFF;
        RTPS::SampleInfo out{};
        unsigned int const result = r.getChange(&change->sampleInfo, &prefix, &entity, out);
        EXPECT_EQ(out.data, c.expectedData) << c.reader;
        EXPECT_EQ(out.length, c.expectedLength) << c.reader;
        EXPECT_EQ(out.instanceHandle, 42) << c.reader;
        EXPECT_EQ(out.sequenceNumber.low, 9u) << c.reader;
        EXPECT_EQ(std::memcmp(prefix, c.expectedGuid.guidPrefix, 12), 0) << c.reader;
        RTPS::EntityId_t cleared = c.expectedGuid.entityId;
        cleared.entityKind = 0;
        EXPECT_EQ(entity, RTPS::entityIdToU32(cleared)) << c.reader;
        EXPECT_EQ(result, entity) << c.reader;
        EXPECT_EQ(r.getEarliestChange(&prefix, &entity, out), 1u) << c.reader;
    }
}

// The refusals of getChange, getEarliestChange and deleteChange, in their order.
TEST(ReaderImpl, AccessRefusals) {
    ReaderHarness h;
    auto& r = h.stateless();
    auto bytes = pattern(4);
    RTPS::CacheChange* kept = offer(r, dataChange(writerGuid(), 1, &bytes));
    ASSERT_NE(kept, nullptr);
    RTPS::SampleInfo* handle = &kept->sampleInfo;
    unsigned int prefix[3];
    unsigned int entity;
    RTPS::SampleInfo out;
    RTPS::SampleInfo unknown{};

    EXPECT_EQ(thrownBy([&] { r.getChange(nullptr, &prefix, &entity, out); }),
              "Неверный указатель на исходный сэмпл");
    EXPECT_EQ(thrownBy([&] { r.getChange(&unknown, &prefix, &entity, out); }),
              "Не найден сэмпл по предоставленным данным");
    EXPECT_EQ(thrownBy([&] { r.getChange(handle, nullptr, &entity, out); }),
              "Неверный указатель на ID участника домена");
    EXPECT_EQ(thrownBy([&] { r.getChange(handle, &prefix, nullptr, out); }),
              "Неверный указатель на ID точки взаимодействия");
    EXPECT_EQ(thrownBy([&] { r.deleteChange(nullptr); }), "Неверный указатель на данные сэмпла");

    EXPECT_EQ(r.deleteChange(handle), 0u);
    EXPECT_EQ(thrownBy([&] { r.deleteChange(handle); }),
              "Не найден сэмпл по предоставленным данным");
    EXPECT_EQ(thrownBy([&] { r.getEarliestChange(&prefix, &entity, out); }),
              "Самый ранний принятый сэмпл не найден");

    r.stop();
    std::string const closing = "Reader находится в состоянии завершения работы";
    EXPECT_EQ(thrownBy([&] { r.getChange(handle, &prefix, &entity, out); }), closing);
    EXPECT_EQ(thrownBy([&] { r.getEarliestChange(&prefix, &entity, out); }), closing);
    EXPECT_EQ(thrownBy([&] { r.deleteChange(handle); }), closing);
    EXPECT_EQ(offer(r, dataChange(writerGuid(), 2, &bytes)), nullptr);
}

// A full history takes nothing more; a change it refused is taken when it comes again after
// the user made room.
TEST(ReaderImpl, FullHistoryRefusesChanges) {
    for (bool const reliable : {false, true}) {
        SCOPED_TRACE(reliable ? "reliable" : "best effort");
        ReaderHarness h;
        h.historyLimit = 2;
        RTPS::ReaderImpl* r = nullptr;
        if (reliable) {
            RTPS::StatefulReader& stateful = h.stateful();
            EXPECT_TRUE(stateful.matched_writer_add(writerGuid(), &WRITER_LOCATOR));
            r = &stateful;
        } else {
            r = &h.stateless();
        }
        auto bytes = pattern(4);
        RTPS::CacheChange* first = offer(*r, dataChange(writerGuid(), 1, &bytes));
        ASSERT_NE(first, nullptr);
        EXPECT_NE(offer(*r, dataChange(writerGuid(), 2, &bytes)), nullptr);
        EXPECT_EQ(offer(*r, dataChange(writerGuid(), 3, &bytes)), nullptr);
        EXPECT_EQ(r->getHistory().size(), 2u);
        r->deleteChange(&first->sampleInfo);
        EXPECT_NE(offer(*r, dataChange(writerGuid(), 3, &bytes)), nullptr);
        EXPECT_EQ(r->getHistory().size(), 2u);
    }
}

// The user files a datagram's changes at the end of its receive batch: a history smaller than
// the datagram has the batch settled before it refuses a change (one arriving, or one held for
// its turn), so the user takes the earlier ones out and none of the datagram is lost to the
// limit.
TEST(ReaderImpl, AFullHistorySettlesTheReceiveBatchBeforeItRefuses) {
    // Takes out, at the end of each batch, every change announced in it.
    struct User : RTPS::CommunicationObject {
        bool changeAvailable(RTPS::Reader* r, void*, RTPS::SampleInfo* sample) override {
            reader = r;
            owed.push_back(sample);
            taken.push_back(sample->sequenceNumber.low);
            RTPS::ReceiveBatch::defer(this);
            return true;
        }
        void receiveBatchEnded() override {
            for (RTPS::SampleInfo* sample : owed) {
                reader->deleteChange(sample);
            }
            owed.clear();
        }
        void assertLiveliness(RTPS::Reader*, void*, unsigned*, unsigned) override {}
        void participantLost(unsigned*) override {}
        RTPS::Reader* reader = nullptr;
        std::vector<RTPS::SampleInfo*> owed;
        std::vector<uint32_t> taken;
    };
    struct Case {
        char const* name;
        bool reliable;
        std::vector<uint32_t> arrivals;
    } const cases[] = {
        {"arriving in order", false, {1, 2, 3, 4, 5}},
        {"held for their turn", true, {2, 3, 4, 5, 1}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        User user;
        ReaderHarness h;
        h.historyLimit = 2;
        RTPS::EndpointConfig config = h.config(h.nextKey++, c.reliable, false);
        RTPS::ReaderImpl* r = nullptr;
        if (c.reliable) {
            auto* stateful = new RTPS::StatefulReader(h.participant.get(), &config, &h.description,
                                                      &h.userTag, &user, 0, nullptr);
            h.readers.emplace_back(stateful);
            EXPECT_TRUE(stateful->matched_writer_add(writerGuid(), &WRITER_LOCATOR));
            r = stateful;
        } else {
            auto* stateless = new RTPS::StatelessReader(
                h.participant.get(), &config, &h.description, &h.userTag, &user, 0, nullptr);
            h.readers.emplace_back(stateless);
            ReaderHarness::matchWriters(*stateless, {writerGuid()});
            r = stateless;
        }
        auto bytes = pattern(4);
        {
            RTPS::ReceiveBatch datagram;
            for (uint32_t sn : c.arrivals) {
                offer(*r, dataChange(writerGuid(), sn, &bytes));
            }
        }
        EXPECT_EQ(user.taken, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
        EXPECT_EQ(r->getHistory().size(), 0u);
    }
}

namespace {

// A change from the topic announcer, carrying that packed payload.
std::unique_ptr<RTPS::CacheChange> topicChange(uint32_t sn, std::vector<uint8_t> const* bytes) {
    RTPS::GUID_t from = writerGuid();
    from.entityId = RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_WRITER;
    return dataChange(from, sn, bytes);
}

std::vector<uint8_t> packedTopic(std::string const& name) {
    RTPS::DiscoveredTopicData topic;
    topic.topicData.name = name;
    topic.topicData.type_name = "T";
    std::vector<uint8_t> packed;
    EXPECT_TRUE(RTPS::packTopic(topic, packed));
    return packed;
}

}  // namespace

// close leaves a built-in reader working.
TEST(ReaderImpl, CloseKeepsBuiltinReaders) {
    ReaderHarness h;
    RTPS::EntityId_t const id = RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_READER;
    auto& r = h.stateless(false, 0, nullptr, &id);
    r.close();
    EXPECT_TRUE(r.isRunning());
    auto bytes = packedTopic("Kept");
    EXPECT_NE(offer(r, topicChange(1, &bytes)), nullptr);
}

// The core reads a built-in reader's change as a decoded record: a record still packed (it came
// in fragments) is decoded before it is stored, and one that does not decode is not stored.
TEST(ReaderImpl, BuiltinRecordsAreStoredDecodedOrNotAtAll) {
    ReaderHarness h;
    RTPS::EntityId_t const id = RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_READER;
    auto& r = h.stateless(false, 0, nullptr, &id);
    auto good = packedTopic("Decoded");
    RTPS::CacheChange* kept = offer(r, topicChange(1, &good));
    ASSERT_NE(kept, nullptr);
    ASSERT_TRUE(kept->ownsRecord);
    EXPECT_EQ(static_cast<RTPS::DiscoveredTopicData*>(kept->sampleInfo.data)->topicData.name,
              "Decoded");

    auto truncated = good;
    truncated.resize(good.size() / 2);
    auto garbage = pattern(40);
    EXPECT_EQ(offer(r, topicChange(2, &truncated)), nullptr);
    EXPECT_EQ(offer(r, topicChange(3, &garbage)), nullptr);
    EXPECT_EQ(offer(r, topicChange(4, nullptr)), nullptr);
    EXPECT_EQ(r.getHistory().size(), 1u);
}
