#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "rtps/dsvc/DSVCFrameDecoder.h"
#include "rtps/dsvc/DSVCMessage.h"
#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/participant/Participant.h"
#include "rtps/reader/Reader.h"
#include "rtps/wire/Guid.h"

// Peers of the DSVC link for tests on loopback: a raw TCP end that sends and frames bytes by
// hand, and recorders that stand for the participant (server side) and the reader (client
// side) and let a test wait for what they were handed.

namespace dsvc_test {

using namespace std::chrono_literals;

inline RTPS::GUID_t guid(uint8_t seed, uint8_t kind = 0x07) {
    RTPS::GUID_t g{};
    g.guidPrefix[0] = 0xAA;
    g.guidPrefix[1] = 0xAA;
    for (unsigned i = 2; i < RTPS::GUID_PREFIX_SIZE; ++i) {
        g.guidPrefix[i] = seed;
    }
    g.entityId = {{0, 0, seed}, kind};
    return g;
}

inline std::vector<uint8_t> frame(uint32_t length, uint64_t tag, std::vector<uint8_t> body = {}) {
    std::vector<uint8_t> out(12);
    std::memcpy(out.data(), &length, 4);
    std::memcpy(out.data() + 4, &tag, 8);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A stored sample whose data the record owns through `bytes`.
struct StoredSample {
    StoredSample(RTPS::GUID_t const& writer, uint32_t sn, size_t size, uint8_t fill = 0x5A)
        : bytes(size, fill) {
        info = std::make_shared<RTPS::HistoricalSampleInfo>(RTPS::HistoricalSampleInfo{});
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(fill + i * 7);
        }
        info->keyHash[0] = 0x11;
        info->instanceHandle = 42;
        info->statusFlags = 1;
        info->sourceTimestamp = {100, 200};
        info->data = bytes.data();
        info->dataLength = size;
        info->sequenceNumber = {0, sn};
        std::memcpy(info->writerGuidPrefix, writer.guidPrefix, 12);
        std::memcpy(&info->writerEntityId, &writer.entityId, 4);
    }
    std::vector<uint8_t> bytes;
    std::shared_ptr<RTPS::HistoricalSampleInfo> info;
};

// A raw TCP end on loopback.
class RawPeer {
public:
    RawPeer() = default;
    explicit RawPeer(int fd) : m_fd(fd) {}
    ~RawPeer() { close(); }
    RawPeer(RawPeer&& o) noexcept { *this = std::move(o); }
    RawPeer& operator=(RawPeer&& o) noexcept {
        if (this != &o) {
            close();
            m_fd = o.m_fd;
            m_ended = o.m_ended;
            m_decoder = std::make_unique<RTPS::DSVCFrameDecoder>();
            m_frames = std::move(o.m_frames);
            o.m_fd = -1;
        }
        return *this;
    }

    static RawPeer connectTo(uint16_t port) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        auto const until = std::chrono::steady_clock::now() + 5s;
        while (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            if (std::chrono::steady_clock::now() > until) {
                ::close(fd);
                throw std::runtime_error("no DSVC server on the port");
            }
            ::close(fd);
            std::this_thread::sleep_for(5ms);
            fd = ::socket(AF_INET, SOCK_STREAM, 0);
        }
        return RawPeer(fd);
    }

    int fd() const { return m_fd; }
    void send(std::vector<uint8_t> const& bytes) {
        size_t off = 0;
        while (off < bytes.size()) {
            ssize_t n = ::send(m_fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            off += static_cast<size_t>(n);
        }
    }
    void close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    void setReceiveBuffer(int bytes) {
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }

    // The next whole message, or false when none came in time or the stream ended.
    bool nextFrame(RTPS::DSVCFrame& out, std::chrono::milliseconds limit = 5000ms) {
        auto const until = std::chrono::steady_clock::now() + limit;
        while (m_frames.empty()) {
            auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) {
                return false;
            }
        }
        out = std::move(m_frames.front());
        m_frames.pop_front();
        return true;
    }
    // Whether the other end closed within the limit (frames that come first are kept).
    bool closedWithin(std::chrono::milliseconds limit) {
        auto const until = std::chrono::steady_clock::now() + limit;
        for (;;) {
            auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            if (!readSome(static_cast<int>(left.count()))) {
                return m_ended;
            }
        }
    }

private:
    bool readSome(int timeoutMs) {
        if (m_ended) {
            return false;
        }
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) {
            return false;
        }
        uint8_t buf[65536];
        ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0) {
            m_ended = true;
            return false;
        }
        size_t off = 0;
        while (off < static_cast<size_t>(n)) {
            off += m_decoder->consume(buf + off, static_cast<size_t>(n) - off);
            if (m_decoder->failed()) {
                throw std::runtime_error("peer sent a malformed DSVC stream");
            }
            if (m_decoder->hasFrame()) {
                m_frames.push_back(m_decoder->take());
            }
        }
        return true;
    }

    int m_fd = -1;
    bool m_ended = false;
    std::unique_ptr<RTPS::DSVCFrameDecoder> m_decoder = std::make_unique<RTPS::DSVCFrameDecoder>();
    std::deque<RTPS::DSVCFrame> m_frames;
};

// A listening socket on a loopback port of the kernel's choice.
class RawListener {
public:
    RawListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, 8);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~RawListener() { ::close(m_fd); }
    uint16_t port() const { return m_port; }
    RawPeer accept(std::chrono::milliseconds limit = 5000ms) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) {
            throw std::runtime_error("nobody connected");
        }
        return RawPeer(::accept(m_fd, nullptr, nullptr));
    }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

// One message handed upward by a DSVC thread.
struct Upcall {
    int socket;
    uint64_t tag;
    std::vector<uint8_t> body;
};

// Collects upcalls and lets a test wait for them.
class UpcallLog {
public:
    void add(int socket, uint64_t tag, void const* body, size_t length) {
        std::lock_guard<std::mutex> lock(m_mutex);
        Upcall u{socket, tag, {}};
        if (body != nullptr) {
            auto const* b = static_cast<uint8_t const*>(body);
            u.body.assign(b, b + length);
        }
        m_calls.push_back(std::move(u));
        m_changed.notify_all();
    }
    bool waitFor(size_t count, std::chrono::milliseconds limit = 5000ms) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_calls.size() >= count; });
    }
    void clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }
    std::vector<Upcall> calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    size_t count(uint64_t tag) {
        std::lock_guard<std::mutex> lock(m_mutex);
        size_t n = 0;
        for (auto const& c : m_calls) {
            n += c.tag == tag;
        }
        return n;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Upcall> m_calls;
};

// The participant as the DSVC server sees it: its domain and the messages it is handed.
class RecordingParticipant : public RTPS::Participant {
public:
    explicit RecordingParticipant(unsigned domain = 0) : m_domain(domain) {}
    void dataRecipient(void*, unsigned short) override {}
    unsigned int getDomainID() override { return m_domain; }
    void dsvcDataRecipient(int socket, unsigned long tag, void* body) override {
        log.add(socket, tag, body, tag == RTPS::DSVC_TAG_INIT ? RTPS::DSVC_INIT_BODY_SIZE : 0);
    }
    UpcallLog log;

private:
    unsigned m_domain;
};

// The reader as its DSVC clients see it.
class RecordingReader : public RTPS::Reader {
public:
    unsigned int getChange(RTPS::SampleInfo*, unsigned int (*)[3], unsigned int*,
                           RTPS::SampleInfo&) override {
        return 0;
    }
    unsigned int getEarliestChange(unsigned int (*)[3], unsigned int*, RTPS::SampleInfo&) override {
        return 0;
    }
    unsigned int deleteChange(RTPS::SampleInfo*) override { return 0; }
    bool waitForHistoricalData(vexa::dds::Duration_t) override { return true; }
    void setQoS(vexa::dds::SubscriptionBuiltinTopicData const&,
                RTPS::RTPS_AdditionalTopicData const&, unsigned int) override {}
    void close() override {}
    void dsvcDataRecipient(int socket, unsigned long tag, void* body,
                           unsigned int length) override {
        if (onDelivery) {
            onDelivery(tag);
        }
        log.add(socket, tag, body, length);
    }
    UpcallLog log;
    std::function<void(uint64_t)> onDelivery;
};

}  // namespace dsvc_test
