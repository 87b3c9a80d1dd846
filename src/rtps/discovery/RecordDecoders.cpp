#include "rtps/discovery/RecordDecoders.h"

#include <string>
#include <vector>

#include "rtps/discovery/RecordLayout.h"
#include "rtps/wire/ByteCursor.h"

namespace RTPS {

namespace {

using vexa::dds::BuiltinTopicKey_t;
using vexa::dds::Duration_t;

constexpr size_t LOCATOR_SIZE = 24;

// Fills a walk from a cursor. After the first failed read every later read fails too, so the
// walk runs to its end and the caller tests ok() once.
class RecordReader {
public:
    RecordReader(uint8_t const* data, size_t length) : m_in(data, length, ByteOrder::Little) {}

    bool ok() const { return m_in.ok(); }

    void u8(uint8_t& v) { m_in.readU8(v); }
    void u32(uint32_t& v) { m_in.readU32(v); }
    void i32(int32_t& v) { m_in.readI32(v); }
    template <class Kind>
    void kind(Kind& k) {
        uint32_t v = 0;
        m_in.readU32(v);
        k = static_cast<Kind>(v);
    }
    void flag(bool& v) {
        uint8_t b = 0;
        m_in.readU8(b);
        v = b != 0;
    }
    void duration(Duration_t& d) {
        m_in.readI32(d.sec);
        m_in.readU32(d.nanosec);
    }
    void key(BuiltinTopicKey_t& k) {
        for (uint32_t& w : k.value) {
            m_in.readU32(w);
        }
    }
    void guid(GUID_t& g) {
        m_in.readBytes(g.guidPrefix, sizeof g.guidPrefix);
        m_in.readBytes(&g.entityId, sizeof g.entityId);
    }
    void raw(void* p, size_t n) { m_in.readBytes(p, n); }
    void text(std::string& s) {
        uint8_t const* p = nullptr;
        uint32_t const n = count(1);
        if (m_in.readView(p, n)) {
            s.assign(reinterpret_cast<char const*>(p), n);
        }
    }
    void octets(std::vector<uint8_t>& v) {
        uint8_t const* p = nullptr;
        uint32_t const n = count(1);
        if (m_in.readView(p, n)) {
            v.assign(p, p + n);
        }
    }
    void texts(std::vector<std::string>& v) {
        // Each string is at least its length word.
        uint32_t const n = count(4);
        v.resize(n);
        for (std::string& s : v) {
            text(s);
        }
    }
    void locator(Locator_t& l) {
        m_in.readI32(l.kind);
        m_in.readU32(l.port);
        m_in.readBytes(l.address, sizeof l.address);
    }
    void locators(std::vector<Locator_t>& v) {
        uint32_t const n = count(LOCATOR_SIZE);
        v.resize(n);
        for (Locator_t& l : v) {
            locator(l);
        }
    }
    void oneLocator(Locator_t& l) {
        l = _LOCATOR_INVALID;
        uint32_t const n = count(LOCATOR_SIZE);
        for (uint32_t i = 0; i < n; ++i) {
            locator(l);
        }
    }

private:
    // A count or length, refused (0, cursor failed) when its elements of at least `unit`
    // bytes each could not fit in what is left.
    uint32_t count(size_t unit) {
        uint32_t n = 0;
        if (!m_in.readU32(n)) {
            return 0;
        }
        if (n > m_in.remaining() / unit) {
            m_in.fail();
            return 0;
        }
        return n;
    }

    ByteCursor m_in;
};

template <class Record, class Walk>
std::unique_ptr<Record> extract(uint8_t const* data, size_t length, Walk walk) {
    if (data == nullptr) {
        return nullptr;
    }
    auto record = std::make_unique<Record>();
    RecordReader reader(data, length);
    walk(reader, *record);
    if (!reader.ok()) {
        return nullptr;
    }
    return record;
}

}  // namespace

std::unique_ptr<SPDPdiscoveredParticipantData> extractPart(uint8_t const* data, size_t length) {
    return extract<SPDPdiscoveredParticipantData>(
        data, length, [](auto& io, auto& r) { layout::participant(io, r); });
}
std::unique_ptr<DiscoveredWriterData> extractPub(uint8_t const* data, size_t length) {
    return extract<DiscoveredWriterData>(data, length,
                                         [](auto& io, auto& r) { layout::publication(io, r); });
}
std::unique_ptr<DiscoveredReaderData> extractSub(uint8_t const* data, size_t length) {
    return extract<DiscoveredReaderData>(data, length,
                                         [](auto& io, auto& r) { layout::subscription(io, r); });
}
std::unique_ptr<DiscoveredTopicData> extractTopic(uint8_t const* data, size_t length) {
    return extract<DiscoveredTopicData>(data, length,
                                        [](auto& io, auto& r) { layout::topic(io, r); });
}
std::unique_ptr<ParticipantMessageData> extractMsg(uint8_t const* data, size_t length) {
    return extract<ParticipantMessageData>(data, length,
                                           [](auto& io, auto& r) { layout::message(io, r); });
}

}  // namespace RTPS
