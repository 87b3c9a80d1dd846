#include "rtps/io/UserInputBufferPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "LoggedLines.h"

using RTPS::UserInputBuffer;
using RTPS::UserInputBufferPool;

namespace {

// Fills the whole block, so that a capacity larger than the data area shows under ASan.
void fill(UserInputBuffer* b, uint8_t value) {
    std::memset(b->data.get(), value, b->capacity);
}

}  // namespace

TEST(UserInputBufferPool, NominalCountIsAtLeastTwo) {
    struct Case {
        uint32_t count;
        uint32_t nominal;
    };
    const Case cases[] = {{0, 2}, {1, 2}, {2, 2}, {3, 3}, {256, 256}};
    for (const Case& c : cases) {
        std::mutex lock;
        UserInputBufferPool pool(c.count, 1024, lock);
        EXPECT_EQ(pool.nominalCount(), c.nominal) << c.count;
        EXPECT_EQ(pool.freeCount(), c.nominal) << c.count;
    }
}

// Running dry adds half the nominal count each time; the nominal count never changes.
TEST(UserInputBufferPool, GrowsByHalfTheNominalCount) {
    ASSERT_TRUE(loadEngineTexts());
    vexalog::Logger& log = vexalog::Logger::getLogger();
    const int level = log.getLogLevelReadable();
    log.setLogLevelReadable(vexalog::Logger::SEV_DEBUG);  // growth, not every take
    const std::string growth = "UserInputBufferPool::getFreeBuffer";
    const int before = loggedLines(growth);

    std::mutex lock;
    UserInputBufferPool pool(256, 1024, lock);
    std::vector<UserInputBuffer*> lent;
    for (int i = 0; i < 256; ++i) {
        lent.push_back(pool.getFreeBuffer(100));
    }
    EXPECT_EQ(pool.freeCount(), 0u);

    EXPECT_EQ(loggedLines(growth), before);
    lent.push_back(pool.getFreeBuffer(100));  // the 257th
    EXPECT_EQ(pool.freeCount(), 127u);
    EXPECT_EQ(loggedLines(growth), before + 1);
    EXPECT_EQ(loggedLines("добавлено блоков: 128"), 1);
    for (int i = 0; i < 127; ++i) {
        lent.push_back(pool.getFreeBuffer(1));
    }
    EXPECT_EQ(pool.freeCount(), 0u);
    lent.push_back(pool.getFreeBuffer(1));
    EXPECT_EQ(pool.freeCount(), 127u);
    EXPECT_EQ(pool.nominalCount(), 256u);
    EXPECT_EQ(loggedLines(growth), before + 2);
    log.setLogLevelReadable(level);

    for (UserInputBuffer* b : lent) {
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->capacity, 1024u);
        fill(b, 0x5A);
    }
    for (UserInputBuffer* b : lent) {
        pool.returnBuffer(b);
    }
    EXPECT_EQ(pool.freeCount(), 256u + 128u + 128u);
}

// Growth for a large sample makes the block it lends at once large enough; the others keep
// the default size.
TEST(UserInputBufferPool, GrowthFitsTheAskedLength) {
    std::mutex lock;
    UserInputBufferPool pool(4, 1024, lock);
    std::vector<UserInputBuffer*> lent;
    for (int i = 0; i < 4; ++i) {
        lent.push_back(pool.getFreeBuffer(1024));
    }
    UserInputBuffer* big = pool.getFreeBuffer(7000);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->capacity, 7000u);
    fill(big, 1);
    EXPECT_EQ(pool.freeCount(), 1u);
    UserInputBuffer* other = pool.getFreeBuffer(0);
    EXPECT_EQ(other->capacity, 1024u);
    lent.push_back(big);
    lent.push_back(other);
    for (UserInputBuffer* b : lent) {
        pool.returnBuffer(b);
    }
}

TEST(UserInputBufferPool, EnlargedBlockKeepsItsSize) {
    std::mutex lock;
    UserInputBufferPool pool(256, 1024, lock);
    UserInputBuffer* b = pool.getFreeBuffer(5000);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->capacity, 5000u);
    fill(b, 0xA5);
    pool.returnBuffer(b);

    UserInputBuffer* again = pool.getFreeBuffer(10);
    EXPECT_EQ(again, b);  // the last block returned is lent first
    EXPECT_EQ(again->capacity, 5000u);
    fill(again, 0x11);

    // A block that is exactly large enough keeps its data area.
    const uint8_t* area = again->data.get();
    pool.returnBuffer(again);
    UserInputBuffer* exact = pool.getFreeBuffer(5000);
    EXPECT_EQ(exact->data.get(), area);
    pool.returnBuffer(exact);
    EXPECT_EQ(pool.freeCount(), 256u);
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
    std::vector<std::set<UserInputBuffer*>> seen(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&pool, &clashes, &seen, t] {
            for (int r = 0; r < kRounds; ++r) {
                const uint64_t length = 8 + static_cast<uint64_t>((r * 7 + t) % 40);
                UserInputBuffer* held[3];
                for (UserInputBuffer*& b : held) {
                    b = pool.getFreeBuffer(length);
                    seen[t].insert(b);
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
    // Growth of a pool of 2 adds one block, lent at once, so every block was lent at least
    // once: all of them, and only they, came back.
    std::set<UserInputBuffer*> all;
    for (const auto& s : seen) {
        all.insert(s.begin(), s.end());
    }
    EXPECT_EQ(pool.freeCount(), all.size());
}
