#include "rtps/discovery/RecordEncoders.h"

#include <cstring>
#include <limits>
#include <string>

#include "rtps/discovery/RecordLayout.h"

namespace RTPS {

namespace {

using vexa::dds::BuiltinTopicKey_t;
using vexa::dds::Duration_t;

// Counts the bytes a walk would write.
class SizeCounter {
public:
    size_t size() const { return m_tooLong ? std::numeric_limits<size_t>::max() : m_size; }

    void u8(uint8_t) { m_size += 1; }
    void i32(int32_t) { m_size += 4; }
    void u32(uint32_t) { m_size += 4; }
    template <class Kind>
    void kind(Kind) {
        m_size += 4;
    }
    void flag(bool) { m_size += 1; }
    void duration(Duration_t) { m_size += 8; }
    void key(BuiltinTopicKey_t const&) { m_size += 12; }
    void guid(GUID_t const&) { m_size += 16; }
    void raw(void const*, size_t n) { m_size += n; }
    void text(std::string const& s) { counted(s.size(), s.size()); }
    void octets(std::vector<uint8_t> const& v) { counted(v.size(), v.size()); }
    void texts(std::vector<std::string> const& v) {
        counted(v.size(), 0);
        for (std::string const& s : v) {
            text(s);
        }
    }
    void locators(std::vector<Locator_t> const& v) { counted(v.size(), v.size() * 24); }
    void oneLocator(Locator_t const&) { m_size += 4 + 24; }

private:
    void counted(size_t count, size_t bytes) {
        if (count > std::numeric_limits<uint32_t>::max()) {
            m_tooLong = true;
        }
        m_size += 4 + bytes;
    }

    size_t m_size = 0;
    bool m_tooLong = false;
};

// Writes a walk into a buffer that SizeCounter has sized.
class Packer {
public:
    explicit Packer(uint8_t* out) : m_p(out) {}

    void u8(uint8_t v) { *m_p++ = v; }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            *m_p++ = static_cast<uint8_t>(v >> (8 * i));
        }
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    template <class Kind>
    void kind(Kind k) {
        u32(static_cast<uint32_t>(k));
    }
    void flag(bool v) { u8(v ? 1 : 0); }
    void duration(Duration_t d) {
        i32(d.sec);
        u32(d.nanosec);
    }
    void key(BuiltinTopicKey_t const& k) {
        for (uint32_t w : k.value) {
            u32(w);
        }
    }
    void guid(GUID_t const& g) {
        raw(g.guidPrefix, sizeof g.guidPrefix);
        raw(&g.entityId, sizeof g.entityId);
    }
    void raw(void const* p, size_t n) {
        if (n != 0) {
            std::memcpy(m_p, p, n);
            m_p += n;
        }
    }
    void text(std::string const& s) {
        u32(static_cast<uint32_t>(s.size()));
        raw(s.data(), s.size());
    }
    void octets(std::vector<uint8_t> const& v) {
        u32(static_cast<uint32_t>(v.size()));
        raw(v.data(), v.size());
    }
    void texts(std::vector<std::string> const& v) {
        u32(static_cast<uint32_t>(v.size()));
        for (std::string const& s : v) {
            text(s);
        }
    }
    void locator(Locator_t const& l) {
        i32(l.kind);
        u32(l.port);
        raw(l.address, sizeof l.address);
    }
    void locators(std::vector<Locator_t> const& v) {
        u32(static_cast<uint32_t>(v.size()));
        for (Locator_t const& l : v) {
            locator(l);
        }
    }
    // Our own participant record always carries exactly one locator per list.
    void oneLocator(Locator_t const& l) {
        u32(1);
        locator(l);
    }

    uint8_t* position() const { return m_p; }

private:
    uint8_t* m_p;
};

template <class Record, class Walk>
size_t sizeOf(Record const& record, Walk walk) {
    SizeCounter counter;
    walk(counter, record);
    return counter.size();
}

template <class Record, class Walk>
bool pack(Record const& record, std::vector<uint8_t>& out, Walk walk) {
    out.clear();
    size_t const size = sizeOf(record, walk);
    if (!fitsOneData(size)) {
        return false;
    }
    out.resize(size);
    Packer packer(out.data());
    walk(packer, record);
    return true;
}

}  // namespace

size_t packedSize(SPDPdiscoveredParticipantData const& record) {
    return sizeOf(record, [](auto& io, auto& r) { layout::participant(io, r); });
}
size_t packedSize(DiscoveredWriterData const& record) {
    return sizeOf(record, [](auto& io, auto& r) { layout::publication(io, r); });
}
size_t packedSize(DiscoveredReaderData const& record) {
    return sizeOf(record, [](auto& io, auto& r) { layout::subscription(io, r); });
}
size_t packedSize(DiscoveredTopicData const& record) {
    return sizeOf(record, [](auto& io, auto& r) { layout::topic(io, r); });
}
size_t packedSize(ParticipantMessageData const& record) {
    return sizeOf(record, [](auto& io, auto& r) { layout::message(io, r); });
}

bool packPart(SPDPdiscoveredParticipantData const& record, std::vector<uint8_t>& out) {
    return pack(record, out, [](auto& io, auto& r) { layout::participant(io, r); });
}
bool packPub(DiscoveredWriterData const& record, std::vector<uint8_t>& out) {
    return pack(record, out, [](auto& io, auto& r) { layout::publication(io, r); });
}
bool packSub(DiscoveredReaderData const& record, std::vector<uint8_t>& out) {
    return pack(record, out, [](auto& io, auto& r) { layout::subscription(io, r); });
}
bool packTopic(DiscoveredTopicData const& record, std::vector<uint8_t>& out) {
    return pack(record, out, [](auto& io, auto& r) { layout::topic(io, r); });
}
bool packMsg(ParticipantMessageData const& record, std::vector<uint8_t>& out) {
    return pack(record, out, [](auto& io, auto& r) { layout::message(io, r); });
}

}  // namespace RTPS
