// Every runtime call that tessgen writes into generated pack code, spelled as the generator
// spells it, instantiated for each primitive and enumeration type a model can hold: a missing
// overload or a wrong argument form breaks this build. Each helper is written once per byte
// order through the suffix S ("" or CH), exactly as the generator emits its twins.
//
// The behaviour checks tie the forms together: what the pack lines write, the unpack lines read
// back in both byte orders, the skip lines step over exactly, the length lines measure exactly,
// and the key lines compare equal and read back from the big-endian bytes that are hashed.
#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "vexa_pack.h"

namespace model {

enum class E16 : int16_t { A = 1, B = -2 };
enum class E32 : int32_t { A = 1, B = 0x01020304 };
enum class E64 : int64_t { A = 1, B = -0x0102030405060708LL };
// An alias of an enumeration: generated code reaches it through pack and lenPacked, not the
// primitive forms.
typedef E32 Tone;

template <class T>
struct Rec {
    T m_a{};
    std::vector<T> m_seq;
    std::array<std::array<T, 3>, 2> m_arr{};
    std::map<T, T> m_map;
    std::vector<std::vector<T>> m_nested;
    std::string m_s;
    std::wstring m_w;
    std::vector<std::string> m_vs;
    std::vector<std::wstring> m_vw;
    std::array<std::string, 2> m_as;
    Tone m_tone = Tone::A;
    std::map<Tone, std::string> m_byTone;
    std::map<std::string, T> m_byName;

    bool operator==(const Rec& o) const {
        return m_a == o.m_a && m_seq == o.m_seq && m_arr == o.m_arr && m_map == o.m_map &&
               m_nested == o.m_nested && m_s == o.m_s && m_w == o.m_w && m_vs == o.m_vs &&
               m_vw == o.m_vw && m_as == o.m_as && m_tone == o.m_tone && m_byTone == o.m_byTone &&
               m_byName == o.m_byName;
    }
};

// Packed size of T: the template argument of the skip forms and the size of the length forms.
template <class T>
constexpr unsigned A = sizeof(T);

// ---- pack helpers (the generator writes the native ones; keyHash names the CH ones) ----

#define MODEL_PACK_HELPERS(S)                                                                      \
    template <class T>                                                                             \
    unsigned pack##S(const std::map<T, T>& MapObj, void* to_buf, unsigned pos, unsigned lenbuf) {  \
        uint32_t size = (uint32_t)MapObj.size();                                                   \
        pos = VEXA_PACK::packPrimitive##S(size, to_buf, pos, lenbuf);                              \
        if (pos == 0)                                                                              \
            return pos;                                                                            \
        if (size == 0)                                                                             \
            return pos;                                                                            \
        for (auto& j : MapObj) {                                                                   \
            pos = VEXA_PACK::packPrimitive##S(j.first, to_buf, pos, lenbuf);                       \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            pos = VEXA_PACK::packPrimitive##S(j.second, to_buf, pos, lenbuf);                      \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
        };                                                                                         \
        return pos;                                                                                \
    }                                                                                              \
    inline unsigned pack##S(const std::map<Tone, std::string>& MapObj, void* to_buf, unsigned pos, \
                            unsigned lenbuf) {                                                     \
        uint32_t size = (uint32_t)MapObj.size();                                                   \
        pos = VEXA_PACK::packPrimitive##S(size, to_buf, pos, lenbuf);                              \
        if (pos == 0)                                                                              \
            return pos;                                                                            \
        if (size == 0)                                                                             \
            return pos;                                                                            \
        for (auto& j : MapObj) {                                                                   \
            pos = VEXA_PACK::pack##S(j.first, to_buf, pos, lenbuf);                                \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            pos = VEXA_PACK::pack##S(j.second, to_buf, pos, lenbuf);                               \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
        };                                                                                         \
        return pos;                                                                                \
    }                                                                                              \
    template <class T>                                                                             \
    unsigned pack##S(const std::map<std::string, T>& MapObj, void* to_buf, unsigned pos,           \
                     unsigned lenbuf) {                                                            \
        uint32_t size = (uint32_t)MapObj.size();                                                   \
        pos = VEXA_PACK::packPrimitive##S(size, to_buf, pos, lenbuf);                              \
        if (pos == 0)                                                                              \
            return pos;                                                                            \
        if (size == 0)                                                                             \
            return pos;                                                                            \
        for (auto& j : MapObj) {                                                                   \
            pos = VEXA_PACK::pack##S(j.first, to_buf, pos, lenbuf);                                \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            pos = VEXA_PACK::packPrimitive##S(j.second, to_buf, pos, lenbuf);                      \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
        };                                                                                         \
        return pos;                                                                                \
    }                                                                                              \
    template <class T>                                                                             \
    unsigned pack##S(const std::vector<std::vector<T>>& VectorObj, void* to_buf, unsigned pos,     \
                     unsigned lenbuf) {                                                            \
        uint32_t size = (uint32_t)VectorObj.size();                                                \
        pos = VEXA_PACK::packPrimitive##S(size, to_buf, pos, lenbuf);                              \
        if (pos == 0)                                                                              \
            return pos;                                                                            \
        if (size == 0)                                                                             \
            return pos;                                                                            \
        for (auto& j : VectorObj) {                                                                \
            pos = VEXA_PACK::pack##S(j, to_buf, pos, lenbuf);                                      \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
        };                                                                                         \
        return pos;                                                                                \
    }                                                                                              \
    inline unsigned pack##S(const std::array<std::string, 2>& ArrayObj, void* to_buf,              \
                            unsigned pos, unsigned lenbuf) {                                       \
        for (auto& i0 : ArrayObj) {                                                                \
            pos = VEXA_PACK::pack##S(i0, to_buf, pos, lenbuf);                                     \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
        }                                                                                          \
        return pos;                                                                                \
    }                                                                                              \
    template <class T>                                                                             \
    unsigned pack##S(const Rec<T>& StructObj, void* to_buf, unsigned pos, unsigned lenbuf) {       \
        pos = VEXA_PACK::packPrimitive##S(StructObj.m_a, to_buf, pos, lenbuf);                     \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::pack##S(StructObj.m_seq, to_buf, pos, lenbuf);                            \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::pack##S(StructObj.m_arr, to_buf, pos, lenbuf);                            \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::pack##S(StructObj.m_map, to_buf, pos, lenbuf);                                \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::pack##S(StructObj.m_nested, to_buf, pos, lenbuf);                             \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::pack##S(StructObj.m_s, to_buf, pos, lenbuf);                              \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::pack##S(StructObj.m_w, to_buf, pos, lenbuf);                              \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::pack##S(StructObj.m_vs, to_buf, pos, lenbuf);                             \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::pack##S(StructObj.m_vw, to_buf, pos, lenbuf);                             \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::pack##S(StructObj.m_as, to_buf, pos, lenbuf);                                 \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::pack##S(StructObj.m_tone, to_buf, pos, lenbuf);                           \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::pack##S(StructObj.m_byTone, to_buf, pos, lenbuf);                             \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::pack##S(StructObj.m_byName, to_buf, pos, lenbuf);                             \
        return pos;                                                                                \
    }

MODEL_PACK_HELPERS()
MODEL_PACK_HELPERS(CH)

// ---- unpack helpers ----

#define MODEL_UNPACK_HELPERS(S)                                                                    \
    template <class T>                                                                             \
    unsigned unpack##S(std::map<T, T>& MapObj, const void* from_buf, unsigned pos,                 \
                       unsigned lenbuf) {                                                          \
        MapObj.clear();                                                                            \
        uint32_t size;                                                                             \
        pos = VEXA_PACK::unpackPrimitive##S(size, from_buf, pos, lenbuf);                          \
        if (pos == 0)                                                                              \
            return pos;                                                                            \
        if (size == 0)                                                                             \
            return pos;                                                                            \
        T key;                                                                                     \
        T value;                                                                                   \
        for (unsigned j = 0; j < size; j++) {                                                      \
            pos = VEXA_PACK::unpackPrimitive##S(key, from_buf, pos, lenbuf);                       \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            pos = VEXA_PACK::unpackPrimitive##S(value, from_buf, pos, lenbuf);                     \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            MapObj[key] = value;                                                                   \
        };                                                                                         \
        return pos;                                                                                \
    }                                                                                              \
    inline unsigned unpack##S(std::map<Tone, std::string>& MapObj, const void* from_buf,           \
                              unsigned pos, unsigned lenbuf) {                                     \
        MapObj.clear();                                                                            \
        uint32_t size;                                                                             \
        pos = VEXA_PACK::unpackPrimitive##S(size, from_buf, pos, lenbuf);                          \
        if (pos == 0)                                                                              \
            return pos;                                                                            \
        if (size == 0)                                                                             \
            return pos;                                                                            \
        Tone key;                                                                                  \
        std::string value;                                                                         \
        for (unsigned j = 0; j < size; j++) {                                                      \
            pos = VEXA_PACK::unpackPrimitive##S(key, from_buf, pos, lenbuf);                       \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            pos = VEXA_PACK::unpack##S(value, from_buf, pos, lenbuf);                              \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            MapObj[key] = value;                                                                   \
        };                                                                                         \
        return pos;                                                                                \
    }                                                                                              \
    template <class T>                                                                             \
    unsigned unpack##S(std::map<std::string, T>& MapObj, const void* from_buf, unsigned pos,       \
                       unsigned lenbuf) {                                                          \
        MapObj.clear();                                                                            \
        uint32_t size;                                                                             \
        pos = VEXA_PACK::unpackPrimitive##S(size, from_buf, pos, lenbuf);                          \
        if (pos == 0)                                                                              \
            return pos;                                                                            \
        if (size == 0)                                                                             \
            return pos;                                                                            \
        std::string key;                                                                           \
        T value;                                                                                   \
        for (unsigned j = 0; j < size; j++) {                                                      \
            pos = VEXA_PACK::unpack##S(key, from_buf, pos, lenbuf);                                \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            pos = VEXA_PACK::unpackPrimitive##S(value, from_buf, pos, lenbuf);                     \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            MapObj[key] = value;                                                                   \
        };                                                                                         \
        return pos;                                                                                \
    }                                                                                              \
    template <class T>                                                                             \
    unsigned unpack##S(std::vector<std::vector<T>>& VectorObj, const void* from_buf, unsigned pos, \
                       unsigned lenbuf) {                                                          \
        uint32_t size;                                                                             \
        VectorObj.clear();                                                                         \
        pos = VEXA_PACK::unpackPrimitive##S(size, from_buf, pos, lenbuf);                          \
        if (pos == 0)                                                                              \
            return pos;                                                                            \
        if (size == 0)                                                                             \
            return pos;                                                                            \
        std::vector<T> value;                                                                      \
        for (unsigned j = 0; j < size; j++) {                                                      \
            pos = VEXA_PACK::unpackPrimitive##S(value, from_buf, pos, lenbuf);                     \
            if (pos == 0)                                                                          \
                return 0;                                                                          \
            VectorObj.push_back(value);                                                            \
        };                                                                                         \
        return pos;                                                                                \
    }                                                                                              \
    inline unsigned unpack##S(std::array<std::string, 2>& ArrayObj, const void* from_buf,          \
                              unsigned pos, unsigned lenbuf) {                                     \
        std::string tmp;                                                                           \
        for (auto& i0 : ArrayObj) {                                                                \
            pos = VEXA_PACK::unpack##S(tmp, from_buf, pos, lenbuf);                                \
            i0 = tmp;                                                                              \
        }                                                                                          \
        return pos;                                                                                \
    }                                                                                              \
    template <class T>                                                                             \
    unsigned unpack##S(Rec<T>& StructObj, const void* from_buf, unsigned pos, unsigned lenbuf) {   \
        pos = VEXA_PACK::unpackPrimitive##S(StructObj.m_a, from_buf, pos, lenbuf);                 \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::unpackPrimitive##S(StructObj.m_seq, from_buf, pos, lenbuf);               \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::unpack##S(StructObj.m_arr, from_buf, pos, lenbuf);                        \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::unpack##S(StructObj.m_map, from_buf, pos, lenbuf);                            \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::unpack##S(StructObj.m_nested, from_buf, pos, lenbuf);                         \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::unpack##S(StructObj.m_s, from_buf, pos, lenbuf);                          \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::unpack##S(StructObj.m_w, from_buf, pos, lenbuf);                          \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::unpack##S(StructObj.m_vs, from_buf, pos, lenbuf);                         \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::unpack##S(StructObj.m_vw, from_buf, pos, lenbuf);                         \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::unpack##S(StructObj.m_as, from_buf, pos, lenbuf);                             \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = VEXA_PACK::unpackPrimitive##S(StructObj.m_tone, from_buf, pos, lenbuf);              \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::unpack##S(StructObj.m_byTone, from_buf, pos, lenbuf);                         \
        if (pos == 0)                                                                              \
            return 0;                                                                              \
        pos = model::unpack##S(StructObj.m_byName, from_buf, pos, lenbuf);                         \
        return pos;                                                                                \
    }

MODEL_UNPACK_HELPERS()
MODEL_UNPACK_HELPERS(CH)

// ---- skip helpers; the runtime's sequence skip takes the element size as its argument ----

#define MODEL_NEXT_HELPERS(S)                                                                    \
    template <class T>                                                                           \
    unsigned next##S(std::map<T, T>& MapObj, const void* from_buf, unsigned pos,                 \
                     unsigned lenbuf) {                                                          \
        uint32_t size = (uint32_t)MapObj.size();                                                 \
        pos = VEXA_PACK::unpackPrimitive##S(size, from_buf, pos, lenbuf);                        \
        if (pos == 0)                                                                            \
            return pos;                                                                          \
        if (size == 0)                                                                           \
            return pos;                                                                          \
        for (auto& j : MapObj) {                                                                 \
            pos = VEXA_PACK::nextPrimitive##S(j.first, from_buf, pos, lenbuf);                   \
            if (pos == 0)                                                                        \
                return 0;                                                                        \
            pos = VEXA_PACK::nextPrimitive<A<T>>(pos, lenbuf);                                   \
            if (pos == 0)                                                                        \
                return 0;                                                                        \
        };                                                                                       \
        return pos;                                                                              \
    }                                                                                            \
    inline unsigned next##S(std::map<Tone, std::string>& MapObj, const void* from_buf,           \
                            unsigned pos, unsigned lenbuf) {                                     \
        uint32_t size = (uint32_t)MapObj.size();                                                 \
        pos = VEXA_PACK::unpackPrimitive##S(size, from_buf, pos, lenbuf);                        \
        if (pos == 0)                                                                            \
            return pos;                                                                          \
        if (size == 0)                                                                           \
            return pos;                                                                          \
        for (auto& j : MapObj) {                                                                 \
            pos = VEXA_PACK::nextPrimitive##S(j.first, from_buf, pos, lenbuf);                   \
            if (pos == 0)                                                                        \
                return 0;                                                                        \
            pos = VEXA_PACK::nextSTR##S(from_buf, pos, lenbuf);                                  \
            if (pos == 0)                                                                        \
                return 0;                                                                        \
        };                                                                                       \
        return pos;                                                                              \
    }                                                                                            \
    template <class T>                                                                           \
    unsigned next##S(std::map<std::string, T>& MapObj, const void* from_buf, unsigned pos,       \
                     unsigned lenbuf) {                                                          \
        uint32_t size = (uint32_t)MapObj.size();                                                 \
        pos = VEXA_PACK::unpackPrimitive##S(size, from_buf, pos, lenbuf);                        \
        if (pos == 0)                                                                            \
            return pos;                                                                          \
        if (size == 0)                                                                           \
            return pos;                                                                          \
        for (auto& j : MapObj) {                                                                 \
            pos = VEXA_PACK::nextPrimitive##S(j.first, from_buf, pos, lenbuf);                   \
            if (pos == 0)                                                                        \
                return 0;                                                                        \
            pos = VEXA_PACK::nextPrimitive<A<T>>(pos, lenbuf);                                   \
            if (pos == 0)                                                                        \
                return 0;                                                                        \
        };                                                                                       \
        return pos;                                                                              \
    }                                                                                            \
    template <class T>                                                                           \
    unsigned next##S(std::vector<std::vector<T>>& VectorObj, const void* from_buf, unsigned pos, \
                     unsigned lenbuf) {                                                          \
        uint32_t size = (uint32_t)VectorObj.size();                                              \
        pos = VEXA_PACK::unpackPrimitive##S(size, from_buf, pos, lenbuf);                        \
        if (pos == 0)                                                                            \
            return pos;                                                                          \
        if (size == 0)                                                                           \
            return pos;                                                                          \
        for (uint32_t j = 0; j < size; j++) {                                                    \
            pos = VEXA_PACK::nextPrimitiveVCT##S<A<T>>(from_buf, pos, lenbuf);                   \
            if (pos == 0)                                                                        \
                return 0;                                                                        \
        };                                                                                       \
        return pos;                                                                              \
    }                                                                                            \
    inline unsigned next##S(std::array<std::string, 2>&, const void* from_buf, unsigned pos,     \
                            unsigned lenbuf) {                                                   \
        for (uint32_t i = 0; i < 2; i++) {                                                       \
            pos = VEXA_PACK::nextSTR##S(from_buf, pos, lenbuf);                                  \
        }                                                                                        \
        return pos;                                                                              \
    }                                                                                            \
    template <class T>                                                                           \
    unsigned next##S(Rec<T>& StructObj, const void* from_buf, unsigned pos, unsigned lenbuf) {   \
        pos = VEXA_PACK::nextPrimitive<A<T>>(pos, lenbuf);                                       \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = VEXA_PACK::nextPrimitiveVCT##S<A<T>>(from_buf, pos, lenbuf);                       \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = VEXA_PACK::nextARR<A<T>, 6>(pos, lenbuf);                                          \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = model::next##S(StructObj.m_map, from_buf, pos, lenbuf);                            \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = model::next##S(StructObj.m_nested, from_buf, pos, lenbuf);                         \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = VEXA_PACK::nextSTR##S(from_buf, pos, lenbuf);                                      \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = VEXA_PACK::nextSTR##S(from_buf, pos, lenbuf);                                      \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = VEXA_PACK::nextVCTSTR##S(from_buf, pos, lenbuf);                                   \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = VEXA_PACK::nextVCTSTR##S(from_buf, pos, lenbuf);                                   \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = model::next##S(StructObj.m_as, from_buf, pos, lenbuf);                             \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = VEXA_PACK::nextPrimitive<4>(pos, lenbuf);                                          \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = model::next##S(StructObj.m_byTone, from_buf, pos, lenbuf);                         \
        if (pos == 0)                                                                            \
            return 0;                                                                            \
        pos = model::next##S(StructObj.m_byName, from_buf, pos, lenbuf);                         \
        return pos;                                                                              \
    }

MODEL_NEXT_HELPERS()
MODEL_NEXT_HELPERS(CH)

// ---- length helpers ----

template <class T>
unsigned lenPacked(const std::map<T, T>& MapObj, unsigned pos) {
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    for (auto& member : MapObj) {
        (void)member;
        pos = VEXA_PACK::lenPackedPrim(pos, A<T>);
        pos = VEXA_PACK::lenPackedPrim(pos, A<T>);
    };
    return pos;
}

// The key is an alias of an enumeration, so its length goes through the value form.
inline unsigned lenPacked(const std::map<Tone, std::string>& MapObj, unsigned pos) {
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    for (auto& member : MapObj) {
        pos = VEXA_PACK::lenPacked(member.first, pos);
        pos = VEXA_PACK::lenPacked(member.second, pos);
    };
    return pos;
}

template <class T>
unsigned lenPacked(const std::map<std::string, T>& MapObj, unsigned pos) {
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    for (auto& member : MapObj) {
        pos = VEXA_PACK::lenPacked(member.first, pos);
        pos = VEXA_PACK::lenPackedPrim(pos, A<T>);
    };
    return pos;
}

template <class T>
unsigned lenPacked(const std::vector<std::vector<T>>& VectorObj, unsigned pos) {
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    for (auto& j : VectorObj) {
        pos = VEXA_PACK::lenPackedVct(pos, A<T>, (unsigned)j.size());
    };
    return pos;
}

inline unsigned lenPacked(const std::array<std::string, 2>& ArrayObj, unsigned pos) {
    for (auto i0 : ArrayObj) {
        pos = VEXA_PACK::lenPacked(i0, pos);
    }
    return pos;
}

template <class T>
unsigned lenPacked(const Rec<T>& StructObj, unsigned pos) {
    if constexpr (A<T> == 1) {
        pos += 1;
    } else {
        pos = VEXA_PACK::lenPackedPrim(pos, A<T>);
    }
    pos = VEXA_PACK::lenPackedVct(pos, A<T>, (unsigned)StructObj.m_seq.size());
    pos = VEXA_PACK::lenPackedPrim(pos, A<T>);
    pos += A<T> * 5;
    pos = model::lenPacked(StructObj.m_map, pos);
    pos = model::lenPacked(StructObj.m_nested, pos);
    pos = VEXA_PACK::lenPacked(StructObj.m_s, pos);
    pos = VEXA_PACK::lenPacked(StructObj.m_w, pos);
    pos = VEXA_PACK::lenPacked(StructObj.m_vs, pos);
    pos = VEXA_PACK::lenPacked(StructObj.m_vw, pos);
    pos = model::lenPacked(StructObj.m_as, pos);
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    pos = model::lenPacked(StructObj.m_byTone, pos);
    pos = model::lenPacked(StructObj.m_byName, pos);
    return pos;
}

// A sequence of arrays measured in one step, as the sequence writer measures it.
template <class T>
unsigned lenPacked(const std::vector<std::array<T, 3>>& VectorObj, unsigned pos) {
    pos = VEXA_PACK::lenPackedPrim(pos, 4);
    pos = VEXA_PACK::lenPacked(pos, A<T>, A<T> * 3 * VectorObj.size());
    return pos;
}

// ---- the topic: a fixed prefix read inline, then the variable rest through the helpers;
// keys m_id, m_fix (prefix), then m_rec.m_s, m_rec.m_w, m_rec.m_tone, m_rec.m_a ----

struct KeyHash {
    unsigned char hash[16];
};

template <class T>
struct Topic {
    T m_id{};
    std::array<T, 3> m_fix{};
    Rec<T> m_rec;

    // Char32 keys are never copied: they go through the runtime.
    static constexpr bool wide = std::is_same<T, wchar_t>::value;
    static constexpr unsigned n = A<T>;
    static constexpr unsigned P = 4 * n;  // m_id at 0, m_fix at n

    unsigned pack(void* to_buf, unsigned in_lenbuf) const {
        unsigned lenbuf = in_lenbuf - 4;
        if (lenbuf < 4)
            return 0;
        memcpy(to_buf, (void*)&VEXA_PACK::ex_CDR_HEADER_LE, 4);
        uint8_t* ptrDist = (uint8_t*)to_buf + 4;
        unsigned pos = 0;
        pos = VEXA_PACK::packPrimitive(m_id, ptrDist, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::pack(m_fix, ptrDist, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = model::pack(m_rec, ptrDist, pos, lenbuf);
        if (pos == 0)
            return 0;
        return pos + 4;
    }

    // The same sample as a big-endian writer sends it.
    unsigned packBigEndian(void* to_buf, unsigned in_lenbuf) const {
        unsigned lenbuf = in_lenbuf - 4;
        memset(to_buf, 0, 4);
        uint8_t* ptrDist = (uint8_t*)to_buf + 4;
        unsigned pos = 0;
        pos = VEXA_PACK::packPrimitiveCH(m_id, ptrDist, pos, lenbuf);
        pos = pos ? VEXA_PACK::packCH(m_fix, ptrDist, pos, lenbuf) : 0;
        pos = pos ? model::packCH(m_rec, ptrDist, pos, lenbuf) : 0;
        return pos == 0 ? 0 : pos + 4;
    }

    bool unpack(const void* in_from_buf, unsigned in_lenbuf) {
        if (in_lenbuf < P + 4) {
            return false;
        }
        unsigned pos = P;
        VEXA_PACK::CDR_HEADER cdrHEADER;
        VEXA_PACK::unpack(cdrHEADER, in_from_buf, in_lenbuf);
        uint8_t* ptrSrc = (uint8_t*)in_from_buf + 4;
        const void* from_buf = (const void*)ptrSrc;
        if (cdrHEADER.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE) {
            memcpy(&m_id, ptrSrc, n);
            ptrSrc += n;
            {
                auto src = m_fix.data();
                memcpy(src, ptrSrc, 3 * n);
                ptrSrc += 2 * n;
            }
            pos = model::unpack(m_rec, from_buf, pos, in_lenbuf - 4);
            if (pos == 0)
                return false;
        } else {
            memcpy(&m_id, ptrSrc, n);
            VEXA_PACK::changeENDIAN(m_id);
            ptrSrc += n;
            {
                auto src = m_fix.data();
                for (unsigned i = 0; i < 3; i++) {
                    src = m_fix.data() + i;
                    memcpy(src, ptrSrc, n);
                    VEXA_PACK::changeENDIAN(src, n);
                    if (i != 2) {
                        ptrSrc = ptrSrc + n;
                    }
                }
            }
            pos = model::unpackCH(m_rec, from_buf, pos, in_lenbuf - 4);
            if (pos == 0)
                return false;
        }
        return true;
    }

    unsigned lenPacked() const {
        unsigned pos = P;
        pos = model::lenPacked(m_rec, pos);
        return pos + 4;
    }

    unsigned packKey(void* to_buf, unsigned lenbuf) const {
        if (lenbuf < P + 4)
            return 0;
        memcpy(to_buf, (void*)&VEXA_PACK::ex_CDR_HEADER_LE, 4);
        uint8_t* ptrDist = (uint8_t*)to_buf + 4;
        unsigned pos;
        if constexpr (wide) {
            pos = 0;
            pos = VEXA_PACK::packPrimitive(m_id, ptrDist, pos, lenbuf - 4);
            if (pos == 0)
                return 0;
            pos = VEXA_PACK::pack(m_fix, ptrDist, pos, lenbuf - 4);
            if (pos == 0)
                return 0;
        } else {
            pos = P;
            memcpy(ptrDist, &m_id, n);
            memcpy(ptrDist + n, &m_fix, 3 * n);
        }
        pos = VEXA_PACK::pack(m_rec.m_s, ptrDist, pos, lenbuf - 4);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::pack(m_rec.m_w, ptrDist, pos, lenbuf - 4);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::pack(m_rec.m_tone, ptrDist, pos, lenbuf - 4);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::packPrimitive(m_rec.m_a, ptrDist, pos, lenbuf - 4);
        if (pos == 0)
            return 0;
        return pos + 4;
    }

    unsigned keylenPacked() const {
        unsigned pos = P;
        pos = VEXA_PACK::lenPacked(m_rec.m_s, pos);
        pos = VEXA_PACK::lenPacked(m_rec.m_w, pos);
        pos = VEXA_PACK::lenPackedPrim(pos, 4);
        if constexpr (n == 1) {
            pos += 1;
        } else {
            pos = VEXA_PACK::lenPackedPrim(pos, n);
        }
        return pos + 4;
    }

    // The big-endian key bytes that keyHash digests (the variable digest form).
    unsigned packKeyBigEndian(char* to_buf, unsigned lenbuf) const {
        unsigned pos = 0;
        if constexpr (std::is_enum<T>::value) {
            using U = typename std::underlying_type<T>::type;
            pos = VEXA_PACK::packPrimitiveCH(static_cast<U>(m_id), to_buf, pos, lenbuf);
        } else {
            pos = VEXA_PACK::packPrimitiveCH(m_id, to_buf, pos, lenbuf);
        }
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::packCH(m_fix, to_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::packCH(m_rec.m_s, to_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::packCH(m_rec.m_w, to_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::packCH(m_rec.m_tone, to_buf, pos, lenbuf);
        if (pos == 0)
            return 0;
        pos = VEXA_PACK::packPrimitiveCH(m_rec.m_a, to_buf, pos, lenbuf);
        return pos;
    }

    KeyHash keyHash() const {
        KeyHash Hash;
        unsigned lenbuf = keylenPacked() - 4;
        memset(Hash.hash, 0, 16);
        char* to_buf = new char[lenbuf];
        memset(to_buf, 0, lenbuf);
        if (packKeyBigEndian(to_buf, lenbuf) == 0) {
            delete[] to_buf;
            return Hash;
        }
        VEXA_PACK::MD5::calculate((unsigned char*)to_buf, lenbuf, (unsigned char*)Hash.hash);
        delete[] to_buf;
        return Hash;
    }

    // keyEqual(buffer) with key_only: the key-only comparison text.
    bool keyEqualPacked(const void* from_buf, unsigned lenbuf) const {
        bool isOK = true;
        VEXA_PACK::CDR_HEADER cdrHEADER;
        VEXA_PACK::unpack(cdrHEADER, from_buf, lenbuf);
        uint8_t* ptrSrc = (uint8_t*)from_buf + 4;
        unsigned pos = 0;
        if (lenbuf < P + 4)
            return false;
        if (cdrHEADER.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE) {
            if constexpr (wide) {
                pos = 0;
                if (!VEXA_PACK::comparePrimitive(m_id, (void*)ptrSrc, pos, lenbuf - 4))
                    return false;
                if (!VEXA_PACK::compareArr<wchar_t, 3>((void*)m_fix.data(), (void*)ptrSrc, pos,
                                                       lenbuf - 4))
                    return false;
            } else {
                if (memcmp(ptrSrc, &m_id, n) != 0)
                    return false;
                if (memcmp(ptrSrc + n, &m_fix, 3 * n) != 0)
                    return false;
                pos = P;
            }
            if (!VEXA_PACK::compare(m_rec.m_s, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
            if (!VEXA_PACK::compare(m_rec.m_w, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
            if (!VEXA_PACK::comparePrimitive(m_rec.m_tone, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
            if (!VEXA_PACK::comparePrimitive(m_rec.m_a, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
        } else {
            if (!VEXA_PACK::comparePrimitiveCH(m_id, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
            if (!VEXA_PACK::compareArrCH<T, 3>((void*)m_fix.data(), (void*)ptrSrc, pos, lenbuf - 4))
                return false;
            if (!VEXA_PACK::compareCH(m_rec.m_s, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
            if (!VEXA_PACK::compareCH(m_rec.m_w, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
            if (!VEXA_PACK::comparePrimitiveCH(m_rec.m_tone, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
            if (!VEXA_PACK::comparePrimitiveCH(m_rec.m_a, (void*)ptrSrc, pos, lenbuf - 4))
                return false;
        }
        return isOK;
    }

    bool unpackKey(const void* from_buf, unsigned lenbuf) {
        bool isOK = true;
        if (lenbuf < P + 4)
            return false;
        VEXA_PACK::CDR_HEADER cdrHEADER;
        VEXA_PACK::unpack(cdrHEADER, from_buf, lenbuf);
        uint8_t* ptrSrc = (uint8_t*)from_buf + 4;
        unsigned pos = 0;
        if (cdrHEADER.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE) {
            if constexpr (wide) {
                pos = 0;
                pos = VEXA_PACK::unpackPrimitive(m_id, ptrSrc, pos, lenbuf - 4);
                if (pos == 0)
                    return false;
                pos = VEXA_PACK::unpack(m_fix, ptrSrc, pos, lenbuf - 4);
                if (pos == 0)
                    return false;
            } else {
                memcpy(&m_id, ptrSrc, n);
                memcpy(&m_fix, ptrSrc + n, 3 * n);
                pos = P;
            }
            pos = VEXA_PACK::unpack(m_rec.m_s, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
            pos = VEXA_PACK::unpack(m_rec.m_w, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
            pos = VEXA_PACK::unpackPrimitive(m_rec.m_tone, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
            pos = VEXA_PACK::unpackPrimitive(m_rec.m_a, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
        } else {
            pos = VEXA_PACK::unpackPrimitiveCH(m_id, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
            pos = VEXA_PACK::unpackCH(m_fix, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
            pos = VEXA_PACK::unpackCH(m_rec.m_s, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
            pos = VEXA_PACK::unpackCH(m_rec.m_w, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
            pos = VEXA_PACK::unpackPrimitiveCH(m_rec.m_tone, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
            pos = VEXA_PACK::unpackPrimitiveCH(m_rec.m_a, ptrSrc, pos, lenbuf - 4);
            if (pos == 0)
                return false;
        }
        return isOK;
    }
};

// A bit set with 16-bit storage, coded as the bit-set class's own functions code it, and read
// inline as a fixed-size topic reads it.
typedef std::bitset<12> Flags;

inline unsigned pack(Flags const& obj, void* buf, unsigned pos, unsigned maxSize) {
    uint16_t tmp = (uint16_t)obj.to_ulong();
    return VEXA_PACK::packPrimitive(tmp, (void*)buf, pos, maxSize);
}
inline unsigned unpack(Flags& obj, const void* buf, unsigned pos, unsigned maxSize) {
    uint16_t tmp;
    pos = VEXA_PACK::unpackPrimitive(tmp, (void*)buf, pos, maxSize);
    if (pos != 0) {
        obj = tmp;
    }
    return pos;
}
inline unsigned unpackCH(Flags& obj, const void* buf, unsigned pos, unsigned maxSize) {
    uint16_t tmp;
    pos = VEXA_PACK::unpackPrimitiveCH(tmp, (void*)buf, pos, maxSize);
    if (pos != 0) {
        obj = tmp;
    }
    return pos;
}

}  // namespace model

namespace {

template <class T>
T val(int i) {
    if constexpr (std::is_same<T, bool>::value) {
        return i % 2 == 1;
    } else if constexpr (std::is_enum<T>::value) {
        return i % 2 == 1 ? T::B : T::A;
    } else if constexpr (std::is_floating_point<T>::value) {
        return T(i) + T(0.5);
    } else if constexpr (std::is_same<T, wchar_t>::value) {
        return wchar_t(0x0410 + i);
    } else {
        return T(0x41 + i);
    }
}

template <class T>
model::Topic<T> sample() {
    model::Topic<T> t;
    t.m_id = val<T>(1);
    t.m_fix = {val<T>(0), val<T>(1), val<T>(1)};
    model::Rec<T>& r = t.m_rec;
    r.m_a = val<T>(1);
    r.m_seq = {val<T>(0), val<T>(1), val<T>(1)};
    r.m_arr = {{{val<T>(1), val<T>(0), val<T>(1)}, {val<T>(0), val<T>(0), val<T>(1)}}};
    r.m_map = {{val<T>(0), val<T>(1)}, {val<T>(1), val<T>(0)}};
    r.m_nested = {{val<T>(1)}, {val<T>(0), val<T>(1)}};
    r.m_s = "Датчик";
    r.m_w = L"метка";
    r.m_vs = {"", "ab", "cde"};
    r.m_vw = {L"x", L"", L"Жж"};
    r.m_as = {"left", ""};
    r.m_tone = model::Tone::B;
    r.m_byTone = {{model::Tone::A, "a"}, {model::Tone::B, ""}};
    r.m_byName = {{"one", val<T>(1)}, {"zero", val<T>(0)}};
    return t;
}

template <class T>
class VexaPackGeneratedForms : public testing::Test {};

using Primitives =
    testing::Types<bool, uint8_t, char, int16_t, uint16_t, int32_t, uint32_t, int64_t, uint64_t,
                   float, double, long double, wchar_t, model::E16, model::E32, model::E64>;
TYPED_TEST_SUITE(VexaPackGeneratedForms, Primitives);

TYPED_TEST(VexaPackGeneratedForms, SampleAndKeyAgreeInBothByteOrders) {
    using T = TypeParam;
    const model::Topic<T> t = sample<T>();
    const unsigned length = t.lenPacked();
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        std::vector<uint8_t> buf(length + 16, 0xEE);
        const unsigned packed =
            bigEndian ? t.packBigEndian(buf.data(), length) : t.pack(buf.data(), length);
        ASSERT_EQ(packed, length) << "the length lines measure what the pack lines write";
        std::vector<uint8_t> shortBuf(length);
        EXPECT_EQ(bigEndian ? t.packBigEndian(shortBuf.data(), length - 1)
                            : t.pack(shortBuf.data(), length - 1),
                  0u);

        model::Topic<T> out;
        ASSERT_TRUE(out.unpack(buf.data(), length));
        EXPECT_TRUE(out.m_id == t.m_id && out.m_fix == t.m_fix && out.m_rec == t.m_rec);
        EXPECT_FALSE(out.unpack(buf.data(), length - 1));

        model::Rec<T> shape = t.m_rec;
        const uint8_t* data = buf.data() + 4;
        EXPECT_EQ(bigEndian ? model::nextCH(shape, data, t.P, length - 4)
                            : model::next(shape, data, t.P, length - 4),
                  length - 4);
        EXPECT_EQ(bigEndian ? model::nextCH(shape, data, t.P, length - 5)
                            : model::next(shape, data, t.P, length - 5),
                  0u);
    }

    // The key: packed natively, compared and read back in place.
    const unsigned keyLength = t.keylenPacked();
    std::vector<uint8_t> key(keyLength, 0);
    ASSERT_EQ(t.packKey(key.data(), keyLength), keyLength);
    EXPECT_EQ(t.packKey(key.data(), keyLength - 1), 0u);
    EXPECT_TRUE(t.keyEqualPacked(key.data(), keyLength));
    EXPECT_FALSE(t.keyEqualPacked(key.data(), keyLength - 1));
    model::Topic<T> other = t;
    other.m_rec.m_a = val<T>(0);
    EXPECT_FALSE(other.keyEqualPacked(key.data(), keyLength));
    model::Topic<T> keyed;
    ASSERT_TRUE(keyed.unpackKey(key.data(), keyLength));
    EXPECT_TRUE(keyed.m_id == t.m_id && keyed.m_fix == t.m_fix && keyed.m_rec.m_s == t.m_rec.m_s &&
                keyed.m_rec.m_w == t.m_rec.m_w && keyed.m_rec.m_tone == t.m_rec.m_tone &&
                keyed.m_rec.m_a == t.m_rec.m_a);

    // The hashed bytes are the same key big-endian: behind a 00 00 header the "CH" branches
    // of the key functions read them.
    std::vector<uint8_t> hashed(keyLength, 0);
    ASSERT_EQ(t.packKeyBigEndian((char*)hashed.data() + 4, keyLength - 4), keyLength - 4);
    EXPECT_TRUE(t.keyEqualPacked(hashed.data(), keyLength));
    EXPECT_FALSE(other.keyEqualPacked(hashed.data(), keyLength));
    model::Topic<T> keyedBE;
    ASSERT_TRUE(keyedBE.unpackKey(hashed.data(), keyLength));
    EXPECT_TRUE(keyedBE.m_id == t.m_id && keyedBE.m_fix == t.m_fix &&
                keyedBE.m_rec.m_tone == t.m_rec.m_tone && keyedBE.m_rec.m_a == t.m_rec.m_a);
    unsigned char digest[16];
    VEXA_PACK::MD5::calculate(hashed.data() + 4, keyLength - 4, digest);
    EXPECT_EQ(std::memcmp(t.keyHash().hash, digest, 16), 0);
}

TYPED_TEST(VexaPackGeneratedForms, SequenceOfArraysMeasuredInOneStep) {
    using T = TypeParam;
    const std::vector<std::array<T, 3>> v = {{val<T>(0), val<T>(1), val<T>(0)},
                                             {val<T>(1), val<T>(1), val<T>(0)}};
    std::vector<uint8_t> buf(128, 0);
    for (unsigned start = 0; start < 4; ++start) {
        // The sequence helper packs the count, then each array with the runtime's array form.
        unsigned pos = VEXA_PACK::packPrimitive((uint32_t)v.size(), buf.data(), start, 128);
        for (auto& j : v) {
            pos = VEXA_PACK::pack(j, buf.data(), pos, 128);
        }
        EXPECT_EQ(model::lenPacked(v, start), pos) << start;
    }
}

// Bit sets of 16-bit storage and their inline read from big-endian data, which no generated
// model's test reaches. (keyHash's copy lines run in the generated KeyDirect topic.)
TEST(VexaPackGeneratedForms, InlineByteSwapsMatchTheSwappedForms) {
    const model::Flags flags(0xA5C);
    std::vector<uint8_t> buf(8, 0);
    ASSERT_EQ(model::pack(flags, buf.data(), 1, 8), 4u);
    model::Flags back;
    ASSERT_EQ(model::unpack(back, buf.data(), 1, 8), 4u);
    EXPECT_EQ(back, flags);

    const uint16_t raw = 0xA5C;
    ASSERT_EQ(VEXA_PACK::packPrimitiveCH(raw, buf.data(), 1, 8), 4u);
    ASSERT_EQ(model::unpackCH(back, buf.data(), 1, 8), 4u);
    EXPECT_EQ(back, flags);

    uint8_t* ptrSrc = buf.data() + 2;
    uint64_t uint64_t_obj = 0;
    memcpy(&uint64_t_obj, ptrSrc, 2);
    VEXA_PACK::changeENDIAN(&uint64_t_obj, 2);
    back = uint64_t_obj;
    EXPECT_EQ(back, flags);
}

TEST(VexaPackGeneratedForms, PackingVariant) {
    const VEXA_PACK::pack_type variant = 1;
    VEXA_PACK::initEncapsulationSchemeIdentifier(variant);
    EXPECT_FALSE(VEXA_PACK::isBIG_ENDIAN());
}

}  // namespace
