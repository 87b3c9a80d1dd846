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

// A data area of size bytes, or null.
std::unique_ptr<uint8_t[]> allocate(uint64_t size) {
    if (size > static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
        return nullptr;
    }
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
}

}  // namespace

UserInputBufferPool::UserInputBufferPool(uint32_t count, uint64_t blockSize, std::mutex& ownerLock)
    : m_nominalCount(std::max<uint32_t>(count, 2)), m_blockSize(blockSize), m_lock(ownerLock) {
    m_free.reserve(m_nominalCount);
    for (uint32_t i = 0; i < m_nominalCount; ++i) {
        std::unique_ptr<UserInputBuffer> block = makeBlock(m_blockSize);
        if (!block) {
            break;  // the first getFreeBuffer grows the pool again
        }
        m_free.push_back(std::move(block));
    }
}

UserInputBufferPool::~UserInputBufferPool() = default;

std::unique_ptr<UserInputBuffer> UserInputBufferPool::makeBlock(uint64_t size) {
    std::unique_ptr<UserInputBuffer> block(new (std::nothrow) UserInputBuffer);
    if (!block) {
        return nullptr;
    }
    block->data = allocate(size);
    if (!block->data && size != 0) {
        return nullptr;
    }
    block->capacity = size;
    return block;
}

uint32_t UserInputBufferPool::grow(uint64_t length) {
    const uint32_t add = m_nominalCount / 2;
    uint32_t added = 0;
    for (uint32_t i = 0; i < add; ++i, ++added) {
        // The last block is the one lent at once: it gets the room the caller asks for.
        std::unique_ptr<UserInputBuffer> block =
            makeBlock(i + 1 == add ? std::max(m_blockSize, length) : m_blockSize);
        if (!block) {
            break;
        }
        m_free.push_back(std::move(block));
    }
    return added;
}

UserInputBuffer* UserInputBufferPool::getFreeBuffer(uint64_t length) {
    uint32_t added = 0;
    size_t freeLeft = 0;
    UserInputBuffer* taken = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_free.empty()) {
            added = grow(length);
            if (added == 0) {
                return nullptr;
            }
        }
        UserInputBuffer* top = m_free.back().get();
        if (top->capacity < length) {
            std::unique_ptr<uint8_t[]> larger = allocate(length);
            if (!larger) {
                return nullptr;  // the block stays in the pool as it was
            }
            top->data = std::move(larger);
            top->capacity = length;
        }
        taken = m_free.back().release();
        m_free.pop_back();
        freeLeft = m_free.size();
    }
    if (added != 0) {
        logGrown(added);
    }
    logTaken(freeLeft, m_nominalCount);
    return taken;
}

void UserInputBufferPool::returnBuffer(UserInputBuffer* buffer) {
    if (buffer == nullptr) {
        return;
    }
    std::unique_ptr<UserInputBuffer> block(buffer);
    std::lock_guard<std::mutex> guard(m_lock);
    m_free.push_back(std::move(block));
}

size_t UserInputBufferPool::freeCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_free.size();
}

}  // namespace RTPS
