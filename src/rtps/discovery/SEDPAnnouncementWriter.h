#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "rtps/discovery/RecordEncoders.h"
#include "rtps/history/CacheChange.h"
#include "rtps/participant/DDSIException.h"
#include "rtps/writer/ChangeHandle.h"
#include "rtps/writer/StatefulWriter.h"

namespace RTPS {

class ParticipantImpl;

// Common base of the reliable writers that announce the participant's own endpoints and topics
// (SEDP): one change per announced endpoint or topic, whose data is the record built for it
// and owned by the change. A new announcement of the same endpoint replaces the earlier one,
// which is withdrawn at once (a reader that has not got it yet gets a GAP), so the history
// holds exactly the current announcements.
//
// Threads: announcements come from the DCPS caller's thread and the participant's. The
// announcement mutex makes each replacement (find, withdraw, add) one step; it is taken before
// the stateful writer's locks and held while the participant's endpoint lists are looked up
// (their mutexes are leaves).
class SEDPAnnouncementWriter : public StatefulWriter {
public:
    // Discovery traffic goes ahead of user data.
    static constexpr int32_t TRANSPORT_PRIORITY = 0x7FFFFFFF;

    SEDPAnnouncementWriter(ParticipantImpl* participant, EndpointConfig const* config,
                           vexa::dds::PublicationBuiltinTopicData const* description);

    // Withdraws one announcement as the stateful writer does (once every reader has it).
    bool deleteChange(long handle) override;

protected:
    // Replaces the announcement whose record `same` recognises (if any) by a change carrying
    // `record`, with the key hash, instance handle, status and time stamp of `sample`; returns
    // the new handle. BAD_PARAMETERS when the packed record would not fit in one DATA.
    template <class Record>
    int64_t replaceAnnouncement(SampleInfo const& sample, std::unique_ptr<Record> record,
                                std::function<bool(Record const&)> const& same) {
        if (!fitsOneData(packedSize(*record))) {
            throw BAD_PARAMETERS("Описание не помещается в одно сообщение DATA");
        }
        std::lock_guard<std::mutex> lock(m_announceMutex);
        withdrawFirst([&](void const* r) { return same(*static_cast<Record const*>(r)); });
        return addRecord(sample, std::move(record));
    }

    // Withdraws the first announcement (not withdrawn before) whose record satisfies `same`.
    // Announcement mutex held.
    void withdrawFirst(std::function<bool(void const* record)> const& same);

    // Adds a change carrying the record, which the change owns from then on; a change not
    // taken (CHANGE_NOT_TAKEN) destroys it here. Announcement mutex held.
    template <class Record>
    int64_t addRecord(SampleInfo const& sample, std::unique_ptr<Record> record) {
        SampleInfo s = sample;
        s.data = record.get();
        s.length = sizeof(Record);
        Record* const taken = record.release();
        int64_t const handle = StatefulWriter::addChange(&s);
        if (handle == CHANGE_NOT_TAKEN) {
            delete taken;
        }
        return handle;
    }

    ParticipantImpl* const m_owner;
    std::mutex m_announceMutex;
};

}  // namespace RTPS
