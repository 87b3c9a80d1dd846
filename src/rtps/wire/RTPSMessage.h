#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace RTPS {

// A received datagram: a private copy of exactly its length, kept alive by the changes whose
// payloads point into it. Always created with new or create(). The parser deletes it after
// parsing while isFreeAfterParsing() still holds; once a change has taken a reference, the
// release that takes the count from 1 to 0 deletes it. The count is atomic: any holder of a
// reference may add or release one on any thread; only the parser, before it hands the
// message's changes on, adds the first one.
class RTPSMessage {
public:
    // The message and its copy in one allocation, as the receiver makes one per datagram;
    // released with delete like the others.
    static RTPSMessage* create(void const* data, uint16_t length);

    // The copy in a block of its own.
    RTPSMessage(void const* data, uint16_t length);
    virtual ~RTPSMessage() = default;

    RTPSMessage(RTPSMessage const&) = delete;
    RTPSMessage& operator=(RTPSMessage const&) = delete;

    static void* operator new(size_t size) { return ::operator new(size); }
    static void operator delete(void* p) { ::operator delete(p); }

    uint8_t* getData() { return m_data; }
    uint8_t const* getData() const { return m_data; }
    uint16_t getLength() const { return m_length; }

    // Count + 1; the parser no longer frees the message.
    void addReference();
    // Count - 1; the 1 -> 0 release deletes the message (do not touch it afterwards). A release
    // at 0 is logged, changes nothing and returns false.
    bool removeReference();

    bool isFreeAfterParsing() const;
    unsigned int getReferenceCount() const;

private:
    struct Inline {};
    // The copy goes right behind the object, in the block operator new(size, Inline, length)
    // gave; nothing in it throws, so that block needs no placement delete.
    RTPSMessage(Inline, void const* data, uint16_t length) noexcept;
    static void* operator new(size_t size, Inline, uint16_t length);

    std::unique_ptr<uint8_t[]> m_owned;  // null when the copy is inline
    uint8_t* m_data;
    uint16_t m_length;
    std::atomic<unsigned int> m_references{0};
    std::atomic<bool> m_freeAfterParsing{true};
};

}  // namespace RTPS
