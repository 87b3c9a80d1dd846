#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "DsvcPeers.h"
#include "ParticipantFakes.h"
#include "rtps/dsvc/DSVCMessage.h"
#include "rtps/participant/ParticipantImpl.h"

namespace {

using namespace dsvc_test;
using participant_test::FakeFactory;
using participant_test::ScratchDir;
using RTPS::ParticipantImpl;

// Fakes for everything but the DSVC link, which is the engine's own.
class RealDsvcFactory : public FakeFactory {
public:
    std::unique_ptr<RTPS::DsvcLink> makeDsvcLink(RTPS::ParticipantImpl* p, int role) override {
        return ComponentFactory::makeDsvcLink(p, role);
    }
};

// The durability service: hands one stored sample over from a thread of its own, as its
// data-handling thread does.
class OneSampleService : public participant_test::NullCommunicationObject {
public:
    ~OneSampleService() override {
        if (worker.joinable()) {
            worker.join();
        }
    }
    void getHistoricalData(unsigned int const* prefix, unsigned int entityId,
                           vexa::dds::SubscriptionBuiltinTopicData const*) override {
        asked.add(-1, entityId, nullptr, 0);
        std::array<unsigned, 3> words{prefix[0], prefix[1], prefix[2]};
        worker = std::thread([this, words, entityId] {
            std::vector<std::shared_ptr<RTPS::HistoricalSampleInfo>> v{sample.info};
            participant->historicalData(words.data(), entityId, v);
        });
    }
    void stopHistoricalData(unsigned int const*, unsigned int entityId) override {
        stopped.add(-1, entityId, nullptr, 0);
    }
    RTPS::Participant* participant = nullptr;
    StoredSample sample{guid(9, 0x02), 4, 32};
    std::thread worker;
    UpcallLog asked;
    UpcallLog stopped;
};

TEST(DSVCInParticipant, ServerParticipantServesAReaderAndEndsPromptly) {
    ScratchDir dir;
    OneSampleService service;
    vexa::dds::ParticipantBuiltinTopicData data = participant_test::ownData();
    auto p = std::make_unique<ParticipantImpl>(&service, 0, &data, 2, true,
                                               std::make_shared<RealDsvcFactory>());
    service.participant = p.get();
    ASSERT_EQ(p->getDsvcRole(), ParticipantImpl::DSVC_SERVER);

    RawPeer reader = RawPeer::connectTo(7399 + 2);
    RTPS::GUID_t const g = guid(1, 0x07);
    reader.send(RTPS::buildDsvcInit(g));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(service.asked.calls().size(), 0u);  // discovery does not know the reader yet

    // Discovery is told here directly, without the SEDP record that an INIT taken later would
    // find: tell it again until the server's thread has taken the INIT (slow under a sanitizer).
    vexa::dds::SubscriptionBuiltinTopicData subscription{};
    bool asked = false;
    for (int i = 0; i < 50 && !asked; ++i) {
        p->discoveredForDSVC(g, subscription);
        asked = service.asked.waitFor(1, 100ms);
    }
    ASSERT_TRUE(asked);
    EXPECT_EQ(service.asked.calls().size(), 1u);

    RTPS::DSVCFrame f;
    ASSERT_TRUE(reader.nextFrame(f, 3000ms));  // the sender thread was woken, not waited out
    EXPECT_EQ(f.tag, RTPS::DSVC_TAG_SMPL);
    ASSERT_TRUE(reader.nextFrame(f, 3000ms));
    EXPECT_EQ(f.tag, RTPS::DSVC_TAG_PAUS);

    auto const begin = std::chrono::steady_clock::now();
    service.worker.join();
    p.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2000ms);
    EXPECT_TRUE(reader.closedWithin(1000ms));
    EXPECT_EQ(service.stopped.calls().size(), 1u);
}

}  // namespace
