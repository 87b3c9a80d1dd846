// Walks any datagram as the receiver does and views every submessage.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtps/wire/DatagramWalker.h"
#include "rtps/wire/MessageHeader.h"
#include "rtps/wire/ParameterList.h"
#include "rtps/wire/RTPSMessage.h"
#include "rtps/wire/SubMessage.h"
#include "rtps/wire/SubmessageDecoder.h"
#include "rtps/wire/SubmessageKind.h"

namespace {

// Touches what a decoder returned, so that reads of bad pointers show up.
volatile uint32_t g_sink;

void touch(uint8_t const* p, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += p[i];
    }
    g_sink = sum;
}

void view(RTPS::SubmessageSpan const& s) {
    RTPS::SubMessage whole(s.data, s.length);
    g_sink = whole.getKind() + whole.getFlags();
    switch (s.kind) {
        case RTPS::ACKNACK: {
            RTPS::AckNackFields f;
            if (RTPS::decodeAckNack(s, f)) {
                g_sink = f.readerSNState.bitmap[(f.readerSNState.numBits / 32) % 8];
            }
            break;
        }
        case RTPS::HEARTBEAT: {
            RTPS::HeartbeatFields f;
            if (RTPS::decodeHeartbeat(s, f)) {
                g_sink = f.count;
            }
            break;
        }
        case RTPS::GAP: {
            RTPS::GapFields f;
            if (RTPS::decodeGap(s, f)) {
                g_sink = f.gapList.numBits;
            }
            break;
        }
        case RTPS::INFO_TS: {
            RTPS::InfoTsFields f;
            if (RTPS::decodeInfoTs(s, f)) {
                g_sink = f.nanosec;
            }
            break;
        }
        case RTPS::NACK_FRAG: {
            RTPS::NackFragFields f;
            if (RTPS::decodeNackFrag(s, f)) {
                g_sink = f.fragmentNumberState.numBits;
            }
            break;
        }
        case RTPS::DATA:
        case RTPS::DATA_FRAG: {
            RTPS::DataFields f;
            if (RTPS::decodeData(s, f)) {
                touch(f.inlineQos, f.inlineQosLength);
                touch(f.payload, f.payloadLength);
                if (f.inlineQos != nullptr) {
                    // The receiver's own walk of the same list must agree on its size.
                    std::vector<RTPS::Parameter*> params;
                    unsigned size = RTPS::parseParameterList(const_cast<uint8_t*>(f.inlineQos),
                                                             f.inlineQosLength, &params);
                    if (size != f.inlineQosLength) {
                        __builtin_trap();
                    }
                    for (RTPS::Parameter* p : params) {
                        touch(p->value, p->length);
                        delete p;
                    }
                }
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    if (size > 65535) {
        return 0;
    }
    // The receiver parses its own copy of the datagram.
    auto* message = RTPS::RTPSMessage::create(data, static_cast<uint16_t>(size));
    RTPS::MessageHeader header;
    if (RTPS::parseMessageHeader(message->getData(), message->getLength(), header)) {
        RTPS::DatagramWalker walker(message->getData(), message->getLength());
        RTPS::SubmessageSpan s;
        while (walker.next(s)) {
            view(s);
        }
    }
    if (message->isFreeAfterParsing()) {
        delete message;
    }
    return 0;
}
