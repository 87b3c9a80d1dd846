// A CDR writer built from the wire rules alone, independent of the generated code and of the
// runtime, in either byte order: an item of n bytes (n > 1) at the next multiple of n counted
// from the first data byte, a 1-byte item unaligned, counts and lengths as 4-byte words,
// strings with their zero byte, wide strings as 4-byte units, bit sets as the unsigned integer
// of their width, Float128 as its 10 value bytes and 6 zero bytes, structures with no padding
// of their own. Model types are written by overloads of writeModel(ReferenceWriter&, const T&)
// found beside the type.
#ifndef TESTS_GENERATED_REFERENCEWRITER_H
#define TESTS_GENERATED_REFERENCEWRITER_H

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace reference {

template <std::size_t N>
std::true_type bitsetBase(const std::bitset<N>*);
std::false_type bitsetBase(...);

template <class T>
using IsBitset = decltype(bitsetBase(static_cast<const T*>(nullptr)));

class ReferenceWriter {
public:
    explicit ReferenceWriter(bool bigEndian) : m_big(bigEndian) {}

    // The packed sample: the header of this byte order, then the data.
    std::vector<std::uint8_t> sample() const {
        std::vector<std::uint8_t> out = {0, static_cast<std::uint8_t>(m_big ? 0 : 1), 0, 0};
        out.insert(out.end(), m_data.begin(), m_data.end());
        return out;
    }
    const std::vector<std::uint8_t>& data() const { return m_data; }

    void put(bool value) { m_data.push_back(value ? 1 : 0); }

    template <class T>
    typename std::enable_if<std::is_arithmetic<T>::value>::type put(T value) {
        std::uint8_t bytes[sizeof(T)] = {};
        std::size_t valueBytes = sizeof(T);
        if (std::is_same<T, long double>::value) {
            valueBytes = 10;  // the x87 format; the other 6 bytes are zero on the wire
        }
        std::memcpy(bytes, &value, valueBytes);
        if (m_big) {
            std::reverse(bytes, bytes + sizeof(T));
        }
        align(sizeof(T));
        m_data.insert(m_data.end(), bytes, bytes + sizeof(T));
    }

    template <class T>
    typename std::enable_if<std::is_enum<T>::value>::type put(T value) {
        put(static_cast<typename std::underlying_type<T>::type>(value));
    }

    void put(const std::string& text) {
        put(static_cast<std::uint32_t>(text.size() + 1));
        m_data.insert(m_data.end(), text.begin(), text.end());
        m_data.push_back(0);
    }

    void put(const std::wstring& text) {
        put(static_cast<std::uint32_t>(text.size() * 4));
        for (wchar_t c : text) {
            put(static_cast<std::uint32_t>(c));
        }
    }

    template <class T>
    void put(const std::vector<T>& values) {
        put(static_cast<std::uint32_t>(values.size()));
        for (const T& value : values) {
            put(value);
        }
    }

    void put(const std::vector<bool>& values) {
        put(static_cast<std::uint32_t>(values.size()));
        for (bool value : values) {
            put(value);
        }
    }

    template <class T, std::size_t N>
    void put(const std::array<T, N>& values) {
        for (const T& value : values) {
            put(value);
        }
    }

    template <class K, class V>
    void put(const std::map<K, V>& values) {
        put(static_cast<std::uint32_t>(values.size()));
        for (const auto& entry : values) {
            put(entry.first);
            put(entry.second);
        }
    }

    // Bit sets (the model's classes derive from std::bitset) and the model's structures and
    // unions.
    template <class T>
    typename std::enable_if<std::is_class<T>::value>::type put(const T& value) {
        if constexpr (IsBitset<T>::value) {
            putBits(value);
        } else {
            writeModel(*this, value);
        }
    }

private:
    template <std::size_t N>
    void putBits(const std::bitset<N>& bits) {
        const unsigned long long value = bits.to_ullong();
        if (N <= 8) {
            put(static_cast<std::uint8_t>(value));
        } else if (N <= 16) {
            put(static_cast<std::uint16_t>(value));
        } else if (N <= 32) {
            put(static_cast<std::uint32_t>(value));
        } else {
            put(static_cast<std::uint64_t>(value));
        }
    }

    void align(std::size_t n) {
        while (n > 1 && m_data.size() % n != 0) {
            m_data.push_back(0);
        }
    }

    bool m_big;
    std::vector<std::uint8_t> m_data;
};

}  // namespace reference

#endif
