#include "rtps/history/CacheChange.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "rtps/discovery/BuiltinRecordOps.h"
#include "rtps/wire/RTPSMessage.h"

namespace RTPS {

CacheChange::CacheChange(GUID_t const& writer, SampleInfo const* info) : writerGUID(writer) {
    if (info != nullptr) {
        sampleInfo = *info;
    } else {
        sampleInfo = SampleInfo{};
        sampleInfo.sourceTimestamp = vexa::dds::TIME_INVALID;
    }
    sampleInfo.sequenceNumber = SEQUENCENUMBER_UNKNOWN;
    completeness = (sampleInfo.data != nullptr && sampleInfo.length != 0) ? 2 : 0;
}

CacheChange::~CacheChange() {
    if (message != nullptr) {
        message->removeReference();
    }
    if (ownsRecord && sampleInfo.data != nullptr) {
        const int32_t kind =
            payloadKind == OWNER_RECEIVED ? recordKindOfWriter(writerGUID.entityId) : payloadKind;
        BuiltinRecordOps const* ops = getBuiltinRecordOps(kind);
        if (ops != nullptr && ops->destroy != nullptr) {
            ops->destroy(sampleInfo.data);
        }
    }
}

bool CacheChange::storePackedData(OwnerTopicType kind) {
    packedData.clear();
    packedLength = 0;
    payloadKind = OWNER_USER;
    if (!isBuiltinRecordKind(kind)) {
        return true;
    }
    BuiltinRecordOps const* ops = getBuiltinRecordOps(kind);
    std::vector<uint8_t> packed;
    if (ops == nullptr || ops->pack == nullptr || sampleInfo.data == nullptr ||
        !ops->pack(sampleInfo.data, packed) || packed.size() > UINT32_MAX) {
        return false;
    }
    packedData = std::move(packed);
    packedLength = static_cast<uint32_t>(packedData.size());
    payloadKind = kind;
    ownsRecord = kind == OWNER_PUBLICATION || kind == OWNER_SUBSCRIPTION || kind == OWNER_TOPIC;
    return true;
}

void CacheChange::attachMessage(RTPSMessage* m) {
    if (m == message) {
        return;
    }
    if (m != nullptr) {
        m->addReference();
    }
    if (message != nullptr) {
        message->removeReference();
    }
    message = m;
}

bool CacheChange::initFragmentMap(uint32_t maxSampleSize) {
    if (fragmentSize == 0 || sampleSize == 0 || sampleSize > maxSampleSize ||
        sampleSize > MAX_SAMPLE_SIZE) {
        return false;
    }
    fragmentCount = sampleSize / fragmentSize + (sampleSize % fragmentSize != 0 ? 1 : 0);
    fragmentMap.assign(fragmentCount, false);
    m_fragmentsReceived = 0;
    return true;
}

bool CacheChange::addFragment(uint32_t first, uint32_t count) {
    if (fragmentMap.empty() || first == 0 || first > fragmentCount) {
        return false;
    }
    const uint64_t end = std::min<uint64_t>(uint64_t{first} + count, uint64_t{fragmentCount} + 1);
    for (uint64_t f = first; f < end; ++f) {
        if (!fragmentMap[f - 1]) {
            fragmentMap[f - 1] = true;
            ++m_fragmentsReceived;
        }
    }
    return true;
}

bool CacheChange::allFragmentPresent() const {
    if (fragmentMap.empty() || fragmentCount == 0) {
        return fragmentCount == 0;
    }
    return m_fragmentsReceived == fragmentCount;
}

uint32_t CacheChange::getMissingFragmentSet(FragmentNumberSet& set) const {
    const uint32_t from = set.bitmapBase == 0 ? 1 : set.bitmapBase;
    set.numBits = 0;
    std::memset(set.bitmap, 0, sizeof set.bitmap);
    if (fragmentMap.size() != fragmentCount) {
        set.bitmapBase = from;
        return 0;
    }
    uint64_t base = from;
    while (base <= fragmentCount && fragmentMap[base - 1]) {
        ++base;
    }
    if (base > fragmentCount) {
        set.bitmapBase = from;
        return 0;  // nothing missing from there on
    }
    set.bitmapBase = static_cast<uint32_t>(base);
    uint32_t i = 0;
    for (; i < MAX_SET_BITS && base + i <= fragmentCount; ++i) {
        if (!fragmentMap[base + i - 1]) {
            set.bitmap[i / 32] |= 1u << (i % 32);
            set.numBits = i + 1;
        }
    }
    const uint64_t next = base + i;
    return next > fragmentCount ? 0 : static_cast<uint32_t>(next);
}

FragmentVerdict CacheChange::addFragmentData(uint32_t sampleSizeIn, uint16_t fragmentSizeIn,
                                             uint32_t first, uint32_t count, void const* bytes,
                                             uint64_t length, uint32_t maxSampleSize) {
    if (fragmentSizeIn == 0) {
        return FragmentVerdict::ZeroFragmentSize;
    }
    if (sampleSizeIn == 0 || sampleSizeIn > maxSampleSize || sampleSizeIn > MAX_SAMPLE_SIZE) {
        return FragmentVerdict::BadSampleSize;
    }
    if ((m_reassembling || fragmentSize != 0 || sampleSize != 0) &&
        (fragmentSizeIn != fragmentSize || sampleSizeIn != sampleSize)) {
        return FragmentVerdict::GeometryChanged;
    }
    const uint64_t fragments =
        sampleSizeIn / fragmentSizeIn + (sampleSizeIn % fragmentSizeIn != 0 ? 1 : 0);
    if (first == 0 || first > fragments) {
        return FragmentVerdict::BadFirstFragment;
    }
    if (count == 0) {
        return FragmentVerdict::ZeroCount;
    }
    // Everything in 64 bits: first + count and the offsets cannot wrap.
    const uint64_t last = std::min<uint64_t>(uint64_t{first} + count - 1, fragments);
    const uint64_t offset = (uint64_t{first} - 1) * fragmentSizeIn;
    const uint64_t wanted =
        std::min<uint64_t>((last - first + 1) * fragmentSizeIn, uint64_t{sampleSizeIn} - offset);
    if (bytes == nullptr || length < wanted) {
        return FragmentVerdict::ShortData;
    }
    if (!m_reassembling) {
        fragmentSize = fragmentSizeIn;
        sampleSize = sampleSizeIn;
        initFragmentMap(maxSampleSize);
        m_reassembling = true;
        setData(nullptr, 0);
        completeness &= ~2;  // the data is what the fragments bring
    }
    bool fresh = false;
    for (uint64_t f = first; f <= last && !fresh; ++f) {
        fresh = !fragmentMap[f - 1];
    }
    if (!fresh) {
        return FragmentVerdict::Accepted;  // a repeat: its bytes are here already
    }
    uint8_t const* from = static_cast<uint8_t const*>(bytes);
    if (m_reassembly) {
        std::memcpy(m_reassembly.get() + offset, from, static_cast<size_t>(wanted));
    } else {
        m_pieces.push_back(Piece{offset, std::vector<uint8_t>(from, from + wanted)});
        m_pieceBytes += wanted;
    }
    addFragment(first, static_cast<uint32_t>(last - first + 1));
    if (!m_reassembly &&
        (allFragmentPresent() || m_pieceBytes * WHOLE_BUFFER_SHARE >= uint64_t{sampleSize})) {
        allocateWhole();
    }
    if (allFragmentPresent()) {
        completeness |= 2;
    }
    return FragmentVerdict::Accepted;
}

void CacheChange::allocateWhole() {
    m_reassembly.reset(new uint8_t[sampleSize]);
    for (Piece const& piece : m_pieces) {
        std::memcpy(m_reassembly.get() + piece.offset, piece.bytes.data(), piece.bytes.size());
    }
    std::vector<Piece>().swap(m_pieces);
    m_pieceBytes = 0;
    setData(m_reassembly.get(), sampleSize);
}

}  // namespace RTPS
