// Any payload through the subscription record decoder, with a pack and decode round trip of
// what it accepts.
#include "DiscoveryRecordFuzz.h"
#include "rtps/discovery/RecordDecoders.h"
#include "rtps/discovery/RecordEncoders.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    return fuzzDiscoveryRecord(
        data, size, &RTPS::extractSub,
        [](auto const& r, std::vector<uint8_t>& out) { return RTPS::packSub(r, out); });
}
