#include "rtps/io/MessageReceiver.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include "common/log/Logger.h"
#include "common/os/OsThread.h"
#include "common/res/RtpsMessages.h"
#include "rtps/wire/AckNAckData.h"
#include "rtps/wire/ByteCursor.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/ReceiveBatch.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/wire/DatagramWalker.h"
#include "rtps/wire/GapData.h"
#include "rtps/wire/HeartbeatData.h"
#include "rtps/wire/KeyHash.h"
#include "rtps/wire/MessageHeader.h"
#include "rtps/wire/NAckFragData.h"
#include "rtps/wire/Parameter.h"
#include "rtps/participant/Participant.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/wire/SubmessageDecoder.h"
#include "rtps/wire/SubmessageKind.h"

namespace RTPS {

namespace {

constexpr char const* MODULE = "MessageReceiver::parserWorker";

vexalog::Logger& logger() {
    return vexalog::Logger::getLogger();
}

unsigned prefixWord(uint8_t const* prefix, int i) {
    uint32_t v;
    std::memcpy(&v, prefix + 4 * i, 4);
    return v;
}

// Why a DATA_FRAG cannot be placed in any sample; null when it can.
char const* fragmentFault(DataFields const& f, uint32_t maxSampleSize) {
    if (f.fragmentStartingNum == 0) {
        return "DATA_FRAG: номер первого фрагмента 0";
    }
    if (f.fragmentSize == 0) {
        return "DATA_FRAG: размер фрагмента 0";
    }
    if (f.fragmentsInSubmessage == 0) {
        return "DATA_FRAG: число фрагментов 0";
    }
    if (f.sampleSize == 0 || f.sampleSize > maxSampleSize ||
        f.sampleSize > CacheChange::MAX_SAMPLE_SIZE) {
        return "DATA_FRAG: неверный размер сэмпла";
    }
    uint64_t offset = uint64_t{f.fragmentStartingNum - 1} * f.fragmentSize;
    if (offset >= f.sampleSize) {
        return "DATA_FRAG: фрагмент за концом сэмпла";
    }
    if (f.payloadLength > uint64_t{f.fragmentsInSubmessage} * f.fragmentSize ||
        offset + f.payloadLength > f.sampleSize) {
        return "DATA_FRAG: данных больше, чем во фрагментах";
    }
    return nullptr;
}

}  // namespace

MessageReceiver::MessageReceiver(Participant* participant, RTPSDataTransport* transport,
                                 uint8_t const* guidPrefix, uint32_t idleWaitMs,
                                 uint32_t maxSampleSize, size_t maxQueuedBytes)
    : m_participant(participant),
      m_transport(transport),
      m_idleWaitMs(idleWaitMs),
      m_maxSampleSize(maxSampleSize),
      m_maxQueuedBytes(maxQueuedBytes) {
    if (guidPrefix != nullptr) {
        std::memcpy(m_guidPrefix, guidPrefix, GUID_PREFIX_SIZE);
    }
}

MessageReceiver::~MessageReceiver() {
    stop();
    for (RTPSMessage* m : m_queue) {
        delete m;
    }
    for (RTPSInSocket* s : m_inSockets) {
        delete s;
    }
}

bool MessageReceiver::start() {
    if (m_started) {
        return false;
    }
    m_running = true;
    char error[256] = {};
    m_thread =
        vexa::OsStartNewThread(&MessageReceiver::parserEntry, this, 1, 0, error, sizeof error);
    if (m_thread == 0) {
        m_running = false;
        return false;
    }
    m_started = true;
    return true;
}

void MessageReceiver::stop() {
    if (!m_started) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_running = false;
    }
    m_wake.notify_all();
    vexa::OsKillThread(m_thread);
    m_started = false;
    // A datagram being parsed on a transport thread is finished; none starts after this.
    std::unique_lock<std::mutex> lock(m_queueMutex);
    m_parsed.wait(lock, [this] { return !m_parsing; });
}

void MessageReceiver::parserEntry(void* self) {
    static_cast<MessageReceiver*>(self)->parserWorker();
}

void MessageReceiver::parserWorker() {
    std::unique_lock<std::mutex> lock(m_queueMutex);
    while (m_running) {
        if (m_queue.empty() || m_parsing) {
            // A thread that parses in its own call wakes this one when it leaves work behind.
            m_wake.wait_for(lock, std::chrono::milliseconds(m_idleWaitMs),
                            [this] { return !m_running || (!m_queue.empty() && !m_parsing); });
            continue;
        }
        RTPSMessage* message = m_queue.front();
        m_queue.pop_front();
        m_queuedBytes -= message->getLength();
        m_parsing = true;
        lock.unlock();
        parseMessage(message);
        lock.lock();
        m_parsing = false;
    }
}

bool MessageReceiver::receiveMessage(void const* data, uint16_t length) {
    if (data == nullptr || length < MIN_DATAGRAM_SIZE) {
        return false;
    }
    RTPSMessage* message = RTPSMessage::create(data, length);
    bool drop = false;
    bool firstDropped = false;
    size_t queued = 0;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (!m_running || m_parsing || !m_queue.empty()) {
            if (m_queuedBytes + length <= m_maxQueuedBytes) {
                // Behind what waits or is being parsed. No wake is needed: the parser thread
                // looks at the queue after its own datagram (and when it starts), and a caller
                // that parses wakes it on leaving.
                m_queue.push_back(message);
                m_queuedBytes += length;
                m_dropping = false;
                return true;
            }
            drop = true;
            firstDropped = !m_dropping;
            m_dropping = true;
            queued = m_queuedBytes;
            ++m_dropped;
        } else {
            m_dropping = false;
            m_parsing = true;
        }
    }
    if (drop) {
        delete message;
        if (firstDropped) {
            logger().logMessage("MessageReceiver::receiveMessage", vexalog::Logger::SEV_WARNING,
                                vexares::RTPS_MSG_RECEIVER_QUEUE_FULL,
                                static_cast<unsigned long long>(queued), unsigned{length},
                                static_cast<unsigned long long>(m_dropped.load()));
        }
        return false;
    }
    parseMessage(message);
    std::lock_guard<std::mutex> lock(m_queueMutex);
    m_parsing = false;
    if (!m_queue.empty()) {
        m_wake.notify_one();
    }
    if (!m_running) {
        m_parsed.notify_all();
    }
    return true;
}

size_t MessageReceiver::queuedMessages() const {
    std::lock_guard<std::mutex> lock(m_queueMutex);
    return m_queue.size();
}

size_t MessageReceiver::queuedBytes() const {
    std::lock_guard<std::mutex> lock(m_queueMutex);
    return m_queuedBytes;
}

void MessageReceiver::parseMessage(RTPSMessage* message) {
    if (message == nullptr) {
        return;
    }
    Context ctx;
    ctx.message = message;
    // Parses run one at a time, so they take turns with one list and its capacity.
    ctx.changes.swap(m_changes);
    unsigned length = message->getLength();
    // The datagram's changes reach the user as one batch, settled when this call ends
    // whichever way it ends.
    ReceiveBatch batch;
    try {
        parse(ctx);
        deliver(ctx);
        ctx.changes.clear();
        ctx.changes.swap(m_changes);
        return;
    } catch (std::exception const& e) {
        logger().logMessage(MODULE, vexalog::Logger::SEV_ERROR, vexares::RTPS_MSG_PARSER_FAILED,
                            length, e.what());
    } catch (...) {
        logger().logMessage(MODULE, vexalog::Logger::SEV_ERROR, vexares::RTPS_MSG_PARSER_FAILED,
                            length, "?");
    }
    // What was not handed on goes. A message that some change references goes with the last
    // of them, so whether to delete it is asked first.
    bool freeMessage = ctx.message != nullptr && ctx.message->isFreeAfterParsing();
    for (CacheChange* c : ctx.changes) {
        delete c;
    }
    ctx.changes.clear();
    ctx.changes.swap(m_changes);
    if (freeMessage) {
        delete ctx.message;
    }
}

void MessageReceiver::parse(Context& ctx) {
    RTPSMessage* message = ctx.message;
    MessageHeader header;
    if (!parseMessageHeader(message->getData(), message->getLength(), header) ||
        !isSupportedVersion(header)) {
        logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG, vexares::RTPS_MSG_DATAGRAM_DROPPED,
                            unsigned{message->getLength()}, "не RTPS 2.2");
        ctx.message = nullptr;
        delete message;
        return;
    }
    if (prefixEq(header.guidPrefix, m_guidPrefix)) {
        // One of the participant's own datagrams, looped back.
        ctx.message = nullptr;
        delete message;
        return;
    }
    std::memcpy(ctx.sourcePrefix, header.guidPrefix, GUID_PREFIX_SIZE);
    if (m_participant != nullptr) {
        m_participant->participantAlive(ctx.sourcePrefix);
    }
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_DATAGRAM_ACCEPTED,
                        unsigned{message->getLength()}, prefixWord(ctx.sourcePrefix, 0),
                        prefixWord(ctx.sourcePrefix, 1), prefixWord(ctx.sourcePrefix, 2));

    DatagramWalker walker(message->getData(), message->getLength());
    SubmessageSpan s;
    while (walker.next(s)) {
        ++ctx.ordinal;
        logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_SUBMESSAGE,
                            unsigned{s.kind}, ctx.ordinal);
        switch (s.kind) {
            case ACKNACK:
                parseAckNack(s, ctx);
                break;
            case HEARTBEAT:
                parseHeartbeat(s, ctx);
                break;
            case GAP:
                parseGap(s, ctx);
                break;
            case INFO_TS:
                parseTimestamp(s, ctx);
                break;
            case NACK_FRAG:
                parseNackFrag(s, ctx);
                break;
            case DATA:
            case DATA_FRAG:
                parseData(s, ctx);
                break;
            default:
                break;
        }
    }
    if (walker.malformed()) {
        logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG, vexares::RTPS_MSG_DATAGRAM_DROPPED,
                            unsigned{message->getLength()},
                            "длина подсообщения за концом датаграммы");
    }
}

void MessageReceiver::deliver(Context& ctx) {
    if (ctx.message == nullptr) {
        return;
    }
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_DATAGRAM_PARSED,
                        static_cast<unsigned>(ctx.changes.size()));
    if (ctx.message->isFreeAfterParsing()) {
        delete ctx.message;
    }
    ctx.message = nullptr;
    // From here on a change is the participant's once handed over; those not yet handed over
    // stay in ctx.changes for the failure path.
    for (size_t i = 0; i < ctx.changes.size(); ++i) {
        CacheChange* change = ctx.changes[i];
        ctx.changes[i] = nullptr;
        unsigned sn = change->sampleInfo.sequenceNumber.low;
        EntityId_t readerId = change->readerId;
        if (m_participant == nullptr) {
            delete change;
            continue;
        }
        if (readerId != _ENTITYID_UNKNOWN) {
            logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_CHANGE_TO_READER, sn,
                                unsigned{entityIdToU32(readerId)});
            if (m_participant->addChange(readerId, change) != change) {
                delete change;
            }
        } else if (change->writerGUID.entityId == _ENTITYID_SPDP_BUILTIN_PARTICIPANT_WRITER) {
            logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_CHANGE_TO_SPDP_READER, sn);
            EntityId_t spdpReader = _ENTITYID_SPDP_BUILTIN_PARTICIPANT_READER;
            if (m_participant->addChange(spdpReader, change) != change) {
                delete change;
            }
        } else {
            logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                                vexares::RTPS_MSG_CHANGE_TO_MATCHED_READERS, sn,
                                unsigned{entityIdToU32(change->writerGUID.entityId)});
            if (!m_participant->addChange(change)) {
                delete change;
            }
        }
    }
}

void MessageReceiver::dropped(SubmessageSpan const& s, Context const& ctx,
                              char const* reason) const {
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG, vexares::RTPS_MSG_SUBMESSAGE_DROPPED,
                        unsigned{s.kind}, ctx.ordinal, reason);
}

void MessageReceiver::parseTimestamp(SubmessageSpan const& s, Context& ctx) {
    InfoTsFields f;
    if (!decodeInfoTs(s, f)) {
        dropped(s, ctx, "INFO_TS короче 12 байт");
        return;
    }
    ctx.hasTimestamp = !f.invalidate;
    ctx.timestamp = f.invalidate ? vexa::dds::TIME_INVALID : vexa::dds::Time_t{f.sec, f.nanosec};
}

void MessageReceiver::parseHeartbeat(SubmessageSpan const& s, Context& ctx) {
    HeartbeatFields f;
    if (!decodeHeartbeat(s, f)) {
        dropped(s, ctx, "HEARTBEAT короче 32 байт");
        return;
    }
    HeartbeatData hb;
    hb.readerId = f.readerId;
    std::memcpy(hb.writerGUID.guidPrefix, ctx.sourcePrefix, GUID_PREFIX_SIZE);
    hb.writerGUID.entityId = f.writerId;
    hb.finalFlag = f.final;
    hb.livelinessFlag = f.liveliness;
    hb.firstSN = f.firstSN;
    hb.lastSN = f.lastSN;
    hb.count = f.count;
    unsigned readers = m_participant != nullptr ? m_participant->heartbeatToReaders(&hb) : 0;
    logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_HEARTBEAT_DELIVERED,
                        unsigned{entityIdToU32(f.writerId)}, unsigned{entityIdToU32(f.readerId)},
                        readers);
}

void MessageReceiver::parseGap(SubmessageSpan const& s, Context& ctx) {
    GapFields f;
    if (!decodeGap(s, f)) {
        dropped(s, ctx, "GAP неполный или множество больше 256 бит");
        return;
    }
    GapData gap;
    gap.readerId = f.readerId;
    std::memcpy(gap.writerGUID.guidPrefix, ctx.sourcePrefix, GUID_PREFIX_SIZE);
    gap.writerGUID.entityId = f.writerId;
    gap.gapStart = f.gapStart;
    gap.gapList = f.gapList;
    if (m_participant != nullptr) {
        m_participant->gapToReader(&gap);
    }
}

void MessageReceiver::declareOversizedLost(DataFields const& f, Context const& ctx) {
    GapData gap;
    gap.readerId = f.readerId;
    std::memcpy(gap.writerGUID.guidPrefix, ctx.sourcePrefix, GUID_PREFIX_SIZE);
    gap.writerGUID.entityId = f.writerId;
    gap.gapStart = f.writerSN;
    gap.gapList.bitmapBase = f.writerSN + 1;
    gap.gapList.numBits = 0;
    if (gap.writerGUID != m_lastLostWriter || f.writerSN != m_lastLostSN) {
        m_lastLostWriter = gap.writerGUID;
        m_lastLostSN = f.writerSN;
        uint8_t const* g = reinterpret_cast<uint8_t const*>(&gap.writerGUID);
        char writer[40];
        std::snprintf(writer, sizeof writer,
                      "%02x%02x%02x%02x %02x%02x%02x%02x %02x%02x%02x%02x %02x%02x%02x%02x", g[0],
                      g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10], g[11], g[12],
                      g[13], g[14], g[15]);
        logger().logMessage(MODULE, vexalog::Logger::SEV_WARNING,
                            vexares::RTPS_MSG_OVERSIZED_CHANGE_LOST, int{f.writerSN.high},
                            unsigned{f.writerSN.low}, writer, unsigned{f.sampleSize},
                            unsigned{m_maxSampleSize});
    }
    if (m_participant != nullptr) {
        m_participant->gapToReader(&gap);
    }
}

void MessageReceiver::parseAckNack(SubmessageSpan const& s, Context& ctx) {
    AckNackFields f;
    if (!decodeAckNack(s, f)) {
        dropped(s, ctx, "ACKNACK неполный или множество больше 256 бит");
        return;
    }
    AckNAckData an;
    an.finalFlag = f.final;
    std::memcpy(an.readerGUID.guidPrefix, ctx.sourcePrefix, GUID_PREFIX_SIZE);
    an.readerGUID.entityId = f.readerId;
    std::memcpy(an.writerGUID.guidPrefix, m_guidPrefix, GUID_PREFIX_SIZE);
    an.writerGUID.entityId = f.writerId;
    an.readerSNState = f.readerSNState;
    an.count = f.count;
    if (m_participant != nullptr) {
        m_participant->acknackToWriter(&an);
    }
}

void MessageReceiver::parseNackFrag(SubmessageSpan const& s, Context& ctx) {
    NackFragFields f;
    if (!decodeNackFrag(s, f)) {
        dropped(s, ctx, "NACK_FRAG неполный или множество больше 256 бит");
        return;
    }
    NAckFragData nf;
    std::memcpy(nf.readerGUID.guidPrefix, ctx.sourcePrefix, GUID_PREFIX_SIZE);
    nf.readerGUID.entityId = f.readerId;
    std::memcpy(nf.writerGUID.guidPrefix, m_guidPrefix, GUID_PREFIX_SIZE);
    nf.writerGUID.entityId = f.writerId;
    nf.writerSN = f.writerSN;
    nf.fragmentNumberState = f.fragmentNumberState;
    nf.count = f.count;
    if (m_participant != nullptr) {
        m_participant->nackfragToWriter(&nf);
    }
}

void MessageReceiver::parseData(SubmessageSpan const& s, Context& ctx) {
    DataFields f;
    if (!decodeData(s, f)) {
        dropped(s, ctx, "DATA неполный или список параметров без конца");
        return;
    }
    if (f.fragment) {
        if (char const* fault = fragmentFault(f, m_maxSampleSize)) {
            dropped(s, ctx, fault);
            if (f.sampleSize > m_maxSampleSize) {
                declareOversizedLost(f, ctx);
            }
            return;
        }
    }
    if (f.readerId != _ENTITYID_UNKNOWN &&
        (m_participant == nullptr || !m_participant->hasReader(f.readerId))) {
        return;
    }

    GUID_t writer;
    std::memcpy(writer.guidPrefix, ctx.sourcePrefix, GUID_PREFIX_SIZE);
    writer.entityId = f.writerId;
    bool const builtinWriter = f.writerId.entityKind >= ENTITYKIND_BUILTIN_FIRST;
    uint8_t const kd = f.flags & (DATA_FLAG_DATA | DATA_FLAG_KEY);
    bool const withData = f.fragment || kd == DATA_FLAG_DATA;
    bool const keyOnly = !f.fragment && kd == DATA_FLAG_KEY;

    uint32_t statusFlags = SAMPLE_ALIVE;
    if (f.hasStatusInfo) {
        statusFlags = ((f.statusInfo & STATUS_INFO_DISPOSED) != 0 ? SAMPLE_DISPOSED : 0) |
                      ((f.statusInfo & STATUS_INFO_UNREGISTERED) != 0 ? SAMPLE_UNREGISTERED : 0);
    }

    // Attaches the payload of this submessage to a change.
    auto attachPayload = [&](CacheChange* change) {
        if (!withData || f.payloadLength == 0) {
            return;
        }
        if (f.fragment || !builtinWriter) {
            change->setData(const_cast<uint8_t*>(f.payload), f.payloadLength);
            change->attachMessage(ctx.message);
            if (!f.fragment) {
                logger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG_2,
                                    vexares::RTPS_MSG_USER_SAMPLE_RECEIVED,
                                    unsigned{f.writerSN.low}, unsigned{f.payloadLength});
            }
        } else if (m_participant != nullptr) {
            m_participant->decodeBuiltinData(f.writerId, f.payload, f.payloadLength, change);
        }
    };

    // The other half of a keyed sample sent in the same datagram (DATA only: fragments are
    // put together by the reader).
    if (!f.fragment) {
        for (CacheChange* c : ctx.changes) {
            if (c->fragmentsInSubmessage != 0 || c->writerGUID != writer ||
                c->sampleInfo.sequenceNumber != f.writerSN || c->readerId != f.readerId) {
                continue;
            }
            if (f.hasKeyHash && keyHashEmpty(c->sampleInfo.keyHash)) {
                std::memcpy(c->sampleInfo.keyHash, f.keyHash, KEY_HASH_SIZE);
            }
            if (withData && c->completeness == 1) {
                attachPayload(c);
                c->completeness = 3;
            } else if (keyOnly && c->completeness == 2) {
                c->sampleInfo.instanceHandle = static_cast<int32_t>(f.instanceHandle);
                c->completeness = 3;
            }
            if (c->sampleInfo.statusFlags == SAMPLE_ALIVE && statusFlags != SAMPLE_ALIVE) {
                c->sampleInfo.statusFlags = statusFlags;
            }
            if (c->sampleInfo.sourceTimestamp == vexa::dds::TIME_INVALID && ctx.hasTimestamp) {
                c->sampleInfo.sourceTimestamp = ctx.timestamp;
            }
            return;
        }
    }

    SampleInfo info{};
    if (f.hasKeyHash) {
        std::memcpy(info.keyHash, f.keyHash, KEY_HASH_SIZE);
    }
    info.instanceHandle = keyOnly ? static_cast<int32_t>(f.instanceHandle) : 0;
    info.statusFlags = statusFlags;
    info.sourceTimestamp = ctx.hasTimestamp ? ctx.timestamp : vexa::dds::TIME_INVALID;
    info.data = nullptr;
    info.length = 0;
    info.sequenceNumber = f.writerSN;

    std::unique_ptr<CacheChange> change(new CacheChange(writer, &info));
    change->setSequenceNumber(f.writerSN);
    change->payloadKind = OWNER_RECEIVED;
    change->completeness = (f.flags & DATA_FLAG_KEY) != 0 && !f.fragment ? 1 : 2;
    change->readerId = f.readerId;
    if (f.fragment) {
        change->fragmentStartingNum = f.fragmentStartingNum;
        change->fragmentsInSubmessage = f.fragmentsInSubmessage;
        change->fragmentSize = f.fragmentSize;
        change->sampleSize = f.sampleSize;
    }
    attachPayload(change.get());
    ctx.changes.push_back(change.get());
    change.release();
}

bool MessageReceiver::sharedLocator(Locator_t const& a, Locator_t const& b) {
    if (a == b) {
        return true;
    }
    return a.address[12] == 239 && almost_eq(a, b);
}

RTPSInSocket* MessageReceiver::addReceiver(Locator_t& locator) {
    std::lock_guard<std::mutex> lock(m_socketsMutex);
    for (RTPSInSocket* s : m_inSockets) {
        if (sharedLocator(s->getLocator(), locator)) {
            ++s->m_useCount;
            return s;
        }
    }
    if (m_transport == nullptr) {
        return nullptr;
    }
    RTPSReceiver* receiver = nullptr;
    try {
        receiver = m_transport->addReceiver(&locator);
    } catch (...) {
        throw GENERAL_DDSI_ERROR("Ошибка добавления ресивера");
    }
    if (receiver == nullptr) {
        return nullptr;
    }
    auto* socket = new RTPSInSocket(locator, receiver);
    m_inSockets.push_back(socket);
    return socket;
}

void MessageReceiver::removeReceiver(Locator_t& locator) {
    std::lock_guard<std::mutex> lock(m_socketsMutex);
    for (auto it = m_inSockets.begin(); it != m_inSockets.end(); ++it) {
        if (sharedLocator((*it)->getLocator(), locator)) {
            if ((*it)->m_useCount > 1) {
                --(*it)->m_useCount;
            } else {
                delete *it;
                m_inSockets.erase(it);
            }
            return;
        }
    }
}

size_t MessageReceiver::inSocketCount() const {
    std::lock_guard<std::mutex> lock(m_socketsMutex);
    return m_inSockets.size();
}

}  // namespace RTPS
