#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "rtps/wire/Guid.h"
#include "rtps/wire/Locator.h"
#include "rtps/io/RTPSDataTransport.h"
#include "rtps/io/RTPSInSocket.h"
#include "rtps/participant/Config.h"
#include "rtps/wire/RTPSMessage.h"
#include "rtps/wire/SequenceNumber.h"
#include "rtps/wire/SubmessageSpan.h"
#include "vexa/dds/BasicTypes.h"

namespace RTPS {

struct DataFields;

class CacheChange;
class Participant;

// Takes every datagram the transport delivers to a participant, copies it and parses it:
// header checks, the submessage walk, HEARTBEAT and GAP to
// readers, ACKNACK and NACK_FRAG to writers, DATA and DATA_FRAG made into changes that are
// delivered through the participant once the datagram is parsed. Every field is read through a
// bounded cursor; a malformed submessage is dropped (with the change it would have made), and
// the walk goes on only while the length framing is sound. Datagrams are parsed one at a time
// and in the order they came: on the thread that hands one over when nothing is queued and
// nothing is being parsed, else queued for the parser thread. The queue holds at most
// maxQueuedBytes of datagrams: while the parser is held, a datagram beyond that is dropped at
// once (counted, and logged at the start of each run of drops), so the transport's read thread
// never waits and memory never follows a flood. A datagram's changes are delivered inside one
// ReceiveBatch, which ends when its parse does. Also keeps the participant's receive sockets,
// shared by the endpoints that listen on the same locator.
class MessageReceiver {
public:
    static constexpr uint16_t MIN_DATAGRAM_SIZE = 24;
    static constexpr size_t DEFAULT_MAX_QUEUED_BYTES = size_t{16} << 20;

    // `participant` and `transport` stay the caller's and must outlive the receiver.
    // `idleWaitMs`: longest sleep of the parser with nothing queued. `maxSampleSize`: DATA_FRAG
    // of larger samples are dropped (Config::maxSampleSize). `maxQueuedBytes`: the queue's
    // bound.
    MessageReceiver(Participant* participant, RTPSDataTransport* transport,
                    uint8_t const* guidPrefix, uint32_t idleWaitMs = 10000,
                    uint32_t maxSampleSize = Config::DEFAULT_MAX_SAMPLE_SIZE,
                    size_t maxQueuedBytes = DEFAULT_MAX_QUEUED_BYTES);
    // Stops the parser and deletes what is still queued and the receive sockets.
    ~MessageReceiver();

    MessageReceiver(MessageReceiver const&) = delete;
    MessageReceiver& operator=(MessageReceiver const&) = delete;

    // Starts the parser thread; false when it cannot start (or runs already).
    bool start();
    // Ends the parser thread after the datagram it is parsing and waits for a datagram being
    // parsed on another thread; returns at once when it never started. Datagrams still queued
    // stay queued, and none is parsed afterwards.
    void stop();

    // Copies one datagram; false for null data or fewer than 24 bytes, and for one dropped
    // because the queue is full. Once started (and until stopped) it is parsed at once on the
    // calling thread when the queue is empty and no parse runs, else it is queued; before start
    // and after stop it is queued. Called by the participant's dataRecipient on a transport
    // thread; never waits for the parser.
    bool receiveMessage(void const* data, uint16_t length);

    // Parses one datagram on the calling thread and delivers its changes as one receive batch;
    // takes the message.
    // The parser thread does this for every queued datagram. Nothing escapes: a failure is
    // logged and the datagram dropped.
    void parseMessage(RTPSMessage* message);

    // The receive socket of this locator, shared when one with the same locator exists (any
    // port of the same 239.x.x.x group). GENERAL_DDSI_ERROR when the transport refuses the
    // locator; null when it gives no receiver.
    RTPSInSocket* addReceiver(Locator_t& locator);
    // One user less; the last one removes the socket (the transport keeps its receiver open).
    void removeReceiver(Locator_t& locator);

    size_t queuedMessages() const;
    size_t queuedBytes() const;
    // Datagrams dropped because the queue was full, since construction.
    uint64_t droppedMessages() const { return m_dropped.load(); }
    size_t inSocketCount() const;

private:
    // What one datagram has told so far.
    struct Context {
        RTPSMessage* message = nullptr;
        uint8_t sourcePrefix[GUID_PREFIX_SIZE] = {};
        bool hasTimestamp = false;
        vexa::dds::Time_t timestamp = vexa::dds::TIME_INVALID;
        unsigned int ordinal = 0;
        std::vector<CacheChange*> changes;
    };

    static void parserEntry(void* self);
    void parserWorker();
    void parse(Context& ctx);
    void deliver(Context& ctx);
    void dropped(SubmessageSpan const& s, Context const& ctx, char const* reason) const;

    void parseAckNack(SubmessageSpan const& s, Context& ctx);
    void parseHeartbeat(SubmessageSpan const& s, Context& ctx);
    void parseGap(SubmessageSpan const& s, Context& ctx);
    void parseTimestamp(SubmessageSpan const& s, Context& ctx);
    void parseNackFrag(SubmessageSpan const& s, Context& ctx);
    void parseData(SubmessageSpan const& s, Context& ctx);
    // A DATA_FRAG of a sample over the size cap: no reader will ever take that change, so it is
    // declared lost to them (as a GAP of its one number) and their stream goes on; logged once
    // per change.
    void declareOversizedLost(DataFields const& f, Context const& ctx);

    static bool sharedLocator(Locator_t const& a, Locator_t const& b);

    Participant* const m_participant;
    RTPSDataTransport* const m_transport;
    uint8_t m_guidPrefix[GUID_PREFIX_SIZE] = {};
    uint32_t const m_idleWaitMs;
    uint32_t const m_maxSampleSize;
    size_t const m_maxQueuedBytes;

    // Guards the queue and m_parsing; the parser waits on m_wake under it, stop on m_parsed.
    mutable std::mutex m_queueMutex;
    std::condition_variable m_wake;
    std::condition_variable m_parsed;
    std::deque<RTPSMessage*> m_queue;
    size_t m_queuedBytes = 0;
    bool m_dropping = false;  // the last datagram handed over was dropped
    std::atomic<uint64_t> m_dropped{0};
    bool m_parsing = false;  // some thread parses a datagram
    // The last change declared lost for its size; touched only while parsing (one at a time).
    GUID_t m_lastLostWriter{};
    SequenceNumber_t m_lastLostSN = SEQUENCENUMBER_UNKNOWN;
    // The changes list a parse lends while it runs; touched only while parsing.
    std::vector<CacheChange*> m_changes;
    std::atomic<bool> m_running{false};
    pthread_t m_thread = 0;
    bool m_started = false;  // touched only by start, stop and the destructor

    mutable std::mutex m_socketsMutex;
    std::vector<RTPSInSocket*> m_inSockets;
};

}  // namespace RTPS
