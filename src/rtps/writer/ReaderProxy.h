#pragma once

#include <cstdint>
#include <mutex>

#include "rtps/writer/ChangeForReader.h"
#include "rtps/wire/Guid.h"

namespace RTPS {

class RTPSOutSocket;
class StatefulWriter;

// A stateful writer's record of one matched remote reader. So far it holds what the message
// composer needs for a resend: the fragment states of the reader's entries, under the proxy's
// mutex.
class ReaderProxy {
public:
    ReaderProxy(StatefulWriter* writer, GUID_t const& reader, RTPSOutSocket* unicast, bool flag)
        : m_writer(writer), m_readerGUID(reader), m_unicastSocket(unicast), m_flag(flag) {}

    ReaderProxy(ReaderProxy const&) = delete;
    ReaderProxy& operator=(ReaderProxy const&) = delete;

    StatefulWriter* getWriter() const { return m_writer; }
    GUID_t const& getReaderGUID() const { return m_readerGUID; }
    RTPSOutSocket* getUnicastSocket() const { return m_unicastSocket; }
    bool getFlag() const { return m_flag; }

    // The state of fragment `index` (from 0) of the entry; UNACKNOWLEDGED when the entry has no
    // such fragment.
    ChangeForReaderStatusKind getFragmentStatus(ChangeForReader* entry, uint32_t index) {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (entry == nullptr || !entry->fragmentStatus || index >= entry->fragmentCount) {
            return UNACKNOWLEDGED;
        }
        return static_cast<ChangeForReaderStatusKind>(entry->fragmentStatus[index]);
    }

    // Stores the state when the entry has such a fragment.
    void setFragmentStatus(ChangeForReader* entry, uint32_t index,
                           ChangeForReaderStatusKind status) {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (entry != nullptr && entry->fragmentStatus && index < entry->fragmentCount) {
            entry->fragmentStatus[index] = status;
        }
    }

private:
    StatefulWriter* m_writer;
    GUID_t m_readerGUID;
    RTPSOutSocket* m_unicastSocket;
    bool m_flag;
    std::recursive_mutex m_mutex;
};

}  // namespace RTPS
