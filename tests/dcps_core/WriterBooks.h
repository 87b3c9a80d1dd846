#pragma once

#include <cstdint>
#include <vector>

#include "dcps/publisher/Publisher.h"
#include "dcps/publisher/Writer.h"
#include "dcps/subscriber/RemoteRecords.h"
#include "dcps/subscriber/SubscriberBuiltin.h"
#include "vexa/dds/Status.h"

namespace vexatest {

// What a publisher's writers know of remote readers against the built-in subscriber's records
// of the participants `prefixes`: a live entry names a live record that lists the writer and
// every writer a record lists knows it; the matched count is the number of live compatible
// entries. The first rule broken, or null. Both mutexes must be free (the records are read
// through the built-in subscriber's lookup, the statuses through the writers).
inline char const* brokenWriterBooks(vexa::dcps::Publisher& pub,
                                     vexa::dcps::SubscriberBuiltin& builtin,
                                     std::vector<std::vector<unsigned>> const& prefixes) {
    using vexa::dcps::RemoteDR;
    using vexa::dcps::Writer;
    using Entry = Writer::RemoteReader;
    std::vector<RemoteDR const*> records;
    for (auto const& p : prefixes) {
        if (vexa::dcps::RemoteDP const* r = builtin.findRemote(p.data())) {
            for (auto const& d : r->readers) {
                records.push_back(d.second.get());
            }
        }
    }
    auto has = [](auto const& list, auto const* item) {
        for (auto const* x : list) {
            if (x == item) {
                return true;
            }
        }
        return false;
    };
    std::vector<Writer*> writers;
    for (uint32_t i = 1; i <= 2048; ++i) {
        if (Writer* w = pub.writerAt(i)) {
            writers.push_back(w);
        }
    }
    for (Writer* w : writers) {
        int32_t compatible = 0;
        size_t live = 0;
        for (Entry const& e : w->remoteReaders()) {
            if ((e.flags & Entry::IN_USE) == 0) {
                if (e.record != nullptr) {
                    return "a lost entry keeps its record";
                }
                continue;
            }
            ++live;
            if (e.record == nullptr || !has(records, e.record)) {
                return "a live entry names no live record";
            }
            if (e.record->handled || !has(e.record->writers, w)) {
                return "a live entry's record is handled or does not list the writer";
            }
            if ((e.flags & (Entry::INCOMPATIBLE_CHANGEABLE | Entry::INCOMPATIBLE)) == 0) {
                ++compatible;
            }
        }
        if (live != w->knownRemoteReaders()) {
            return "the index and the live entries differ";
        }
        vexa::dds::PublicationMatchedStatus m;
        pub.getPublicationMatchedStatus(m, w);
        if (m.current_count != compatible) {
            return "the matched count is not the number of live compatible entries";
        }
        if (m.current_count < 0 || m.total_count < m.current_count) {
            return "a matched count is negative or above the total";
        }
    }
    for (RemoteDR const* d : records) {
        for (Writer const* listed : d->writers) {
            bool known = false;
            for (Writer* w : writers) {
                if (w != listed) {
                    continue;
                }
                for (Entry const& e : w->remoteReaders()) {
                    known = known || ((e.flags & Entry::IN_USE) != 0 && e.record == d);
                }
            }
            if (!known) {
                return "a record lists a writer that does not know it";
            }
        }
    }
    return nullptr;
}

}  // namespace vexatest
