#ifndef VEXA_SAMPLESEQ_H
#define VEXA_SAMPLESEQ_H

// The samples a read or take lends: element i is the data object data[i] with its sample info
// info[i], both owned by the reader until the sequence goes back through return_loan. Nothing
// is copied into it.

#include <cstddef>
#include <vector>

#include "vexa/dds/SampleInfo.h"

namespace vexa {
namespace dcps {
namespace api {

struct SampleSeq {
    std::vector<void*> data;
    std::vector<vexa::dds::SampleInfo*> info;

    std::size_t size() const { return data.size(); }
    bool empty() const { return data.empty(); }
    void reserve(std::size_t n) {
        data.reserve(n);
        info.reserve(n);
    }
    void push_back(void* object, vexa::dds::SampleInfo* sampleInfo) {
        data.push_back(object);
        info.push_back(sampleInfo);
    }
    void clear() {
        data.clear();
        info.clear();
    }
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
