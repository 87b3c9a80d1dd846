#pragma once

namespace RTPS {

class CacheChange;

// What a durable reader's history loader needs of the reader: room in its history, and a way
// to hand it changes of the assembly. The engine's reader implements it.
class DSVCHistorySink {
public:
    virtual ~DSVCHistorySink() = default;

    // Whether the history can take one more change now.
    virtual bool hasRoom() = 0;
    // Adds the change to the history, takes one loan on it for the loader, and announces it
    // the way the reader announces a received change. Called on the loader's own thread,
    // with none of the loader's locks held.
    virtual void storeHistorical(CacheChange* change) = 0;
    // Gives back the loader's loan of a change it stored.
    virtual void releaseHistorical(CacheChange* change) = 0;
    // Loading is over (state LOADED or NORMAL): whoever waits for the history may look again.
    // Called once, with none of the loader's locks held.
    virtual void loadingEnded() {}
};

}  // namespace RTPS
