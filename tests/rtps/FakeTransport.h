#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

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

    int maxDataSize = 65507;
    Refuse refuseSender = Refuse::No;
    Refuse refuseReceiver = Refuse::No;
    std::atomic<bool> noBuffers{false};
    std::atomic<int> buffersOut{0};
    std::atomic<int> sendersAdded{0};
    std::atomic<int> sendersRemoved{0};
    std::atomic<int> receiversAdded{0};

private:
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
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sent.push_back(
            {std::vector<uint8_t>(buffer->data, buffer->data + buffer->length), level});
    }
    m_transport->freeTransportBuffer(buffer);
    return true;
}
