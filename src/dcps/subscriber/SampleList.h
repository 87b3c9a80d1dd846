#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dcps/subscriber/Subscriber.h"
#include "vexa/dds/SampleInfo.h"

namespace vexa::dcps {

// The control block of one pool slot.
struct Subscriber::SampleCB {
    static constexpr uint32_t SAMPLE_EXISTS = 1;  // the slot is occupied
    static constexpr uint32_t SAMPLE_HEAP_OBJECT =
        2;                                       // data came from unpack, not the reader's block
    static constexpr uint32_t SAMPLE_TAKEN = 4;  // lent by a take: freed at the last return
    static constexpr uint32_t SAMPLE_SPARE_OBJECT = 8;  // a heap object the reader may keep

    int32_t prev = -1;  // arrival list
    int32_t next = -1;
    uint32_t flags = 0;
    uint32_t loans = 0;
    void* data = nullptr;
    Reader* reader = nullptr;  // null while free
    int32_t ref_index = -1;    // the sample's reference in its instance's list
};

// The sample pool all readers of a subscriber share: slots in blocks of 1024, each block one
// allocation of 1024 control blocks and 1024 sample infos, so a slot number reaches both with
// one division. Free slots are a stack; occupied ones form a list in arrival order. Blocks are
// added as needed and kept until the pool goes. Used under the subscriber mutex only.
class Subscriber::SampleList {
public:
    static constexpr uint32_t BLOCK = 1024;

    // One block.
    SampleList();
    SampleList(SampleList const&) = delete;
    SampleList& operator=(SampleList const&) = delete;

    void allocateBlock();
    // The top of the free stack (a new block when it is empty).
    int32_t getFreeSample();
    // Both records of a slot; false (and nulls) for a slot outside the pool.
    bool findSample(int32_t slot, SampleCB*& cb, vexa::dds::SampleInfo*& info) const;
    // The slot of a sample info handed out with a loan: -1 for a pointer that is not the start
    // of a record of this pool (it may come from anywhere: only its value is compared).
    int32_t findSample(vexa::dds::SampleInfo const* info, SampleCB*& cb) const;
    // Occupies a free slot (flags exactly SAMPLE_EXISTS) at the end of the arrival list.
    void addSample(int32_t slot);
    // Frees an occupied slot.
    void removeSample(int32_t slot);
    // After `slot` (from the head for a negative one; nothing after a slot no longer occupied)
    // the first slot of `reader` that is not taken; -1 when none.
    int32_t nextSampleAvailableForRead(int32_t slot, Reader const* reader, SampleCB*& cb,
                                       vexa::dds::SampleInfo*& info) const;

    uint32_t capacity() const { return static_cast<uint32_t>(blocks_.size()) * BLOCK; }
    uint32_t count() const { return count_; }
    int32_t first() const { return first_; }

private:
    struct Block {
        SampleCB cb[BLOCK];
        vexa::dds::SampleInfo info[BLOCK];
    };
    SampleCB& cb(int32_t slot) const { return blocks_[slot / BLOCK]->cb[slot % BLOCK]; }

    std::vector<std::unique_ptr<Block>> blocks_;
    std::vector<int32_t> free_;
    int32_t first_ = -1;
    int32_t last_ = -1;
    uint32_t count_ = 0;
};

}  // namespace vexa::dcps
