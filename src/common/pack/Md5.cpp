#include "vexa_md5.h"

#include <cstdio>
#include <cstring>

namespace VEXA_PACK {

namespace {

// floor(|sin(i + 1)| * 2^32)
const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation per step; each round repeats its four amounts.
const unsigned kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline uint32_t rotl(uint32_t x, unsigned n) {
    return (x << n) | (x >> (32 - n));
}

// Words are little-endian whatever the host.
inline uint32_t getWord(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void putWord(unsigned char* p, uint32_t w) {
    p[0] = static_cast<unsigned char>(w);
    p[1] = static_cast<unsigned char>(w >> 8);
    p[2] = static_cast<unsigned char>(w >> 16);
    p[3] = static_cast<unsigned char>(w >> 24);
}

}  // namespace

namespace MD5_pack {
MD5 obj;
}  // namespace MD5_pack

MD5::MD5() {
    init();
}

MD5::MD5(const std::string& text) {
    init();
    update(text.data(), static_cast<size_type>(text.size()));
    finalize();
}

void MD5::init() {
    finalized_ = false;
    std::memset(buffer_, 0, sizeof buffer_);
    count_[0] = 0;
    count_[1] = 0;
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    std::memset(digest_, 0, sizeof digest_);
}

void MD5::transform(const unsigned char block[64]) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = getWord(block + 4 * i);
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (unsigned i = 0; i < 64; ++i) {
        uint32_t f;
        unsigned g;
        const unsigned round = i / 16;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                g = i;
                break;
            case 1:
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
                break;
        }
        const uint32_t sum = a + f + kSine[i] + m[g];
        a = d;
        d = c;
        c = b;
        b = b + rotl(sum, kShift[round][i % 4]);
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void MD5::update(const unsigned char* input, size_type length) {
    if (finalized_ || length == 0) {
        return;
    }
    size_type index = (count_[0] >> 3) & 0x3F;
    // Bit count in two words; the high word takes the carry and the top bits of length * 8.
    const uint32_t bits = static_cast<uint32_t>(length) << 3;
    count_[0] += bits;
    if (count_[0] < bits) {
        ++count_[1];
    }
    count_[1] += static_cast<uint32_t>(length) >> 29;

    const size_type room = 64 - index;
    size_type i = 0;
    if (length >= room) {
        std::memcpy(buffer_ + index, input, room);
        transform(buffer_);
        for (i = room; length - i >= 64; i += 64) {
            transform(input + i);
        }
        index = 0;
    }
    std::memcpy(buffer_ + index, input + i, length - i);
}

void MD5::update(const char* input, size_type length) {
    update(reinterpret_cast<const unsigned char*>(input), length);
}

MD5& MD5::finalize() {
    if (finalized_) {
        return *this;
    }
    static const unsigned char padding[64] = {0x80};
    unsigned char bits[8];
    putWord(bits, count_[0]);
    putWord(bits + 4, count_[1]);
    // Pad to 56 bytes modulo 64, then append the original length in bits.
    const size_type index = (count_[0] >> 3) & 0x3F;
    const size_type padLen = index < 56 ? 56 - index : 120 - index;
    update(padding, padLen);
    update(bits, 8);
    for (int i = 0; i < 4; ++i) {
        putWord(digest_ + 4 * i, state_[i]);
    }
    // The block buffer may hold message bytes; nothing of it is needed any more.
    std::memset(buffer_, 0, sizeof buffer_);
    finalized_ = true;
    return *this;
}

std::string MD5::hexdigest() const {
    if (!finalized_) {
        return std::string();
    }
    char text[33];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(text + 2 * i, 3, "%02x", digest_[i]);
    }
    return std::string(text, 32);
}

void MD5::calculate(const unsigned char* data, unsigned len, unsigned char* digest) {
    if (data == nullptr || digest == nullptr) {
        return;
    }
    MD5 local;
    local.update(data, len);
    local.finalize();
    std::memcpy(digest, local.digest_, sizeof local.digest_);
}

std::ostream& operator<<(std::ostream& out, const MD5& md5) {
    return out << md5.hexdigest();
}

std::string md5(const std::string& text) {
    return MD5(text).hexdigest();
}

}  // namespace VEXA_PACK
