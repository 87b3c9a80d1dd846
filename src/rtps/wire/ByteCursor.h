#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace RTPS {

enum class ByteOrder : uint8_t { Little, Big };

// Bounds-checked reader over untrusted bytes (datagrams, discovery records, DSVC frames).
// Every read is checked against the bytes that remain. A read that does not fit sets its output
// to zero and fails the cursor for good: all later reads fail too, so a decoder may read several
// fields and test ok() once, and a failed read means "drop this input".
class ByteCursor {
public:
    ByteCursor() noexcept = default;
    ByteCursor(void const* data, size_t size, ByteOrder order = ByteOrder::Little) noexcept
        : m_begin(static_cast<uint8_t const*>(data)),
          m_pos(m_begin),
          m_end(data != nullptr ? m_begin + size : m_begin),
          m_order(order) {}

    bool ok() const noexcept { return !m_failed; }
    size_t remaining() const noexcept { return static_cast<size_t>(m_end - m_pos); }
    size_t offset() const noexcept { return static_cast<size_t>(m_pos - m_begin); }
    size_t size() const noexcept { return static_cast<size_t>(m_end - m_begin); }
    bool has(size_t n) const noexcept { return !m_failed && n <= remaining(); }
    uint8_t const* begin() const noexcept { return m_begin; }
    uint8_t const* position() const noexcept { return m_pos; }

    ByteOrder byteOrder() const noexcept { return m_order; }
    void setByteOrder(ByteOrder order) noexcept { m_order = order; }

    // Marks the input as malformed.
    void fail() noexcept {
        m_failed = true;
        m_pos = m_end;
    }

    bool readU8(uint8_t& v) noexcept { return readRaw(v); }
    bool readI8(int8_t& v) noexcept { return readRaw(v); }

    // In the cursor's byte order.
    bool readU16(uint16_t& v) noexcept { return readU16(v, m_order); }
    bool readU32(uint32_t& v) noexcept { return readU32(v, m_order); }
    bool readU64(uint64_t& v) noexcept { return readU64(v, m_order); }
    bool readI16(int16_t& v) noexcept { return readSigned(v, m_order); }
    bool readI32(int32_t& v) noexcept { return readSigned(v, m_order); }
    bool readI64(int64_t& v) noexcept { return readSigned(v, m_order); }

    // In the given byte order.
    bool readU16(uint16_t& v, ByteOrder order) noexcept {
        if (!readRaw(v)) {
            return false;
        }
        if (order != HOST) {
            v = __builtin_bswap16(v);
        }
        return true;
    }
    bool readU32(uint32_t& v, ByteOrder order) noexcept {
        if (!readRaw(v)) {
            return false;
        }
        if (order != HOST) {
            v = __builtin_bswap32(v);
        }
        return true;
    }
    bool readU64(uint64_t& v, ByteOrder order) noexcept {
        if (!readRaw(v)) {
            return false;
        }
        if (order != HOST) {
            v = __builtin_bswap64(v);
        }
        return true;
    }
    bool readI16(int16_t& v, ByteOrder order) noexcept { return readSigned(v, order); }
    bool readI32(int32_t& v, ByteOrder order) noexcept { return readSigned(v, order); }
    bool readI64(int64_t& v, ByteOrder order) noexcept { return readSigned(v, order); }

    // Copies n bytes out.
    bool readBytes(void* out, size_t n) noexcept {
        if (!has(n)) {
            fail();
            return false;
        }
        if (n != 0) {
            std::memcpy(out, m_pos, n);
        }
        m_pos += n;
        return true;
    }

    // Points at the next n bytes without copying them, and steps over them.
    bool readView(uint8_t const*& p, size_t n) noexcept {
        if (!has(n)) {
            p = nullptr;
            fail();
            return false;
        }
        p = m_pos;
        m_pos += n;
        return true;
    }

    bool skip(size_t n) noexcept {
        if (!has(n)) {
            fail();
            return false;
        }
        m_pos += n;
        return true;
    }

    // Steps to the next multiple of n counted from the cursor's first byte.
    bool align(size_t n) noexcept {
        if (n == 0 || m_failed) {
            return !m_failed;
        }
        size_t rest = offset() % n;
        return rest == 0 || skip(n - rest);
    }

    // The next n bytes as a cursor of their own (same byte order, offsets from its own start),
    // stepped over here.
    bool subCursor(size_t n, ByteCursor& out) noexcept {
        uint8_t const* p = nullptr;
        if (!readView(p, n)) {
            out = ByteCursor();
            out.m_failed = true;
            return false;
        }
        out = ByteCursor(p, n, m_order);
        return true;
    }

private:
    static constexpr ByteOrder HOST =
        __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ByteOrder::Little : ByteOrder::Big;

    template <typename T>
    bool readRaw(T& v) noexcept {
        if (!has(sizeof(T))) {
            v = 0;
            fail();
            return false;
        }
        std::memcpy(&v, m_pos, sizeof(T));
        m_pos += sizeof(T);
        return true;
    }

    template <typename S>
    bool readSigned(S& v, ByteOrder order) noexcept {
        using U = std::make_unsigned_t<S>;
        U u = 0;
        bool r;
        if constexpr (sizeof(S) == 2) {
            r = readU16(u, order);
        } else if constexpr (sizeof(S) == 4) {
            r = readU32(u, order);
        } else {
            r = readU64(u, order);
        }
        v = static_cast<S>(u);
        return r;
    }

    uint8_t const* m_begin = nullptr;
    uint8_t const* m_pos = nullptr;
    uint8_t const* m_end = nullptr;
    ByteOrder m_order = ByteOrder::Little;
    bool m_failed = false;
};

}  // namespace RTPS
