// DATA_FRAG fragments with sizes from the network, fed into one change's reassembly. Input: a
// run of records, each u32 sample size, u16 fragment size, u32 first fragment, u32 fragment
// count, u16 data length, then that many data bytes; the last record may be cut short.
#include <cstddef>
#include <cstdint>

#include "rtps/wire/ByteCursor.h"
#include "rtps/history/CacheChange.h"

namespace {

// Small enough that the fuzzer's memory limit is about the code, not the cap.
constexpr uint32_t CAP = 1u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    RTPS::ByteCursor in(data, size);
    RTPS::GUID_t writer{};
    RTPS::CacheChange change(writer, nullptr);
    for (;;) {
        uint32_t sampleSize = 0, first = 0, count = 0;
        uint16_t fragmentSize = 0, length = 0;
        uint8_t const* bytes = nullptr;
        if (!in.readU32(sampleSize) || !in.readU16(fragmentSize) || !in.readU32(first) ||
            !in.readU32(count) || !in.readU16(length)) {
            break;
        }
        const size_t available = in.remaining() < length ? in.remaining() : length;
        in.readView(bytes, available);
        change.addFragmentData(sampleSize, fragmentSize, first, count, bytes, available, CAP);
        RTPS::FragmentNumberSet set{};
        set.bitmapBase = first;
        change.getMissingFragmentSet(set);
        if (set.numBits > RTPS::MAX_SET_BITS) {
            __builtin_trap();
        }
        if (change.allFragmentPresent() && change.sampleInfo.data != nullptr &&
            (change.completeness & 2) == 0) {
            __builtin_trap();
        }
    }
    return 0;
}
