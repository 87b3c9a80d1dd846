// Any payload through the publication record decoder, with a pack and decode round trip of
// what it accepts.
#include "DiscoveryRecordFuzz.h"
#include "rtps/discovery/RecordDecoders.h"
#include "rtps/discovery/RecordEncoders.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    return fuzzDiscoveryRecord(
        data, size, &RTPS::extractPub,
        [](auto const& r, std::vector<uint8_t>& out) { return RTPS::packPub(r, out); });
}
