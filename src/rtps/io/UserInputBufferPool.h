#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/io/UserInputBuffer.h"

namespace RTPS {

// Blocks for the serialized samples that user writers keep in their histories, one pool per
// participant. A block is sized to its sample: its capacity is the sample length rounded up to
// a power of two (at least MIN_BLOCK bytes), so a 64-byte sample never takes a 1 KiB block and
// at most half of a block is slack. Returned blocks wait in a list per size and the last one
// returned is lent first, so a steady stream of samples allocates nothing; the idle bytes are
// kept within max(count * blockSize, the bytes lent out) and blocks beyond that are freed, so
// the pool's size follows what the writers hold.
//
// The pool takes its owner's lock inside getFreeBuffer and returnBuffer, so its callers need
// not. Lock order: the owner's pool lock is the innermost lock of the writers; the pool calls
// nothing that locks while it holds it (it logs after releasing it).
class UserInputBufferPool {
public:
    static constexpr uint64_t MIN_BLOCK = 64;

    // Keeps up to count (at least 2) * blockSize idle bytes when nothing is lent; allocates
    // nothing before the first getFreeBuffer. ownerLock must outlive the pool.
    UserInputBufferPool(uint32_t count, uint64_t blockSize, std::mutex& ownerLock);
    // Frees the blocks the pool holds; blocks still lent out belong to their borrowers.
    ~UserInputBufferPool();

    UserInputBufferPool(const UserInputBufferPool&) = delete;
    UserInputBufferPool& operator=(const UserInputBufferPool&) = delete;

    // A block of length's size class, or null when the memory for it cannot be had.
    UserInputBuffer* getFreeBuffer(uint64_t length);
    // Takes a block of this pool back, keeping it for reuse or freeing it; null is ignored.
    void returnBuffer(UserInputBuffer* buffer);

    // The capacity of the block lent for length bytes (0 when no block can be that large).
    static uint64_t blockSizeFor(uint64_t length);

    uint32_t nominalCount() const { return m_nominalCount; }
    uint64_t blockSize() const { return m_blockSize; }
    size_t freeCount() const;
    uint64_t idleBytes() const;
    uint64_t lentBytes() const;

private:
    static constexpr unsigned kClasses = 63;

    static unsigned classOf(uint64_t capacity);

    const uint32_t m_nominalCount;
    const uint64_t m_blockSize;
    const uint64_t m_keptIdleBytes;  // what may stay idle when nothing is lent
    std::mutex& m_lock;
    // Idle blocks per size class (capacity 2^class); the top of each stack at the back.
    std::vector<std::unique_ptr<UserInputBuffer>> m_free[kClasses];
    size_t m_freeCount = 0;
    uint64_t m_idleBytes = 0;
    uint64_t m_lentBytes = 0;
};

}  // namespace RTPS
