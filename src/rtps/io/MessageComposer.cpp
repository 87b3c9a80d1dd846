#include "rtps/io/MessageComposer.h"

#include <cstring>
#include <deque>
#include <memory>
#include <vector>
#include <shared_mutex>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/wire/KeyHash.h"
#include "rtps/wire/KeyOnlyPayload.h"
#include "rtps/wire/Parameter.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/wire/SubmessageElementKind.h"
#include "rtps/wire/SubmessageKind.h"
#include "rtps/io/TransportErrors.h"

namespace RTPS {

namespace {

// Fixed bytes in front of a DATA's payload in a datagram of its own: message header and DATA
// header, plus an INFO_TS when the change has a time; the same for the first DATA_FRAG.
constexpr uint32_t DATA_OVERHEAD = MESSAGE_HEADER_SIZE + DATA_HEADER_SIZE;
constexpr uint32_t DATA_FRAG_OVERHEAD = MESSAGE_HEADER_SIZE + DATA_FRAG_HEADER_SIZE;
// Bounds of a socket's datagram; the lower one leaves room for every fixed part.
constexpr uint32_t MIN_DATAGRAM_SIZE = 1000;

constexpr uint8_t STATUS_BITS = SAMPLE_DISPOSED | SAMPLE_UNREGISTERED;

bool hasTime(CacheChange const* c) {
    return c->sampleInfo.sourceTimestamp != vexa::dds::TIME_INVALID;
}

bool hasStatus(CacheChange const* c) {
    return (c->sampleInfo.statusFlags & STATUS_BITS) != 0;
}

// What goes on the wire: a built-in writer's packed record, or the serialized sample.
void payloadOf(CacheChange const* c, uint8_t const*& data, uint64_t& length) {
    if (c->writerGUID.entityId.entityKind >= ENTITYKIND_BUILTIN_FIRST) {
        data = c->packedData.data();
        length = c->packedData.size() < c->packedLength ? c->packedData.size() : c->packedLength;
    } else {
        data = static_cast<uint8_t const*>(c->sampleInfo.data);
        length = c->sampleInfo.length;
    }
    if (data == nullptr) {
        length = 0;
    }
}

// Largest payload that goes as one DATA in a datagram of its own.
uint32_t dataLimit(RTPSOutSocket const* socket, uint16_t inlineQos, bool timed) {
    return socket->getMaxDataSize() - inlineQos - DATA_OVERHEAD -
           (timed ? MessageComposer::INFO_TS_SIZE : 0);
}

void logFailure(RTPSOutSocket const* socket, char const* reason) {
    Locator_t const& l = socket->getLocator();
    vexalog::Logger::getLogger().logMessage(
        "MessageComposer::sendMessage", vexalog::Logger::SEV_WARNING, vexares::RTPS_MSG_SEND_FAILED,
        unsigned{l.address[12]}, unsigned{l.address[13]}, unsigned{l.address[14]},
        unsigned{l.address[15]}, unsigned{l.port}, reason);
}

}  // namespace

MessageComposer::MessageComposer(RTPSDataTransport* transport, uint8_t const* guidPrefix)
    : m_transport(transport), m_pool(POOL_SIZE) {
    uint8_t prefix[GUID_PREFIX_SIZE] = {};
    if (guidPrefix != nullptr) {
        std::memcpy(prefix, guidPrefix, GUID_PREFIX_SIZE);
    }
    writeMessageHeader(m_header, prefix);
}

MessageComposer::~MessageComposer() {
    for (RTPSOutSocket* s : m_sockets) {
        for (SubMessage* queued : s->m_queue) {
            m_pool.freeSubmessage(queued);
        }
        s->m_queue.clear();
        delete s;
    }
}

RTPSOutSocket* MessageComposer::getSocket(Locator_t& locator) {
    std::lock_guard<std::mutex> lock(m_socketsMutex);
    RTPSOutSocket* released = nullptr;
    for (RTPSOutSocket* s : m_sockets) {
        if (s->getLocator() == locator) {
            if (s->m_users != 0) {
                ++s->m_users;
                return s;
            }
            released = s;  // every user had gone: it needs a sender again
            break;
        }
    }
    if (m_transport == nullptr) {
        return nullptr;
    }
    RTPSSender* sender = nullptr;
    try {
        sender = m_transport->addSender(&locator, TRANSPORT_PRIORITY_LOW);
    } catch (...) {
        throw GENERAL_DDSI_ERROR("Ошибка добавления сендера");
    }
    if (sender == nullptr) {
        return nullptr;
    }
    if (released != nullptr) {
        std::unique_lock<std::shared_mutex> senderLock(released->m_senderMutex);
        released->m_sender = sender;
        released->m_users = 1;
        return released;
    }
    int max = m_transport->getMaxDataSize();
    uint32_t size = max < static_cast<int>(MIN_DATAGRAM_SIZE) ? MIN_DATAGRAM_SIZE
                    : max > MAX_DATAGRAM_SIZE                 ? MAX_DATAGRAM_SIZE
                                                              : static_cast<uint32_t>(max);
    auto* socket = new RTPSOutSocket(locator, sender, size, this);
    m_sockets.push_back(socket);
    return socket;
}

void MessageComposer::release(RTPSOutSocket* socket) {
    if (socket != nullptr && socket->m_owner != nullptr) {
        socket->m_owner->releaseSocket(socket);
    }
}

void MessageComposer::releaseSocket(RTPSOutSocket* socket) {
    std::lock_guard<std::mutex> lock(m_socketsMutex);
    if (socket->m_users == 0 || --socket->m_users != 0) {
        return;
    }
    RTPSSender* sender;
    {
        // Waits for a datagram being handed over; later ones find no sender and are dropped.
        std::unique_lock<std::shared_mutex> senderLock(socket->m_senderMutex);
        sender = socket->m_sender;
        socket->m_sender = nullptr;
    }
    std::deque<SubMessage*> queued;
    {
        std::lock_guard<std::mutex> queueLock(socket->m_mutex);
        queued.swap(socket->m_queue);
    }
    for (SubMessage* s : queued) {
        m_pool.freeSubmessage(s);
    }
    if (m_transport != nullptr && sender != nullptr) {
        m_transport->removeSender(sender);
    }
}

size_t MessageComposer::openSocketCount() {
    std::lock_guard<std::mutex> lock(m_socketsMutex);
    size_t open = 0;
    for (RTPSOutSocket* s : m_sockets) {
        open += s->m_users != 0 ? 1 : 0;
    }
    return open;
}

SubMessage* MessageComposer::take(SubmessageKind kind, int priority) {
    return m_pool.getSubmessage(kind, adaptPriority(priority));
}

void MessageComposer::drop(SubMessage* s, RTPSOutSocket* socket, char const* reason) {
    m_pool.freeSubmessage(s);
    logFailure(socket, reason);
}

void MessageComposer::queueAndSend(SubMessage* s, RTPSOutSocket* socket, bool built,
                                   char const* kind, bool flush) {
    if (!built) {
        drop(s, socket, kind);
        return;
    }
    subMessageReady(s, socket);
    // Held submessages are the pool's: half of it stays for the other senders.
    if (flush || m_pool.available() <= POOL_SIZE / 2) {
        sendMessage(socket);
    }
}

uint16_t MessageComposer::countInlineQoSLength(CacheChange const* change) {
    if (change == nullptr) {
        return 0;
    }
    bool key = !keyHashEmpty(change->sampleInfo.keyHash);
    bool status = hasStatus(change);
    if (key) {
        return status ? 32 : 24;
    }
    return status ? 12 : 0;
}

bool MessageComposer::addInlineQoS(SubMessage* s, CacheChange const* change) {
    if (!keyHashEmpty(change->sampleInfo.keyHash)) {
        uint8_t hash[KEY_HASH_SIZE];
        std::memcpy(hash, change->sampleInfo.keyHash, KEY_HASH_SIZE);
        Parameter p{PID_KEY_HASH, KEY_HASH_SIZE, hash};
        if (!s->addInlineQoSParameter(&p)) {
            return false;
        }
    }
    if (hasStatus(change)) {
        uint32_t flags = change->sampleInfo.statusFlags;
        uint8_t info[4] = {};
        info[0] = static_cast<uint8_t>(
            ((flags & SAMPLE_DISPOSED) != 0 ? STATUS_INFO_DISPOSED : 0) |
            ((flags & SAMPLE_UNREGISTERED) != 0 ? STATUS_INFO_UNREGISTERED : 0));
        Parameter p{PID_STATUS_INFO, 4, info};
        if (!s->addInlineQoSParameter(&p)) {
            return false;
        }
    }
    return true;
}

bool MessageComposer::fillData(SubMessage* s, EntityId_t readerId, CacheChange const* change) {
    uint8_t const* data = nullptr;
    uint64_t n = 0;
    payloadOf(change, data, n);
    uint16_t q = countInlineQoSLength(change);
    s->setFlags(FLAG_ENDIANNESS | DATA_FLAG_DATA | (q != 0 ? DATA_FLAG_INLINE_QOS : 0));
    EntityId_t writerId = change->writerGUID.entityId;
    SequenceNumber_t sn = change->sampleInfo.sequenceNumber;
    bool ok = n <= UINT16_MAX && s->addElement(ELEMENT_ENTITY_ID, &readerId, 4) &&
              s->addElement(ELEMENT_ENTITY_ID, &writerId, 4) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER, &sn, 8) && addInlineQoS(s, change) &&
              (n == 0 || s->addElement(ELEMENT_SERIALIZED_DATA, data, static_cast<uint16_t>(n)));
    if (ok && hasTime(change)) {
        s->setTimestamp(change->sampleInfo.sourceTimestamp.sec,
                        change->sampleInfo.sourceTimestamp.nanosec);
    }
    return ok;
}

void MessageComposer::sendData(RTPSOutSocket* socket, EntityId_t readerId, ChangeForReader* entry,
                               int priority, ReaderProxy* proxy, bool flush) {
    if (socket == nullptr || entry == nullptr || entry->change == nullptr) {
        return;
    }
    CacheChange const* change = entry->change;
    uint8_t const* data = nullptr;
    uint64_t n = 0;
    payloadOf(change, data, n);
    uint16_t q = countInlineQoSLength(change);
    bool timed = hasTime(change);
    uint32_t room = socket->getMaxDataSize() - q;

    if (n <= dataLimit(socket, q, timed)) {
        SubMessage* s = take(DATA, priority);
        if (s == nullptr) {
            return;
        }
        queueAndSend(s, socket, fillData(s, readerId, change), "DATA", flush);
        return;
    }
    // Fragments go one datagram each, after whatever was held.
    sendMessage(socket);

    if (!entry->isFragmented()) {
        uint32_t size = room - DATA_FRAG_OVERHEAD - (timed ? INFO_TS_SIZE : 0);
        uint64_t count = (n + size - 1) / size;
        if (count > UINT32_MAX || n > UINT32_MAX) {
            logFailure(socket, "DATA_FRAG");
            return;
        }
        entry->makeFragments(size, static_cast<uint32_t>(count));
    }
    for (uint32_t i = 0; i < entry->fragmentCount; ++i) {
        if (proxy != nullptr) {
            if (proxy->getFragmentStatus(entry, i) != REQUESTED) {
                continue;
            }
            proxy->setFragmentStatus(entry, i, UNACKNOWLEDGED);
        }
        sendDataFrag(socket, readerId, entry, i, priority);
    }
}

void MessageComposer::sendDataFrag(RTPSOutSocket* socket, EntityId_t readerId,
                                   ChangeForReader* entry, uint32_t index, int priority) {
    if (socket == nullptr || entry == nullptr || entry->change == nullptr ||
        index >= entry->fragmentCount || entry->fragmentSize == 0) {
        return;
    }
    CacheChange const* change = entry->change;
    uint8_t const* data = nullptr;
    uint64_t n = 0;
    payloadOf(change, data, n);
    uint64_t offset = uint64_t{index} * entry->fragmentSize;
    if (offset >= n || n > UINT32_MAX) {
        return;
    }
    uint64_t chunk = n - offset < entry->fragmentSize ? n - offset : entry->fragmentSize;
    bool first = index == 0;
    uint16_t q = first ? countInlineQoSLength(change) : 0;

    SubMessage* s = take(DATA_FRAG, priority);
    if (s == nullptr) {
        return;
    }
    s->setFlags(FLAG_ENDIANNESS | DATA_FLAG_DATA | (q != 0 ? DATA_FLAG_INLINE_QOS : 0));
    EntityId_t writerId = change->writerGUID.entityId;
    SequenceNumber_t sn = change->sampleInfo.sequenceNumber;
    uint32_t startingNum = index + 1;
    uint16_t inSubmessage = 1;
    uint16_t fragmentSize = static_cast<uint16_t>(entry->fragmentSize);
    uint32_t sampleSize = static_cast<uint32_t>(n);
    bool ok = s->addElement(ELEMENT_ENTITY_ID, &readerId, 4) &&
              s->addElement(ELEMENT_ENTITY_ID, &writerId, 4) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER, &sn, 8) &&
              s->addElement(ELEMENT_FRAGMENT_NUMBER, &startingNum, 4) &&
              s->addElement(ELEMENT_USHORT, &inSubmessage, 2) &&
              s->addElement(ELEMENT_USHORT, &fragmentSize, 2) &&
              s->addElement(ELEMENT_ULONG, &sampleSize, 4) && (!first || addInlineQoS(s, change)) &&
              s->addElement(ELEMENT_SERIALIZED_DATA, data + offset, static_cast<uint16_t>(chunk));
    if (!ok) {
        drop(s, socket, "DATA_FRAG");
        return;
    }
    if (first && hasTime(change)) {
        s->setTimestamp(change->sampleInfo.sourceTimestamp.sec,
                        change->sampleInfo.sourceTimestamp.nanosec);
    }
    subMessageReady(s, socket);
    sendMessage(socket);
    vexalog::Logger::getLogger().logMessage(
        "MessageComposer::sendDataFrag", vexalog::Logger::SEV_DEBUG_2,
        vexares::RTPS_MSG_FRAGMENT_SENT, unsigned{startingNum}, unsigned{sn.low});
}

bool MessageComposer::fillKeyData(SubMessage* s, EntityId_t readerId, CacheChange const* change) {
    uint16_t q = countInlineQoSLength(change);
    s->setFlags(FLAG_ENDIANNESS | DATA_FLAG_KEY | (q != 0 ? DATA_FLAG_INLINE_QOS : 0));
    EntityId_t writerId = change->writerGUID.entityId;
    SequenceNumber_t sn = change->sampleInfo.sequenceNumber;
    uint8_t key[KEY_ONLY_PAYLOAD_SIZE];
    writeKeyOnlyPayload(key, static_cast<uint32_t>(change->sampleInfo.instanceHandle));
    bool ok = s->addElement(ELEMENT_ENTITY_ID, &readerId, 4) &&
              s->addElement(ELEMENT_ENTITY_ID, &writerId, 4) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER, &sn, 8) && addInlineQoS(s, change) &&
              s->addElement(ELEMENT_SERIALIZED_DATA, key, KEY_ONLY_PAYLOAD_SIZE);
    // A change without a time sends none: a made-up one would reach the reader as valid.
    if (ok && hasTime(change)) {
        s->setTimestamp(change->sampleInfo.sourceTimestamp.sec,
                        change->sampleInfo.sourceTimestamp.nanosec);
    }
    return ok;
}

void MessageComposer::sendKeyData(RTPSOutSocket* socket, EntityId_t readerId,
                                  ChangeForReader* entry, int priority, bool flush) {
    if (socket == nullptr || entry == nullptr || entry->change == nullptr) {
        return;
    }
    CacheChange const* change = entry->change;
    uint8_t const* data = nullptr;
    uint64_t n = 0;
    payloadOf(change, data, n);
    bool const whole = n <= dataLimit(socket, countInlineQoSLength(change), hasTime(change));
    SubMessage* key = nullptr;
    SubMessage* s = nullptr;
    if (whole) {
        // A thread that held one submessage while it waited for another could, with enough
        // such threads, hold the whole pool and wait for good: the pair is taken at once.
        if (!m_pool.getSubmessagePair(DATA, adaptPriority(priority), key, s)) {
            return;
        }
    } else {
        key = take(DATA, priority);
        if (key == nullptr) {
            return;
        }
    }
    if (!fillKeyData(key, readerId, change)) {
        drop(key, socket, "DATA");
        if (s != nullptr) {
            m_pool.freeSubmessage(s);
        }
        return;
    }
    if (!whole) {
        subMessageReady(key, socket);
        // The key never shares a datagram with the first fragment; it goes now, so that no
        // submessage waits in the queue while the fragments wait for the pool.
        sendMessage(socket);
        sendData(socket, readerId, entry, priority, nullptr);
        return;
    }
    if (fillData(s, readerId, change)) {
        queuePair(key, s, socket);
    } else {
        subMessageReady(key, socket);
        drop(s, socket, "DATA");
    }
    if (flush || m_pool.available() <= POOL_SIZE / 2) {
        sendMessage(socket);
    }
}

void MessageComposer::sendHEARTBEAT(RTPSOutSocket* socket, HeartbeatData* hb, int priority,
                                    bool flush) {
    if (socket == nullptr || hb == nullptr) {
        return;
    }
    SubMessage* s = take(HEARTBEAT, priority);
    if (s == nullptr) {
        return;
    }
    s->setFlags(FLAG_ENDIANNESS | (hb->finalFlag ? HEARTBEAT_FLAG_FINAL : 0) |
                (hb->livelinessFlag ? HEARTBEAT_FLAG_LIVELINESS : 0));
    bool ok = s->addElement(ELEMENT_ENTITY_ID, &hb->readerId, 4) &&
              s->addElement(ELEMENT_ENTITY_ID, &hb->writerGUID.entityId, 4) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER, &hb->firstSN, 8) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER, &hb->lastSN, 8) &&
              s->addElement(ELEMENT_COUNT, &hb->count, 4);
    queueAndSend(s, socket, ok, "HEARTBEAT", flush);
}

void MessageComposer::sendGAP(RTPSOutSocket* socket, GapData* record, int priority, bool flush) {
    std::unique_ptr<GapData> gap(record);
    if (socket == nullptr || gap == nullptr) {
        return;
    }
    SubMessage* s = take(GAP, priority);
    if (s == nullptr) {
        return;
    }
    s->setFlags(FLAG_ENDIANNESS);
    bool ok = s->addElement(ELEMENT_ENTITY_ID, &gap->readerId, 4) &&
              s->addElement(ELEMENT_ENTITY_ID, &gap->writerGUID.entityId, 4) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER, &gap->gapStart, 8) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER_SET, &gap->gapList, 0);
    queueAndSend(s, socket, ok, "GAP", flush);
}

void MessageComposer::sendAckNAck(RTPSOutSocket* socket, AckNAckData* record, int priority) {
    std::unique_ptr<AckNAckData> an(record);
    if (socket == nullptr || an == nullptr) {
        return;
    }
    SubMessage* s = take(ACKNACK, priority);
    if (s == nullptr) {
        return;
    }
    s->setFlags(FLAG_ENDIANNESS | (an->finalFlag ? ACKNACK_FLAG_FINAL : 0));
    bool ok = s->addElement(ELEMENT_ENTITY_ID, &an->readerGUID.entityId, 4) &&
              s->addElement(ELEMENT_ENTITY_ID, &an->writerGUID.entityId, 4) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER_SET, &an->readerSNState, 0) &&
              s->addElement(ELEMENT_COUNT, &an->count, 4);
    queueAndSend(s, socket, ok, "ACKNACK");
}

void MessageComposer::sendNAckFrag(RTPSOutSocket* socket, NAckFragData* record, int priority) {
    std::unique_ptr<NAckFragData> nf(record);
    if (socket == nullptr || nf == nullptr) {
        return;
    }
    SubMessage* s = take(NACK_FRAG, priority);
    if (s == nullptr) {
        return;
    }
    s->setFlags(FLAG_ENDIANNESS);
    bool ok = s->addElement(ELEMENT_ENTITY_ID, &nf->readerGUID.entityId, 4) &&
              s->addElement(ELEMENT_ENTITY_ID, &nf->writerGUID.entityId, 4) &&
              s->addElement(ELEMENT_SEQUENCE_NUMBER, &nf->writerSN, 8) &&
              s->addElement(ELEMENT_FRAGMENT_NUMBER_SET, &nf->fragmentNumberState, 0) &&
              s->addElement(ELEMENT_COUNT, &nf->count, 4);
    queueAndSend(s, socket, ok, "NACK_FRAG");
}

void MessageComposer::subMessageReady(SubMessage* submessage, RTPSOutSocket* socket) {
    if (submessage == nullptr) {
        return;
    }
    if (socket == nullptr) {
        m_pool.freeSubmessage(submessage);
        return;
    }
    submessage->finalize();
    std::lock_guard<std::mutex> lock(socket->m_mutex);
    socket->m_queue.push_back(submessage);
}

void MessageComposer::queuePair(SubMessage* first, SubMessage* second, RTPSOutSocket* socket) {
    first->finalize();
    second->finalize();
    std::lock_guard<std::mutex> lock(socket->m_mutex);
    socket->m_queue.push_back(first);
    socket->m_queue.push_back(second);
}

void MessageComposer::buildTimestamp(uint8_t* out, bool valid, vexa::dds::Time_t time) {
    out[0] = INFO_TS;
    out[1] = valid ? FLAG_ENDIANNESS : FLAG_ENDIANNESS | INFO_TS_FLAG_INVALIDATE;
    out[2] = 8;
    out[3] = 0;
    if (!valid) {
        time = vexa::dds::TIME_INVALID;
    }
    uint32_t sec = static_cast<uint32_t>(time.sec);
    for (int i = 0; i < 4; ++i) {
        out[4 + i] = static_cast<uint8_t>(sec >> (8 * i));
        out[8 + i] = static_cast<uint8_t>(time.nanosec >> (8 * i));
    }
}

void MessageComposer::sendMessage(RTPSOutSocket* socket) {
    if (socket == nullptr || m_transport == nullptr) {
        return;
    }
    {
        // One thread at a time packs and hands over a socket's datagrams, so they leave in the
        // order they were queued; a thread that finds the role taken leaves its submessages to
        // the holder, which looks at the queue again before it gives the role up.
        std::lock_guard<std::mutex> lock(socket->m_mutex);
        if (socket->m_sending || socket->m_queue.empty()) {
            return;
        }
        socket->m_sending = true;
    }
    for (;;) {
        TransportBuffer* buffer = m_transport->getTransportBuffer();
        std::unique_lock<std::mutex> lock(socket->m_mutex);
        if (buffer == nullptr || socket->m_queue.empty()) {
            // Without a buffer the transport is going away; what is queued stays queued.
            socket->m_sending = false;
            lock.unlock();
            m_transport->freeTransportBuffer(buffer);
            return;
        }
        uint8_t* out = buffer->data;
        uint32_t const limit = socket->getMaxDataSize();
        std::memcpy(out, m_header, MESSAGE_HEADER_SIZE);
        uint32_t used = MESSAGE_HEADER_SIZE;
        uint8_t* last = nullptr;
        TransportPriorityLevel const priority = socket->m_queue.front()->getPriority();
        // The time announced so far in this datagram; none at its start.
        bool announced = false;
        vexa::dds::Time_t announcedTime = vexa::dds::TIME_INVALID;
        std::vector<SubMessage*>& packed = socket->m_packed;
        packed.clear();

        while (!socket->m_queue.empty()) {
            SubMessage* s = socket->m_queue.front();
            if (s->getPriority() != priority) {
                break;
            }
            uint32_t length = s->getLength();
            bool data = s->getKind() == DATA || s->getKind() == DATA_FRAG;
            vexa::dds::Time_t t{s->getTimestampSec(), s->getTimestampNanosec()};
            bool newTime =
                data && (s->hasTimestamp() ? !announced || announcedTime != t : announced);
            uint32_t need = length + (newTime ? INFO_TS_SIZE : 0);
            if (need > limit - used) {
                if (used > MESSAGE_HEADER_SIZE) {
                    break;
                }
                // Fits no datagram of this socket: it would block the queue for good.
                socket->m_queue.pop_front();
                packed.push_back(s);
                logFailure(socket, "submessage");
                continue;
            }
            if (newTime) {
                buildTimestamp(out + used, s->hasTimestamp(), t);
                used += INFO_TS_SIZE;
                announced = s->hasTimestamp();
                announcedTime = announced ? t : vexa::dds::TIME_INVALID;
            }
            std::memcpy(out + used, s->getData(), length);
            last = out + used;
            used += length;
            socket->m_queue.pop_front();
            packed.push_back(s);
        }
        lock.unlock();
        m_pool.freeSubmessages(packed);

        if (last == nullptr) {
            m_transport->freeTransportBuffer(buffer);
            continue;
        }
        // The last submessage runs to the end of the datagram.
        last[2] = 0;
        last[3] = 0;
        buffer->length = static_cast<uint16_t>(used);
        std::shared_lock<std::shared_mutex> senderLock(socket->m_senderMutex);
        if (socket->m_sender == nullptr) {
            m_transport->freeTransportBuffer(buffer);  // released: nobody listens there now
            continue;
        }
        try {
            socket->m_sender->sendData(buffer, priority);
        } catch (std::exception const&) {
            m_transport->freeTransportBuffer(buffer);
            logFailure(socket, "sendData");
        }
    }
}

}  // namespace RTPS
