// Feeds any datagram to the message receiver's parser with a participant that has a few
// readers, keeps every other change and reads what it kept.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtps/wire/AckNAckData.h"
#include "rtps/history/CacheChange.h"
#include "rtps/wire/GapData.h"
#include "rtps/wire/HeartbeatData.h"
#include "rtps/io/MessageReceiver.h"
#include "rtps/wire/NAckFragData.h"
#include "rtps/participant/Participant.h"
#include "rtps/wire/RTPSMessage.h"

namespace {

volatile uint32_t g_sink;

void touch(void const* p, uint64_t n) {
    auto const* b = static_cast<uint8_t const*>(p);
    uint32_t sum = 0;
    for (uint64_t i = 0; i < n; ++i) {
        sum += b[i];
    }
    g_sink = sum;
}

class Participant : public RTPS::Participant {
public:
    void dataRecipient(void*, unsigned short) override {}
    bool hasReader(RTPS::EntityId_t const& r) override {
        return r.entityKey[2] != 0x99;  // most ids exist, a few do not
    }
    unsigned int heartbeatToReaders(RTPS::HeartbeatData* hb) override {
        g_sink = hb->count;
        return 1;
    }
    bool gapToReader(RTPS::GapData* g) override {
        g_sink = g->gapList.bitmap[(g->gapList.numBits / 32) % 8];
        return true;
    }
    bool acknackToWriter(RTPS::AckNAckData* a) override {
        g_sink = a->readerSNState.bitmap[(a->readerSNState.numBits / 32) % 8];
        return true;
    }
    bool nackfragToWriter(RTPS::NAckFragData* n) override {
        g_sink = n->fragmentNumberState.numBits;
        return true;
    }
    bool decodeBuiltinData(RTPS::EntityId_t const&, uint8_t const* payload, uint32_t length,
                           RTPS::CacheChange*) override {
        touch(payload, length);
        return false;
    }
    RTPS::CacheChange* addChange(RTPS::EntityId_t&, RTPS::CacheChange* change) override {
        return keep(change) ? change : nullptr;
    }
    bool addChange(RTPS::CacheChange* change) override { return keep(change); }

    // Reads what was kept, after the datagram's parse, then lets it go.
    void release() {
        for (RTPS::CacheChange* c : kept) {
            touch(c->sampleInfo.data, c->sampleInfo.length);
            delete c;
        }
        kept.clear();
    }

private:
    bool keep(RTPS::CacheChange* change) {
        if ((++m_count & 1) != 0) {
            return false;
        }
        kept.push_back(change);
        return true;
    }
    unsigned m_count = 0;
    std::vector<RTPS::CacheChange*> kept;
};

uint8_t const OWN[12] = {0xAA, 0xAA, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    if (size > 65535) {
        return 0;
    }
    static Participant participant;
    static RTPS::MessageReceiver receiver(&participant, nullptr, OWN);
    receiver.parseMessage(RTPS::RTPSMessage::create(data, static_cast<uint16_t>(size)));
    participant.release();
    return 0;
}
