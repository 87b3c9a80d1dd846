#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
    uint8_t datagram[24];
    for (int i = 0; i < 24; ++i) {
        datagram[i] = uint8_t(i);
    }
    RTPSMessage m(datagram, sizeof datagram);
    std::memset(datagram, 0xFF, sizeof datagram);
    ASSERT_EQ(m.getLength(), 24);
    EXPECT_NE(m.getData(), datagram);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(m.getData()[i], i);
    }
    EXPECT_TRUE(m.isFreeAfterParsing());
    EXPECT_EQ(m.getReferenceCount(), 0u);
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
