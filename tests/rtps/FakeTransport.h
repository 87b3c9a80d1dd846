#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "fake/CallGate.h"
#include "rtps/io/RTPSDataTransport.h"
#include "rtps/io/TransportErrors.h"
#include "rtps/wire/Locator.h"

// One datagram as the sender got it.
struct SentDatagram {
    std::vector<uint8_t> bytes;
    RTPS::TransportPriorityLevel priority;
};

// Keeps a copy of every datagram it is given and frees the buffer, as the transport does
// after sending.
class FakeSender : public RTPS::RTPSSender {
public:
    explicit FakeSender(class FakeTransport* transport) : m_transport(transport) {}
    bool sendData(RTPS::TransportBuffer* buffer, RTPS::TransportPriorityLevel level) override;

    std::vector<SentDatagram> sent() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sent;
    }

private:
    class FakeTransport* m_transport;
    std::atomic<int> m_inside{0};  // sends inside sendData now
    mutable std::mutex m_mutex;
    std::vector<SentDatagram> m_sent;
};

class FakeReceiver : public RTPS::RTPSReceiver {};

// A transport in the process: senders that capture, receivers that do nothing, send buffers
// from the heap. Each knob makes one failure happen.
class FakeTransport : public RTPS::RTPSDataTransport {
public:
    enum class Refuse { No, Null, Throw };

    bool init() override { return true; }
    int getMaxDataSize() override { return maxDataSize; }

    RTPS::RTPSReceiver* addReceiver(RTPS::Locator_t*) override {
        ++receiversAdded;
        if (refuseReceiver == Refuse::Throw) {
            throw RTPS::WrongLocator();
        }
        if (refuseReceiver == Refuse::Null) {
            return nullptr;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_receivers.emplace_back(new FakeReceiver);
        return m_receivers.back().get();
    }

    RTPS::RTPSSender* addSender(RTPS::Locator_t* locator, RTPS::TransportPriorityLevel) override {
        ++sendersAdded;
        if (refuseSender == Refuse::Throw) {
            throw RTPS::WrongLocator();
        }
        if (refuseSender == Refuse::Null) {
            return nullptr;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_senders.emplace_back(new FakeSender(this));
        m_destinations.push_back(locator != nullptr ? *locator : RTPS::_LOCATOR_INVALID);
        return m_senders.back().get();
    }

    // Kept, so that tests can still look at what it sent; only counted.
    void removeSender(RTPS::RTPSSender* sender) override {
        if (sender != nullptr) {
            ++sendersRemoved;
        }
    }

    RTPS::TransportBuffer* getTransportBuffer() override {
        if (noBuffers) {
            return nullptr;
        }
        ++buffersOut;
        auto* b = new RTPS::TransportBuffer;
        b->data = new uint8_t[65536];
        b->length = 0;
        return b;
    }

    void freeTransportBuffer(RTPS::TransportBuffer* buffer) override {
        if (buffer == nullptr) {
            return;
        }
        --buffersOut;
        delete[] buffer->data;
        delete buffer;
    }

    FakeSender* sender(size_t i) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return i < m_senders.size() ? m_senders[i].get() : nullptr;
    }
    // The sender made for that destination, or null.
    FakeSender* senderFor(RTPS::Locator_t const& destination) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (size_t i = 0; i < m_senders.size(); ++i) {
            if (m_destinations[i] == destination) {
                return m_senders[i].get();
            }
        }
        return nullptr;
    }

    // While the gate is closed a send waits inside the sender, as one that is slow to leave;
    // waitingAtGate says how many do.
    void closeGate() { m_gate.close(); }
    void openGate() { m_gate.open(); }
    int waitingAtGate() { return static_cast<int>(m_gate.held()); }
    // Returns once `n` sends wait at the gate (false after 10 s).
    bool waitAtGate(int n) {
        return m_gate.waitHeld(static_cast<unsigned>(n), std::chrono::seconds(10));
    }
    void passGate() { m_gate.pass(); }

    int maxDataSize = 65507;
    // Each send stays this long inside the sender, so that sends that overlap are seen to.
    std::chrono::microseconds sendTime{0};
    // Set when two sends were inside a sender at once.
    std::atomic<bool> overlapped{false};
    Refuse refuseSender = Refuse::No;
    Refuse refuseReceiver = Refuse::No;
    std::atomic<bool> noBuffers{false};
    std::atomic<int> buffersOut{0};
    std::atomic<int> sendersAdded{0};
    std::atomic<int> sendersRemoved{0};
    std::atomic<int> receiversAdded{0};

private:
    vexatest::CallGate m_gate;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<FakeSender>> m_senders;
    std::vector<RTPS::Locator_t> m_destinations;  // of m_senders, by position
    std::vector<std::unique_ptr<FakeReceiver>> m_receivers;
};

inline bool FakeSender::sendData(RTPS::TransportBuffer* buffer,
                                 RTPS::TransportPriorityLevel level) {
    if (buffer == nullptr || buffer->data == nullptr || buffer->length == 0) {
        throw RTPS::WrongData();
    }
    if (m_inside.fetch_add(1) != 0) {
        m_transport->overlapped = true;
    }
    m_transport->passGate();
    if (m_transport->sendTime.count() != 0) {
        std::this_thread::sleep_for(m_transport->sendTime);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sent.push_back(
            {std::vector<uint8_t>(buffer->data, buffer->data + buffer->length), level});
    }
    m_inside.fetch_sub(1);
    m_transport->freeTransportBuffer(buffer);
    return true;
}
