#pragma once

#include <memory>
#include <vector>

#include "rtps/wire/Guid.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

class DSVCServerChannel;

// How far one server's history of one writer has come against the live data of that writer.
struct DSVCWriterProgress {
    GUID_t writer{};
    SequenceNumber_t lastHistorical = SEQUENCENUMBER_NULL;  // from this server; 0: none yet
    SequenceNumber_t firstLive = SEQUENCENUMBER_NULL;       // while loading; 0: none yet
    // The server's history has reached the live data: nothing more is needed from it.
    bool caughtUp = false;
    // Live data of the writer has been seen. Only such writers decide when the server is let
    // go; the others are recorded so that a writer whose stored samples all came before its
    // first live change still catches up.
    bool followed = false;
};

// A durable reader's view of one durability server while its history loads.
struct DSVCServerProxy {
    std::shared_ptr<DSVCServerChannel> client;
    int socket = -1;         // the key under which its messages arrive
    bool connected = false;  // CONNECTED came
    bool paused = false;     // PAUS came
    std::vector<DSVCWriterProgress> writers;
};

}  // namespace RTPS
