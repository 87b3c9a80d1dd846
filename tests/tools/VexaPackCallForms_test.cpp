// A topic coded the way tessgen's output codes it: the runtime calls below keep the spelling of
// the generated text, so a renamed or missing overload breaks this build, and the sample must
// survive both byte orders.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "vexa_pack.h"

namespace model {

enum class Color : int32_t { Red = 1, Green = 2 };
typedef Color ColorAlias;

struct Topic {
    int32_t m_id = 0;
    double m_x = 0;
    std::string m_name;
    std::wstring m_label;
    std::vector<int16_t> m_seq;
    std::vector<std::string> m_tags;
    std::array<std::array<int32_t, 3>, 2> m_grid{};
    std::map<int32_t, std::string> m_map;
    std::map<std::string, double> m_byName;
    ColorAlias m_color = Color::Red;
    wchar_t m_ch = 0;

    bool operator==(const Topic& o) const {
        return m_id == o.m_id && m_x == o.m_x && m_name == o.m_name && m_label == o.m_label &&
               m_seq == o.m_seq && m_tags == o.m_tags && m_grid == o.m_grid && m_map == o.m_map &&
               m_byName == o.m_byName && m_color == o.m_color && m_ch == o.m_ch;
    }
};

unsigned pack(const std::map<int32_t, std::string>& MapObj, void* to_buf, unsigned pos,
              unsigned lenbuf) {
    uint32_t size = (uint32_t)MapObj.size();
    pos = VEXA_PACK::packPrimitive(size, to_buf, pos, lenbuf);
    if (pos == 0)
        return pos;
    if (size == 0)
        return pos;
    for (auto& j : MapObj) {
        pos = VEXA_PACK::packPrimitive(j.first, to_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::pack(j.second, to_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
    };
    return pos;
}

template <bool CH>
unsigned unpackMap(std::map<int32_t, std::string>& MapObj, const void* from_buf, unsigned pos,
                   unsigned lenbuf) {
    uint32_t size = 0;
    pos = CH ? VEXA_PACK::unpackPrimitiveCH(size, from_buf, pos, lenbuf)
             : VEXA_PACK::unpackPrimitive(size, from_buf, pos, lenbuf);
    if (pos == 0)
        return pos;
    MapObj.clear();
    for (uint32_t j = 0; j < size; j++) {
        int32_t key;
        std::string value;
        pos = CH ? VEXA_PACK::unpackPrimitiveCH(key, from_buf, pos, lenbuf)
                 : VEXA_PACK::unpackPrimitive(key, from_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = CH ? VEXA_PACK::unpackCH(value, from_buf, pos, lenbuf)
                 : VEXA_PACK::unpack(value, from_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
        MapObj[key] = value;
    }
    return pos;
}

unsigned unpack(std::map<int32_t, std::string>& MapObj, const void* from_buf, unsigned pos,
                unsigned lenbuf) {
    return unpackMap<false>(MapObj, from_buf, pos, lenbuf);
}
unsigned unpackCH(std::map<int32_t, std::string>& MapObj, const void* from_buf, unsigned pos,
                  unsigned lenbuf) {
    return unpackMap<true>(MapObj, from_buf, pos, lenbuf);
}

// Map keys are skipped with the value form of nextPrimitive, whatever their type.
template <class Map>
unsigned nextMap(Map& MapObj, const void* from_buf, unsigned pos, unsigned lenbuf, bool CH) {
    uint32_t size = (uint32_t)MapObj.size();
    pos = CH ? VEXA_PACK::unpackPrimitiveCH(size, from_buf, pos, lenbuf)
             : VEXA_PACK::unpackPrimitive(size, from_buf, pos, lenbuf);
    if (pos == 0)
        return pos;
    if (size == 0)
        return pos;
    for (auto& j : MapObj) {
        pos = CH ? VEXA_PACK::nextPrimitiveCH(j.first, from_buf, pos, lenbuf)
                 : VEXA_PACK::nextPrimitive(j.first, from_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = CH ? VEXA_PACK::nextPrimitiveCH(j.second, from_buf, pos, lenbuf)
                 : VEXA_PACK::nextPrimitive(j.second, from_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
    };
    return pos;
}

// Both byte orders in one function, as the generated big-endian pack lines of keyHash write.
template <bool CH>
unsigned packBody(const Topic& t, void* ptrDist, unsigned lenbuf) {
    unsigned pos = 0;
    pos = CH ? VEXA_PACK::packPrimitiveCH(t.m_id, ptrDist, pos, lenbuf)
             : VEXA_PACK::packPrimitive(t.m_id, ptrDist, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::packPrimitiveCH(t.m_x, ptrDist, pos, lenbuf)
             : VEXA_PACK::packPrimitive(t.m_x, ptrDist, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::packCH(t.m_name, ptrDist, pos, lenbuf)
             : VEXA_PACK::pack(t.m_name, ptrDist, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::packCH(t.m_label, ptrDist, pos, lenbuf)
             : VEXA_PACK::pack(t.m_label, ptrDist, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::packCH(t.m_seq, ptrDist, pos, lenbuf)
             : VEXA_PACK::pack(t.m_seq, ptrDist, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::packCH(t.m_tags, ptrDist, pos, lenbuf)
             : VEXA_PACK::pack(t.m_tags, ptrDist, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::packCH(t.m_grid, ptrDist, pos, lenbuf)
             : VEXA_PACK::pack(t.m_grid, ptrDist, pos, lenbuf);
    if (pos == 0)
        return 0;
    if (CH) {
        // Only the native map helper is generated; a big-endian copy is written here by hand.
        uint32_t size = (uint32_t)t.m_map.size();
        pos = VEXA_PACK::packPrimitiveCH(size, ptrDist, pos, lenbuf);
        for (auto& j : t.m_map) {
            pos = pos ? VEXA_PACK::packPrimitiveCH(j.first, ptrDist, pos, lenbuf) : 0;
            pos = pos ? VEXA_PACK::packCH(j.second, ptrDist, pos, lenbuf) : 0;
        }
    } else {
        pos = model::pack(t.m_map, ptrDist, pos, lenbuf);
    }
    if (pos == 0)
        return 0;
    const uint32_t n = (uint32_t)t.m_byName.size();
    pos = CH ? VEXA_PACK::packPrimitiveCH(n, ptrDist, pos, lenbuf)
             : VEXA_PACK::packPrimitive(n, ptrDist, pos, lenbuf);
    for (auto& j : t.m_byName) {
        pos = pos ? (CH ? VEXA_PACK::packCH(j.first, ptrDist, pos, lenbuf)
                        : VEXA_PACK::pack(j.first, ptrDist, pos, lenbuf))
                  : 0;
        pos = pos ? (CH ? VEXA_PACK::packPrimitiveCH(j.second, ptrDist, pos, lenbuf)
                        : VEXA_PACK::packPrimitive(j.second, ptrDist, pos, lenbuf))
                  : 0;
    }
    if (pos == 0)
        return 0;
    // An alias of an enumeration is reached through pack, not packPrimitive.
    pos = CH ? VEXA_PACK::packCH(t.m_color, ptrDist, pos, lenbuf)
             : VEXA_PACK::pack(t.m_color, ptrDist, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::packPrimitiveCH(t.m_ch, ptrDist, pos, lenbuf)
             : VEXA_PACK::packPrimitive(t.m_ch, ptrDist, pos, lenbuf);
    return pos;
}

unsigned packTopic(const Topic& t, void* to_buf, unsigned in_lenbuf, bool bigEndian) {
    unsigned lenbuf = in_lenbuf - 4;
    if (lenbuf < 4)
        return 0;
    memcpy(to_buf, (void*)&VEXA_PACK::ex_CDR_HEADER_LE, 4);
    if (bigEndian) {
        VEXA_PACK::CDR_HEADER header = VEXA_PACK::ex_CDR_HEADER_LE;
        header.Encapsulation = VEXA_PACK::EnEncapsulation::CDR_BE;
        memcpy(to_buf, (void*)&header, 4);
    }
    uint8_t* ptrDist = (uint8_t*)to_buf + 4;
    unsigned pos =
        bigEndian ? packBody<true>(t, ptrDist, lenbuf) : packBody<false>(t, ptrDist, lenbuf);
    return pos == 0 ? 0 : pos + 4;
}

bool unpackTopic(Topic& t, const void* in_from_buf, unsigned in_lenbuf) {
    if (in_lenbuf < 20) {
        return false;
    }
    unsigned pos = 16;
    VEXA_PACK::CDR_HEADER cdrHEADER;
    VEXA_PACK::unpack(cdrHEADER, in_from_buf, in_lenbuf);
    uint8_t* ptrSrc = (uint8_t*)in_from_buf + 4;
    const void* from_buf = (const void*)ptrSrc;
    if (cdrHEADER.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE) {
        memcpy(&t.m_id, ptrSrc, 4);
        ptrSrc += 8;
        memcpy(&t.m_x, ptrSrc, 8);
        pos = VEXA_PACK::unpack(t.m_name, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = VEXA_PACK::unpack(t.m_label, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = VEXA_PACK::unpackPrimitive(t.m_seq, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = VEXA_PACK::unpack(t.m_tags, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = VEXA_PACK::unpack(t.m_grid, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = model::unpack(t.m_map, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
    } else {
        memcpy(&t.m_id, ptrSrc, 4);
        VEXA_PACK::changeENDIAN(t.m_id);
        ptrSrc += 8;
        memcpy(&t.m_x, ptrSrc, 8);
        VEXA_PACK::changeENDIAN(t.m_x);
        pos = VEXA_PACK::unpackCH(t.m_name, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = VEXA_PACK::unpackCH(t.m_label, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = VEXA_PACK::unpackPrimitiveCH(t.m_seq, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = VEXA_PACK::unpackCH(t.m_tags, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = VEXA_PACK::unpackCH(t.m_grid, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
        pos = model::unpackCH(t.m_map, from_buf, pos, in_lenbuf - 4);
        if (pos == 0)
            return false;
    }
    const bool ch = cdrHEADER.Encapsulation != VEXA_PACK::EnEncapsulation::CDR_LE;
    uint32_t n = 0;
    pos = ch ? VEXA_PACK::unpackPrimitiveCH(n, from_buf, pos, in_lenbuf - 4)
             : VEXA_PACK::unpackPrimitive(n, from_buf, pos, in_lenbuf - 4);
    t.m_byName.clear();
    for (uint32_t i = 0; i < n && pos != 0; ++i) {
        std::string key;
        double value = 0;
        pos = ch ? VEXA_PACK::unpackCH(key, from_buf, pos, in_lenbuf - 4)
                 : VEXA_PACK::unpack(key, from_buf, pos, in_lenbuf - 4);
        pos = pos == 0 ? 0
              : ch     ? VEXA_PACK::unpackPrimitiveCH(value, from_buf, pos, in_lenbuf - 4)
                       : VEXA_PACK::unpackPrimitive(value, from_buf, pos, in_lenbuf - 4);
        t.m_byName[key] = value;
    }
    if (pos == 0)
        return false;
    pos = ch ? VEXA_PACK::unpackPrimitiveCH(t.m_color, from_buf, pos, in_lenbuf - 4)
             : VEXA_PACK::unpackPrimitive(t.m_color, from_buf, pos, in_lenbuf - 4);
    if (pos == 0)
        return false;
    pos = ch ? VEXA_PACK::unpackPrimitiveCH(t.m_ch, from_buf, pos, in_lenbuf - 4)
             : VEXA_PACK::unpackPrimitive(t.m_ch, from_buf, pos, in_lenbuf - 4);
    return pos != 0 && pos + 4 == in_lenbuf;
}

unsigned lenPackedTopic(const Topic& Obj) {
    unsigned pos = 16;
    pos = VEXA_PACK::lenPacked(Obj.m_name, pos);
    pos = VEXA_PACK::lenPacked(Obj.m_label, pos);
    pos = VEXA_PACK::lenPackedVct(pos, 2, (unsigned)Obj.m_seq.size());
    pos = VEXA_PACK::lenPacked(Obj.m_tags, pos);
    pos = VEXA_PACK::lenPacked(pos, 4, 24);
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    for (auto& member : Obj.m_map) {
        pos = VEXA_PACK::lenPackedPrim(pos, 4);
        pos = VEXA_PACK::lenPacked(member.second, pos);
    }
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    for (auto& member : Obj.m_byName) {
        pos = VEXA_PACK::lenPacked(member.first, pos);
        pos = VEXA_PACK::lenPackedPrim(pos, 8);
    }
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    return pos + 4;
}

// Skips the sample behind the fixed prefix with the runtime's skip forms.
unsigned nextTopic(Topic& StructObj, const void* from_buf, unsigned pos, unsigned lenbuf, bool CH) {
    pos = CH ? VEXA_PACK::nextSTRCH(from_buf, pos, lenbuf)
             : VEXA_PACK::nextSTR(from_buf, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::nextCH(StructObj.m_label, from_buf, pos, lenbuf)
             : VEXA_PACK::next(StructObj.m_label, from_buf, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::nextPrimitiveVCTCH<2>(from_buf, pos, lenbuf)
             : VEXA_PACK::nextPrimitiveVCT<2>(from_buf, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = CH ? VEXA_PACK::nextVCTSTRCH(from_buf, pos, lenbuf)
             : VEXA_PACK::nextVCTSTR(from_buf, pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = VEXA_PACK::nextARR<4, 6>(pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = nextMap(StructObj.m_map, from_buf, pos, lenbuf, CH);
    if (pos == 0)
        return 0;
    pos = nextMap(StructObj.m_byName, from_buf, pos, lenbuf, CH);
    if (pos == 0)
        return 0;
    pos = VEXA_PACK::nextPrimitive<4>(pos, lenbuf);
    if (pos == 0)
        return 0;
    pos = VEXA_PACK::nextPrimitive<4>(pos, lenbuf);
    return pos;
}

// Key (m_id, m_name, m_grid) against a packed sample, as keyEqual(buffer) compares it.
bool keyEqual(const Topic& t, const void* from_buf, unsigned lenbuf) {
    uint8_t* ptrSrc = (uint8_t*)from_buf + 4;
    VEXA_PACK::CDR_HEADER cdrHEADER;
    VEXA_PACK::unpack(cdrHEADER, from_buf, lenbuf);
    unsigned pos = 0;
    if (cdrHEADER.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE) {
        if (!VEXA_PACK::comparePrimitive(t.m_id, (void*)ptrSrc, pos, lenbuf - 4))
            return false;
        pos = 16;
        if (!VEXA_PACK::compare(t.m_name, (void*)ptrSrc, pos, lenbuf - 4))
            return false;
        pos = VEXA_PACK::next(t.m_label, ptrSrc, pos, lenbuf - 4);
        pos = VEXA_PACK::nextPrimitiveVCT<2>(ptrSrc, pos, lenbuf - 4);
        pos = VEXA_PACK::nextVCTSTR(ptrSrc, pos, lenbuf - 4);
        if (!VEXA_PACK::compareArr<int32_t, 6>((void*)t.m_grid.data(), (void*)ptrSrc, pos,
                                               lenbuf - 4))
            return false;
    } else {
        if (!VEXA_PACK::comparePrimitiveCH(t.m_id, (void*)ptrSrc, pos, lenbuf - 4))
            return false;
        pos = 16;
        if (!VEXA_PACK::compareCH(t.m_name, (void*)ptrSrc, pos, lenbuf - 4))
            return false;
        pos = VEXA_PACK::nextCH(t.m_label, ptrSrc, pos, lenbuf - 4);
        pos = VEXA_PACK::nextPrimitiveVCTCH<2>(ptrSrc, pos, lenbuf - 4);
        pos = VEXA_PACK::nextVCTSTRCH(ptrSrc, pos, lenbuf - 4);
        if (!VEXA_PACK::compareArrCH<int32_t, 6>((void*)t.m_grid.data(), (void*)ptrSrc, pos,
                                                 lenbuf - 4))
            return false;
    }
    return true;
}

}  // namespace model

namespace {

model::Topic sample() {
    model::Topic t;
    t.m_id = 0x01020304;
    t.m_x = -6.5;
    t.m_name = "Датчик-7";
    t.m_label = L"метка";
    t.m_seq = {1, -2, 3};
    t.m_tags = {"", "ab", "cde"};
    t.m_grid = {{{1, 2, 3}, {4, 5, 6}}};
    t.m_map = {{5, "five"}, {-1, ""}};
    t.m_byName = {{"pi", 3.14}, {"e", 2.71}};
    t.m_color = model::Color::Green;
    t.m_ch = L'Ж';
    return t;
}

TEST(VexaPackCallForms, SampleSurvivesBothByteOrders) {
    const model::Topic t = sample();
    const unsigned length = model::lenPackedTopic(t);
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        std::vector<uint8_t> buf(length);
        ASSERT_EQ(model::packTopic(t, buf.data(), length, bigEndian), length);
        EXPECT_EQ(buf[0], 0);
        EXPECT_EQ(buf[1], bigEndian ? 0 : 1);
        EXPECT_EQ(model::packTopic(t, buf.data(), length - 1, bigEndian), 0u);

        model::Topic out;
        ASSERT_TRUE(model::unpackTopic(out, buf.data(), length));
        EXPECT_TRUE(out == t);

        model::Topic shape = t;
        EXPECT_EQ(model::nextTopic(shape, buf.data() + 4, 16, length - 4, bigEndian), length - 4);

        EXPECT_TRUE(model::keyEqual(t, buf.data(), length));
        model::Topic other = t;
        other.m_grid[1][2] = 7;
        EXPECT_FALSE(model::keyEqual(other, buf.data(), length));
        other = t;
        other.m_name = "Датчик-8";
        EXPECT_FALSE(model::keyEqual(other, buf.data(), length));
    }
}

TEST(VexaPackCallForms, VariableKeyHashIsTheDigestOfTheBigEndianKey) {
    // keyHash of a variable key: the key members packed big-endian from position 0, then MD5.
    const model::Topic t = sample();
    char* to_buf = new char[64];
    memset(to_buf, 0, 64);
    unsigned lenbuf = 64;
    unsigned pos = 0;
    pos = VEXA_PACK::packPrimitiveCH(t.m_id, to_buf, pos, lenbuf);
    pos = VEXA_PACK::packCH(t.m_name, to_buf, pos, lenbuf);
    ASSERT_EQ(pos, 23u);
    unsigned char hash[16];
    VEXA_PACK::MD5::calculate((unsigned char*)to_buf, pos, (unsigned char*)hash);
    delete[] to_buf;
    char text[33];
    for (int i = 0; i < 16; ++i) {
        snprintf(text + 2 * i, 3, "%02x", hash[i]);
    }
    EXPECT_STREQ(text, "2a01d982868c221e337fd3f516ac4c96");
}

}  // namespace
