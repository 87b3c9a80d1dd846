#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "rtps/history/HistoryCache.h"

namespace RTPS {

class CacheChange;
class CommunicationObject;
class Reader;

// The liveliness messages of remote participants: each received message becomes a liveliness
// assertion for the DCPS core (manual flag 1 for a manual message, 0 for an automatic one). Only
// the latest message is kept.
//
// Threads: addChange on the parser thread. The store mutex guards the history; it is not held
// while the DCPS core is called.
class BuiltinParticipantMessageReader {
public:
    // `communicationObject` and `asReader` may be null and must outlive the reader, as must
    // `history`: the participant-message reader's, where the DCPS core reads the messages;
    // null: one of its own.
    BuiltinParticipantMessageReader(CommunicationObject* communicationObject, Reader* asReader,
                                    std::string logName, HistoryCache* history = nullptr);

    BuiltinParticipantMessageReader(BuiltinParticipantMessageReader const&) = delete;
    BuiltinParticipantMessageReader& operator=(BuiltinParticipantMessageReader const&) = delete;

    // A received message, complete (decoded or still packed): the stored change, or null when
    // it does not decode (the caller still owns the change then).
    CacheChange* addChange(CacheChange* change);

    size_t size();

private:
    CommunicationObject* const m_communicationObject;
    Reader* const m_asReader;
    std::string const m_logName;

    std::mutex m_storeMutex;
    HistoryCache m_ownHistory;
    HistoryCache& m_history;
};

}  // namespace RTPS
