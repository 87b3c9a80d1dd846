#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/history/Endpoint.h"

using RTPS::Endpoint;
using RTPS::EndpointConfig;
using RTPS::Locator_t;

namespace {

Locator_t group(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint32_t port = 7401) {
    Locator_t l{RTPS::LOCATOR_KIND_UDPv4, port, {}};
    l.address[12] = a;
    l.address[13] = b;
    l.address[14] = c;
    l.address[15] = d;
    return l;
}

EndpointConfig config(Locator_t multicast = RTPS::_LOCATOR_INVALID) {
    EndpointConfig c{};
    c.guid.guidPrefix[0] = 0xAA;
    c.guid.entityId = {{0, 0, 7}, 0x02};
    c.topicKind = RTPS::TOPIC_KIND_WITH_KEY;
    c.reliabilityLevel = RTPS::RELIABILITY_RELIABLE;
    c.unicastLocator = group(127, 0, 0, 1, 7411);
    c.multicastLocator = multicast;
    c.historyReserve = 0xFFFFFFFF;
    return c;
}

// What writers and readers add: a name and takeDCPSConfig.
class TestEndpoint : public Endpoint {
public:
    using Endpoint::Endpoint;
    void name(const char* n) { m_logName = n; }
    void take() { lockDescription(); }
    bool tryTakeElsewhere() {
        bool got = false;
        std::thread([&] {
            got = m_descriptionMutex.try_lock();
            if (got) {
                m_descriptionMutex.unlock();
            }
        }).join();
        return got;
    }
};

}  // namespace

TEST(Endpoint, TakesItsValuesFromTheConfiguration) {
    EndpointConfig c = config(group(239, 1, 2, 3));
    TestEndpoint e(nullptr, &c);
    EXPECT_EQ(e.getGuid(), c.guid);
    EXPECT_EQ(e.getTopicKind(), RTPS::TOPIC_KIND_WITH_KEY);
    EXPECT_EQ(e.getReliabilityLevel(), RTPS::RELIABILITY_RELIABLE);
    EXPECT_EQ(e.getUnicastLocator(), c.unicastLocator);
    EXPECT_EQ(e.getUseCount(), 0u);
    std::vector<Locator_t> list;
    e.getMulticastLocatorList(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], group(239, 1, 2, 3));
    EXPECT_TRUE(e.hasMulticastLocators());

    EndpointConfig none = config();
    TestEndpoint plain(nullptr, &none);
    plain.getMulticastLocatorList(list);
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(plain.hasMulticastLocators());

    EXPECT_THROW(TestEndpoint(nullptr, nullptr), RTPS::BAD_PARAMETERS);
}

TEST(Endpoint, MulticastLocatorsAreListedOnceAndEveryRequestIsLogged) {
    LogCapture log;
    const std::string added = "P0030000000702: групповой адрес 239.17.3.0, добавлен: 1";
    const std::string listed = "P0030000000702: групповой адрес 239.17.3.0, добавлен: 0";
    const size_t addedBefore = LogCapture::count(added);
    const size_t listedBefore = LogCapture::count(listed);
    EndpointConfig c = config();
    TestEndpoint e(nullptr, &c);
    e.name("P0030000000702");
    EXPECT_TRUE(e.addMulticastLocator(group(239, 17, 3, 0)));
    EXPECT_FALSE(e.addMulticastLocator(group(239, 17, 3, 0)));
    EXPECT_TRUE(e.addMulticastLocator(group(239, 17, 3, 0, 9999)));  // another port
    EXPECT_TRUE(e.addMulticastLocator(group(239, 17, 3, 1)));
    std::vector<Locator_t> list;
    e.getMulticastLocatorList(list);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(LogCapture::count(added), addedBefore + 2);
    EXPECT_EQ(LogCapture::count(listed), listedBefore + 1);
}

TEST(Endpoint, DestructionWaitsForTheLastLookup) {
    EndpointConfig c = config();
    auto* e = new TestEndpoint(nullptr, &c);
    e->raiseUseCount();
    e->raiseUseCount();
    e->lowerUseCount();
    std::atomic<bool> lookupDone{false};
    std::atomic<bool> destroyed{false};
    std::atomic<bool> destroyedAfterLookup{false};
    std::thread owner([&] {
        delete e;
        destroyedAfterLookup = lookupDone.load();
        destroyed = true;
    });
    // Nothing signals that the owner sleeps in the destructor; give a destructor that does not
    // wait the time to finish.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const bool destroyedEarly = destroyed.load();
    EXPECT_FALSE(destroyedEarly);
    lookupDone = true;
    if (!destroyedEarly) {
        e->lowerUseCount();
    }
    owner.join();
    EXPECT_TRUE(destroyedAfterLookup);
}

// The last use may end just as the owner starts to wait, or while it waits: the owner must
// neither miss that end nor return before the lookup is done with the endpoint.
TEST(Endpoint, AnOwnerNeverMissesTheLastUseEndingBesideIt) {
    EndpointConfig c = config();
    for (int round = 0; round < 8000; ++round) {
        auto* e = new TestEndpoint(nullptr, &c);
        const int uses = 1 + round % 3;
        for (int i = 0; i < uses; ++i) {
            e->raiseUseCount();
        }
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> destroyed = done->get_future();
        std::thread lookup([e, uses] {
            for (int i = 0; i < uses; ++i) {
                e->lowerUseCount();
            }
        });
        std::thread([e, done] {
            delete e;
            done->set_value();
        }).detach();
        lookup.join();
        if (destroyed.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the owner missed the last use in round " << round;
            return;
        }
    }
}

TEST(Endpoint, UseCountNeverGoesBelowZero) {
    EndpointConfig c = config();
    TestEndpoint e(nullptr, &c);
    e.lowerUseCount();
    e.raiseUseCount();
    EXPECT_EQ(e.getUseCount(), 1u);
    e.lowerUseCount();
    EXPECT_EQ(e.getUseCount(), 0u);
}

TEST(Endpoint, FreeDCPSConfigReleasesOnlyTheHoldersLock) {
    EndpointConfig c = config();
    TestEndpoint e(nullptr, &c);
    e.freeDCPSConfig();  // after a take that returned without locking
    EXPECT_TRUE(e.tryTakeElsewhere());

    e.take();
    e.take();  // nested
    EXPECT_FALSE(e.tryTakeElsewhere());
    std::thread([&] { e.freeDCPSConfig(); }).join();  // not the holder: nothing happens
    EXPECT_FALSE(e.tryTakeElsewhere());
    e.freeDCPSConfig();
    EXPECT_FALSE(e.tryTakeElsewhere());
    e.freeDCPSConfig();
    EXPECT_TRUE(e.tryTakeElsewhere());
    e.freeDCPSConfig();  // one too many
    EXPECT_TRUE(e.tryTakeElsewhere());
}

TEST(Endpoint, GarbageGoesThroughTheHistory) {
    EndpointConfig c = config();
    TestEndpoint e(nullptr, &c);
    auto* change = new RTPS::CacheChange(c.guid, nullptr);
    e.getHistory().add_change(change);
    e.getHistory().get_change(change);
    e.getHistory().remove_change(change);
    EXPECT_EQ(e.removeGarbage(0), 1u);
    e.getHistory().free_change(change);
    EXPECT_EQ(e.removeGarbage(0), 0u);
}
