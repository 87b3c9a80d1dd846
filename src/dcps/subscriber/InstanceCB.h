#pragma once

#include <cstdint>
#include <vector>

#include "dcps/subscriber/Reader.h"
#include "vexa/dds/BasicTypes.h"

namespace vexa::dcps {

class TimeService;

// One instance's history: references to pool slots, oldest first. A list that was never
// reserved beyond one entry keeps its only reference inline (most instances of a depth-1 reader);
// otherwise the references live in a vector with a stack of free indices.
class Reader::SampleRefList {
public:
    struct Ref {
        int32_t prev = -1;
        int32_t next = -1;
        int32_t sample_handle = -1;  // pool slot, -1 while free
        int32_t writer = -1;         // remote-writer index, -1 unknown
    };

    // A free index, -1 when the list is full.
    int32_t getFreeSampleIndex();
    // Appends the reference at `index`.
    void addSample(int32_t index) { addSample(index, last_); }
    // Inserts it after `after`; -1 puts it at the head.
    void addSample(int32_t index, int32_t after);
    // Unlinks it and frees its index.
    void removeSample(int32_t index);
    // The one after (before) `index`; -1 gives the first (last).
    int32_t nextSample(int32_t index) const;
    int32_t prevSample(int32_t index) const;
    Ref& findSample(int32_t index) { return vector_ ? refs_[index] : single_; }
    Ref const& findSample(int32_t index) const { return vector_ ? refs_[index] : single_; }
    // Room for n references; n = 1 on an empty list keeps the inline mode.
    void reserve(uint32_t n);

    uint32_t size() const { return vector_ ? static_cast<uint32_t>(refs_.size()) : 1u; }
    uint32_t count() const { return count_; }
    int32_t first() const { return first_; }
    int32_t last() const { return last_; }

private:
    bool vector_ = false;
    Ref single_;
    std::vector<Ref> refs_;
    std::vector<int32_t> free_;
    int32_t first_ = -1;
    int32_t last_ = -1;
    uint32_t count_ = 0;
};

// One instance of a reader. Its slot in the reader's table stays after the instance is removed
// (the sign bit of the state marks that) until the table is compacted, so a later sample of
// the same key revives it.
struct Reader::InstanceCB {
    static constexpr uint32_t REMOVED = 0x80000000u;

    // Applies a sample's flags to the instance state and the generation counts.
    void state(uint32_t flags, TimeService const& clock);
    bool removed() const { return (instance_state & REMOVED) != 0; }

    int32_t handle = 0;
    std::vector<uint8_t> key;   // packed key, empty for a keyless type
    vexa::dds::KeyHash_t hash;  // its entry in the reader's hash
    vexa::dds::Time_t alive_time = vexa::dds::TIME_INVALID;
    vexa::dds::Time_t disposed_time;
    vexa::dds::Time_t no_writers_time;
    uint32_t instance_state = 4;  // NOT_ALIVE_NO_WRITERS until the first ALIVE sample
    int32_t owner = -1;
    uint32_t writers = 0;
    int32_t disposed_generation_count = 0;
    int32_t no_writers_generation_count = -1;
    int32_t seen_disposed = -1;  // highest generation counts lent so far
    int32_t seen_no_writers = -1;
    SampleRefList samples;

    // The seen counts as one loan walk found them (walk = the walk's number).
    uint32_t walk = 0;
    int32_t walk_seen_disposed = -1;
    int32_t walk_seen_no_writers = -1;
};

}  // namespace vexa::dcps
