#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/io/RTPSDataTransport.h"
#include "transport/InputBufferPool.h"
#include "transport/RTPSReceiverImpl.h"
#include "transport/RTPSSenderImpl.h"
#include "transport/TransportBufferPool.h"
#include "transport/TransportConfig.h"
#include "transport/TransportThread.h"

namespace RTPS {

// The UDP transport of one participant: the send pool and the dispatcher thread that empties
// the senders' queues, high priority first; the receivers with their read threads; the receive
// pool whose report thread hands datagrams to the participant.
//
// A datagram goes out on the thread that hands it over when no dispatcher pass runs and the
// senders' mutex is free: the caller takes that mutex itself (trying, never waiting for it) and
// sends at once when nothing of any priority is queued; otherwise it queues the datagram and
// sends what is queued itself, high priority first and the low queues in turns, just as the
// dispatcher would, but no more than was queued when it began. Only when the mutex is taken (a
// pass or another caller's send runs) is the dispatcher woken to send it. Either way nothing
// overtakes what was queued before it at its level, one thread sends at a time, and no pass sends
// once shutdown has begun.
//
// Lock order: the senders' mutex before a sender queue's mutex, the send pool's mutex and the
// dispatcher's mutex; those three are never held together. Engine threads only try the
// senders' mutex, never wait for it. The receivers' mutex is taken alone.
class RTPSDataTransportImpl : public RTPSDataTransport {
public:
    explicit RTPSDataTransportImpl(Participant* participant);
    // Stops every thread that runs and joins it before anything it uses goes away. Must not
    // run on a thread of the transport (the participant's dataRecipient).
    ~RTPSDataTransportImpl() override;
    RTPSDataTransportImpl(const RTPSDataTransportImpl&) = delete;
    RTPSDataTransportImpl& operator=(const RTPSDataTransportImpl&) = delete;

    bool init() override;
    int getMaxDataSize() override;
    RTPSReceiver* addReceiver(Locator_t* locator) override;
    RTPSSender* addSender(Locator_t* locator, TransportPriorityLevel level) override;
    // Waits for a dispatcher pass or an engine thread's send to end, so nothing sends through
    // the sender when it is closed.
    void removeSender(RTPSSender* sender) override;
    size_t senderCount();
    TransportBuffer* getTransportBuffer() override;
    void freeTransportBuffer(TransportBuffer* buffer) override;

    // A sender queued a buffer of that level: the dispatcher makes a pass at once.
    void readyToSend(TransportPriorityLevel level);
    // Sends the buffer through the sender on the calling thread when no buffer is queued on any
    // sender and no dispatcher pass runs; false (nothing done) otherwise, and after shutdown
    // began.
    bool sendIfIdle(RTPSSenderImpl& sender, TransportBuffer* buffer, unsigned messageId);
    // A sender queued a buffer: with the senders' mutex free and no shutdown begun, sends on the
    // calling thread, in the dispatcher's order, as many queued buffers as were queued when it
    // began, and says true; false (nothing done) otherwise, and the caller tells the dispatcher
    // (readyToSend). Leaves the pending flags alone: they stay the dispatcher's.
    bool sendQueuedIfFree();
    // Senders count the buffers they queue and take out, so an idle transport is seen without
    // looking at every queue.
    void buffersQueued(unsigned n) { m_queued.fetch_add(n); }
    void buffersTaken(unsigned n) { m_queued.fetch_sub(n); }
    // The report thread has a datagram for the participant.
    void dataAvailable(void* data, unsigned short length);

    // The settings read by init; only valid after a successful init.
    const TransportConfig& getConfig() const { return *m_config; }

    // While the returned lock is held the dispatcher starts no pass (it holds the same mutex
    // for a whole pass) and every sendData queues; the holder must neither add senders nor
    // send meanwhile.
    std::unique_lock<std::mutex> holdDispatcher();

private:
    static void dispatcherThread(void* self);
    void dispatchLoop();
    void dispatchPass();
    void drainHighQueues();
    // Clears the flag and says whether it was set.
    bool takePending(bool& flag);
    void shutdown();

    Participant* const m_participant;
    std::unique_ptr<TransportConfig> m_config;
    std::unique_ptr<InputBufferPool> m_sendPool;
    std::unique_ptr<TransportBufferPool> m_receivePool;
    bool m_initialised = false;
    // Set once shutdown begins (under the receivers' mutex): nothing is added after it.
    std::atomic<bool> m_shuttingDown{false};

    std::mutex m_receiversMutex;
    std::vector<std::unique_ptr<RTPSReceiverImpl>> m_receivers;

    std::mutex m_sendersMutex;
    std::vector<std::unique_ptr<RTPSSenderImpl>> m_senders;
    std::atomic<unsigned> m_queued{0};  // buffers in all senders' queues

    std::mutex m_dispatchMutex;  // guards the pending flags
    std::condition_variable m_dispatchCondition;
    bool m_highPending = false;
    bool m_lowPending = false;
    std::atomic<bool> m_running{false};
    int m_dispatcherTimeout = TransportConfig::DEFAULT_DISPATCHER_TIMEOUT;
    TransportThread m_dispatcher;
};

}  // namespace RTPS
