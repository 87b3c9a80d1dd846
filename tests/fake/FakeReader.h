#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <vector>

#include "dcps/lock/OrderedMutex.h"
#include "fake/EngineScript.h"
#include "fake/FakeWriter.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/RTPS_AdditionalTopicData.h"
#include "rtps/reader/Reader.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace vexatest {

// An engine reader whose history the test fills. A change's handle is the address of its
// SampleInfo, as in the engine; getChange and deleteChange serve the held changes. Any call
// after close (or after its participant went), and a close or a participant's destruction
// while a wait for historical data is in flight, fail the test. Timed-out waits last their
// limit, as the engine's do.
class FakeReader : public RTPS::Reader {
public:
    struct QosChange {
        vexa::dds::SubscriptionBuiltinTopicData data;
        RTPS::RTPS_AdditionalTopicData extra;
        unsigned mask;
    };
    enum class HistoryResult { Delivered, TimedOut, Throw };

    // `userData`: what addReader was given (null for a built-in reader).
    FakeReader(RecordKind kind, void* userData);

    unsigned int getChange(RTPS::SampleInfo* handle, unsigned int (*guidPrefix)[3],
                           unsigned int* entityId, RTPS::SampleInfo& sample) override;
    unsigned int getEarliestChange(unsigned int (*guidPrefix)[3], unsigned int* entityId,
                                   RTPS::SampleInfo& sample) override;
    unsigned int deleteChange(RTPS::SampleInfo* handle) override;
    bool waitForHistoricalData(vexa::dds::Duration_t limit) override;
    void setQoS(vexa::dds::SubscriptionBuiltinTopicData const& data,
                RTPS::RTPS_AdditionalTopicData const& extra, unsigned int mask) override;
    void dsvcDataRecipient(int socket, unsigned long tag, void* body, unsigned int length) override;
    void close() override;

    // Puts a change into the history and returns its handle: `info` with its data pointer
    // redirected to a copy of `data` (bytes, or the record of the reader's kind).
    RTPS::SampleInfo* addHeldChange(RTPS::SampleInfo const& info, void const* data, uint64_t length,
                                    unsigned const (&writerPrefix)[3], unsigned writerEntityId);

    void* userData() const { return userData_; }
    // Also ends waits in progress when the result is no longer TimedOut.
    void setHistoryResult(HistoryResult r, Failure how = Failure::DDSI);
    // The participant that made it is being destroyed: later calls fail the test.
    void participantGone();
    bool busy() const { return inFlight_.load() > 0; }
    size_t heldChanges() const;
    std::vector<QosChange> qosChanges() const;
    std::vector<vexa::dds::Duration_t> historyWaits() const;
    // Waits until `n` waits for historical data have reached this reader; false when `limit`
    // passed first.
    bool awaitHistoryWaits(size_t n, std::chrono::milliseconds limit) const;
    bool closed() const { return closed_.load(); }

private:
    struct Held {
        RTPS::SampleInfo info;
        ChangeData data;
        unsigned prefix[3];
        unsigned entityId;
    };
    void checkOpen(char const* operation, bool engineCall) const;
    std::list<Held>::iterator find(RTPS::SampleInfo* handle);

    RecordKind const kind_;
    void* const userData_;
    mutable vexa::dcps::CoreMutex mutex_;
    std::atomic<bool> closed_{false};
    std::atomic<int> inFlight_{0};
    mutable std::condition_variable_any historyChanged_;  // the result, or a wait began
    std::list<Held> held_;
    HistoryResult historyResult_ = HistoryResult::Delivered;
    Failure historyFailure_ = Failure::DDSI;
    std::vector<vexa::dds::Duration_t> historyWaits_;
    std::vector<QosChange> qos_;
};

}  // namespace vexatest
