#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ParticipantFakes.h"
#include "rtps/participant/ParticipantImpl.h"
#include "rtps/reader/Reader.h"
#include "rtps/writer/Writer.h"

// Two participants of the engine in one process over the real transport on loopback, with the
// engine's own built-in endpoints and discovery directory. Each is told of the other by hand
// (participantDetected), so what is tested here is endpoint discovery: the SEDP announcements
// travel, the records match a writer with a reader, and samples flow.

using namespace participant_test;

namespace {

// What a user of the engine sees: discovered publications and subscriptions, and the samples
// of user readers.
class SeeingCommunicationObject : public RTPS::CommunicationObject {
public:
    bool changeAvailable(RTPS::Reader* reader, void*, RTPS::SampleInfo* sample) override {
        unsigned int prefix[3];
        unsigned int entity;
        RTPS::SampleInfo copy{};
        reader->getChange(sample, &prefix, &entity, copy);
        std::lock_guard<std::mutex> lock(m_mutex);
        // The core reads the public descriptions only, and refuses any other length.
        if (reader == publications &&
            copy.length == sizeof(vexa::dds::PublicationBuiltinTopicData)) {
            topics.push_back(
                static_cast<vexa::dds::PublicationBuiltinTopicData*>(copy.data)->topic_name);
        } else if (reader == subscriptions &&
                   copy.length == sizeof(vexa::dds::SubscriptionBuiltinTopicData)) {
            topics.push_back(
                static_cast<vexa::dds::SubscriptionBuiltinTopicData*>(copy.data)->topic_name);
        } else if (copy.length == sizeof(uint32_t)) {
            uint32_t value;
            std::memcpy(&value, copy.data, sizeof value);
            values.push_back(value);
            reader->deleteChange(sample);
        }
        m_cv.notify_all();
        return true;
    }
    void assertLiveliness(RTPS::Reader*, void*, unsigned int*, unsigned int) override {}
    void participantLost(unsigned int*) override {}

    size_t waitForValues(size_t n, std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, limit, [&] { return values.size() >= n; });
        return values.size();
    }

    std::vector<uint32_t> valueList() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return values;
    }
    // The engine reports a record after it has matched its endpoints, so samples may come
    // first: the record is waited for.
    bool waitForTopic(std::string const& name, std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, limit, [&] {
            return std::find(topics.begin(), topics.end(), name) != topics.end();
        });
    }

    RTPS::Reader* publications = nullptr;
    RTPS::Reader* subscriptions = nullptr;
    std::vector<std::string> topics;
    std::vector<uint32_t> values;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

vexa::dds::ParticipantBuiltinTopicData dataOf(uint8_t const* prefix) {
    vexa::dds::ParticipantBuiltinTopicData data;
    std::memcpy(data.key.value, prefix, 12);
    return data;
}

// What a participant announces about itself, as its peer would hear it.
RTPS::SPDPdiscoveredParticipantData announcementOf(RTPS::ParticipantImpl& p,
                                                   uint8_t const* prefix) {
    RTPS::SPDPdiscoveredParticipantData d;
    std::memcpy(d.guidPrefix, prefix, 12);
    d.participant = dataOf(prefix);
    d.expectsInlineQos = true;
    d.availableBuiltinEndpoints = RTPS::ParticipantImpl::AVAILABLE_BUILTIN_ENDPOINTS;
    d.metatrafficUnicastLocator =
        RTPS::Locator_t{RTPS::LOCATOR_KIND_UDPv4, p.getConfig().metatrafficUnicastPort(), {}};
    RTPS::strToLoc(&d.metatrafficUnicastLocator, p.getConfig().defaultUnicastIp());
    d.leaseDuration = vexa::dds::Duration_t{3600, 0};
    return d;
}

}  // namespace

// A reader in one participant and a writer in the other find each other through the SEDP
// announcements alone, and 100 reliable samples arrive in order.
TEST(DiscoveryLoopback, AnnouncedEndpointsMatchAndExchange) {
    ScratchDir dir(
        "BUSINESS.HEARTBEAT_PERIOD = 100\nBUSINESS.NACK_RESPONSE_DELAY = 5\n"
        "BUSINESS.SPDP_ANNOUNCE_PERIOD = 3600000\nBUSINESS.PARTICIPANT_LEASE_DURATION = 3600000\n");
    SeeingCommunicationObject seenByWriter;
    SeeingCommunicationObject seenByReader;
    auto a = dataOf(OWN_PREFIX);
    auto b = dataOf(REMOTE_PREFIX);
    auto writerSide = std::make_unique<RTPS::ParticipantImpl>(&seenByWriter, 0, &a, 0, false);
    auto readerSide = std::make_unique<RTPS::ParticipantImpl>(&seenByReader, 0, &b, 0, false);
    seenByWriter.subscriptions = writerSide->getDCPSSubscriptionReader();
    seenByReader.publications = readerSide->getDCPSPublicationReader();
    writerSide->start();
    readerSide->start();

    auto pub = publication("Pair", 0x21);
    pub.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    auto sub = subscription("Pair", 0x31);
    sub.participant_key = keyOf(REMOTE_PREFIX);
    sub.durability.kind = vexa::dds::TRANSIENT_LOCAL_DURABILITY_QOS;
    RTPS::RTPS_AdditionalTopicData const extra{{1, 0}, 0};
    RTPS::Writer* writer = writerSide->addWriter(&pub, extra, RTPS::TOPIC_KIND_NO_KEY, 0);
    RTPS::Reader* reader = readerSide->addReader(&sub, extra, RTPS::TOPIC_KIND_NO_KEY, 0, nullptr);
    ASSERT_NE(writer, nullptr);
    ASSERT_NE(reader, nullptr);
    // Written before anyone is matched: the durable writer keeps them for its late reader.
    for (uint32_t v = 1; v <= 100; ++v) {
        RTPS::SampleInfo s{};
        s.statusFlags = RTPS::SAMPLE_ALIVE;
        s.sourceTimestamp = vexa::dds::TIME_INVALID;
        s.data = &v;
        s.length = sizeof v;
        ASSERT_NE(writer->addChange(&s), int64_t{0xFFFFFFFF});
    }

    auto announcedA = announcementOf(*writerSide, OWN_PREFIX);
    auto announcedB = announcementOf(*readerSide, REMOTE_PREFIX);
    readerSide->participantDetected(&announcedA, false);
    writerSide->participantDetected(&announcedB, false);

    ASSERT_EQ(seenByReader.waitForValues(100, std::chrono::seconds(30)), 100u);
    // Each once; data that comes before the reader has heard of its writer is asked for again
    // later, so the order may differ.
    std::vector<uint32_t> got = seenByReader.valueList();
    std::sort(got.begin(), got.end());
    ASSERT_EQ(got.size(), 100u);
    for (uint32_t i = 0; i < 100; ++i) {
        EXPECT_EQ(got[i], i + 1);
    }
    EXPECT_TRUE(seenByReader.waitForTopic("Pair", std::chrono::seconds(30)));
    EXPECT_TRUE(seenByWriter.waitForTopic("Pair", std::chrono::seconds(30)));
}

// One side forgets the other, as when its lease of the other ran out while the other kept it,
// and then hears the other again: the other side's announcements reach it once more (though
// that side saw nothing happen and had them all acknowledged), the endpoints match again, and
// what is written from then on arrives.
TEST(DiscoveryLoopback, AOneSidedLossIsHealedWhenThePeerIsHeardAgain) {
    struct Case {
        char const* forgetting;
        bool readerSideForgets;
    } const cases[] = {{"the reader's side", true}, {"the writer's side", false}};
    for (Case const& c : cases) {
        ScratchDir dir(
            "BUSINESS.HEARTBEAT_PERIOD = 100\nBUSINESS.NACK_RESPONSE_DELAY = 5\n"
            "BUSINESS.SPDP_ANNOUNCE_PERIOD = 3600000\n"
            "BUSINESS.PARTICIPANT_LEASE_DURATION = 3600000\n");
        SeeingCommunicationObject seenByWriter;
        SeeingCommunicationObject seenByReader;
        auto a = dataOf(OWN_PREFIX);
        auto b = dataOf(REMOTE_PREFIX);
        auto writerSide = std::make_unique<RTPS::ParticipantImpl>(&seenByWriter, 0, &a, 0, false);
        auto readerSide = std::make_unique<RTPS::ParticipantImpl>(&seenByReader, 0, &b, 0, false);
        writerSide->start();
        readerSide->start();
        auto pub = publication("Healed", 0x21);
        auto sub = subscription("Healed", 0x31);
        sub.participant_key = keyOf(REMOTE_PREFIX);
        RTPS::RTPS_AdditionalTopicData const extra{{1, 0}, 0};
        RTPS::Writer* writer = writerSide->addWriter(&pub, extra, RTPS::TOPIC_KIND_NO_KEY, 0);
        RTPS::Reader* reader =
            readerSide->addReader(&sub, extra, RTPS::TOPIC_KIND_NO_KEY, 0, nullptr);
        ASSERT_NE(writer, nullptr);
        ASSERT_NE(reader, nullptr);
        uint32_t next = 1;
        auto write = [&] {
            uint32_t v = next++;
            RTPS::SampleInfo s{};
            s.statusFlags = RTPS::SAMPLE_ALIVE;
            s.sourceTimestamp = vexa::dds::TIME_INVALID;
            s.data = &v;
            s.length = sizeof v;
            return writer->addChange(&s) != int64_t{0xFFFFFFFF};
        };
        // Values from `from` on that arrived, each counted once.
        auto arrivedFrom = [&](uint32_t from) {
            std::vector<uint32_t> got = seenByReader.valueList();
            got.erase(std::remove_if(got.begin(), got.end(), [&](uint32_t v) { return v < from; }),
                      got.end());
            std::sort(got.begin(), got.end());
            return size_t(std::unique(got.begin(), got.end()) - got.begin());
        };
        // Written until one of these arrives: a value written before the match goes to nobody.
        auto writeUntilOneArrives = [&] {
            uint32_t const from = next;
            for (int i = 0; i < 500; ++i) {
                if (!write()) {
                    return false;
                }
                if (arrivedFrom(from) > 0) {
                    return true;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            return false;
        };

        auto announcedA = announcementOf(*writerSide, OWN_PREFIX);
        auto announcedB = announcementOf(*readerSide, REMOTE_PREFIX);
        readerSide->participantDetected(&announcedA, false);
        writerSide->participantDetected(&announcedB, false);
        ASSERT_TRUE(writeUntilOneArrives()) << c.forgetting;

        RTPS::ParticipantImpl& forgetting = c.readerSideForgets ? *readerSide : *writerSide;
        auto const& other = c.readerSideForgets ? announcedA : announcedB;
        forgetting.participantLost(other.guidPrefix);
        forgetting.participantDetected(&other, false);
        ASSERT_TRUE(writeUntilOneArrives()) << c.forgetting;

        // Matched again: everything written now arrives.
        uint32_t const first = next;
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(write()) << c.forgetting;
        }
        // Each of them, maybe more than once: what a proxy made again asks for is sent again.
        auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (arrivedFrom(first) < 20 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(arrivedFrom(first), 20u) << c.forgetting;
        readerSide.reset();
        writerSide.reset();
    }
}
