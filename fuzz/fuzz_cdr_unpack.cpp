// Arbitrary bytes through every unpack, skip and compare form of the CDR runtime, in both byte
// orders. The first input byte picks the start position (bits 0-2) and the byte order (bit 3);
// the rest is the packed data.
//
// Besides not crashing, the forms must agree: a value that unpacks re-packs to the same end
// position and unpacks again to the same value, the typed skip forms end where unpack ends (or
// both refuse), and the re-packed value compares equal.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "vexa_pack.h"

namespace {

enum class Tone : int32_t { Low = 1, High = 2 };

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

template <class T>
struct VectorOf : std::false_type {};
template <class T>
struct VectorOf<std::vector<T>> : std::true_type {
    using Element = T;
};
template <class T>
struct ArrayOf : std::false_type {};
template <class T, std::size_t N>
struct ArrayOf<std::array<T, N>> : std::true_type {
    using Element = T;
};
template <class T>
struct ScalarIn {
    using type = T;
};
template <class T, std::size_t N>
struct ScalarIn<std::array<T, N>> : ScalarIn<T> {};

template <class T>
constexpr bool scalar() {
    return std::is_arithmetic<T>::value || std::is_enum<T>::value;
}
template <class T>
constexpr bool text() {
    return std::is_same<T, std::string>::value || std::is_same<T, std::wstring>::value;
}
template <class T>
constexpr bool scalarVector() {
    if constexpr (VectorOf<T>::value) {
        return scalar<typename VectorOf<T>::Element>();
    }
    return false;
}
template <class T>
constexpr bool textVector() {
    if constexpr (VectorOf<T>::value) {
        return text<typename VectorOf<T>::Element>();
    }
    return false;
}

// Same value; floating point compared by the bytes that carry it (NaN included).
template <class T>
bool same(const T& a, const T& b) {
    if constexpr (std::is_floating_point<T>::value) {
        const std::size_t n = std::is_same<T, long double>::value ? 10 : sizeof(T);
        return std::memcmp(&a, &b, n) == 0;
    } else if constexpr (VectorOf<T>::value || ArrayOf<T>::value) {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!same<typename T::value_type>(a[i], b[i])) {
                return false;
            }
        }
        return true;
    } else {
        return a == b;
    }
}

template <class T>
unsigned packAs(const T& v, void* b, unsigned p, unsigned l, bool sw) {
    using namespace VEXA_PACK;
    if constexpr (scalar<T>()) {
        return sw ? packPrimitiveCH(v, b, p, l) : packPrimitive(v, b, p, l);
    } else {
        return sw ? packCH(v, b, p, l) : pack(v, b, p, l);
    }
}

template <class T>
unsigned unpackAs(T& v, const void* b, unsigned p, unsigned l, bool sw) {
    using namespace VEXA_PACK;
    if constexpr (scalar<T>() || scalarVector<T>()) {
        return sw ? unpackPrimitiveCH(v, b, p, l) : unpackPrimitive(v, b, p, l);
    } else {
        return sw ? unpackCH(v, b, p, l) : unpack(v, b, p, l);
    }
}

// The skip form that checks exactly what unpack checks.
template <class T>
unsigned skipAs(const void* b, unsigned p, unsigned l, bool sw) {
    using namespace VEXA_PACK;
    const T probe{};
    if constexpr (scalar<T>()) {
        const unsigned a = nextPrimitive<sizeof(T)>(p, l);
        FUZZ_CHECK(a == (sw ? nextPrimitiveCH(probe, b, p, l) : nextPrimitive(probe, b, p, l)));
        return a;
    } else if constexpr (text<T>()) {
        // Map keys of string type are skipped through the value form of nextPrimitive.
        const unsigned a = sw ? nextCH(probe, b, p, l) : next(probe, b, p, l);
        FUZZ_CHECK(a == (sw ? nextPrimitiveCH(probe, b, p, l) : nextPrimitive(probe, b, p, l)));
        return a;
    } else if constexpr (textVector<T>()) {
        return sw ? nextCH(probe, b, p, l) : next(probe, b, p, l);
    } else if constexpr (scalarVector<T>()) {
        constexpr unsigned size = sizeof(typename VectorOf<T>::Element);
        return sw ? nextPrimitiveVCTCH<size>(b, p, l) : nextPrimitiveVCT<size>(b, p, l);
    } else {
        using S = typename ScalarIn<T>::type;
        return nextARR<sizeof(S), sizeof(T) / sizeof(S)>(p, l);
    }
}

// The skip forms that serve narrow and wide strings alike: they agree with unpack whenever
// unpack succeeds.
template <class T>
unsigned looseSkip(const void* b, unsigned p, unsigned l, bool sw) {
    using namespace VEXA_PACK;
    if constexpr (text<T>()) {
        return sw ? nextSTRCH(b, p, l) : nextSTR(b, p, l);
    } else if constexpr (textVector<T>()) {
        return sw ? nextVCTSTRCH(b, p, l) : nextVCTSTR(b, p, l);
    } else {
        return skipAs<T>(b, p, l, sw);
    }
}

template <class T>
void compareIfServed(const T& v, const void* b, unsigned start, unsigned end, bool sw) {
    using namespace VEXA_PACK;
    unsigned pos = start;
    bool equal = true;
    if constexpr (scalar<T>()) {
        equal = sw ? comparePrimitiveCH(v, b, pos, end) : comparePrimitive(v, b, pos, end);
    } else if constexpr (text<T>()) {
        equal = sw ? compareCH(v, b, pos, end) : compare(v, b, pos, end);
    } else if constexpr (ArrayOf<T>::value) {
        using S = typename ScalarIn<T>::type;
        constexpr std::size_t n = sizeof(T) / sizeof(S);
        equal = sw ? compareArrCH<S, n>(v.data(), b, pos, end)
                   : compareArr<S, n>(v.data(), b, pos, end);
    } else {
        pos = end;
    }
    FUZZ_CHECK(equal);
    FUZZ_CHECK(pos == end);
}

template <class T>
void exercise(const uint8_t* buf, unsigned len, unsigned start, bool sw) {
    T value{};
    const unsigned end = unpackAs(value, buf, start, len, sw);
    FUZZ_CHECK(skipAs<T>(buf, start, len, sw) == end);
    if (end == 0) {
        return;
    }
    FUZZ_CHECK(end <= len && end >= start);
    FUZZ_CHECK(looseSkip<T>(buf, start, len, sw) == end);

    std::vector<uint8_t> repacked(len, 0);
    FUZZ_CHECK(packAs(value, repacked.data(), start, len, sw) == end);
    T again{};
    FUZZ_CHECK(unpackAs(again, repacked.data(), start, end, sw) == end);
    FUZZ_CHECK(same(value, again));
    compareIfServed(value, repacked.data(), start, end, sw);
}

// Compare forms on raw input: no crash, and a match never ends past the data.
void compareRaw(const uint8_t* buf, unsigned len, unsigned start, bool sw) {
    using namespace VEXA_PACK;
    unsigned pos = start;
    if (sw ? compareCH(std::string("abc"), buf, pos, len)
           : compare(std::string("abc"), buf, pos, len)) {
        FUZZ_CHECK(pos <= len);
    }
    pos = start;
    if (sw ? compareCH(std::wstring(L"a"), buf, pos, len)
           : compare(std::wstring(L"a"), buf, pos, len)) {
        FUZZ_CHECK(pos <= len);
    }
    pos = start;
    if (comparePrimitive(uint8_t('a'), buf, pos, len)) {
        FUZZ_CHECK(pos <= len);
    }
    const int32_t arr[2] = {1, 2};
    pos = start;
    if (sw ? compareArrCH<int32_t, 2>(arr, buf, pos, len)
           : compareArr<int32_t, 2>(arr, buf, pos, len)) {
        FUZZ_CHECK(pos <= len);
    }
    for (unsigned size : {1u, 2u, 4u, 8u, 16u}) {
        const unsigned end = nextPrimitiveVCT_Pr(size, buf, start, len, sw ? CDR_BE : CDR_LE);
        FUZZ_CHECK(end <= len);
    }
    CDR_HEADER header;
    const unsigned rest = unpack(header, buf, len);
    FUZZ_CHECK(rest == (len < 4 ? 0 : len - 4));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20)) {
        return 0;
    }
    const unsigned start = data[0] & 7;
    const bool sw = (data[0] & 8) != 0;
    // An exact-size copy, so that any read past the data is caught.
    std::vector<uint8_t> copy(data + 1, data + size);
    const uint8_t* buf = copy.empty() ? nullptr : copy.data();
    const unsigned len = static_cast<unsigned>(copy.size());
    if (buf == nullptr) {
        static const uint8_t none[1] = {0};
        buf = none;
    }

    exercise<uint8_t>(buf, len, start, sw);
    exercise<bool>(buf, len, start, sw);
    exercise<int16_t>(buf, len, start, sw);
    exercise<int32_t>(buf, len, start, sw);
    exercise<int64_t>(buf, len, start, sw);
    exercise<double>(buf, len, start, sw);
    exercise<long double>(buf, len, start, sw);
    exercise<wchar_t>(buf, len, start, sw);
    exercise<std::string>(buf, len, start, sw);
    exercise<std::wstring>(buf, len, start, sw);
    exercise<std::vector<std::string>>(buf, len, start, sw);
    exercise<std::vector<std::wstring>>(buf, len, start, sw);
    exercise<Tone>(buf, len, start, sw);
    exercise<std::vector<int16_t>>(buf, len, start, sw);
    exercise<std::vector<int32_t>>(buf, len, start, sw);
    exercise<std::vector<double>>(buf, len, start, sw);
    exercise<std::vector<bool>>(buf, len, start, sw);
    exercise<std::vector<wchar_t>>(buf, len, start, sw);
    exercise<std::vector<uint8_t>>(buf, len, start, sw);
    exercise<std::vector<long double>>(buf, len, start, sw);
    exercise<std::array<int16_t, 3>>(buf, len, start, sw);
    exercise<std::array<std::array<int32_t, 2>, 2>>(buf, len, start, sw);
    exercise<std::array<bool, 3>>(buf, len, start, sw);
    exercise<std::array<wchar_t, 2>>(buf, len, start, sw);
    exercise<std::array<long double, 2>>(buf, len, start, sw);
    compareRaw(buf, len, start, sw);
    return 0;
}
