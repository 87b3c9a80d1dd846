#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "rtps/dsvc/DSVCServerProxy.h"
#include "rtps/wire/Guid.h"
#include "rtps/wire/SequenceNumber.h"

namespace RTPS {

class CacheChange;
class DSVCHistorySink;
class DSVCServerChannel;

// The client role of a durable reader: it loads the stored history of the reader's topic from
// every configured durability server while live changes keep arriving.
//
// Stored samples (SMPL) and the live changes that arrive meanwhile are merged into one list,
// the assembly, in per-writer ascending order (different writers keep their arrival order).
// Once every server up to the one that sent it has paused (PAUS), the gap-free run after what
// was handed over before goes to the history. A server is told STOP as soon as its history has
// reached the live data of every writer seen on it; when no server is left (STOP from each, a
// lost connection, or caught up), the rest of the assembly is flushed and the reader is back in
// normal operation. A change is never put before what was handed over already: one the
// history has seen (same writer, number not above what went over) is dropped as old or
// duplicate, any other goes after the handed-over part; in normal operation too, since a
// writer matched while loading repairs what it sent before the reader knew it.
//
// Threads: the channels' threads deliver server messages (dsvcDataRecipient), the parser
// thread offers live changes (addLiveChange), and the loader's own upload thread hands runs of
// the assembly to the history, waiting for room in it as long as needed. Nothing waits for room
// while holding the DSVC mutex, and addLiveChange never waits for room at all.
//
// Locks: the DSVC mutex guards proxies, assembly, marks and state; the room mutex guards only
// the wait for room. Order: a channel's delivery mutex, then the DSVC mutex, then the room
// mutex, then the history's. Channels are stopped outside the DSVC mutex, and never from a
// delivery of another channel. The sink's storeHistorical (and with it the reader's user) is
// called with no loader lock held.
class DSVCHistoryLoader {
public:
    enum State : uint32_t { NORMAL = 0, LOADED = 1, LOADING = 2 };
    // What becomes of a live change offered while loading: the loader keeps it, it is old or
    // a duplicate (the caller destroys it), or the reader stores it as in normal operation.
    enum class LiveVerdict { Taken, Dropped, Store };

    // `servers`: one channel per server, made but not started. `logName`: the reader's.
    DSVCHistoryLoader(DSVCHistorySink& sink, std::string logName,
                      std::vector<std::shared_ptr<DSVCServerChannel>> servers);
    // Stops first; frees the changes of the assembly that the history never got.
    ~DSVCHistoryLoader();

    DSVCHistoryLoader(DSVCHistoryLoader const&) = delete;
    DSVCHistoryLoader& operator=(DSVCHistoryLoader const&) = delete;

    // Starts the upload thread and the channels. Until then messages for it are ignored.
    void start();
    // Ends every delivery, upload and announcement for good; joins the threads (channels within
    // their bound). The reader calls it when it stops, before it is destroyed.
    void stop();

    State state() const { return static_cast<State>(m_state.load()); }

    // A message of a server's channel: SMPL (body after the tag), PAUS, STOP, CONNECTED.
    void dsvcDataRecipient(int socket, uint64_t tag, void const* body, unsigned length);
    // A complete live change, in any state; never waits.
    LiveVerdict addLiveChange(CacheChange* change);
    // The reader's history has lost a change: an upload waiting for room looks again.
    void roomMade();

    // For tests and logs: what the assembly holds and what went over.
    size_t assemblySize();
    size_t proxyCount();

private:
    using Mark = std::pair<GUID_t, SequenceNumber_t>;
    using ProxyList = std::vector<std::unique_ptr<DSVCServerProxy>>;

    static void uploaderEntry(void* self);
    void uploader();
    bool waitForRoom();
    // Under the DSVC mutex, with the whole assembly in the history: final marks, loans back,
    // assembly emptied, state LOADED.
    void finishFlush();

    void sample(int socket, void const* body, unsigned length);
    void paused(int socket);
    void stopped(int socket);
    // Under the DSVC mutex: the run after the handed-over part that has no gap, committed.
    void uploadStep();
    void commit(size_t last);
    // Under the DSVC mutex: merges a change into the assembly; false when it is old or a
    // duplicate (nothing kept).
    bool insert(CacheChange* change, char const* module);
    // Under the DSVC mutex: takes the proxy out; its channel is stopped by stopChannels.
    void removeProxy(ProxyList::iterator proxy, ProxyList& removed);
    void stopChannels(ProxyList& removed);
    void requestFlushIfNoServerLeft();
    ProxyList::iterator findProxy(int socket);

    DSVCHistorySink& m_sink;
    const std::string m_logName;
    std::vector<std::shared_ptr<DSVCServerChannel>> m_channels;  // every one, to join at stop

    std::atomic<uint32_t> m_state{LOADING};
    std::atomic<bool> m_stopping{false};
    bool m_started = false;
    bool m_stopped = false;
    pthread_t m_uploaderThread = 0;

    std::mutex m_mutex;  // the DSVC mutex
    std::condition_variable m_work;
    ProxyList m_proxies;  // server-list order
    std::vector<CacheChange*> m_assembly;
    int64_t m_lastUploaded = -1;  // last index committed to the history; -1: none
    size_t m_stored = 0;          // the first m_stored entries are in the history
    bool m_flushRequested = false;
    std::vector<Mark> m_uploadMarks;  // per writer: the last number committed
    std::vector<Mark> m_finalMarks;   // per writer: the last number of the final flush

    std::mutex m_roomMutex;
    std::condition_variable m_room;
};

}  // namespace RTPS
