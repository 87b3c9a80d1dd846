// A DSVC byte stream as a peer might send it, cut into segments of sizes taken from the first
// input byte, framed by the decoder; each INIT and SMPL body is parsed as the receivers do.
#include <cstddef>
#include <cstdint>

#include "rtps/dsvc/DSVCFrameDecoder.h"
#include "rtps/dsvc/DSVCMessage.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    size_t const segment = 1 + data[0] % 64;
    ++data;
    --size;
    // The client keeps every body; the server only short ones.
    RTPS::DSVCFrameDecoder client;
    RTPS::DSVCFrameDecoder server(RTPS::DSVC_MAX_MESSAGE_SIZE, RTPS::DSVC_INIT_SIZE);
    for (RTPS::DSVCFrameDecoder* decoder : {&client, &server}) {
        size_t offset = 0;
        while (offset < size && !decoder->failed()) {
            size_t const end = offset + segment < size ? offset + segment : size;
            while (offset < end && !decoder->failed()) {
                offset += decoder->consume(data + offset, end - offset);
                if (!decoder->hasFrame()) {
                    continue;
                }
                RTPS::DSVCFrame frame = decoder->take();
                if (frame.length < RTPS::DSVC_HEAD_SIZE ||
                    (frame.bodyKept && frame.body.size() != frame.length - RTPS::DSVC_HEAD_SIZE)) {
                    __builtin_trap();
                }
                RTPS::GUID_t reader{};
                RTPS::parseDsvcInit(frame.body.data(), frame.body.size(), reader);
                RTPS::DSVCSampleView sample{};
                if (RTPS::parseDsvcSample(frame.body.data(), frame.body.size(), sample) &&
                    (sample.data + sample.dataLength != frame.body.data() + frame.body.size())) {
                    __builtin_trap();
                }
            }
        }
    }
    return 0;
}
