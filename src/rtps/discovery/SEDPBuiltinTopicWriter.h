#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtps/discovery/SEDPAnnouncementWriter.h"

namespace RTPS {

// Announces the participant's topics (DCPSTopic): the sample is the core's
// TopicBuiltinTopicData. A table maps each topic key to the handle of its current
// announcement, so that a new announcement of a topic replaces the earlier one; it starts with
// 64 entries and doubles when full. Table and history change together under the announcement
// mutex.
class SEDPBuiltinTopicWriter : public SEDPAnnouncementWriter {
public:
    static constexpr size_t INITIAL_TABLE_SIZE = 64;

    SEDPBuiltinTopicWriter(ParticipantImpl* participant, EndpointConfig const* config,
                           vexa::dds::PublicationBuiltinTopicData const* description);

    // GENERAL_DDSI_ERROR once the writer is stopped; BAD_PARAMETERS for a sample that is no
    // topic description and for a record too large for one DATA.
    int64_t addChange(SampleInfo* sample) override;
    // Withdraws the announcement of that handle and frees its entry. GENERAL_DDSI_ERROR once
    // the writer is stopped.
    bool deleteChange(long handle) override;

    // Entries in use, and the table's size.
    size_t topicCount();
    size_t tableSize();

private:
    struct Entry {
        uint32_t key[3] = {};
        int64_t handle = 0;  // 0: free
    };

    // A free entry, doubling the table when there is none. Announcement mutex held.
    Entry& freeEntry();

    std::vector<Entry> m_table;  // under the announcement mutex
};

}  // namespace RTPS
