#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "ManualClock.h"
#include "ParticipantFakes.h"
#include "rtps/wire/RTPSMessage.h"

using namespace participant_test;
using RTPS::ParticipantImpl;

namespace {

class ParticipantRegistry : public ::testing::Test {
protected:
    std::unique_ptr<ParticipantImpl> make() {
        return std::make_unique<ParticipantImpl>(&m_comm, 0, &m_data, 0, false, factory);
    }

    // A remote writer and reader of the topic that discovery knows.
    void knowRemote(std::string const& topic, uint8_t writerKey, uint8_t readerKey,
                    bool writerMulticast = false) {
        RTPS::DiscoveredWriterData w;
        w.publicationData.topic_name = topic;
        w.writerProxy.remoteWriterGuid = remoteGuid(writerKey, 0x02);
        w.writerProxy.unicastLocatorList.push_back(
            RTPS::Locator_t{RTPS::LOCATOR_KIND_UDPv4, 7511, {}});
        if (writerMulticast) {
            RTPS::Locator_t group{RTPS::LOCATOR_KIND_UDPv4, 7401, {}};
            RTPS::strToLoc(&group, "239.1.2.3");
            w.writerProxy.multicastLocatorList.push_back(group);
        }
        factory->remoteWriters.push_back(w);
        RTPS::DiscoveredReaderData r;
        r.subscriptionData.topic_name = topic;
        r.readerProxy.remoteReaderGuid = remoteGuid(readerKey, 0x07);
        factory->remoteReaders.push_back(r);
    }

    ScratchDir m_dir;
    NullCommunicationObject m_comm;
    vexa::dds::ParticipantBuiltinTopicData m_data = ownData();
    std::shared_ptr<FakeFactory> factory = std::make_shared<FakeFactory>();
};

template <class F>
std::string refusalOf(F&& add) {
    try {
        add();
    } catch (RTPS::BAD_PARAMETERS const& e) {
        return e.what();
    }
    return "";
}

RTPS::RTPS_AdditionalTopicData const EXTRA{{5, 6}, 0};

}  // namespace

// Refusals come in a fixed order: a foreign participant key before the kind, the kind before the
// reliability; nothing is created for any of them.
TEST_F(ParticipantRegistry, AddWriterAndAddReaderRefuseInOrder) {
    auto p = make();
    std::string const noData = "Неверные данные топика";
    std::string const foreign = "Participant Key не совпадает с GUID Prefix участника домена";
    std::string const badKind = "Неверное значение типа топика";
    std::string const badReliability = "Неверное значение типа доставки данных топика";
    auto const badRel = static_cast<vexa::dds::ReliabilityQosPolicyKind>(2);
    struct Case {
        char const* name;
        bool null;
        bool foreignKey;
        RTPS::TOPIC_KIND kind;
        vexa::dds::ReliabilityQosPolicyKind reliability;
        std::string text;
    } const cases[] = {
        {"no description", true, true, 3, badRel, noData},
        {"foreign key first", false, true, 3, badRel, foreign},
        {"kind before reliability", false, false, 3, badRel, badKind},
        {"kind 0", false, false, 0, vexa::dds::RELIABLE_RELIABILITY_QOS, badKind},
        {"reliability 2", false, false, RTPS::TOPIC_KIND_WITH_KEY, badRel, badReliability},
    };
    for (Case const& c : cases) {
        auto pub = publication("T");
        auto sub = subscription("T");
        pub.reliability.kind = sub.reliability.kind = c.reliability;
        if (c.foreignKey) {
            pub.participant_key = sub.participant_key = keyOf(REMOTE_PREFIX);
        }
        EXPECT_EQ(refusalOf([&] { p->addWriter(c.null ? nullptr : &pub, EXTRA, c.kind, 1); }),
                  c.text)
            << c.name;
        EXPECT_EQ(
            refusalOf([&] { p->addReader(c.null ? nullptr : &sub, EXTRA, c.kind, 1, nullptr); }),
            c.text)
            << c.name;
    }
    EXPECT_TRUE(factory->userWriters.empty());
    EXPECT_TRUE(factory->userReaders.empty());
}

TEST_F(ParticipantRegistry, WriterIsConfiguredAnnouncedMatchedAndStarted) {
    knowRemote("Temp", 0x51, 0x61);
    knowRemote("Other", 0x52, 0x62);
    auto p = make();
    auto pub = publication("Temp", 0x21);
    RTPS::Writer* w = p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 10);
    ASSERT_EQ(factory->userWriters.size(), 1u);
    FakeWriter* fake = factory->userWriters[0];
    EXPECT_EQ(w, fake->asWriter());
    EXPECT_EQ(factory->statefulWriters, 1);

    RTPS::EndpointConfig const& c = fake->config;
    EXPECT_TRUE(std::memcmp(c.guid.guidPrefix, OWN_PREFIX, 12) == 0);
    EXPECT_EQ(c.guid.entityId, (RTPS::EntityId_t{{0, 0, 0x21}, 0x02}));
    EXPECT_EQ(c.reliabilityLevel, RTPS::RELIABILITY_RELIABLE);
    EXPECT_EQ(c.unicastLocator.port, 7411u + 2u * p->getConfig().hostWideIndex());
    // The shipped configuration sends user data to a group per topic.
    EXPECT_EQ(c.multicastLocator.port, 7401u);
    EXPECT_EQ(c.multicastLocator.address[12], 239);
    EXPECT_EQ(c.historyReserve, 10u);

    FakeWriter* sedp = factory->builtinWriters[RTPS::positionOf(RTPS::BuiltinTopic::PUBLICATION)];
    ASSERT_EQ(sedp->added.size(), 1u);
    EXPECT_EQ(sedp->added[0].topic, "Temp");
    EXPECT_EQ(sedp->added[0].instanceHandle,
              static_cast<int32_t>(RTPS::entityIdToU32(c.guid.entityId)));
    EXPECT_EQ(sedp->added[0].timestamp, (vexa::dds::Time_t{5, 6}));
    EXPECT_EQ(sedp->added[0].length, sizeof(vexa::dds::PublicationBuiltinTopicData));

    ASSERT_EQ(fake->matched.size(), 1u);
    EXPECT_EQ(fake->matched[0].remoteReaderGuid, remoteGuid(0x61, 0x07));
    EXPECT_EQ(fake->starts.load(), 1);
    EXPECT_EQ(fake->timestamp, (vexa::dds::Time_t{5, 6}));
    EXPECT_TRUE(p->getWriter(c.guid.entityId));
}

// The sample limit only ever reaches the endpoint as a count or as "none" (0).
TEST_F(ParticipantRegistry, SampleLimitOfEveryValue) {
    auto p = make();
    struct Case {
        int samples;
        uint32_t reserve;
    } const cases[] = {{-1, 0}, {0, 0}, {INT_MIN, 0}, {5, 5}, {20000, 20000}, {INT_MAX, INT_MAX}};
    uint8_t key = 0x40;
    for (Case const& c : cases) {
        auto pub = publication("T", key, vexa::dds::BEST_EFFORT_RELIABILITY_QOS);
        auto sub = subscription("T", key++);
        p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_NO_KEY, c.samples);
        p->addReader(&sub, EXTRA, RTPS::TOPIC_KIND_NO_KEY, c.samples, nullptr);
        EXPECT_EQ(factory->userWriters.back()->config.historyReserve, c.reserve) << c.samples;
        EXPECT_EQ(factory->userReaders.back()->config.historyReserve, c.reserve) << c.samples;
    }
    EXPECT_EQ(factory->statelessWriters, 6);
    EXPECT_EQ(factory->userWriters.back()->config.guid.entityId.entityKind, 0x03);
    EXPECT_EQ(factory->userReaders.back()->config.guid.entityId.entityKind, 0x04);
}

TEST_F(ParticipantRegistry, ReaderListensToMatchedWritersGroupsAndIsAnnounced) {
    knowRemote("Temp", 0x51, 0x61, true);
    auto p = make();
    int const receiversBefore = factory->transport->receiversAdded.load();
    auto sub = subscription("Temp", 0x31);
    int userData = 0;
    RTPS::Reader* r = p->addReader(&sub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0, &userData);
    ASSERT_EQ(factory->userReaders.size(), 1u);
    FakeReader* fake = factory->userReaders[0];
    EXPECT_EQ(r, fake->asReader());
    EXPECT_EQ(fake->userData, &userData);
    EXPECT_EQ(fake->config.guid.entityId, (RTPS::EntityId_t{{0, 0, 0x31}, 0x07}));
    EXPECT_EQ(fake->config.multicastLocator, RTPS::_LOCATOR_INVALID);

    ASSERT_EQ(fake->matched.size(), 1u);
    EXPECT_EQ(fake->matched[0].remoteWriterGuid, remoteGuid(0x51, 0x02));
    std::vector<RTPS::Locator_t> groups;
    fake->getMulticastLocatorList(groups);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].address[15], 3);
    EXPECT_EQ(factory->transport->receiversAdded.load(), receiversBefore + 1);

    FakeWriter* sedp = factory->builtinWriters[RTPS::positionOf(RTPS::BuiltinTopic::SUBSCRIPTION)];
    ASSERT_EQ(sedp->added.size(), 1u);
    EXPECT_EQ(sedp->added[0].topic, "Temp");
    EXPECT_EQ(sedp->added[0].length, sizeof(vexa::dds::SubscriptionBuiltinTopicData));
}

namespace {

// A received change of the remote writer 0x51 whose data lies in a message, as the receiver
// builds it.
RTPS::CacheChange* receivedChange(std::vector<uint8_t> const& datagram, size_t offset,
                                  size_t length) {
    auto* message = new RTPS::RTPSMessage(datagram.data(), static_cast<uint16_t>(datagram.size()));
    RTPS::SampleInfo info{};
    info.statusFlags = RTPS::SAMPLE_ALIVE;
    info.sourceTimestamp = vexa::dds::TIME_INVALID;
    auto* change = new RTPS::CacheChange(remoteGuid(0x51, 0x02), &info);
    change->setSequenceNumber(RTPS::SequenceNumber_t{0, 7});
    change->payloadKind = RTPS::OWNER_RECEIVED;
    change->completeness = 2;
    change->setData(message->getData() + offset, length);
    change->attachMessage(message);
    return change;
}

}  // namespace

// One change for two local readers of its topic: each reader that keeps it owns a change of its
// own (distinct object, own reference on the message), so each can delete its own; the
// receiver deletes the one it gave only when the first reader did not keep it. Under
// AddressSanitizer a shared change shows as a double free when the readers go.
TEST_F(ParticipantRegistry, TwoReadersOfOneChangeOwnOneChangeEach) {
    knowRemote("Temp", 0x51, 0x61);
    struct Case {
        bool keepFirst, keepSecond;
    } const cases[] = {{true, true}, {false, true}, {true, false}, {false, false}};
    for (Case const& c : cases) {
        SCOPED_TRACE(std::to_string(c.keepFirst) + std::to_string(c.keepSecond));
        factory->userReaders.clear();
        auto p = make();
        auto a = subscription("Temp", 0x31);
        auto b = subscription("Temp", 0x32);
        auto other = subscription("Cold", 0x33);
        p->addReader(&a, EXTRA, RTPS::TOPIC_KIND_NO_KEY, 0, nullptr);
        p->addReader(&b, EXTRA, RTPS::TOPIC_KIND_NO_KEY, 0, nullptr);
        p->addReader(&other, EXTRA, RTPS::TOPIC_KIND_NO_KEY, 0, nullptr);
        FakeReader* first = factory->userReaders[0];
        FakeReader* second = factory->userReaders[1];
        first->keep = c.keepFirst;
        second->keep = c.keepSecond;

        std::vector<uint8_t> const datagram = {'R', 'T', 'P', 'S', 'p', 'a',
                                               'y', 'l', 'o', 'a', 'd'};
        RTPS::CacheChange* change = receivedChange(datagram, 4, 7);
        RTPS::RTPSMessage* message = change->message;
        bool const kept = p->addChange(change);
        EXPECT_EQ(kept, c.keepFirst);
        if (!kept) {
            delete change;  // as the receiver does
        }
        EXPECT_EQ(first->offered.load(), 1);
        EXPECT_EQ(second->offered.load(), 1);
        EXPECT_EQ(factory->userReaders[2]->offered.load(), 0);
        std::vector<RTPS::CacheChange*> held;
        for (FakeReader* r : {first, second}) {
            for (auto& k : r->kept) {
                held.push_back(k.get());
            }
        }
        ASSERT_EQ(held.size(), size_t{c.keepFirst} + size_t{c.keepSecond});
        for (RTPS::CacheChange* h : held) {
            EXPECT_EQ(std::string(static_cast<char*>(h->sampleInfo.data), 7), "payload");
            EXPECT_EQ(h->sampleInfo.sequenceNumber, (RTPS::SequenceNumber_t{0, 7}));
            EXPECT_EQ(h->message, message);
        }
        if (held.size() == 2) {
            EXPECT_NE(held[0], held[1]);
            EXPECT_EQ(message->getReferenceCount(), 2u);
        }
        // Destroying the participant destroys the readers with what they kept.
    }
}

TEST_F(ParticipantRegistry, ChangeOfAnUnknownWriterReachesNoReader) {
    knowRemote("Temp", 0x51, 0x61);
    auto p = make();
    auto a = subscription("Temp", 0x31);
    p->addReader(&a, EXTRA, RTPS::TOPIC_KIND_NO_KEY, 0, nullptr);
    std::vector<uint8_t> const datagram(16, 1);
    RTPS::CacheChange* change = receivedChange(datagram, 0, 16);
    change->writerGUID = remoteGuid(0x59, 0x02);
    EXPECT_FALSE(p->addChange(change));
    delete change;
    EXPECT_EQ(factory->userReaders[0]->offered.load(), 0);
}

TEST_F(ParticipantRegistry, HeartbeatGoesToTheAddressedOrEveryMatchedReader) {
    knowRemote("Temp", 0x51, 0x61);
    auto p = make();
    auto a = subscription("Temp", 0x31);
    auto b = subscription("Temp", 0x32);
    auto other = subscription("Cold", 0x33);
    for (auto* s : {&a, &b, &other}) {
        p->addReader(s, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0, nullptr);
    }
    RTPS::HeartbeatData hb;
    hb.writerGUID = remoteGuid(0x51, 0x02);
    hb.readerId = RTPS::_ENTITYID_UNKNOWN;
    EXPECT_EQ(p->heartbeatToReaders(&hb), 2u);
    hb.readerId = RTPS::EntityId_t{{0, 0, 0x33}, 0x07};
    EXPECT_EQ(p->heartbeatToReaders(&hb), 1u);
    hb.readerId = RTPS::EntityId_t{{0, 0, 0x39}, 0x07};
    EXPECT_EQ(p->heartbeatToReaders(&hb), 0u);
    EXPECT_EQ(factory->userReaders[0]->heartbeats.size(), 1u);
    EXPECT_EQ(factory->userReaders[2]->heartbeats.size(), 1u);
}

TEST_F(ParticipantRegistry, LostRemoteEndpointsAreDroppedBySide) {
    auto p = make();
    auto pub = publication("T", 0x21);
    auto sub = subscription("T", 0x31);
    p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);
    p->addReader(&sub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0, nullptr);
    FakeWriter* w = factory->userWriters[0];
    FakeReader* r = factory->userReaders[0];
    struct Case {
        RTPS::GUID_t remote;
        size_t writerDrops, readerDrops;
    } const cases[] = {
        {remoteGuid(0x61, 0x07), 1, 0},  // a reader: writers drop it
        {remoteGuid(0x61, 0xC7), 1, 0},
        {remoteGuid(0x51, 0x02), 0, 1},  // a writer: readers drop it
        {remoteGuid(0x51, 0x03), 0, 1},
        {remoteGuid(0x01, 0xC1), 1, 1},  // a participant: both
    };
    for (Case const& c : cases) {
        w->removed.clear();
        r->removed.clear();
        EXPECT_EQ(p->endpointLost(c.remote), 1);
        EXPECT_EQ(w->removed.size(), c.writerDrops) << int{c.remote.entityId.entityKind};
        EXPECT_EQ(r->removed.size(), c.readerDrops) << int{c.remote.entityId.entityKind};
    }
}

// Lookups hand out handles; however a lookup ends, no use of the endpoint is left behind.
TEST_F(ParticipantRegistry, EveryLookupGivesItsUseBack) {
    auto p = make();
    auto pub = publication("T", 0x21);
    p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);
    FakeWriter* w = factory->userWriters[0];
    {
        RTPS::WriterHandle byId = p->getWriter(w->getGuid().entityId);
        RTPS::WriterHandle byKey = p->getWriter(
            static_cast<int>(RTPS::entityIdToU32(RTPS::EntityId_t{{0, 0, 0x21}, 0x55})));
        EXPECT_EQ(byId.get(), w);
        EXPECT_EQ(byKey.get(), w);
        EXPECT_EQ(w->getUseCount(), 2u);
        RTPS::WriterHandle moved = std::move(byId);
        EXPECT_EQ(w->getUseCount(), 2u);
    }
    EXPECT_EQ(w->getUseCount(), 0u);
    EXPECT_THROW(
        {
            RTPS::WriterHandle h = p->getWriter(w->getGuid().entityId);
            throw RTPS::GENERAL_DDSI_ERROR("x");
        },
        RTPS::GENERAL_DDSI_ERROR);
    EXPECT_EQ(w->getUseCount(), 0u);
    EXPECT_TRUE(p->hasReader(RTPS::_ENTITYID_SEDP_BUILTIN_TOPIC_READER));
}

TEST_F(ParticipantRegistry, CheckDeliveryAtItsEdges) {
    auto p = make();
    auto pub = publication("T", 0x21);
    RTPS::Writer* w = p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);
    FakeWriter* fake = factory->userWriters[0];
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    };

    // Nothing to wait for: at once, even without a deadline.
    std::vector<RTPS::Writer*> none;
    EXPECT_EQ(p->checkDelivery(none, vexa::dds::DURATION_INFINITE), 1);

    // Never acknowledged: 0 once the time-out has passed.
    std::vector<RTPS::Writer*> writers{w};
    fake->delivered = false;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(p->checkDelivery(writers, vexa::dds::Duration_t{0, 50000000}), 0);
    EXPECT_GE(ms(start), 50);

    // The report lands between the look and the wait: it must not be lost.
    fake->onAllDelivered = [&, first = true]() mutable {
        if (!first) {
            return fake->delivered.load();
        }
        first = false;
        fake->delivered = true;
        p->reportAllDelivered();
        return false;
    };
    start = Clock::now();
    EXPECT_EQ(p->checkDelivery(writers, vexa::dds::Duration_t{3, 0}), 1);
    EXPECT_LT(ms(start), 1000);
    fake->onAllDelivered = nullptr;

    // Acknowledged later from another thread, without a deadline.
    fake->delivered = false;
    auto waiter = std::async(std::launch::async, [&] {
        return p->checkDelivery(writers, vexa::dds::DURATION_INFINITE);
    });
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    fake->delivered = true;
    p->reportAllDelivered();
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(waiter.get(), 1);

    // A writer the participant no longer lists has nothing left to deliver.
    char unknown = 0;
    std::vector<RTPS::Writer*> gone{reinterpret_cast<RTPS::Writer*>(&unknown)};
    EXPECT_EQ(p->checkDelivery(gone, vexa::dds::Duration_t{0, 0}), 1);
}

// Task 10 exists while a writer with a finite AUTOMATIC lease does, and runs every half lease.
TEST_F(ParticipantRegistry, AutomaticLivelinessTaskFollowsTheWriters) {
    auto clock = std::make_shared<ManualClock>();
    factory->clock = clock;
    auto p = make();
    FakeWriter* messages =
        factory->builtinWriters[RTPS::positionOf(RTPS::BuiltinTopic::PARTICIPANT_MESSAGE)];
    auto pub = publication("T", 0x21);
    pub.liveliness.kind = vexa::dds::AUTOMATIC_LIVELINESS_QOS;
    pub.liveliness.lease_duration = vexa::dds::Duration_t{4, 0};
    auto longer = publication("T", 0x22);
    longer.liveliness.lease_duration = vexa::dds::Duration_t{10, 0};
    p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);
    p->addWriter(&longer, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);

    auto tick = [&](uint64_t ms) {
        clock->advanceMs(ms);
        clock->waitIdle();
        return messages->addedCount();
    };
    clock->waitIdle();
    EXPECT_EQ(tick(1950), 0u);
    EXPECT_EQ(tick(50), 1u);  // half of the shortest lease
    EXPECT_EQ(tick(2000), 2u);
    EXPECT_EQ(messages->deleted.size(), 1u);  // the previous message is withdrawn

    // Without finite automatic leases the task goes.
    for (FakeWriter* w : factory->userWriters) {
        p->removeEndpoint(w);
        w->waitUntilUnused();
        delete w;
    }
    factory->userWriters.clear();
    EXPECT_EQ(tick(10000), 2u);

    // And comes back with the next such writer.
    auto again = publication("T", 0x23);
    again.liveliness.lease_duration = vexa::dds::Duration_t{1, 0};
    p->addWriter(&again, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);
    EXPECT_EQ(tick(500), 3u);
}

// Task 11 asserts only for a MANUAL_BY_PARTICIPANT writer that wrote or asserted during the
// period: one write does not keep the writer alive for ever.
TEST_F(ParticipantRegistry, ManualLivelinessOnlyForWritersThatShowedIt) {
    auto clock = std::make_shared<ManualClock>();
    factory->clock = clock;
    auto p = make();
    FakeWriter* messages =
        factory->builtinWriters[RTPS::positionOf(RTPS::BuiltinTopic::PARTICIPANT_MESSAGE)];
    auto pub = publication("T", 0x21);
    pub.liveliness.kind = vexa::dds::MANUAL_BY_PARTICIPANT_LIVELINESS_QOS;
    pub.liveliness.lease_duration = vexa::dds::Duration_t{2, 0};
    p->addWriter(&pub, EXTRA, RTPS::TOPIC_KIND_WITH_KEY, 0);
    FakeWriter* writer = factory->userWriters.back();

    auto tick = [&](uint64_t ms) {
        clock->advanceMs(ms);
        clock->waitIdle();
        return messages->addedCount();
    };
    clock->waitIdle();
    EXPECT_EQ(tick(1000), 0u);  // never wrote: nothing to assert
    writer->shown = true;
    EXPECT_EQ(tick(1000), 1u);
    EXPECT_FALSE(writer->shown);
    EXPECT_EQ(tick(1000), 1u);  // silent during the last period
    writer->shown = true;
    EXPECT_EQ(tick(1000), 2u);
}
