#include "dcps/subscriber/SampleList.h"

#include <cassert>

namespace vexa::dcps {

using vexa::dds::SampleInfo;

Subscriber::SampleList::SampleList() {
    allocateBlock();
}

void Subscriber::SampleList::allocateBlock() {
    uint32_t const base = capacity();
    blocks_.push_back(std::make_unique<Block>());
    free_.reserve(capacity());
    // Ascending, so the highest new number is handed out first.
    for (uint32_t i = 0; i < BLOCK; ++i) {
        free_.push_back(static_cast<int32_t>(base + i));
    }
}

int32_t Subscriber::SampleList::getFreeSample() {
    if (free_.empty()) {
        allocateBlock();
    }
    int32_t const slot = free_.back();
    free_.pop_back();
    return slot;
}

bool Subscriber::SampleList::findSample(int32_t slot, SampleCB*& out, SampleInfo*& info) const {
    if (slot < 0 || static_cast<uint32_t>(slot) >= capacity()) {
        out = nullptr;
        info = nullptr;
        return false;
    }
    Block& b = *blocks_[slot / BLOCK];
    out = &b.cb[slot % BLOCK];
    info = &b.info[slot % BLOCK];
    return true;
}

int32_t Subscriber::SampleList::findSample(SampleInfo const* info, SampleCB*& out) const {
    out = nullptr;
    auto const p = reinterpret_cast<uintptr_t>(info);
    for (size_t b = 0; b < blocks_.size(); ++b) {
        auto const start = reinterpret_cast<uintptr_t>(&blocks_[b]->info[0]);
        if (p < start || p >= start + sizeof blocks_[b]->info) {
            continue;
        }
        if ((p - start) % sizeof(SampleInfo) != 0) {
            return -1;  // inside a record, not at its start
        }
        auto const pos = static_cast<uint32_t>((p - start) / sizeof(SampleInfo));
        out = &blocks_[b]->cb[pos];
        return static_cast<int32_t>(b * BLOCK + pos);
    }
    return -1;
}

void Subscriber::SampleList::addSample(int32_t slot) {
    SampleCB& c = cb(slot);
    c.flags = SampleCB::SAMPLE_EXISTS;
    c.prev = last_;
    c.next = -1;
    if (last_ >= 0) {
        cb(last_).next = slot;
    } else {
        first_ = slot;
    }
    last_ = slot;
    ++count_;
}

void Subscriber::SampleList::removeSample(int32_t slot) {
    SampleCB& c = cb(slot);
    assert((c.flags & SampleCB::SAMPLE_EXISTS) != 0);
    if (c.prev >= 0) {
        cb(c.prev).next = c.next;
    } else {
        first_ = c.next;
    }
    if (c.next >= 0) {
        cb(c.next).prev = c.prev;
    } else {
        last_ = c.prev;
    }
    c.prev = c.next = -1;
    c.flags = 0;
    c.loans = 0;
    c.data = nullptr;
    c.reader = nullptr;
    c.ref_index = -1;
    free_.push_back(slot);
    --count_;
}

int32_t Subscriber::SampleList::nextSampleAvailableForRead(int32_t slot, Reader const* reader,
                                                           SampleCB*& out,
                                                           SampleInfo*& info) const {
    int32_t s = first_;
    if (static_cast<uint32_t>(slot) >= capacity() && slot >= 0) {
        s = -1;
    } else if (slot >= 0) {
        SampleCB const& from = cb(slot);
        s = (from.flags & SampleCB::SAMPLE_EXISTS) != 0 ? from.next : -1;
    }
    for (; s >= 0; s = cb(s).next) {
        SampleCB const& c = cb(s);
        if (c.reader == reader && (c.flags & SampleCB::SAMPLE_TAKEN) == 0) {
            findSample(s, out, info);
            return s;
        }
    }
    out = nullptr;
    info = nullptr;
    return -1;
}

}  // namespace vexa::dcps
