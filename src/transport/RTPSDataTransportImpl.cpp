#include "transport/RTPSDataTransportImpl.h"

#include <algorithm>
#include <chrono>

#include "rtps/participant/Participant.h"
#include "rtps/io/TransportErrors.h"
#include "transport/LocatorAddress.h"

namespace RTPS {

namespace {
constexpr int DISPATCHER_PRIORITY_OFFSET = 2;
}

RTPSDataTransport* getTransport(Participant* participant) {
    return new RTPSDataTransportImpl(participant);
}

RTPSDataTransportImpl::RTPSDataTransportImpl(Participant* participant)
    : m_participant(participant) {}

RTPSDataTransportImpl::~RTPSDataTransportImpl() {
    shutdown();
}

void RTPSDataTransportImpl::shutdown() {
    {
        // A receiver added after this would never be told to stop, and its join would wait for
        // ever; addReceiver tests the flag under the same mutex.
        std::lock_guard<std::mutex> lock(m_receiversMutex);
        m_shuttingDown = true;
    }
    // Takers blocked on the send pool leave with null.
    if (m_sendPool) {
        m_sendPool->stop();
    }
    {
        std::lock_guard<std::mutex> lock(m_dispatchMutex);
        m_running = false;
    }
    m_dispatchCondition.notify_all();
    m_dispatcher.join();
    {
        // A caller's pass that began before the flag fell ends before anything below goes;
        // every later one sees the flag under this mutex and sends nothing.
        std::lock_guard<std::mutex> lock(m_sendersMutex);
    }

    // Read threads leave their wait for the socket, or for a free buffer once the pool stops;
    // the report thread ends within the pool's stop.
    {
        std::lock_guard<std::mutex> lock(m_receiversMutex);
        for (auto& receiver : m_receivers) {
            receiver->requestStop();
        }
    }
    if (m_receivePool) {
        m_receivePool->stop();
    }
    {
        std::lock_guard<std::mutex> lock(m_receiversMutex);
        for (auto& receiver : m_receivers) {
            receiver->join();
        }
        m_receivers.clear();
    }
    {
        // Their queued buffers go back to the send pool, which still exists.
        std::lock_guard<std::mutex> lock(m_sendersMutex);
        m_senders.clear();
    }
    m_receivePool.reset();
    m_sendPool.reset();
}

bool RTPSDataTransportImpl::init() {
    if (m_participant == nullptr) {
        return false;
    }
    if (m_initialised) {
        return true;
    }
    m_config.reset(new TransportConfig());
    m_dispatcherTimeout = m_config->getDispatcherTimeout();
    m_sendPool.reset(
        new InputBufferPool(static_cast<unsigned>(m_config->getNumberOfRtpsBuffers())));
    m_receivePool.reset(
        new TransportBufferPool(static_cast<unsigned>(m_config->getNumberOfBuffers()),
                                static_cast<unsigned>(m_config->getBufferSize()), this));
    if (!m_receivePool->init(m_config->getReportTimeout())) {
        m_receivePool.reset();
        m_sendPool.reset();
        return false;
    }
    m_running = true;
    if (!m_dispatcher.start(dispatcherThread, this, DISPATCHER_PRIORITY_OFFSET,
                            "RTPSDataTransportImpl::dispatcher")) {
        m_running = false;
        m_receivePool.reset();
        m_sendPool.reset();
        return false;
    }
    m_initialised = true;
    return true;
}

int RTPSDataTransportImpl::getMaxDataSize() {
    return m_config ? m_config->getMaxDataSize() : TransportConfig::DEFAULT_MAX_TR_DATA_SIZE;
}

RTPSReceiver* RTPSDataTransportImpl::addReceiver(Locator_t* locator) {
    checkLocator(locator);
    if (!m_initialised) {
        throw GeneralAddingError();
    }
    const uint32_t port = locator->port;
    const uint32_t address = locatorAddress(*locator);
    std::lock_guard<std::mutex> lock(m_receiversMutex);
    if (m_shuttingDown) {
        throw GeneralAddingError();
    }
    for (auto& receiver : m_receivers) {
        if (receiver->isLocator(port, address)) {
            return receiver.get();
        }
    }
    std::unique_ptr<RTPSReceiverImpl> receiver(
        new RTPSReceiverImpl(locator, m_receivePool.get(), this));
    if (!receiver->init()) {
        // Nothing deaf is kept: the next call for this locator tries again.
        throw WrongLocator();
    }
    m_receivers.push_back(std::move(receiver));
    return m_receivers.back().get();
}

RTPSSender* RTPSDataTransportImpl::addSender(Locator_t* locator, TransportPriorityLevel level) {
    checkLocator(locator);
    if (!m_initialised || m_shuttingDown) {
        throw GeneralAddingError();
    }
    const uint32_t port = locator->port;
    const uint32_t address = locatorAddress(*locator);
    {
        std::lock_guard<std::mutex> lock(m_sendersMutex);
        for (auto& sender : m_senders) {
            if (sender->isDestination(port, address)) {
                return sender.get();
            }
        }
    }
    // The socket is set up outside the senders' mutex, which the dispatcher holds while sending.
    std::unique_ptr<RTPSSenderImpl> created(new RTPSSenderImpl(locator, this, level));
    if (!created->init()) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_sendersMutex);
    if (m_shuttingDown) {
        throw GeneralAddingError();
    }
    for (auto& sender : m_senders) {
        if (sender->isDestination(port, address)) {
            return sender.get();
        }
    }
    m_senders.push_back(std::move(created));
    return m_senders.back().get();
}

void RTPSDataTransportImpl::removeSender(RTPSSender* sender) {
    std::unique_ptr<RTPSSenderImpl> gone;
    {
        std::lock_guard<std::mutex> lock(m_sendersMutex);
        auto it = std::find_if(
            m_senders.begin(), m_senders.end(),
            [&](std::unique_ptr<RTPSSenderImpl> const& s) { return s.get() == sender; });
        if (it == m_senders.end()) {
            return;
        }
        gone = std::move(*it);
        m_senders.erase(it);
    }
    // Closed, and its queues given back to the send pool, without the senders' mutex.
    gone.reset();
}

size_t RTPSDataTransportImpl::senderCount() {
    std::lock_guard<std::mutex> lock(m_sendersMutex);
    return m_senders.size();
}

TransportBuffer* RTPSDataTransportImpl::getTransportBuffer() {
    return m_sendPool ? m_sendPool->getTransportBuffer() : nullptr;
}

void RTPSDataTransportImpl::freeTransportBuffer(TransportBuffer* buffer) {
    if (m_sendPool) {
        m_sendPool->freeTransportBuffer(buffer);
    }
}

void RTPSDataTransportImpl::readyToSend(TransportPriorityLevel level) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(m_dispatchMutex);
        // With a flag already up the dispatcher is awake or woken: it tests both before waiting.
        wake = !m_highPending && !m_lowPending;
        if (level != TRANSPORT_PRIORITY_LOW) {
            m_highPending = true;
        } else {
            m_lowPending = true;
        }
    }
    if (wake) {
        m_dispatchCondition.notify_one();
    }
}

bool RTPSDataTransportImpl::sendIfIdle(RTPSSenderImpl& sender, TransportBuffer* buffer,
                                       unsigned messageId) {
    if (m_queued.load() != 0 || !m_running) {
        return false;
    }
    std::unique_lock<std::mutex> lock(m_sendersMutex, std::try_to_lock);
    // Looked at again under the mutex: a buffer queued before the dispatcher's last pass ended
    // has been sent by it, any other one still counts.
    if (!lock.owns_lock() || m_queued.load() != 0 || !m_running) {
        return false;
    }
    sender.sendBuffer(buffer, messageId);
    return true;
}

bool RTPSDataTransportImpl::sendQueuedIfFree() {
    if (!m_running) {
        return false;
    }
    std::unique_lock<std::mutex> lock(m_sendersMutex, std::try_to_lock);
    if (!lock.owns_lock() || !m_running) {
        return false;
    }
    // At most as many as are queued now, the caller's own among them: a caller is not kept
    // sending what others queue meanwhile. They found the mutex taken and raised a pending flag,
    // which this pass leaves to the dispatcher, so whatever is still queued at the end (the
    // caller's own too, when later ones took its turn) is the dispatcher's to send.
    unsigned budget = m_queued.load();
    auto drainHigh = [&] {
        for (auto& sender : m_senders) {
            if (budget == 0) {
                return;
            }
            unsigned sent = 0;
            sender->sendHP(budget, &sent);
            budget -= std::min(sent, budget);
        }
    };
    bool more = true;
    while (more && budget > 0 && m_running) {
        more = false;
        for (auto& sender : m_senders) {
            drainHigh();
            if (budget == 0 || !m_running) {
                break;
            }
            unsigned sent = 0;
            if (sender->sendLP(1, &sent)) {
                more = true;
            }
            budget -= std::min(sent, budget);
        }
    }
    if (budget > 0 && m_running) {
        drainHigh();
    }
    return true;
}

void RTPSDataTransportImpl::dataAvailable(void* data, unsigned short length) {
    m_participant->dataRecipient(data, length);
}

std::unique_lock<std::mutex> RTPSDataTransportImpl::holdDispatcher() {
    return std::unique_lock<std::mutex>(m_sendersMutex);
}

void RTPSDataTransportImpl::dispatcherThread(void* self) {
    static_cast<RTPSDataTransportImpl*>(self)->dispatchLoop();
}

bool RTPSDataTransportImpl::takePending(bool& flag) {
    std::lock_guard<std::mutex> lock(m_dispatchMutex);
    const bool was = flag;
    flag = false;
    return was;
}

void RTPSDataTransportImpl::dispatchLoop() {
    const auto idle = std::chrono::seconds(m_dispatcherTimeout);
    std::unique_lock<std::mutex> lock(m_dispatchMutex);
    while (m_running) {
        if (!m_highPending && !m_lowPending) {
            m_dispatchCondition.wait_for(
                lock, idle, [this] { return !m_running || m_highPending || m_lowPending; });
            continue;
        }
        lock.unlock();
        dispatchPass();
        lock.lock();
    }
}

void RTPSDataTransportImpl::drainHighQueues() {
    while (takePending(m_highPending) && m_running) {
        for (auto& sender : m_senders) {
            sender->sendHP(0);
        }
    }
}

void RTPSDataTransportImpl::dispatchPass() {
    std::lock_guard<std::mutex> lock(m_sendersMutex);
    drainHighQueues();
    // One low-priority datagram per sender per sweep, every high-priority one before each.
    bool more = false;
    while ((takePending(m_lowPending) || more) && m_running) {
        more = false;
        for (auto& sender : m_senders) {
            drainHighQueues();
            if (sender->sendLP(1)) {
                more = true;
            }
        }
    }
    drainHighQueues();
}

}  // namespace RTPS
