#pragma once

#include <cstdint>
#include <memory>

#include "rtps/writer/ChangeForReaderStatusKind.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

class CacheChange;

// A stateful writer's entry for one change and one matched remote reader. The change belongs
// to the writer's history. The fragment table is made by the message composer the first time
// it fragments the change; size and count then stay for every later send to this reader.
class ChangeForReader {
public:
    ChangeForReader(CacheChange* change, SequenceNumber_t sequenceNumber,
                    ChangeForReaderStatusKind status)
        : change(change), sequenceNumber(sequenceNumber), status(status) {}

    ChangeForReader(ChangeForReader const&) = delete;
    ChangeForReader& operator=(ChangeForReader const&) = delete;

    bool isFragmented() const { return fragmentCount != 0; }

    // Sets size and count and makes the table with every fragment REQUESTED.
    void makeFragments(uint32_t size, uint32_t count) {
        fragmentSize = size;
        fragmentCount = count;
        fragmentStatus.reset(new uint32_t[count]);
        for (uint32_t i = 0; i < count; ++i) {
            fragmentStatus[i] = REQUESTED;
        }
    }

    CacheChange* change;
    SequenceNumber_t sequenceNumber;
    ChangeForReaderStatusKind status;
    bool relevant = true;
    uint32_t fragmentCount = 0;
    uint32_t fragmentSize = 0;
    std::unique_ptr<uint32_t[]> fragmentStatus;  // fragmentCount entries; null until fragmented
    bool fragmentsRequested = false;
};

}  // namespace RTPS
