// CDR marshalling runtime shared by the library and the code that tessgen writes.
//
// Every function works on a caller's buffer: it takes the value (or the place to unpack into),
// the buffer, a position and the buffer length, and returns the position after the value, or 0
// when the value does not fit or the packed data ends early. Positions count from the first
// data byte after the 4-byte encapsulation header; an item of n bytes (n > 1) sits at the
// position rounded up to a multiple of n, and pack writes the bytes it skips as zeros. The
// plain functions read and write the host's byte order (little-endian), the "CH" twins the
// opposite one.
//
// Packed data may come from the network, so every bound check is done in 64 bits and no
// container grows before its count has been checked against the bytes that remain.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "vexa_md5.h"
#include "vexa_test_pack.h"

namespace VEXA_PACK {

static_assert(sizeof(wchar_t) == 4, "wide characters travel as 4-byte units");

// Encapsulation identifier as a little-endian host reads the first two header bytes.
enum EnEncapsulation : uint16_t {
    CDR_BE = 0x0000,  // bytes 00 00: big-endian data, read with the "CH" functions
    CDR_LE = 0x0100,  // bytes 00 01: host-order data, read with the plain functions
};

struct CDR_HEADER {
    EnEncapsulation Encapsulation;
    uint8_t Options[2];
};
static_assert(sizeof(CDR_HEADER) == 4, "the encapsulation header is 4 bytes");

// Packing variant given to the precompiler's model compiler; 1 also writes the byte-swapping
// unpack functions of bit sets.
typedef int32_t pack_type;

// The header that packed samples and keys start with.
inline constexpr CDR_HEADER ex_CDR_HEADER_LE{CDR_LE, {0, 0}};

// Header and identifier. pack/unpack return the length left behind the header, not a position.
unsigned pack(CDR_HEADER header, void* buf, unsigned len);
unsigned unpack(CDR_HEADER& header, const void* buf, unsigned len);
unsigned puckEncapsulationSchemeIdentifier(void* buf, unsigned len);
unsigned unpuckEncapsulationSchemeIdentifier(EnEncapsulation& id, const void* buf, unsigned len);
void initEncapsulationSchemeIdentifier(pack_type variant);
constexpr bool isBIG_ENDIAN() {
    return false;
}

// Reverses the n bytes at data in place.
void changeENDIAN(void* data, unsigned n);

template <class T>
void changeENDIAN(T& value) {
    static_assert(std::is_trivially_copyable<T>::value, "only plain values can be byte-swapped");
    changeENDIAN(&value, static_cast<unsigned>(sizeof(T)));
}

// Strings: count (characters + 1), the characters, a zero byte.
// Wide strings: byte count (4 per character), then the characters as 4-byte units.
// Sequences of them: element count, then the elements.
unsigned pack(const std::string& value, void* buf, unsigned pos, unsigned len);
unsigned packCH(const std::string& value, void* buf, unsigned pos, unsigned len);
unsigned pack(const std::wstring& value, void* buf, unsigned pos, unsigned len);
unsigned packCH(const std::wstring& value, void* buf, unsigned pos, unsigned len);
unsigned pack(const std::vector<std::string>& value, void* buf, unsigned pos, unsigned len);
unsigned packCH(const std::vector<std::string>& value, void* buf, unsigned pos, unsigned len);
unsigned pack(const std::vector<std::wstring>& value, void* buf, unsigned pos, unsigned len);
unsigned packCH(const std::vector<std::wstring>& value, void* buf, unsigned pos, unsigned len);

// A string count of 0 and a wide byte count that is not a multiple of 4 are malformed: 0.
unsigned unpack(std::string& out, const void* buf, unsigned pos, unsigned len);
unsigned unpackCH(std::string& out, const void* buf, unsigned pos, unsigned len);
unsigned unpack(std::wstring& out, const void* buf, unsigned pos, unsigned len);
unsigned unpackCH(std::wstring& out, const void* buf, unsigned pos, unsigned len);
// On failure the sequence keeps the elements read before the one that failed.
unsigned unpack(std::vector<std::string>& out, const void* buf, unsigned pos, unsigned len);
unsigned unpackCH(std::vector<std::string>& out, const void* buf, unsigned pos, unsigned len);
unsigned unpack(std::vector<std::wstring>& out, const void* buf, unsigned pos, unsigned len);
unsigned unpackCH(std::vector<std::wstring>& out, const void* buf, unsigned pos, unsigned len);

// Stepping over packed strings. nextSTR serves narrow and wide strings alike, so it only checks
// that the count stays inside the buffer; the typed next overloads also refuse malformed counts.
unsigned nextSTR(const void* buf, unsigned pos, unsigned lenbuf);
unsigned nextSTRCH(const void* buf, unsigned pos, unsigned lenbuf);
unsigned nextVCTSTR(const void* buf, unsigned pos, unsigned lenbuf);
unsigned nextVCTSTRCH(const void* buf, unsigned pos, unsigned lenbuf);
unsigned next(const std::string& value, const void* buf, unsigned pos, unsigned lenbuf);
unsigned nextCH(const std::string& value, const void* buf, unsigned pos, unsigned lenbuf);
unsigned next(const std::wstring& value, const void* buf, unsigned pos, unsigned lenbuf);
unsigned nextCH(const std::wstring& value, const void* buf, unsigned pos, unsigned lenbuf);
unsigned next(const std::vector<std::string>& value, const void* buf, unsigned pos,
              unsigned lenbuf);
unsigned nextCH(const std::vector<std::string>& value, const void* buf, unsigned pos,
                unsigned lenbuf);
unsigned next(const std::vector<std::wstring>& value, const void* buf, unsigned pos,
              unsigned lenbuf);
unsigned nextCH(const std::vector<std::wstring>& value, const void* buf, unsigned pos,
                unsigned lenbuf);
// Map keys of string type are skipped through the value form of nextPrimitive.
unsigned nextPrimitive(const std::string& value, const void* buf, unsigned pos, unsigned lenbuf);
unsigned nextPrimitiveCH(const std::string& value, const void* buf, unsigned pos, unsigned lenbuf);
unsigned nextPrimitive(const std::wstring& value, const void* buf, unsigned pos, unsigned lenbuf);
unsigned nextPrimitiveCH(const std::wstring& value, const void* buf, unsigned pos, unsigned lenbuf);

// Position arithmetic without a length check.
unsigned nextPrimitivePr(unsigned size, unsigned pos);
unsigned nextARR_Pr(unsigned size, unsigned count, unsigned pos);
// Steps over a sequence of elements of the given size; the count is read byte-swapped unless
// enc is CDR_LE.
unsigned nextPrimitiveVCT_Pr(unsigned size, const void* buf, unsigned pos, unsigned lenbuf,
                             EnEncapsulation enc);

// Packed lengths of in-memory values (32-bit arithmetic, no buffer involved).
unsigned lenPacked(unsigned pos, unsigned alignment, unsigned size);
unsigned lenPackedPrim(unsigned pos, unsigned size);
unsigned lenPackedVct(unsigned pos, unsigned size, unsigned count);
unsigned lenPacked(const std::string& value, unsigned pos);
unsigned lenPacked(const std::wstring& value, unsigned pos);
unsigned lenPacked(const std::vector<std::string>& value, unsigned pos);
unsigned lenPacked(const std::vector<std::wstring>& value, unsigned pos);

// Compares a string with the packed one at pos and moves pos past it. When the packed value
// does not fit in len, pos becomes 0.
bool compare(const std::string& value, const void* buf, unsigned& pos, unsigned len);
bool compareCH(const std::string& value, const void* buf, unsigned& pos, unsigned len);
bool compare(const std::wstring& value, const void* buf, unsigned& pos, unsigned len);
bool compareCH(const std::wstring& value, const void* buf, unsigned& pos, unsigned len);

// Wide text to 32-bit units and back; only the low 16 bits of each character are kept.
std::u32string myWSTRING_To_UTF32(const std::wstring& text, bool swap);
std::wstring myUTF32_To_WSTRING(const std::u32string& text, bool swap);

namespace detail {

template <class T>
struct IsScalar
    : std::integral_constant<bool, std::is_arithmetic<T>::value || std::is_enum<T>::value> {};

template <class T>
using EnableScalar = typename std::enable_if<IsScalar<T>::value, int>::type;

// Rounded up in 64 bits, so that a position near 2^32 cannot wrap past a length check.
inline uint64_t alignUp(uint64_t pos, uint64_t n) {
    if (n <= 1) {
        return pos;
    }
    if ((n & (n - 1)) == 0) {
        return (pos + n - 1) & ~(n - 1);
    }
    return (pos + n - 1) / n * n;
}

template <std::size_t N>
inline void reverseBytes(unsigned char* b) {
    if constexpr (N == 2) {
        uint16_t x;
        std::memcpy(&x, b, 2);
        x = __builtin_bswap16(x);
        std::memcpy(b, &x, 2);
    } else if constexpr (N == 4) {
        uint32_t x;
        std::memcpy(&x, b, 4);
        x = __builtin_bswap32(x);
        std::memcpy(b, &x, 4);
    } else if constexpr (N == 8) {
        uint64_t x;
        std::memcpy(&x, b, 8);
        x = __builtin_bswap64(x);
        std::memcpy(b, &x, 8);
    } else {
        for (std::size_t i = 0; i < N / 2; ++i) {
            unsigned char t = b[i];
            b[i] = b[N - 1 - i];
            b[N - 1 - i] = t;
        }
    }
}

// Bytes that carry a value. The x87 extended format fills 10 of its 16 bytes; the others hold
// whatever was there, and packed data (key hashes among them) must not depend on that.
template <class T>
constexpr std::size_t valueBytes() {
    if constexpr (std::is_same<T, long double>::value && sizeof(long double) == 16 &&
                  std::numeric_limits<long double>::digits == 64) {
        return 10;
    } else {
        return sizeof(T);
    }
}

template <class T>
inline void hostBytes(const T& value, unsigned char (&out)[sizeof(T)]) {
    if constexpr (valueBytes<T>() != sizeof(T)) {
        std::memset(out, 0, sizeof(T));
    }
    std::memcpy(out, &value, valueBytes<T>());
}

// Unaligned accesses go through memcpy: the data behind the header is not host-aligned.
template <bool SW, class T>
inline void store(unsigned char* p, T value) {
    if constexpr (!SW) {
        // Straight into place: a temporary written in parts and read back whole (Float128's
        // value bytes and zeroed padding) would stall on store forwarding.
        std::memcpy(p, &value, valueBytes<T>());
        if constexpr (valueBytes<T>() != sizeof(T)) {
            std::memset(p + valueBytes<T>(), 0, sizeof(T) - valueBytes<T>());
        }
    } else {
        unsigned char tmp[sizeof(T)];
        hostBytes(value, tmp);
        reverseBytes<sizeof(T)>(tmp);
        std::memcpy(p, tmp, sizeof(T));
    }
}

// Host-order values whose memory holds padding (Float128: 10 value bytes in 16), one after
// another: each is copied whole as one 16-byte word with its padding masked off, so the
// padding goes out as zeros in the same pass. A block copy followed by a zeroing store per
// value costs a second pass of small stores.
template <class T>
inline void storePadded(unsigned char* p, const T* values, std::size_t count) {
    static_assert(sizeof(T) == 16 && valueBytes<T>() > 8 && valueBytes<T>() < 16,
                  "a 16-byte value with padding in its second word");
    typedef uint64_t Word __attribute__((vector_size(16)));
    const Word kept = {~uint64_t(0), (uint64_t(1) << (8 * (valueBytes<T>() - 8))) - 1};
    const unsigned char* from = reinterpret_cast<const unsigned char*>(values);
    for (std::size_t i = 0; i < count; ++i, p += 16, from += 16) {
        Word w;
        std::memcpy(&w, from, 16);
        w &= kept;
        std::memcpy(p, &w, 16);
    }
}

template <bool SW, class T>
inline void load(const unsigned char* p, T& out) {
    if constexpr (std::is_same<T, bool>::value) {
        // Any byte other than 0 reads as true; copying it into a bool would be undefined.
        out = *p != 0;
    } else {
        unsigned char tmp[sizeof(T)];
        std::memcpy(tmp, p, sizeof(T));
        if constexpr (SW) {
            reverseBytes<sizeof(T)>(tmp);
        }
        std::memcpy(&out, tmp, sizeof(T));
    }
}

template <bool SW>
inline uint32_t loadCount(const unsigned char* p) {
    uint32_t n;
    load<SW>(p, n);
    return n;
}

inline unsigned char* bytes(void* buf) {
    return static_cast<unsigned char*>(buf);
}
inline const unsigned char* bytes(const void* buf) {
    return static_cast<const unsigned char*>(buf);
}

// Zeros the alignment gap before an item aligned to N: a reused buffer must not carry its
// earlier contents onto the wire, nor into a key's hash. The gap is shorter than N, so N zero
// bytes from pos cover it in one fixed-size store, without a branch; the item, written next,
// overwrites the rest. Called once the item (at least N bytes from its aligned position) fits.
template <std::size_t N>
inline void zeroGap(void* buf, unsigned pos) {
    if constexpr (N > 1) {
        std::memset(bytes(buf) + pos, 0, N);
    }
}

// Copies n bytes. Most strings are short, and a library call costs more than their copy: up
// to 16 bytes go as two fixed-size copies that overlap where n is not their size.
inline void copyBytes(unsigned char* to, const unsigned char* from, std::size_t n) {
    if (n >= 8 && n <= 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n < 4) {
        if (n != 0) {
            // 1 to 3 bytes: the first, the middle and the last cover them.
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        }
    } else {
        std::memcpy(to, from, n);
    }
}

// Each byte of x that is not 0 becomes 1: bit 7 of ((x & 0x7F) + 0x7F) | x is set exactly when
// some bit of the byte is, and no byte carries into the next.
inline uint64_t truthBytes(uint64_t x) {
    const uint64_t low = 0x7F7F7F7F7F7F7F7FULL;
    return ((((x & low) + low) | x) >> 7) & 0x0101010101010101ULL;
}

// n packed Boolean bytes to n bytes of 0 or 1 (the bools' representation), any byte other
// than 0 read as true. Like copyBytes, in words that overlap where n is not their size.
inline void loadBooleans(unsigned char* to, const unsigned char* from, std::size_t n) {
    if (n >= 8) {
        uint64_t x;
        for (std::size_t i = 0; i + 8 <= n; i += 8) {
            std::memcpy(&x, from + i, 8);
            x = truthBytes(x);
            std::memcpy(to + i, &x, 8);
        }
        std::memcpy(&x, from + n - 8, 8);
        x = truthBytes(x);
        std::memcpy(to + n - 8, &x, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, from, 4);
        std::memcpy(&b, from + n - 4, 4);
        a = static_cast<uint32_t>(truthBytes(a));
        b = static_cast<uint32_t>(truthBytes(b));
        std::memcpy(to, &a, 4);
        std::memcpy(to + n - 4, &b, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            to[i] = from[i] != 0;
        }
    }
}

// Whether n bytes are equal; like copyBytes, short runs without a library call.
inline bool sameBytes(const unsigned char* a, const unsigned char* b, std::size_t n) {
    if (n >= 8 && n <= 16) {
        uint64_t a0, a1, b0, b1;
        std::memcpy(&a0, a, 8);
        std::memcpy(&b0, b, 8);
        std::memcpy(&a1, a + n - 8, 8);
        std::memcpy(&b1, b + n - 8, 8);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    if (n >= 4 && n < 8) {
        uint32_t a0, a1, b0, b1;
        std::memcpy(&a0, a, 4);
        std::memcpy(&b0, b, 4);
        std::memcpy(&a1, a + n - 4, 4);
        std::memcpy(&b1, b + n - 4, 4);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    if (n < 4) {
        for (std::size_t i = 0; i < n; ++i) {
            if (a[i] != b[i]) {
                return false;
            }
        }
        return true;
    }
    return std::memcmp(a, b, n) == 0;
}

// Encoder per value type; SW selects the byte-swapping form.
template <class T, bool SW, class Enable = void>
struct Codec;

template <class T, bool SW>
struct Codec<T, SW, typename std::enable_if<IsScalar<T>::value>::type> {
    // Fewest packed bytes one element can take, to bound a sequence count before it grows.
    static constexpr uint64_t minSize = sizeof(T);

    static unsigned pack(T value, void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, sizeof(T));
        if (a + sizeof(T) > len) {
            return 0;
        }
        zeroGap<sizeof(T)>(buf, pos);
        store<SW>(bytes(buf) + a, value);
        return static_cast<unsigned>(a + sizeof(T));
    }

    static unsigned unpack(T& out, const void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, sizeof(T));
        if (a + sizeof(T) > len) {
            return 0;
        }
        load<SW>(bytes(buf) + a, out);
        return static_cast<unsigned>(a + sizeof(T));
    }
};

// Inline: strings are most of a variable sample, and a call per string costs as much as
// its copy.
template <bool SW>
struct Codec<std::string, SW> {
    static constexpr uint64_t minSize = 5;
    static unsigned pack(const std::string& v, void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, 4);
        const uint64_t n = uint64_t(v.size()) + 1;
        // Nothing is written unless the whole string fits.
        if (v.size() >= UINT32_MAX || a + 4 + n > len) {
            return 0;
        }
        zeroGap<4>(buf, pos);
        unsigned char* p = bytes(buf) + a;
        store<SW>(p, static_cast<uint32_t>(n));
        copyBytes(p + 4, reinterpret_cast<const unsigned char*>(v.data()), v.size());
        p[4 + v.size()] = 0;
        return static_cast<unsigned>(a + 4 + n);
    }
    // The count includes the terminating zero, so 0 is malformed. The text is copied over
    // the earlier one: a string of the same length reallocates nothing.
    static unsigned unpack(std::string& v, const void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, 4);
        if (a + 4 > len) {
            return 0;
        }
        const uint32_t n = loadCount<SW>(bytes(buf) + a);
        if (n == 0 || a + 4 + n > len) {
            return 0;
        }
        if (v.size() != n - 1) {
            v.resize(n - 1);
        }
        copyBytes(reinterpret_cast<unsigned char*>(&v[0]), bytes(buf) + a + 4, n - 1);
        return static_cast<unsigned>(a + 4 + n);
    }
    // count strings one after another into out[0, count). Each count word lies at the first
    // multiple of 4 past the text before it, so the position is carried aligned and in 64
    // bits: from one count to the next the chain is a load and two additions, where a
    // position handed back in 32 bits would be aligned again. Returns the end of the last, or
    // 0 with read set to the strings read before the one that failed.
    static unsigned unpackRun(std::string* out, std::size_t count, const void* buf, unsigned pos,
                              unsigned len, std::size_t& read) {
        uint64_t at = alignUp(pos, 4);
        uint64_t end = pos;
        for (std::size_t i = 0; i < count; ++i) {
            if (at + 4 > len) {
                read = i;
                return 0;
            }
            const uint32_t n = loadCount<SW>(bytes(buf) + at);
            end = at + 4 + n;
            if (n == 0 || end > len) {
                read = i;
                return 0;
            }
            std::string& v = out[i];
            if (v.size() != n - 1) {
                v.resize(n - 1);
            }
            copyBytes(reinterpret_cast<unsigned char*>(&v[0]), bytes(buf) + at + 4, n - 1);
            at = (at + n + 7) & ~uint64_t(3);
        }
        read = count;
        return static_cast<unsigned>(end);
    }
};

template <bool SW>
struct Codec<std::wstring, SW> {
    static constexpr uint64_t minSize = 4;
    static unsigned pack(const std::wstring& v, void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, 4);
        const uint64_t n = uint64_t(v.size()) * 4;
        if (n > UINT32_MAX || a + 4 + n > len) {
            return 0;
        }
        zeroGap<4>(buf, pos);
        unsigned char* p = bytes(buf) + a;
        store<SW>(p, static_cast<uint32_t>(n));
        p += 4;
        if constexpr (!SW) {
            copyBytes(p, reinterpret_cast<const unsigned char*>(v.data()), n);
        } else {
            for (wchar_t c : v) {
                store<true>(p, c);
                p += 4;
            }
        }
        return static_cast<unsigned>(a + 4 + n);
    }
    // A byte count that is not a multiple of 4 is malformed.
    static unsigned unpack(std::wstring& v, const void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, 4);
        if (a + 4 > len) {
            return 0;
        }
        const uint32_t n = loadCount<SW>(bytes(buf) + a);
        if (n % 4 != 0 || a + 4 + n > len) {
            return 0;
        }
        if (v.size() != n / 4) {
            v.resize(n / 4);
        }
        const unsigned char* p = bytes(buf) + a + 4;
        if constexpr (!SW) {
            copyBytes(reinterpret_cast<unsigned char*>(&v[0]), p, n);
        } else {
            for (wchar_t& c : v) {
                load<true>(p, c);
                p += 4;
            }
        }
        return static_cast<unsigned>(a + 4 + n);
    }
};

// Element type whose in-memory bytes are its host-order packed bytes, element after element.
template <class T>
struct IsFlat : std::integral_constant<bool, IsScalar<T>::value && !std::is_same<T, bool>::value &&
                                                 valueBytes<T>() == sizeof(T)> {};
template <class T, std::size_t N>
struct IsFlat<std::array<T, N>> : IsFlat<T> {};

template <class T>
struct ScalarOf {
    using type = T;
};
template <class T, std::size_t N>
struct ScalarOf<std::array<T, N>> : ScalarOf<T> {};

// Arrays of bools (of any depth): one byte per element in memory as on the wire.
template <class T>
struct IsBooleans : std::is_same<T, bool> {};
template <class T, std::size_t N>
struct IsBooleans<std::array<T, N>> : IsBooleans<T> {};

// Arrays: the elements one after another, no count.
template <class T, std::size_t N, bool SW>
struct Codec<std::array<T, N>, SW> {
    static constexpr uint64_t minSize = N * Codec<T, SW>::minSize;

    static unsigned pack(const std::array<T, N>& v, void* buf, unsigned pos, unsigned len) {
        if constexpr (!SW && IsFlat<T>::value) {
            const uint64_t a = alignUp(pos, sizeof(typename ScalarOf<T>::type));
            if (a + sizeof(v) > len) {
                return 0;
            }
            zeroGap<sizeof(typename ScalarOf<T>::type)>(buf, pos);
            std::memcpy(bytes(buf) + a, v.data(), sizeof(v));
            return static_cast<unsigned>(a + sizeof(v));
        } else if constexpr (IsBooleans<T>::value) {
            // A bool's byte is 0 or 1, as packed.
            if (uint64_t(pos) + sizeof(v) > len) {
                return 0;
            }
            std::memcpy(bytes(buf) + pos, v.data(), sizeof(v));
            return static_cast<unsigned>(pos + sizeof(v));
        }
        for (const T& e : v) {
            pos = Codec<T, SW>::pack(e, buf, pos, len);
            if (pos == 0) {
                return 0;
            }
        }
        return pos;
    }

    static unsigned unpack(std::array<T, N>& v, const void* buf, unsigned pos, unsigned len) {
        if constexpr (!SW && IsFlat<T>::value) {
            const uint64_t a = alignUp(pos, sizeof(typename ScalarOf<T>::type));
            if (a + sizeof(v) > len) {
                return 0;
            }
            std::memcpy(v.data(), bytes(buf) + a, sizeof(v));
            return static_cast<unsigned>(a + sizeof(v));
        } else if constexpr (IsBooleans<T>::value) {
            if (uint64_t(pos) + sizeof(v) > len) {
                return 0;
            }
            loadBooleans(reinterpret_cast<unsigned char*>(v.data()), bytes(buf) + pos, sizeof(v));
            return static_cast<unsigned>(pos + sizeof(v));
        }
        for (T& e : v) {
            pos = Codec<T, SW>::unpack(e, buf, pos, len);
            if (pos == 0) {
                return 0;
            }
        }
        return pos;
    }
};

// Sequences: a 32-bit element count aligned to 4, then the elements.
template <class T, bool SW>
struct Codec<std::vector<T>, SW> {
    static constexpr uint64_t minSize = 4;

    static unsigned pack(const std::vector<T>& v, void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, 4);
        if (a + 4 > len || v.size() > UINT32_MAX) {
            return 0;
        }
        zeroGap<4>(buf, pos);
        store<SW>(bytes(buf) + a, static_cast<uint32_t>(v.size()));
        pos = static_cast<unsigned>(a + 4);
        if (v.empty()) {
            // No element, so no alignment for one.
            return pos;
        }
        if constexpr (!SW && IsFlat<T>::value) {
            const uint64_t first = alignUp(pos, sizeof(typename ScalarOf<T>::type));
            const uint64_t size = uint64_t(sizeof(T)) * v.size();
            if (first + size > len) {
                return 0;
            }
            zeroGap<sizeof(typename ScalarOf<T>::type)>(buf, pos);
            std::memcpy(bytes(buf) + first, v.data(), size);
            return static_cast<unsigned>(first + size);
        } else if constexpr (IsScalar<T>::value) {
            // One bound check for the whole run of fixed-size elements.
            const uint64_t first = alignUp(pos, sizeof(T));
            if (first + uint64_t(sizeof(T)) * v.size() > len) {
                return 0;
            }
            zeroGap<sizeof(T)>(buf, pos);
            unsigned char* p = bytes(buf) + first;
            if constexpr (!SW && !std::is_same<T, bool>::value) {
                storePadded(p, v.data(), v.size());
            } else {
                for (const T& e : v) {
                    store<SW>(p, e);
                    p += sizeof(T);
                }
            }
            return static_cast<unsigned>(first + uint64_t(sizeof(T)) * v.size());
        }
        for (const T& e : v) {
            pos = Codec<T, SW>::pack(e, buf, pos, len);
            if (pos == 0) {
                return 0;
            }
        }
        return pos;
    }

    // On failure the sequence is either unchanged (the count does not fit) or holds the
    // elements read before the one that failed.
    static unsigned unpack(std::vector<T>& v, const void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, 4);
        if (a + 4 > len) {
            return 0;
        }
        const uint32_t n = loadCount<SW>(bytes(buf) + a);
        pos = static_cast<unsigned>(a + 4);
        if (n == 0) {
            v.clear();
            return pos;
        }
        if constexpr (IsFlat<T>::value || IsScalar<T>::value) {
            // Fixed-size elements: the exact end is known before the sequence grows.
            const uint64_t first = alignUp(pos, sizeof(typename ScalarOf<T>::type));
            const uint64_t size = uint64_t(sizeof(T)) * n;
            if (first + size > len) {
                return 0;
            }
            v.resize(n);
            if constexpr (!SW && !std::is_same<T, bool>::value) {
                // Padded values (Float128) too: their padding in memory is no part of them.
                std::memcpy(v.data(), bytes(buf) + first, size);
                return static_cast<unsigned>(first + size);
            } else if constexpr (IsScalar<T>::value) {
                const unsigned char* p = bytes(buf) + first;
                for (T& e : v) {
                    load<SW>(p, e);
                    p += sizeof(T);
                }
                return static_cast<unsigned>(first + size);
            }
        } else {
            // Each element takes at least minSize bytes: a count beyond that is refused
            // before anything is allocated.
            const uint64_t least = Codec<T, SW>::minSize > 0 ? Codec<T, SW>::minSize : 1;
            if (uint64_t(n) * least > len - pos) {
                return 0;
            }
            v.resize(n);
            if constexpr (std::is_same<T, std::string>::value) {
                std::size_t read = 0;
                pos = Codec<T, SW>::unpackRun(v.data(), n, buf, pos, len, read);
                if (pos == 0) {
                    v.resize(read);
                }
                return pos;
            }
        }
        for (uint32_t i = 0; i < n; ++i) {
            pos = Codec<T, SW>::unpack(v[i], buf, pos, len);
            if (pos == 0) {
                v.resize(i);
                return 0;
            }
        }
        return pos;
    }
};

template <bool SW>
struct Codec<std::vector<bool>, SW> {
    static constexpr uint64_t minSize = 4;

    static unsigned pack(const std::vector<bool>& v, void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, 4);
        if (a + 4 > len || v.size() > UINT32_MAX || a + 4 + v.size() > len) {
            return 0;
        }
        zeroGap<4>(buf, pos);
        unsigned char* p = bytes(buf) + a;
        store<SW>(p, static_cast<uint32_t>(v.size()));
        p += 4;
        for (bool b : v) {
            *p++ = b ? 1 : 0;
        }
        return static_cast<unsigned>(a + 4 + v.size());
    }

    static unsigned unpack(std::vector<bool>& v, const void* buf, unsigned pos, unsigned len) {
        const uint64_t a = alignUp(pos, 4);
        if (a + 4 > len) {
            return 0;
        }
        const uint32_t n = loadCount<SW>(bytes(buf) + a);
        if (a + 4 + n > len) {
            return 0;
        }
        const unsigned char* p = bytes(buf) + a + 4;
        // resize of a vector<bool> costs a stall even when the size stays.
        if (v.size() != n) {
            v.resize(n);
        }
        for (uint32_t i = 0; i < n; ++i) {
            v[i] = p[i] != 0;
        }
        return static_cast<unsigned>(a + 4 + n);
    }
};

// A value of n bytes placed as packPrimitive places it; 0 past lenbuf.
inline unsigned skipItem(uint64_t size, unsigned pos, unsigned lenbuf) {
    const uint64_t end = alignUp(pos, size) + size;
    return end > lenbuf ? 0 : static_cast<unsigned>(end);
}

template <bool SW, class T>
bool compareScalars(const T* values, std::size_t count, const void* buf, unsigned& pos,
                    unsigned len) {
    const uint64_t a = alignUp(pos, sizeof(T));
    const uint64_t end = a + uint64_t(sizeof(T)) * count;
    if (end > len) {
        pos = 0;
        return false;
    }
    pos = static_cast<unsigned>(end);
    const unsigned char* p = bytes(buf) + a;
    if constexpr ((!SW || sizeof(T) == 1) && valueBytes<T>() == sizeof(T)) {
        return std::memcmp(p, values, sizeof(T) * count) == 0;
    } else {
        for (std::size_t i = 0; i < count; ++i, p += sizeof(T)) {
            unsigned char packed[sizeof(T)];
            std::memcpy(packed, p, sizeof(T));
            if constexpr (SW) {
                reverseBytes<sizeof(T)>(packed);
            }
            std::memset(packed + valueBytes<T>(), 0, sizeof(T) - valueBytes<T>());
            unsigned char expected[sizeof(T)];
            hostBytes(values[i], expected);
            if (std::memcmp(packed, expected, sizeof(T)) != 0) {
                return false;
            }
        }
        return true;
    }
}

}  // namespace detail

// Primitives and enumerations: their bytes at the position aligned to their size.
template <class T, detail::EnableScalar<T> = 0>
unsigned packPrimitive(T value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<T, false>::pack(value, buf, pos, len);
}

template <class T, detail::EnableScalar<T> = 0>
unsigned packPrimitiveCH(T value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<T, true>::pack(value, buf, pos, len);
}

// Leaves out unchanged when the value does not fit.
template <class T, detail::EnableScalar<T> = 0>
unsigned unpackPrimitive(T& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<T, false>::unpack(out, buf, pos, len);
}

template <class T, detail::EnableScalar<T> = 0>
unsigned unpackPrimitiveCH(T& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<T, true>::unpack(out, buf, pos, len);
}

// A primitive reached under another name (an alias of an enumeration) is packed by pack.
template <class T, detail::EnableScalar<T> = 0>
unsigned pack(T value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<T, false>::pack(value, buf, pos, len);
}

template <class T, detail::EnableScalar<T> = 0>
unsigned packCH(T value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<T, true>::pack(value, buf, pos, len);
}

// An alias of an enumeration is measured through this form, like a string: its size at its
// own alignment.
template <class T, typename std::enable_if<std::is_enum<T>::value, int>::type = 0>
unsigned lenPacked(T, unsigned pos) {
    return lenPackedPrim(pos, static_cast<unsigned>(sizeof(T)));
}

// Sequences of primitives and enumerations (bool: one byte per element).
template <class T>
unsigned pack(const std::vector<T>& value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<T>, false>::pack(value, buf, pos, len);
}

template <class T>
unsigned packCH(const std::vector<T>& value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<T>, true>::pack(value, buf, pos, len);
}

template <class T, detail::EnableScalar<T> = 0>
unsigned unpackPrimitive(std::vector<T>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<T>, false>::unpack(out, buf, pos, len);
}

template <class T, detail::EnableScalar<T> = 0>
unsigned unpackPrimitiveCH(std::vector<T>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<T>, true>::unpack(out, buf, pos, len);
}

// Arrays (nested for several dimensions): the elements in row order, no count.
template <class T, std::size_t N>
unsigned pack(const std::array<T, N>& value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::array<T, N>, false>::pack(value, buf, pos, len);
}

template <class T, std::size_t N>
unsigned packCH(const std::array<T, N>& value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::array<T, N>, true>::pack(value, buf, pos, len);
}

template <class T, std::size_t N>
unsigned unpack(std::array<T, N>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::array<T, N>, false>::unpack(out, buf, pos, len);
}

template <class T, std::size_t N>
unsigned unpackCH(std::array<T, N>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::array<T, N>, true>::unpack(out, buf, pos, len);
}

namespace detail {

// Where the packed map key at pos ends when it reads as key, else 0 (also when it does not
// fit). Text is compared where it lies: copying it out first to compare it would cost a
// store and a load of the same bytes per entry.
template <bool SW, class K>
inline unsigned matchKey(const K& key, const void* buf, unsigned pos, unsigned len) {
    K read{};
    const unsigned end = Codec<K, SW>::unpack(read, buf, pos, len);
    return end != 0 && read == key ? end : 0;
}

template <bool SW>
inline unsigned matchKey(const std::string& key, const void* buf, unsigned pos, unsigned len) {
    const uint64_t a = alignUp(pos, 4);
    if (a + 4 > len) {
        return 0;
    }
    // The count includes the terminating zero, which a reader does not look at.
    const uint32_t n = loadCount<SW>(bytes(buf) + a);
    if (n != uint64_t(key.size()) + 1 || a + 4 + n > len ||
        !sameBytes(bytes(buf) + a + 4, reinterpret_cast<const unsigned char*>(key.data()),
                   key.size())) {
        return 0;
    }
    return static_cast<unsigned>(a + 4 + n);
}

template <bool SW>
inline unsigned matchKey(const std::wstring& key, const void* buf, unsigned pos, unsigned len) {
    const uint64_t a = alignUp(pos, 4);
    if (a + 4 > len) {
        return 0;
    }
    const uint32_t n = loadCount<SW>(bytes(buf) + a);
    if (n != uint64_t(key.size()) * 4 || a + 4 + n > len) {
        return 0;
    }
    const unsigned char* p = bytes(buf) + a + 4;
    for (wchar_t c : key) {
        wchar_t packed;
        load<SW>(p, packed);
        if (packed != c) {
            return 0;
        }
        p += 4;
    }
    return static_cast<unsigned>(a + 4 + n);
}

}  // namespace detail

// The map readers' test of the entry they stand on: where the packed key at pos ends when it
// equals key, else 0.
template <class K>
inline unsigned matchKey(const K& key, const void* buf, unsigned pos, unsigned len) {
    return detail::matchKey<false>(key, buf, pos, len);
}

template <class K>
inline unsigned matchKeyCH(const K& key, const void* buf, unsigned pos, unsigned len) {
    return detail::matchKey<true>(key, buf, pos, len);
}

// Strings as generated code packs them: the same bytes as pack(std::string) and
// pack(std::wstring), inlined.
inline unsigned packText(const std::string& value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::string, false>::pack(value, buf, pos, len);
}

inline unsigned unpackText(std::string& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::string, false>::unpack(out, buf, pos, len);
}

inline unsigned unpackTextCH(std::string& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::string, true>::unpack(out, buf, pos, len);
}

inline unsigned packText(const std::wstring& value, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::wstring, false>::pack(value, buf, pos, len);
}

inline unsigned unpackText(std::wstring& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::wstring, false>::unpack(out, buf, pos, len);
}

inline unsigned unpackTextCH(std::wstring& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::wstring, true>::unpack(out, buf, pos, len);
}

namespace detail {

template <bool SW, std::size_t N>
unsigned unpackTexts(std::array<std::string, N>& out, const void* buf, unsigned pos, unsigned len) {
    std::size_t read = 0;
    return Codec<std::string, SW>::unpackRun(out.data(), N, buf, pos, len, read);
}

template <bool SW, std::size_t N>
unsigned unpackTexts(std::array<std::wstring, N>& out, const void* buf, unsigned pos,
                     unsigned len) {
    for (std::wstring& e : out) {
        pos = Codec<std::wstring, SW>::unpack(e, buf, pos, len);
        if (pos == 0) {
            return 0;
        }
    }
    return pos;
}

}  // namespace detail

// Arrays of strings as generated code packs them: the elements one after another; unpack
// reads narrow ones in one run (see unpackRun) and on failure leaves the elements read before.
// Pack writes them one by one: a run carried the same way packed slower.
template <class Text, std::size_t N>
unsigned packTexts(const std::array<Text, N>& in, void* buf, unsigned pos, unsigned len) {
    for (const Text& e : in) {
        pos = detail::Codec<Text, false>::pack(e, buf, pos, len);
        if (pos == 0) {
            return 0;
        }
    }
    return pos;
}

template <class Text, std::size_t N>
unsigned unpackTexts(std::array<Text, N>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::unpackTexts<false>(out, buf, pos, len);
}

template <class Text, std::size_t N>
unsigned unpackTextsCH(std::array<Text, N>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::unpackTexts<true>(out, buf, pos, len);
}

// Fixed blocks: a structure (or a run of them) whose packed layout the generator worked out,
// its first item aligned to A and size bytes long in all. packBlock zeros the gap before the
// block and returns where it starts, moving pos to its end; unpackBlock returns where it
// starts and moves pos likewise. Both return nullptr, pos unchanged, when the block passes
// len; the items are then stored and loaded at constant offsets from the start.
template <unsigned A>
unsigned char* packBlock(void* buf, unsigned& pos, unsigned len, uint64_t size) {
    const uint64_t a = detail::alignUp(pos, A);
    if (a + size > len) {
        return nullptr;
    }
    detail::zeroGap<A>(buf, pos);
    pos = static_cast<unsigned>(a + size);
    return detail::bytes(buf) + a;
}

template <unsigned A>
const unsigned char* unpackBlock(const void* buf, unsigned& pos, unsigned len, uint64_t size) {
    const uint64_t a = detail::alignUp(pos, A);
    if (a + size > len) {
        return nullptr;
    }
    pos = static_cast<unsigned>(a + size);
    return detail::bytes(buf) + a;
}

// One item of a fixed block, in the host's byte order.
template <class T, detail::EnableScalar<T> = 0>
void storeItem(unsigned char* p, T value) {
    detail::store<false>(p, value);
}

// A bit set of a fixed block, as the unsigned integer U of its packed size.
template <class U, class Bits>
void storeBits(unsigned char* p, const Bits& bits) {
    detail::store<false>(p, static_cast<U>(bits.to_ullong()));
}

template <bool SW, class U, class Bits>
void loadBits(const unsigned char* p, Bits& bits) {
    U value;
    detail::load<SW>(p, value);
    bits = Bits(value);
}

// One item of a fixed block, in the data's byte order (SW: swapped); a packed byte other than
// 0 reads as a true bool.
template <bool SW, class T, detail::EnableScalar<T> = 0>
void loadItem(const unsigned char* p, T& out) {
    detail::load<SW>(p, out);
}

// count packed Boolean bytes into count bools (an array's storage, element after element).
inline void loadBooleans(void* to, const void* from, std::size_t count) {
    detail::loadBooleans(static_cast<unsigned char*>(to), detail::bytes(from), count);
}

// Steps over one value of N bytes.
template <unsigned N>
unsigned nextPrimitive(unsigned pos, unsigned lenbuf) {
    return detail::skipItem(N, pos, lenbuf);
}

// Value form: steps over one packed value of the argument's type (map keys).
template <class T, detail::EnableScalar<T> = 0>
unsigned nextPrimitive(const T&, const void*, unsigned pos, unsigned lenbuf) {
    return detail::skipItem(sizeof(T), pos, lenbuf);
}

template <class T, detail::EnableScalar<T> = 0>
unsigned nextPrimitiveCH(const T&, const void*, unsigned pos, unsigned lenbuf) {
    return detail::skipItem(sizeof(T), pos, lenbuf);
}

// Steps over K elements of A bytes, the first aligned to A.
template <unsigned A, unsigned K>
unsigned nextARR(unsigned pos, unsigned lenbuf) {
    const uint64_t end = detail::alignUp(pos, A) + uint64_t(A) * K;
    return end > lenbuf ? 0 : static_cast<unsigned>(end);
}

// Steps over a sequence of N-byte elements.
template <unsigned N>
unsigned nextPrimitiveVCT(const void* buf, unsigned pos, unsigned lenbuf) {
    return nextPrimitiveVCT_Pr(N, buf, pos, lenbuf, CDR_LE);
}

template <unsigned N>
unsigned nextPrimitiveVCTCH(const void* buf, unsigned pos, unsigned lenbuf) {
    return nextPrimitiveVCT_Pr(N, buf, pos, lenbuf, CDR_BE);
}

// True when the packed value at pos equals value; pos moves past it (0 when it does not fit).
template <class T, detail::EnableScalar<T> = 0>
bool comparePrimitive(T value, const void* buf, unsigned& pos, unsigned len) {
    return detail::compareScalars<false>(&value, 1, buf, pos, len);
}

template <class T, detail::EnableScalar<T> = 0>
bool comparePrimitiveCH(T value, const void* buf, unsigned& pos, unsigned len) {
    return detail::compareScalars<true>(&value, 1, buf, pos, len);
}

// Compares N elements of type T at data with the N packed at pos.
template <class T, std::size_t N>
bool compareArr(const void* data, const void* buf, unsigned& pos, unsigned len) {
    static_assert(detail::IsScalar<T>::value, "arrays of primitives and enumerations only");
    return detail::compareScalars<false>(static_cast<const T*>(data), N, buf, pos, len);
}

template <class T, std::size_t N>
bool compareArrCH(const void* data, const void* buf, unsigned& pos, unsigned len) {
    static_assert(detail::IsScalar<T>::value, "arrays of primitives and enumerations only");
    return detail::compareScalars<true>(static_cast<const T*>(data), N, buf, pos, len);
}

}  // namespace VEXA_PACK
