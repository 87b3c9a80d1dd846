#include "common/os/OsGuidPrefix.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "ChildProcess.h"

namespace {

struct Prefix {
    uint32_t words[3];
    bool operator==(Prefix const& o) const { return std::memcmp(words, o.words, 12) == 0; }
};

Prefix newPrefix() {
    Prefix p;
    vexa::OsNewGuidPrefix(p.words);
    return p;
}

// Bytes 2-5: the part that stands for the calling thread.
uint32_t threadPart(Prefix const& p) {
    unsigned char bytes[12];
    std::memcpy(bytes, p.words, 12);
    uint32_t t;
    std::memcpy(&t, bytes + 2, 4);
    return t;
}

}  // namespace

// Processes forked from one parent start their participants at the same moment; their main
// threads share the parent's thread handle, so only the system-wide thread id keeps their
// prefixes apart when the clock reads the same for both.
TEST(OsGuidPrefix, AForkedChildsThreadPartDiffersFromItsParents) {
    Prefix const parent = newPrefix();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int const rc = vexatest::runInChild([&] {
        Prefix const child = newPrefix();
        return write(fds[1], &child, sizeof child) == static_cast<ssize_t>(sizeof child) ? 0 : 1;
    });
    ASSERT_EQ(rc, vexatest::CHILD_PASS);
    Prefix child;
    ASSERT_EQ(read(fds[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
    close(fds[0]);
    close(fds[1]);
    EXPECT_NE(threadPart(child), threadPart(parent));
    unsigned char bytes[12];
    std::memcpy(bytes, child.words, 12);
    EXPECT_EQ(bytes[0], 0xAA);
    EXPECT_EQ(bytes[1], 0xAA);
}
