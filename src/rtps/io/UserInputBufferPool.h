#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rtps/io/UserInputBuffer.h"

namespace RTPS {

// Blocks for the serialized samples that user writers keep in their histories, one pool per
// participant. The pool grows when it runs dry and enlarges a block when a sample needs more
// room; blocks keep their size when returned and the last one returned is lent first, so a
// steady stream of samples allocates nothing.
//
// The pool takes its owner's lock inside getFreeBuffer and returnBuffer, so its callers need
// not. Lock order: the owner's pool lock is the innermost lock of the writers; the pool calls
// nothing that locks while it holds it (it logs after releasing it).
class UserInputBufferPool {
public:
    // count blocks (at least 2) of blockSize bytes each. ownerLock must outlive the pool.
    UserInputBufferPool(uint32_t count, uint64_t blockSize, std::mutex& ownerLock);
    // Frees the blocks the pool holds; blocks still lent out belong to their borrowers.
    ~UserInputBufferPool();

    UserInputBufferPool(const UserInputBufferPool&) = delete;
    UserInputBufferPool& operator=(const UserInputBufferPool&) = delete;

    // A block of at least length bytes, or null when the memory for it cannot be had. When no
    // block is free the pool first adds half its nominal count of blocks, the last of them
    // large enough for length. A block that is too small gets a new data area of exactly
    // length bytes; its old contents are not kept.
    UserInputBuffer* getFreeBuffer(uint64_t length);
    // Takes a block back, whatever its capacity now; null is ignored.
    void returnBuffer(UserInputBuffer* buffer);

    uint32_t nominalCount() const { return m_nominalCount; }
    uint64_t blockSize() const { return m_blockSize; }
    size_t freeCount() const;

private:
    static std::unique_ptr<UserInputBuffer> makeBlock(uint64_t size);
    // Adds nominalCount / 2 blocks; returns how many could be made.
    uint32_t grow(uint64_t length);

    const uint32_t m_nominalCount;
    const uint64_t m_blockSize;
    std::mutex& m_lock;
    std::vector<std::unique_ptr<UserInputBuffer>> m_free;  // top of the stack at the back
};

}  // namespace RTPS
