// MD5 message digest (RFC 1321); instance key hashes are MD5 digests of packed keys.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace VEXA_PACK {

class MD5 {
public:
    typedef unsigned int size_type;

    MD5();
    // Digest of the text, finalized.
    explicit MD5(const std::string& text);

    void init();
    void update(const unsigned char* input, size_type length);
    void update(const char* input, size_type length);
    // Pads and closes the digest; later calls change nothing.
    MD5& finalize();
    // 32 lower-case hexadecimal digits; empty before finalize.
    std::string hexdigest() const;

    // Writes the 16-byte digest of the len bytes at data; nothing when data or digest is null.
    // Uses only local state, so writer threads may hash keys at the same time.
    static void calculate(const unsigned char* data, unsigned len, unsigned char* digest);

private:
    void transform(const unsigned char block[64]);

    bool finalized_;
    unsigned char buffer_[64];  // bytes of the block not yet transformed
    uint32_t count_[2];         // message length in bits, low word first
    uint32_t state_[4];
    unsigned char digest_[16];
};

std::ostream& operator<<(std::ostream& out, const MD5& md5);

// Hexadecimal digest of a text.
std::string md5(const std::string& text);

namespace MD5_pack {
// Process-wide instance; never used for computing (see MD5::calculate).
extern MD5 obj;
}  // namespace MD5_pack

}  // namespace VEXA_PACK
