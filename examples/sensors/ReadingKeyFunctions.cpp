// Stand-in for the key and length functions of the Reading topic, which tessgen does not write
// yet: the members it declares in Sensors.h, written the way its pack code packs (CDR behind the
// 4-byte encapsulation header; the keys id and source come first). When tessgen writes them,
// this file leaves the build and nothing else changes.

#include <cstring>
#include <string>

#include "Sensors.h"
#include "vexa_md5.h"
#include "vexa_pack.h"

namespace Sensors {

namespace {

constexpr unsigned HEADER = 4;
constexpr unsigned NAME_BOUND = 64;
constexpr unsigned LABEL_BOUND = 32;
constexpr unsigned SAMPLES_BOUND = 100;

// The key members of packed bytes (a whole sample or a key: both start with them); false
// when they do not fit.
bool unpackKeyMembers(void const* buf, unsigned lenbuf, uint32_t& id, std::string& source) {
    if (lenbuf < HEADER + 4) {
        return false;
    }
    VEXA_PACK::CDR_HEADER header;
    VEXA_PACK::unpack(header, buf, lenbuf);
    void const* body = static_cast<uint8_t const*>(buf) + HEADER;
    unsigned const len = lenbuf - HEADER;
    bool const little = header.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE;
    unsigned pos = little ? VEXA_PACK::unpackPrimitive(id, body, 0, len)
                          : VEXA_PACK::unpackPrimitiveCH(id, body, 0, len);
    if (pos == 0) {
        return false;
    }
    pos = little ? VEXA_PACK::unpack(source, body, pos, len)
                 : VEXA_PACK::unpackCH(source, body, pos, len);
    return pos != 0;
}

unsigned valueLen(Value const& v, unsigned pos) {
    pos = VEXA_PACK::lenPackedPrim(pos, sizeof(Unit));
    switch (v._d()) {
        case Unit::KELVIN:
            return VEXA_PACK::lenPackedPrim(pos, 8);
        case Unit::PASCAL:
        case Unit::CELSIUS:
        default:
            return VEXA_PACK::lenPackedPrim(pos, 4);
    }
}

}  // namespace

vexa::dds::KeyHash_t Reading::keyHash() const {
    unsigned char packed[HEADER + 4 + 4 + NAME_BOUND + 1 + 8];
    std::string bounded = m_source.substr(0, NAME_BOUND);
    unsigned pos = VEXA_PACK::packPrimitive(m_id, packed, 0, sizeof packed);
    pos = pos != 0 ? VEXA_PACK::pack(bounded, packed, pos, sizeof packed) : 0;
    vexa::dds::KeyHash_t hash;
    VEXA_PACK::MD5::calculate(packed, pos, hash.hash);
    return hash;
}

bool Reading::keyEqual(const Reading& object) const {
    return m_id == object.m_id && m_source == object.m_source;
}

bool Reading::keyEqual(const void* buf, unsigned lenbuf, bool) const {
    uint32_t id = 0;
    std::string source;
    return unpackKeyMembers(buf, lenbuf, id, source) && id == m_id && source == m_source;
}

bool Reading::keyEqual(const void* key_packed, unsigned lenkey, const void* buf, unsigned lenbuf,
                       bool key_only) {
    Reading key;
    return key.unpackKey(key_packed, lenkey) && key.keyEqual(buf, lenbuf, key_only);
}

unsigned Reading::lenPacked() const {
    unsigned pos = VEXA_PACK::lenPackedPrim(0, 4);
    pos = VEXA_PACK::lenPacked(m_source, pos);
    pos = VEXA_PACK::lenPackedPrim(pos, sizeof(Common::Status));
    pos = valueLen(m_value, pos);
    // An empty sequence is its count alone: no padding for elements that are not there.
    pos = m_history.empty()
              ? VEXA_PACK::lenPackedPrim(pos, 4)
              : VEXA_PACK::lenPackedVct(pos, 8, static_cast<unsigned>(m_history.size()));
    pos = VEXA_PACK::lenPackedPrim(pos, 1);
    pos = VEXA_PACK::lenPacked(m_label, pos);
    return HEADER + pos;
}

unsigned Reading::maxlenPacked() {
    Reading largest;
    largest.m_source.assign(NAME_BOUND, 'n');
    Value kelvin;
    kelvin.kelvin(0.0);
    largest.m_value = kelvin;
    largest.m_history.assign(SAMPLES_BOUND, 0.0);
    largest.m_label.assign(LABEL_BOUND, 'l');
    return largest.lenPacked();
}

unsigned Reading::keylenPacked() const {
    return HEADER + VEXA_PACK::lenPacked(m_source, VEXA_PACK::lenPackedPrim(0, 4));
}

unsigned Reading::packKey(void* to_buf, unsigned lenbuf) const {
    if (lenbuf < HEADER) {
        return 0;
    }
    std::memcpy(to_buf, &VEXA_PACK::ex_CDR_HEADER_LE, HEADER);
    void* body = static_cast<uint8_t*>(to_buf) + HEADER;
    unsigned pos = VEXA_PACK::packPrimitive(m_id, body, 0, lenbuf - HEADER);
    pos = pos != 0 ? VEXA_PACK::pack(m_source, body, pos, lenbuf - HEADER) : 0;
    return pos != 0 ? pos + HEADER : 0;
}

bool Reading::unpackKey(const void* from_buf, unsigned lenbuf) {
    return unpackKeyMembers(from_buf, lenbuf, m_id, m_source);
}

}  // namespace Sensors
