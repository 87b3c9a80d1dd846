#include "rtps/io/UserInputBufferPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <mutex>
#include <algorithm>
#include <thread>
#include <vector>

using RTPS::UserInputBuffer;
using RTPS::UserInputBufferPool;

namespace {

// Fills the whole block, so that a capacity larger than the data area shows under ASan.
void fill(UserInputBuffer* b, uint8_t value) {
    std::memset(b->data.get(), value, b->capacity);
}

}  // namespace

TEST(UserInputBufferPool, NominalCountIsAtLeastTwoAndNothingIsMadeAhead) {
    struct Case {
        uint32_t count;
        uint32_t nominal;
    };
    const Case cases[] = {{0, 2}, {1, 2}, {2, 2}, {3, 3}, {256, 256}};
    for (const Case& c : cases) {
        std::mutex lock;
        UserInputBufferPool pool(c.count, 1024, lock);
        EXPECT_EQ(pool.nominalCount(), c.nominal) << c.count;
        EXPECT_EQ(pool.freeCount(), 0u) << c.count;
        EXPECT_EQ(pool.idleBytes(), 0u) << c.count;
    }
}

// A block is its sample's length rounded up to a power of two, never the pool's nominal block
// size: 64-byte samples take 64-byte blocks.
TEST(UserInputBufferPool, BlocksAreSizedToTheSample) {
    struct Case {
        uint64_t length;
        uint64_t capacity;
    };
    const Case cases[] = {{0, 64},      {1, 64},      {64, 64},     {65, 128},
                          {1000, 1024}, {1024, 1024}, {1025, 2048}, {7000, 8192}};
    std::mutex lock;
    UserInputBufferPool pool(256, 1024, lock);
    for (const Case& c : cases) {
        EXPECT_EQ(UserInputBufferPool::blockSizeFor(c.length), c.capacity) << c.length;
        UserInputBuffer* b = pool.getFreeBuffer(c.length);
        ASSERT_NE(b, nullptr) << c.length;
        EXPECT_EQ(b->capacity, c.capacity) << c.length;
        EXPECT_EQ(pool.lentBytes(), c.capacity) << c.length;
        fill(b, 0x5A);
        pool.returnBuffer(b);
        // The next sample of that size takes the same block again.
        EXPECT_EQ(pool.getFreeBuffer(c.capacity), b) << c.length;
        pool.returnBuffer(b);
    }
    EXPECT_EQ(pool.lentBytes(), 0u);
    EXPECT_EQ(UserInputBufferPool::blockSizeFor(UINT64_MAX), 0u);
    EXPECT_EQ(pool.getFreeBuffer(UINT64_MAX), nullptr);
}

// After a burst the pool keeps no more idle bytes than its nominal reserve: what it holds
// follows what the writers hold.
TEST(UserInputBufferPool, IdleBlocksAreGivenBack) {
    std::mutex lock;
    UserInputBufferPool pool(4, 1024, lock);  // 4 KiB may stay idle
    std::vector<UserInputBuffer*> lent;
    for (int i = 0; i < 1000; ++i) {
        lent.push_back(pool.getFreeBuffer(1024));
    }
    EXPECT_EQ(pool.lentBytes(), 1000u * 1024u);
    for (size_t i = 0; i < lent.size(); ++i) {
        pool.returnBuffer(lent[i]);
        // Never more idle than the reserve or than what is still lent.
        EXPECT_LE(pool.idleBytes(), std::max<uint64_t>(4 * 1024, pool.lentBytes())) << i;
    }
    EXPECT_EQ(pool.lentBytes(), 0u);
    EXPECT_EQ(pool.idleBytes(), 4u * 1024u);
    EXPECT_EQ(pool.freeCount(), 4u);
}

TEST(UserInputBufferPool, ReturnsAreLastInFirstOut) {
    std::mutex lock;
    UserInputBufferPool pool(2, 64, lock);
    UserInputBuffer* a = pool.getFreeBuffer(8);
    UserInputBuffer* b = pool.getFreeBuffer(8);
    ASSERT_NE(a, b);
    pool.returnBuffer(a);
    pool.returnBuffer(b);
    pool.returnBuffer(nullptr);
    EXPECT_EQ(pool.freeCount(), 2u);
    EXPECT_EQ(pool.getFreeBuffer(8), b);
    EXPECT_EQ(pool.getFreeBuffer(8), a);
    pool.returnBuffer(a);
    pool.returnBuffer(b);
}

// A block still lent out when the pool goes belongs to its borrower (ASan sees leaks and
// double frees).
TEST(UserInputBufferPool, LentBlockOutlivesThePool) {
    std::mutex lock;
    UserInputBuffer* kept = nullptr;
    {
        UserInputBufferPool pool(2, 128, lock);
        kept = pool.getFreeBuffer(300);
        ASSERT_NE(kept, nullptr);
    }
    fill(kept, 7);
    delete kept;
}

// Writers of several threads share the participant's pool without locking it themselves;
// every block is lent to one of them at a time.
TEST(UserInputBufferPool, ThreadsShareThePool) {
    std::mutex lock;
    UserInputBufferPool pool(2, 16, lock);
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::vector<std::thread> threads;
    std::vector<int> clashes(kThreads, 0);

    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&pool, &clashes, t] {
            for (int r = 0; r < kRounds; ++r) {
                const uint64_t length = 8 + static_cast<uint64_t>((r * 7 + t) % 40);
                UserInputBuffer* held[3];
                for (UserInputBuffer*& b : held) {
                    b = pool.getFreeBuffer(length);
                    std::memset(b->data.get(), t + 1, length);
                }
                for (UserInputBuffer* b : held) {
                    for (uint64_t i = 0; i < length; ++i) {
                        if (b->data[i] != t + 1) {
                            ++clashes[t];
                            break;
                        }
                    }
                    pool.returnBuffer(b);
                }
            }
        });
    }
    for (std::thread& th : threads) {
        th.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(clashes[t], 0) << t;
    }
    EXPECT_EQ(pool.lentBytes(), 0u);  // every block came back
}
