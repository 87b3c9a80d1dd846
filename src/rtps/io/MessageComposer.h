#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "rtps/wire/AckNAckData.h"
#include "rtps/writer/ChangeForReader.h"
#include "rtps/wire/EntityId.h"
#include "rtps/wire/GapData.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/HeartbeatData.h"
#include "rtps/wire/Locator.h"
#include "rtps/wire/MessageHeader.h"
#include "rtps/wire/NAckFragData.h"
#include "rtps/io/RTPSDataTransport.h"
#include "rtps/io/RTPSOutSocket.h"
#include "rtps/writer/ReaderProxy.h"
#include "rtps/wire/SubMessage.h"
#include "rtps/wire/SubMessagePool.h"
#include "rtps/io/TransportPriorityLevel.h"
#include "vexa/dds/BasicTypes.h"

namespace RTPS {

class CacheChange;

// Turns the protocol actions of a participant's writers and readers into datagrams: builds
// DATA, DATA_FRAG, HEARTBEAT, GAP, ACKNACK and NACK_FRAG, queues them per destination socket and
// packs each queue into as few datagrams as fit. Any thread may send to any socket; one thread
// at a time holds a socket's send role, packing its queue and handing the datagrams to the
// transport in queue order, while the others only queue and return: the holder looks at the
// queue again before it gives the role up, so whatever was queued meanwhile leaves with it, in
// as few datagrams as fit. No thread of its own.
//
// Every send operation returns at once on a null socket, and once the submessage pool is
// stopped it builds nothing; records it owns (GapData, AckNAckData, NAckFragData) are deleted
// on every path.
//
// Lock order: a socket's mutex, then the submessage pool's (a leaf); the send role is a mark
// under the socket's mutex that nobody waits for, so it orders nothing. Neither the socket's
// mutex nor the pool's is held while the transport takes a datagram. The socket list's mutex is
// held only around the transport's addSender and removeSender (then a socket's sender mutex
// and its mutex, each alone).
// A socket's sender mutex is held (shared) while a datagram is handed to the transport.
class MessageComposer {
public:
    // Half of it may wait in a socket's queue, so a stream packs up to 32 changes a datagram;
    // a builder's buffer is touched only as far as its submessage reaches.
    static constexpr unsigned int POOL_SIZE = 64;
    static constexpr uint16_t INFO_TS_SIZE = 12;

    // `transport` stays the caller's and must outlive the composer.
    MessageComposer(RTPSDataTransport* transport, uint8_t const* guidPrefix);
    // Drops whatever is still queued and deletes the sockets; no send may run any more.
    ~MessageComposer();

    MessageComposer(MessageComposer const&) = delete;
    MessageComposer& operator=(MessageComposer const&) = delete;

    // The socket for this destination (kind, port and address equal), made on first use with
    // a low-priority sender; one more use of it, which the caller ends with release. Null when
    // the transport gives no sender; GENERAL_DDSI_ERROR when it refuses the locator.
    RTPSOutSocket* getSocket(Locator_t& locator);
    // One use of the socket less (null is ignored); the last one removes its sender from the
    // transport and drops what is queued on it.
    static void release(RTPSOutSocket* socket);
    // Sockets that have a sender now.
    size_t openSocketCount();

    // Non-zero priorities go on the transport's high-priority queue.
    static TransportPriorityLevel adaptPriority(int priority) {
        return priority != 0 ? TRANSPORT_PRIORITY_HIGH : TRANSPORT_PRIORITY_LOW;
    }

    // The change as one DATA when it fits the socket's datagram, else as DATA_FRAGs: all of
    // them without a proxy, or with one only those the proxy marks REQUESTED (then marked
    // UNACKNOWLEDGED).
    //
    // With `flush` false a whole DATA, a key DATA, a HEARTBEAT or a GAP only joins the socket's
    // queue, so that what follows shares its datagram; the caller then calls sendMessage. The
    // queue is packed at once all the same while the pool runs low.
    void sendData(RTPSOutSocket* socket, EntityId_t readerId, ChangeForReader* change, int priority,
                  ReaderProxy* proxy, bool flush = true);
    // DATA_FRAG of fragment `index` (from 0) of a change already split by sendData.
    void sendDataFrag(RTPSOutSocket* socket, EntityId_t readerId, ChangeForReader* change,
                      uint32_t index, int priority);
    // A key-only DATA (the writer's instance handle) followed by the change's data.
    void sendKeyData(RTPSOutSocket* socket, EntityId_t readerId, ChangeForReader* change,
                     int priority, bool flush = true);
    // The record stays the caller's.
    void sendHEARTBEAT(RTPSOutSocket* socket, HeartbeatData* heartbeat, int priority,
                       bool flush = true);
    // These delete the record.
    void sendGAP(RTPSOutSocket* socket, GapData* gap, int priority, bool flush = true);
    void sendAckNAck(RTPSOutSocket* socket, AckNAckData* acknack, int priority);
    void sendNAckFrag(RTPSOutSocket* socket, NAckFragData* nackfrag, int priority);

    // Finalizes the submessage and queues it on the socket (which then owns it until packed).
    // A null socket gives the submessage back to the pool.
    void subMessageReady(SubMessage* submessage, RTPSOutSocket* socket);
    // Packs and sends what the socket has queued, unless another thread holds its send role:
    // that thread then sends it.
    void sendMessage(RTPSOutSocket* socket);

    // The 12 bytes of an INFO_TS: flags 0x01 with the time, or 0x03 (invalidate).
    static void buildTimestamp(uint8_t* out, bool valid, vexa::dds::Time_t time);

    // Bytes of inline QoS the change's DATA carries: key hash (24 with its sentinel) when it
    // is not all zeros, status info (+8, or 12 alone) when disposed or unregistered.
    static uint16_t countInlineQoSLength(CacheChange const* change);

    // The submessage pool, for waiters to be released at shutdown.
    SubMessagePool& pool() { return m_pool; }

private:
    // The pool's next submessage; null once it is stopped.
    SubMessage* take(SubmessageKind kind, int priority);
    // Writes the change's inline QoS into a DATA or DATA_FRAG.
    bool addInlineQoS(SubMessage* s, CacheChange const* change);
    // The whole change as one DATA, and its key-only DATA; false when it does not fit.
    bool fillData(SubMessage* s, EntityId_t readerId, CacheChange const* change);
    bool fillKeyData(SubMessage* s, EntityId_t readerId, CacheChange const* change);
    void drop(SubMessage* s, RTPSOutSocket* socket, char const* reason);
    // Queues a built submessage and sends what the socket holds; one that could not be built
    // is dropped with a log line.
    void queueAndSend(SubMessage* s, RTPSOutSocket* socket, bool built, char const* kind,
                      bool flush = true);
    void releaseSocket(RTPSOutSocket* socket);
    // Finalizes both and queues them together on the socket (not null).
    void queuePair(SubMessage* first, SubMessage* second, RTPSOutSocket* socket);

    RTPSDataTransport* const m_transport;
    uint8_t m_header[MESSAGE_HEADER_SIZE];
    SubMessagePool m_pool;
    std::mutex m_socketsMutex;
    std::vector<RTPSOutSocket*> m_sockets;
};

}  // namespace RTPS
