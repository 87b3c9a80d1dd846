#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/os/OsTime.h"
#include "rtps/participant/Participant.h"

namespace vexatest {

// Records every datagram the transport hands over, with its arrival time, and the most calls
// that were ever inside dataRecipient at once; can hold a caller inside dataRecipient until
// opened. The gate is not a CallGate: it shares the record's mutex, so that a datagram is
// counted and its caller held or let through in one step, and a close() after waitFor() never
// holds a caller whose datagram was already counted.
class FakeParticipant : public RTPS::Participant {
public:
    struct Datagram {
        std::string bytes;
        uint64_t arrivalMks;  // monotonic
    };

    void dataRecipient(void* data, unsigned short length) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_datagrams.push_back(
            {std::string(static_cast<const char*>(data), length), vexa::OsGetMonotonicMks()});
        ++m_inside;
        m_mostInside = std::max(m_mostInside, m_inside);
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        --m_inside;
    }

    // True once at least n datagrams arrived, false after the time-out.
    bool waitFor(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_datagrams.size() >= n; });
    }

    // True once `arrived` holds for the datagrams received so far, false after the time-out.
    bool waitUntil(const std::function<bool(const std::vector<Datagram>&)>& arrived,
                   std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return arrived(m_datagrams); });
    }

    // Holds the next callers of dataRecipient until open().
    void close() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
    }
    void open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // True once a caller is held inside dataRecipient.
    bool waitHeld(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_inside > 0; });
    }

    std::vector<Datagram> datagrams() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_datagrams;
    }
    std::vector<std::string> payloads() const {
        std::vector<std::string> out;
        for (const Datagram& d : datagrams()) {
            out.push_back(d.bytes);
        }
        return out;
    }
    size_t count() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_datagrams.size();
    }
    int mostInside() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_mostInside;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Datagram> m_datagrams;
    bool m_open = true;
    int m_inside = 0;
    int m_mostInside = 0;
};

}  // namespace vexatest
