#pragma once

#include "rtps/history/CacheChange.h"
#include "rtps/participant/BuiltinEndpoint.h"
#include "rtps/participant/DiscoveryDirectory.h"

namespace RTPS {

// The last step of a discovery reader's addChange: the complete change its base kept goes to
// the directory, which stores it in the reader's history or drops it. Returns what the
// directory kept, or null. `given` is what the reader's caller handed in and deletes unless it
// is returned; a change the base assembled itself (kept != given) has no other owner, so it is
// deleted here when the directory drops it.
inline CacheChange* handToDirectory(DiscoveryDirectory* directory, BuiltinTopic topic,
                                    CacheChange* kept, CacheChange* given) {
    if (kept == nullptr) {
        return nullptr;
    }
    CacheChange* stored = directory != nullptr ? directory->addBuiltinChange(topic, kept) : nullptr;
    if (stored != kept && kept != given) {
        delete kept;
    }
    return stored == kept ? kept : nullptr;
}

}  // namespace RTPS
