#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "vexa_pack.h"

namespace {

using VEXA_PACK::MD5;

struct Vector {
    std::string text;
    const char* digest;
};

// The test suite of RFC 1321, plus lengths around the 56- and 64-byte padding boundaries.
const Vector kVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
};

std::string hexOf(const unsigned char (&digest)[16]) {
    char text[33];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    }
    return text;
}

TEST(Md5, KnownDigests) {
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(v.text.size());
        EXPECT_EQ(VEXA_PACK::md5(v.text), v.digest);
        EXPECT_EQ(MD5(v.text).hexdigest(), v.digest);

        unsigned char digest[16] = {};
        MD5::calculate(reinterpret_cast<const unsigned char*>(v.text.data()),
                       static_cast<unsigned>(v.text.size()), digest);
        EXPECT_EQ(hexOf(digest), v.digest);

        // Fed in uneven pieces, across block boundaries.
        MD5 pieces;
        for (std::size_t at = 0; at < v.text.size(); at += 7) {
            const std::string part = v.text.substr(at, 7);
            pieces.update(part.data(), static_cast<MD5::size_type>(part.size()));
        }
        EXPECT_EQ(pieces.finalize().hexdigest(), v.digest);
    }
}

TEST(Md5, DigestOnlyAfterFinalize) {
    MD5 md5;
    md5.update("abc", 3);
    EXPECT_EQ(md5.hexdigest(), "");
    md5.finalize();
    md5.finalize();  // a second call changes nothing
    md5.update("more", 4);
    EXPECT_EQ(md5.hexdigest(), "900150983cd24fb0d6963f7d28e17f72");
    std::ostringstream out;
    out << md5;
    EXPECT_EQ(out.str(), "900150983cd24fb0d6963f7d28e17f72");
    md5.init();
    EXPECT_EQ(md5.hexdigest(), "");
}

TEST(Md5, CalculateIgnoresNullPointers) {
    unsigned char digest[16] = {1};
    MD5::calculate(nullptr, 3, digest);
    EXPECT_EQ(digest[0], 1);
    MD5::calculate(reinterpret_cast<const unsigned char*>("abc"), 3, nullptr);
}

// Writer threads hash keys at the same time; a digest shared between them would mix inputs.
TEST(Md5, ConcurrentCalculationsAreIndependent) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            const Vector& v = kVectors[3 + t];
            for (int i = 0; i < 2000; ++i) {
                unsigned char digest[16];
                MD5::calculate(reinterpret_cast<const unsigned char*>(v.text.data()),
                               static_cast<unsigned>(v.text.size()), digest);
                wrong[t] += hexOf(digest) != v.digest;
            }
        });
    }
    for (std::thread& th : threads) {
        th.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
    EXPECT_EQ(VEXA_PACK::MD5_pack::obj.hexdigest(), "");
}

}  // namespace
