#include "rtps/dsvc/DSVCFrameDecoder.h"

#include <algorithm>
#include <utility>

#include "rtps/wire/ByteCursor.h"

namespace RTPS {

namespace {

// A body's first reservation; it grows from there as bytes come.
constexpr size_t FIRST_RESERVE = 64 * 1024;

}  // namespace

DSVCFrameDecoder::DSVCFrameDecoder(uint32_t maxLength, uint32_t keepLimit)
    : m_maxLength(maxLength), m_keepLimit(keepLimit) {}

size_t DSVCFrameDecoder::consume(uint8_t const* data, size_t size) {
    if (m_failure != nullptr || m_ready) {
        return 0;
    }
    ByteCursor in(data, size);
    if (m_headFill < DSVC_HEAD_SIZE) {
        size_t const take = std::min<size_t>(DSVC_HEAD_SIZE - m_headFill, in.remaining());
        in.readBytes(m_head + m_headFill, take);
        m_headFill += static_cast<uint32_t>(take);
        if (m_headFill >= 4 && m_headFill - take < 4) {
            // The length is checked as soon as it is whole, before any body byte is awaited.
            ByteCursor head(m_head, 4, ByteOrder::Little);
            uint32_t length = 0;
            head.readU32(length);
            if (length < DSVC_HEAD_SIZE) {
                m_failure = "длина меньше заголовка сообщения";
                return in.offset();
            }
            if (length > m_maxLength) {
                m_failure = "длина больше наибольшего сообщения";
                return in.offset();
            }
        }
        if (m_headFill < DSVC_HEAD_SIZE) {
            return in.offset();
        }
        startBody();
    }
    if (m_bodyLeft != 0) {
        size_t const take = static_cast<size_t>(std::min<uint64_t>(m_bodyLeft, in.remaining()));
        uint8_t const* p = nullptr;
        in.readView(p, take);
        if (m_frame.bodyKept && take != 0) {
            m_frame.body.insert(m_frame.body.end(), p, p + take);
        }
        m_bodyLeft -= take;
    }
    if (m_bodyLeft == 0) {
        m_ready = true;
        m_headFill = 0;
    }
    return in.offset();
}

void DSVCFrameDecoder::startBody() {
    ByteCursor head(m_head, DSVC_HEAD_SIZE, ByteOrder::Little);
    m_frame = DSVCFrame{};
    head.readU32(m_frame.length);
    head.readU64(m_frame.tag);
    m_bodyLeft = m_frame.length - DSVC_HEAD_SIZE;
    m_frame.bodyKept = m_frame.length <= m_keepLimit;
    if (m_frame.bodyKept) {
        m_frame.body.reserve(static_cast<size_t>(std::min<uint64_t>(m_bodyLeft, FIRST_RESERVE)));
    }
}

DSVCFrame DSVCFrameDecoder::take() {
    m_ready = false;
    return std::exchange(m_frame, DSVCFrame{});
}

}  // namespace RTPS
