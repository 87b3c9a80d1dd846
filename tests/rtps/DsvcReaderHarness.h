#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DsvcPeers.h"
#include "rtps/dsvc/DSVCHistoryLoader.h"
#include "rtps/dsvc/DSVCHistorySink.h"
#include "rtps/dsvc/DSVCMessage.h"
#include "rtps/dsvc/DSVCServerChannel.h"
#include "rtps/history/CacheChange.h"
#include "rtps/history/HistoryCache.h"

// A durable reader for the loader's tests: a real history with a limit, the reader's routing of
// live changes while loading, and a record of what it announced. It stands where the engine's
// reader will stand, and forwards what its DSVC clients deliver.

namespace dsvc_test {

// What the reader announced, in order: writer key byte and sequence number.
struct Announced {
    uint8_t writer;
    uint32_t sn;
    bool operator==(Announced const& o) const { return writer == o.writer && sn == o.sn; }
};

class DurableReader : public RecordingReader, public RTPS::DSVCHistorySink {
public:
    explicit DurableReader(size_t limit = 0) : m_limit(limit) {}
    ~DurableReader() override { stop(); }

    void open(std::vector<std::shared_ptr<RTPS::DSVCServerChannel>> servers) {
        loader = std::make_unique<RTPS::DSVCHistoryLoader>(*this, "P000000004", std::move(servers));
        loader->start();
    }
    void stop() {
        if (loader) {
            loader->stop();
        }
    }

    // Reader
    void dsvcDataRecipient(int socket, unsigned long tag, void* body,
                           unsigned int length) override {
        RecordingReader::dsvcDataRecipient(socket, tag, body, length);
        loader->dsvcDataRecipient(socket, tag, body, length);
    }
    unsigned int deleteChange(RTPS::SampleInfo* handle) override {
        RTPS::CacheChange* c = history.get_change(handle);
        if (c == nullptr) {
            return 0;
        }
        if (loader->state() != RTPS::DSVCHistoryLoader::LOADING) {
            history.free_change(c);
        }
        history.remove_change(c);
        loader->roomMade();
        return static_cast<unsigned>(history.size());
    }

    // The live road of the reader: true when the change was kept (the caller then lets go).
    bool addLive(RTPS::CacheChange* change) {
        if (m_limit != 0 && history.size() >= m_limit) {
            return false;
        }
        if (loader) {
            switch (loader->addLiveChange(change)) {
                case RTPS::DSVCHistoryLoader::LiveVerdict::Taken:
                    return true;
                case RTPS::DSVCHistoryLoader::LiveVerdict::Dropped:
                    return false;
                case RTPS::DSVCHistoryLoader::LiveVerdict::Store:
                    break;
            }
        }
        history.add_change(change);
        announce(change);
        return true;
    }

    // DSVCHistorySink
    bool hasRoom() override { return m_limit == 0 || history.size() < m_limit; }
    void storeHistorical(RTPS::CacheChange* change) override {
        history.add_change(change);
        history.get_change(change);
        announce(change);
    }
    void releaseHistorical(RTPS::CacheChange* change) override { history.free_change(change); }

    std::vector<Announced> announced() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_announced;
    }
    bool waitAnnounced(size_t n, std::chrono::milliseconds limit = 5000ms) {
        auto const until = std::chrono::steady_clock::now() + limit;
        while (announced().size() < n) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    bool waitState(RTPS::DSVCHistoryLoader::State s, std::chrono::milliseconds limit = 5000ms) {
        auto const until = std::chrono::steady_clock::now() + limit;
        while (loader->state() != s) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    // Deletes the oldest announced change, as the DCPS side does once it has read it.
    void takeOne() {
        RTPS::CacheChange* c = history.getEarliestChange();
        if (c != nullptr) {
            deleteChange(&c->sampleInfo);
        }
    }

    RTPS::HistoryCache history;
    std::unique_ptr<RTPS::DSVCHistoryLoader> loader;

private:
    void announce(RTPS::CacheChange* change) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_announced.push_back(
            {change->writerGUID.entityId.entityKey[2], change->sampleInfo.sequenceNumber.low});
    }

    size_t const m_limit;
    std::mutex m_mutex;
    std::vector<Announced> m_announced;
};

// A server channel without a socket: the test delivers its messages by hand.
class FakeChannel : public RTPS::DSVCServerChannel {
public:
    explicit FakeChannel(int socket) : m_socket(socket) {}
    int socket() const override { return m_socket; }
    bool start() override {
        ++starts;
        return true;
    }
    void sendSTOP() override { ++stopsSent; }
    void stop() override { ++stops; }
    void join() override {}
    std::atomic<int> starts{0};
    std::atomic<int> stopsSent{0};
    std::atomic<int> stops{0};

private:
    int m_socket;
};

// An SMPL body as a client delivers it.
inline std::vector<uint8_t> smplBody(RTPS::GUID_t const& writer, uint32_t sn, size_t size = 8) {
    StoredSample s(writer, sn, size);
    std::vector<uint8_t> m = RTPS::buildDsvcSample(*s.info);
    return std::vector<uint8_t>(m.begin() + 12, m.end());
}

inline RTPS::CacheChange* liveChange(RTPS::GUID_t const& writer, uint32_t sn) {
    RTPS::SampleInfo info{};
    auto* c = new RTPS::CacheChange(writer, &info);
    c->setSequenceNumber({0, sn});
    return c;
}

}  // namespace dsvc_test
