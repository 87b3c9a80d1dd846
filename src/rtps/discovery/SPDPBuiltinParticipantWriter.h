#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "rtps/discovery/SPDPdiscoveredParticipantData.h"
#include "rtps/writer/BusyCount.h"
#include "rtps/writer/StatelessWriter.h"

namespace RTPS {

class MessageComposer;
class ParticipantImpl;

// Announces the participant to its domain: task 2 on the participant's scheduler sends the
// latest announcement (KEY + DATA) to every destination (the SPDP multicast group) once per
// announce period, and at once when woken: by a new announcement and by manualResend, which
// participant discovery calls for every newcomer so that it hears this participant at once.
//
// The history holds the latest announcement only. The announced record is the writer's own
// copy of the participant's, whose key and user data each new announcement refreshes.
//
// Threads: addChange on the participant's (or the DCPS core's) thread, manualResend on the
// parser thread, task 2 on the scheduler's. The record mutex makes each announcement (refresh,
// add, drop the older ones) one step; the locator mutex of the base is taken inside the task
// only. stop waits for a run of task 2 through its busy count, which every exit of the run
// gives back.
class SPDPBuiltinParticipantWriter : public StatelessWriter {
public:
    static constexpr int32_t TRANSPORT_PRIORITY = 0x7FFFFFFF;

    // The announced record starts as the participant's (getOwnAnnouncement).
    SPDPBuiltinParticipantWriter(ParticipantImpl* participant, EndpointConfig const* config,
                                 vexa::dds::PublicationBuiltinTopicData const* description);
    ~SPDPBuiltinParticipantWriter() override;

    // Task 2, periodic with the announce period (at least 1 ms); the participant's first
    // announcement wakes it.
    void start() override;
    void stop() override;
    // The sample is the participant's ParticipantBuiltinTopicData: its key and user data go
    // into the record, which is announced at once and replaces every earlier announcement.
    // CHANGE_NOT_TAKEN once stopped; BAD_PARAMETERS for a sample of another size and for a
    // record too large for one DATA (the announcement in force stays).
    int64_t addChange(SampleInfo* sample) override;
    // Wakes task 2 at once; nothing once stopped.
    void manualResend() override;

    // Its destinations are not readers: matching leaves them alone.
    void checkMatchedReaders(std::vector<ReaderProxyInfo*> readers) override;
    void checkMatchedReader(DiscoveredReaderData const* data) override;
    void removeMatchedReaders(GUID_t remote) override;

    // Task 2: the latest announcement to every destination.
    static void announceTask(void* object, void* a1, uint64_t a2, uint64_t a3);
    void announceWorker();

    uint32_t getAnnounceTaskId() const { return m_announceTask.load(); }
    // A copy of the record announced now.
    SPDPdiscoveredParticipantData announced();

private:
    RTPSTaskScheduler* const m_scheduler;
    MessageComposer* const m_composer;
    const uint64_t m_periodMks;

    std::mutex m_recordMutex;
    SPDPdiscoveredParticipantData m_record;  // under the record mutex

    std::atomic<uint32_t> m_announceTask{0};
    BusyCount m_announceBusy;
};

}  // namespace RTPS
