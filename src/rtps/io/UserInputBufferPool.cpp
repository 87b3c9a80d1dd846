#include "rtps/io/UserInputBufferPool.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"

namespace RTPS {

namespace {

constexpr char MODULE[] = "UserInputBufferPool::getFreeBuffer";

void logGrown(uint32_t added) {
    vexalog::Logger::getLogger().logMessage(MODULE, vexalog::Logger::SEV_DEBUG,
                                            vexares::RTPS_MSG_USER_BUFFER_POOL_GROWN, added);
}

void logTaken(size_t freeLeft, uint32_t nominalCount) {
    vexalog::Logger::getLogger().logMessage(
        MODULE, vexalog::Logger::SEV_DEBUG_2, vexares::RTPS_MSG_USER_BUFFER_TAKEN, "WriterImpl",
        "userInputBufferPool", static_cast<uint32_t>(freeLeft), nominalCount);
}

// A block with a data area of size bytes, or null.
std::unique_ptr<UserInputBuffer> makeBlock(uint64_t size) {
    if (size > static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
        return nullptr;
    }
    std::unique_ptr<UserInputBuffer> block(new (std::nothrow) UserInputBuffer);
    if (!block) {
        return nullptr;
    }
    block->data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!block->data) {
        return nullptr;
    }
    block->capacity = size;
    return block;
}

}  // namespace

UserInputBufferPool::UserInputBufferPool(uint32_t count, uint64_t blockSize, std::mutex& ownerLock)
    : m_nominalCount(std::max<uint32_t>(count, 2)),
      m_blockSize(blockSize),
      m_keptIdleBytes(uint64_t{m_nominalCount} * blockSize),
      m_lock(ownerLock) {}

UserInputBufferPool::~UserInputBufferPool() = default;

uint64_t UserInputBufferPool::blockSizeFor(uint64_t length) {
    uint64_t size = MIN_BLOCK;
    while (size < length) {
        if (size > (uint64_t{1} << (kClasses - 2))) {
            return 0;
        }
        size <<= 1;
    }
    return size;
}

unsigned UserInputBufferPool::classOf(uint64_t capacity) {
    unsigned c = 0;
    while (c + 1 < kClasses && (uint64_t{1} << c) < capacity) {
        ++c;
    }
    return c;
}

UserInputBuffer* UserInputBufferPool::getFreeBuffer(uint64_t length) {
    const uint64_t size = blockSizeFor(length);
    if (size == 0) {
        return nullptr;
    }
    std::vector<std::unique_ptr<UserInputBuffer>>& list = m_free[classOf(size)];
    std::unique_ptr<UserInputBuffer> taken;
    size_t freeLeft = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!list.empty()) {
            taken = std::move(list.back());
            list.pop_back();
            --m_freeCount;
            m_idleBytes -= taken->capacity;
            m_lentBytes += taken->capacity;
            freeLeft = m_freeCount;
        }
    }
    const bool made = !taken;
    if (made) {
        taken = makeBlock(size);  // outside the lock: other writers need not wait for it
        if (!taken) {
            return nullptr;
        }
        std::lock_guard<std::mutex> guard(m_lock);
        m_lentBytes += taken->capacity;
        freeLeft = m_freeCount;
    }
    if (made) {
        logGrown(1);
    }
    logTaken(freeLeft, m_nominalCount);
    return taken.release();
}

void UserInputBufferPool::returnBuffer(UserInputBuffer* buffer) {
    if (buffer == nullptr) {
        return;
    }
    std::unique_ptr<UserInputBuffer> block(buffer);
    std::vector<std::unique_ptr<UserInputBuffer>> freed;  // freed after the lock is released
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const uint64_t size = block->capacity;
        m_lentBytes -= std::min(m_lentBytes, size);
        const uint64_t cap = std::max(m_keptIdleBytes, m_lentBytes);
        // Only a block of a size class is listed: one enlarged behind the pool's back is freed.
        if (size == blockSizeFor(size) && m_idleBytes + size <= cap) {
            m_free[classOf(size)].push_back(std::move(block));
            ++m_freeCount;
            m_idleBytes += size;
        }
        // Fewer blocks lent now: idle ones beyond the cap go, the largest first.
        for (unsigned c = kClasses; m_idleBytes > cap && c-- > 0;) {
            std::vector<std::unique_ptr<UserInputBuffer>>& list = m_free[c];
            while (m_idleBytes > cap && !list.empty()) {
                m_idleBytes -= list.back()->capacity;
                --m_freeCount;
                freed.push_back(std::move(list.back()));
                list.pop_back();
            }
        }
    }
}

size_t UserInputBufferPool::freeCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_freeCount;
}

uint64_t UserInputBufferPool::idleBytes() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_idleBytes;
}

uint64_t UserInputBufferPool::lentBytes() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lentBytes;
}

}  // namespace RTPS
