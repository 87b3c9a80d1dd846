#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "ManualClock.h"
#include "ParticipantFakes.h"
#include "rtps/reader/StatefulReader.h"
#include "rtps/writer/StatefulWriter.h"

using namespace participant_test;

namespace {

// The engine's reliable writer and reader, each telling when its destruction begins.
class ObservedWriter : public RTPS::StatefulWriter {
public:
    ObservedWriter(RTPS::ParticipantImpl* p, RTPS::EndpointConfig const& config,
                   vexa::dds::PublicationBuiltinTopicData const& description,
                   std::promise<void>& destroyed)
        : StatefulWriter(p, &config, &description, 0), m_destroyed(destroyed) {}
    ~ObservedWriter() override { m_destroyed.set_value(); }

private:
    std::promise<void>& m_destroyed;
};

class ObservedReader : public RTPS::StatefulReader {
public:
    ObservedReader(RTPS::ParticipantImpl* p, RTPS::EndpointConfig const& config,
                   vexa::dds::SubscriptionBuiltinTopicData const& description,
                   RTPS::CommunicationObject* comm, RTPS::COMMUNICATION_MODE mode,
                   std::promise<void>& destroyed)
        : StatefulReader(p, &config, &description, nullptr, comm, mode), m_destroyed(destroyed) {}
    ~ObservedReader() override { m_destroyed.set_value(); }

private:
    std::promise<void>& m_destroyed;
};

// Fake built-in endpoints (their removal calls are the test's gate), observed user ones.
class ObservedFactory : public FakeFactory {
public:
    RTPS::LocalWriter* makeWriter(bool, RTPS::ParticipantImpl* p,
                                  RTPS::EndpointConfig const& config,
                                  vexa::dds::PublicationBuiltinTopicData const& description,
                                  int32_t) override {
        return new ObservedWriter(p, config, description, destroyed);
    }
    RTPS::LocalReader* makeReader(bool, RTPS::ParticipantImpl* p,
                                  RTPS::EndpointConfig const& config,
                                  vexa::dds::SubscriptionBuiltinTopicData const& description, void*,
                                  RTPS::CommunicationObject* comm,
                                  RTPS::COMMUNICATION_MODE mode) override {
        return new ObservedReader(p, config, description, comm, mode, destroyed);
    }

    std::promise<void> destroyed;
};

template <class Fake>
Fake* firstOf(Fake* const (&builtins)[RTPS::BUILTIN_TOPIC_COUNT]) {
    for (Fake* b : builtins) {
        if (b != nullptr) {
            return b;
        }
    }
    return nullptr;
}

// Discovery drops the remote endpoint `remote` while the application closes a local endpoint:
// the participant's walk holds every listed endpoint at once and is held in `gate` (the first,
// built-in one's removal call) while `close` runs. True when the endpoint was destroyed while
// the walk still held it; the walk then gives up rather than call it.
bool destroyedWhileHeld(RTPS::ParticipantImpl& p, std::function<void()>& gate,
                        RTPS::GUID_t const& remote, std::function<void()> const& close,
                        std::future<void>& destroyed) {
    std::promise<void> entered;
    std::promise<bool> goOn;
    std::future<bool> verdict = goOn.get_future();
    gate = [&] {
        entered.set_value();
        if (!verdict.get()) {
            throw std::runtime_error("walk given up");
        }
    };
    std::thread discovery([&] {
        try {
            p.removeMatchedEndpoints(remote);
        } catch (std::runtime_error const&) {
        }
    });
    entered.get_future().wait();
    std::thread closing(close);
    // Destruction follows close's first steps within microseconds when it does not wait.
    bool const early =
        destroyed.wait_for(std::chrono::milliseconds(500)) == std::future_status::ready;
    goOn.set_value(!early);
    discovery.join();
    closing.join();
    gate = nullptr;
    EXPECT_EQ(destroyed.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    return early;
}

class ClosingHeldEndpoint : public ::testing::Test {
protected:
    void SetUp() override {
        factory->clock = std::make_shared<ManualClock>();
        RTPS::DiscoveredReaderData reader;
        reader.subscriptionData.topic_name = "Temp";
        reader.readerProxy.remoteReaderGuid = remoteGuid(0x61, 0x07);
        RTPS::Locator_t at{RTPS::LOCATOR_KIND_UDPv4, 7611, {}};
        RTPS::strToLoc(&at, "127.0.0.1");
        reader.readerProxy.unicastLocatorList.push_back(at);
        factory->remoteReaders.push_back(reader);
        participant = std::make_unique<RTPS::ParticipantImpl>(&comm, 0, &own, 0, false, factory);
        destroyed = factory->destroyed.get_future();
    }

    ScratchDir dir;
    NullCommunicationObject comm;
    vexa::dds::ParticipantBuiltinTopicData own = ownData();
    std::shared_ptr<ObservedFactory> factory = std::make_shared<ObservedFactory>();
    std::unique_ptr<RTPS::ParticipantImpl> participant;
    std::future<void> destroyed;
};

TEST_F(ClosingHeldEndpoint, AWriterClosedWhileItsReaderLeavesGoesOnlyOnceTheWalkLetsGo) {
    auto pub = publication("Temp", 0x21);
    RTPS::Writer* w = participant->addWriter(&pub, RTPS::RTPS_AdditionalTopicData{{5, 6}, 0},
                                             RTPS::TOPIC_KIND_NO_KEY, 0);
    ASSERT_EQ(dynamic_cast<RTPS::StatefulWriter*>(w)->matchedReaderCount(), 1u);
    FakeWriter* gate = firstOf(factory->builtinWriters);
    ASSERT_NE(gate, nullptr);
    EXPECT_FALSE(destroyedWhileHeld(
        *participant, gate->onRemoveMatchedReaders, remoteGuid(0x61, 0x07), [w] { w->close(); },
        destroyed))
        << "destroyed while the walk still held it";
}

TEST_F(ClosingHeldEndpoint, AReaderClosedWhileAWriterLeavesGoesOnlyOnceTheWalkLetsGo) {
    auto sub = subscription("Temp", 0x31);
    RTPS::Reader* r = participant->addReader(&sub, RTPS::RTPS_AdditionalTopicData{{5, 6}, 0},
                                             RTPS::TOPIC_KIND_NO_KEY, 0, nullptr);
    ASSERT_NE(r, nullptr);
    FakeReader* gate = firstOf(factory->builtinReaders);
    ASSERT_NE(gate, nullptr);
    EXPECT_FALSE(destroyedWhileHeld(
        *participant, gate->onRemoveMatchedWriters, remoteGuid(0x51, 0x03), [r] { r->close(); },
        destroyed))
        << "destroyed while the walk still held it";
}

}  // namespace
