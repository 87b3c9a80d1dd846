#pragma once

#include <cstdint>

#include "rtps/wire/EntityId.h"
#include "rtps/wire/Guid.h"

namespace RTPS {

class CacheChange;

// Registers the encoders and destructors of the five discovery records with the cache changes
// (BuiltinRecordOps). Idempotent; every built-in endpoint calls it when it is made, so a
// participant that announces or receives a record has them.
void registerDiscoveryRecordOps();

// Decodes a received payload of a built-in writer (the decoder is chosen by the writer's entity
// id) and makes the record the change's data, owned by the change. False, with a log line and
// the change untouched, when the writer is no built-in writer or the payload does not decode.
bool decodeBuiltinRecord(EntityId_t const& writerId, uint8_t const* payload, uint32_t length,
                         CacheChange* change);

// A received built-in change whose payload is still packed (it came as DATA_FRAGs and was
// reassembled) is decoded in place; its packed bytes go with the change. True when the change
// now holds a decoded record (also when it already did); false, with a log line, when there is
// nothing to decode or it does not decode: the reader then drops the change.
bool decodeIfPacked(CacheChange* change);

}  // namespace RTPS
