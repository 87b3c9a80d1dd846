#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <variant>
#include <vector>

#include "dcps/lock/OrderedMutex.h"
#include "fake/CallGate.h"
#include "fake/EngineScript.h"
#include "rtps/history/SampleInfo.h"
#include "rtps/participant/RTPS_AdditionalTopicData.h"
#include "rtps/writer/Writer.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace vexatest {

// Which record a built-in writer's changes carry; User: the sample's bytes.
enum class RecordKind { User, Participant, Topic, Publication, Subscription };

using ChangeData =
    std::variant<std::vector<uint8_t>, vexa::dds::ParticipantBuiltinTopicData,
                 vexa::dds::TopicBuiltinTopicData, vexa::dds::PublicationBuiltinTopicData,
                 vexa::dds::SubscriptionBuiltinTopicData>;

// Copies `length` bytes at `data`, or the record of `kind` that `data` points to.
ChangeData copyChangeData(RecordKind kind, void const* data, uint64_t length);

// An engine writer that keeps a copy of everything the core gives it. Any call after close
// fails the test.
class FakeWriter : public RTPS::Writer {
public:
    static constexpr int64_t NOT_TAKEN = 0xFFFFFFFF;

    struct Change {
        RTPS::SampleInfo info;  // as given; info.data points to the caller's memory
        ChangeData data;
        int64_t handle;
    };
    struct QosChange {
        vexa::dds::PublicationBuiltinTopicData data;
        RTPS::RTPS_AdditionalTopicData extra;
        unsigned mask;
    };
    enum class AddResult { Handle, NotTaken, Throw };
    enum class DeleteResult { True, False, Throw };

    // `cheap`: addChange only counts and returns the next handle, deleteChange accepts
    // (benchmarks).
    FakeWriter(RecordKind kind, bool cheap);

    int64_t addChange(RTPS::SampleInfo* sample) override;
    // While adds are blocked: not taken at once (counted as a blocked add).
    int64_t addNow(RTPS::SampleInfo* sample) override;
    // While adds are blocked: until acknowledge(), at most the deadline and `maxBlocking`.
    bool waitForRoom(std::chrono::steady_clock::time_point deadline) override;
    bool deleteChange(long handle) override;
    // Recorded apart from deletions; answers as deleteChange is scripted to.
    bool dropChange(long handle) override;
    void assertLiveliness() override;
    void setQoS(vexa::dds::PublicationBuiltinTopicData const& data,
                RTPS::RTPS_AdditionalTopicData const& extra, unsigned int mask) override;
    void close() override;

    // The handle the engine gives a sequence number: high word in bits 0-31, low in 32-63.
    static int64_t handleOf(int32_t high, uint32_t low) {
        return static_cast<int64_t>((static_cast<uint64_t>(low) << 32) |
                                    static_cast<uint32_t>(high));
    }

    // Script.
    void setAddResult(AddResult r, Failure how = Failure::DDSI);
    void setDeleteResult(DeleteResult r, Failure how = Failure::DDSI);
    // Holds assertLiveliness calls while closed.
    CallGate& livelinessGate() { return livelinessGate_; }
    // Like a full reliable history: every later addChange waits for acknowledge() at most
    // `maxBlocking`, then is not taken; addNow is not taken until then.
    void blockAddsUntilAcknowledged(std::chrono::milliseconds maxBlocking);
    // Frees the adds waiting now and every later one.
    void acknowledge();
    // Until an add was held up by the missing acknowledgement, at most `limit`; false when
    // none was.
    bool waitAddBlocked(std::chrono::milliseconds limit);

    // Record.
    std::vector<Change> changes() const;
    std::vector<long> deleted() const;
    std::vector<long> dropped() const;
    std::vector<QosChange> qosChanges() const;
    unsigned livelinessAssertions() const { return liveliness_.load(); }
    uint64_t addCalls() const { return addCalls_.load(); }
    bool closed() const { return closed_.load(); }

private:
    void checkOpen(char const* operation) const;
    int64_t take(RTPS::SampleInfo* sample);

    RecordKind const kind_;
    bool const cheap_;
    mutable vexa::dcps::CoreMutex mutex_;
    std::atomic<uint32_t> nextSeq_{1};
    std::atomic<uint64_t> addCalls_{0};
    std::atomic<unsigned> liveliness_{0};
    std::atomic<bool> closed_{false};
    AddResult addResult_ = AddResult::Handle;
    Failure addFailure_ = Failure::DDSI;
    DeleteResult deleteResult_ = DeleteResult::True;
    Failure deleteFailure_ = Failure::DDSI;
    std::vector<Change> changes_;
    std::vector<long> deleted_;
    std::vector<long> dropped_;
    std::vector<QosChange> qos_;
    CallGate livelinessGate_;

    // The acknowledgement model (its own mutex: addChange waits on it without the fake's).
    std::mutex ackMutex_;
    std::condition_variable ackChanged_;
    bool blockAdds_ = false;
    bool acknowledged_ = false;
    unsigned addsBlocked_ = 0;
    std::chrono::milliseconds maxBlocking_{0};
};

}  // namespace vexatest
