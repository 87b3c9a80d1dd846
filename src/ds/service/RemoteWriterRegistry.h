#pragma once

#include <cstdint>
#include <string>

#include "ds/store/DSReaderHost.h"

namespace vexa::ds {

class DSReader;

// What the stored-reader set asks of the domain's discovery bookkeeping; the built-in
// subscriber implements it. Every call takes the built-in lock itself and calls nothing that
// takes the subscriber lock, so a caller may hold the domain and subscriber locks (order:
// domain -> subscriber -> built-in).
class RemoteWriterRegistry {
public:
    virtual ~RemoteWriterRegistry() = default;

    // Offers every known, not lost writer of the topic to a new reader; a writer the reader
    // takes is stored by it from then on.
    virtual void discoverDWforNewReader(DSReader* reader, const std::string& topicName) = 0;
    // The writer as discovery knows it; Found also makes `reader` its storing reader.
    virtual DSReaderHost::Lookup getRemotePublisher(const uint32_t prefix[3], uint32_t entityId,
                                                    DSReader* reader,
                                                    DSReaderHost::Publication& out) = 0;
    // Before a reader is deleted: no writer record may name it as its storing reader.
    virtual void forgetReader(const DSReader* reader) = 0;
};

}  // namespace vexa::ds
