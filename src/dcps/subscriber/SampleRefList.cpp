#include <cassert>

#include "dcps/subscriber/InstanceCB.h"

namespace vexa::dcps {

int32_t Reader::SampleRefList::getFreeSampleIndex() {
    if (!vector_) {
        return count_ == 0 ? 0 : -1;
    }
    if (free_.empty()) {
        return -1;
    }
    int32_t const index = free_.back();
    free_.pop_back();
    return index;
}

void Reader::SampleRefList::addSample(int32_t index, int32_t after) {
    Ref& r = findSample(index);
    r.prev = after;
    if (after < 0) {
        r.next = first_;
        first_ = index;
    } else {
        Ref& a = findSample(after);
        r.next = a.next;
        a.next = index;
    }
    if (r.next >= 0) {
        findSample(r.next).prev = index;
    } else {
        last_ = index;
    }
    ++count_;
}

void Reader::SampleRefList::removeSample(int32_t index) {
    Ref& r = findSample(index);
    if (r.prev >= 0) {
        findSample(r.prev).next = r.next;
    } else {
        first_ = r.next;
    }
    if (r.next >= 0) {
        findSample(r.next).prev = r.prev;
    } else {
        last_ = r.prev;
    }
    r = Ref{};
    assert(count_ > 0);
    --count_;
    if (vector_) {
        free_.push_back(index);
    }
}

int32_t Reader::SampleRefList::nextSample(int32_t index) const {
    return index < 0 ? first_ : findSample(index).next;
}

int32_t Reader::SampleRefList::prevSample(int32_t index) const {
    return index < 0 ? last_ : findSample(index).prev;
}

void Reader::SampleRefList::reserve(uint32_t n) {
    if (!vector_) {
        if (n <= 1 && count_ == 0) {
            return;
        }
        vector_ = true;
        refs_.reserve(n > 1 ? n : 1);
        refs_.push_back(single_);
        free_.reserve(n);
        if (count_ == 0) {
            free_.push_back(0);
        }
        single_ = Ref{};
    }
    auto const old = static_cast<uint32_t>(refs_.size());
    if (n <= old) {
        return;
    }
    refs_.resize(n);
    free_.reserve(n);
    for (uint32_t i = old; i < n; ++i) {
        free_.push_back(static_cast<int32_t>(i));
    }
}

}  // namespace vexa::dcps
