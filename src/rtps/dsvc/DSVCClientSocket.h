#pragma once

#include <deque>
#include <memory>

#include "rtps/dsvc/HistoricalSampleInfo.h"
#include "rtps/wire/Guid.h"

namespace RTPS {

class DSVCSocket;

// The server's record of one remote durable reader that sent INIT, from that INIT until STOP
// from the reader (or the end of its connection), or until the sender has told it STOP for
// an empty history. Guarded by the server role's mutex.
struct DSVCClientSocket {
    std::shared_ptr<DSVCSocket> socket;
    GUID_t reader{};
    // Stored samples waiting for the sender, first in first out.
    std::deque<std::shared_ptr<HistoricalSampleInfo>> queue;
    // The reader's subscription was found and its history asked for.
    bool readerKnown = false;
    // A non-empty history was handed over: PAUS follows every sending pass.
    bool historyQueued = false;
    // The history was empty: the sender sends STOP and drops the record.
    bool noHistory = false;
    // A send failed and shut the connection down; the record waits for the connection's STOP.
    bool broken = false;
};

}  // namespace RTPS
