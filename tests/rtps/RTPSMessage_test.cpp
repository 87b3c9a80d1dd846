#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "rtps/wire/RTPSMessage.h"

using RTPS::RTPSMessage;

namespace {

// Tells when the message is gone.
class WatchedMessage : public RTPSMessage {
public:
    WatchedMessage(void const* data, uint16_t length, bool& destroyed)
        : RTPSMessage(data, length), m_destroyed(destroyed) {}
    ~WatchedMessage() override { m_destroyed = true; }

private:
    bool& m_destroyed;
};

}  // namespace

TEST(RTPSMessage, KeepsItsOwnCopy) {
    struct Case {
        char const* name;
        RTPSMessage* (*make)(void const* data, uint16_t length);
    };
    Case const cases[] = {
        {"inline", [](void const* d, uint16_t n) { return RTPSMessage::create(d, n); }},
        {"own block", [](void const* d, uint16_t n) { return new RTPSMessage(d, n); }},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t datagram[24];
        for (int i = 0; i < 24; ++i) {
            datagram[i] = uint8_t(i);
        }
        std::unique_ptr<RTPSMessage> m(c.make(datagram, sizeof datagram));
        std::memset(datagram, 0xFF, sizeof datagram);
        ASSERT_EQ(m->getLength(), 24);
        EXPECT_NE(m->getData(), datagram);
        for (int i = 0; i < 24; ++i) {
            EXPECT_EQ(m->getData()[i], i);
        }
        EXPECT_TRUE(m->isFreeAfterParsing());
        EXPECT_EQ(m->getReferenceCount(), 0u);
    }
}

// Changes on several threads (readers sharing a datagram) take and drop references at once;
// the count must lose none of them.
TEST(RTPSMessage, ReferencesFromManyThreadsAreAllCounted) {
    uint8_t datagram[24] = {};
    std::atomic<bool> destroyed{false};
    struct Watched : RTPSMessage {
        Watched(void const* d, uint16_t n, std::atomic<bool>& gone)
            : RTPSMessage(d, n), m_gone(gone) {}
        ~Watched() override { m_gone = true; }
        std::atomic<bool>& m_gone;
    };
    auto* m = new Watched(datagram, sizeof datagram, destroyed);
    m->addReference();  // the holder that outlives the threads
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            while (!go) {
            }
            for (int i = 0; i < 20000; ++i) {
                m->addReference();
                m->addReference();
                m->removeReference();
                m->removeReference();
            }
        });
    }
    go = true;
    for (std::thread& t : threads) {
        t.join();
    }
    ASSERT_FALSE(destroyed.load());
    EXPECT_EQ(m->getReferenceCount(), 1u);
    EXPECT_TRUE(m->removeReference());
    EXPECT_TRUE(destroyed.load());
}

TEST(RTPSMessage, DestroyedOnlyWhenTheLastReferenceGoes) {
    uint8_t datagram[24] = {};
    bool destroyed = false;
    auto* m = new WatchedMessage(datagram, sizeof datagram, destroyed);
    m->addReference();
    m->addReference();
    EXPECT_FALSE(m->isFreeAfterParsing());
    EXPECT_TRUE(m->removeReference());
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(m->getReferenceCount(), 1u);
    EXPECT_TRUE(m->removeReference());
    EXPECT_TRUE(destroyed);
}

TEST(RTPSMessage, ReleaseWithoutReferenceIsIgnored) {
    LogCapture log;
    // The length names this message in the log.
    uint8_t datagram[37] = {};
    bool destroyed = false;
    auto* m = new WatchedMessage(datagram, sizeof datagram, destroyed);
    const std::string unbalanced = "длиной 37 байт без ссылок";
    const size_t before = LogCapture::count(unbalanced);
    EXPECT_FALSE(m->removeReference());
    EXPECT_EQ(LogCapture::count(unbalanced), before + 1);  // a caller's fault shows in the log
    EXPECT_FALSE(destroyed);
    EXPECT_TRUE(m->isFreeAfterParsing());  // still the parser's to free
    delete m;
    EXPECT_TRUE(destroyed);
}
