#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

#include "dds/domain/DomainParticipant.hpp"
#include "dds/pub/AnyDataWriter.hpp"
#include "dds/pub/Publisher.hpp"
#include "dds/sub/AnyDataReader.hpp"
#include "dds/sub/Subscriber.hpp"
#include "dds/topic/AnyTopic.hpp"

namespace vexa {
namespace core {

// One retain registry: full handle copies under a mutex of its own. Handles compare equal when
// they share a delegate (participant, publisher, subscriber) or stand for one core entity
// (writer, reader, topic).
template <typename H>
class RetainRegistry {
public:
    void add(H const& handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        handles_.push_back(handle);
    }

    // The removed copies are released after unlocking: the last one may destroy its delegate,
    // whose destructor may come back to a registry.
    void remove(H const& handle) {
        std::vector<H> removed;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto keep = std::stable_partition(handles_.begin(), handles_.end(),
                                              [&](H const& h) { return !(h == handle); });
            removed.assign(std::make_move_iterator(keep), std::make_move_iterator(handles_.end()));
            handles_.erase(keep, handles_.end());
        }
    }

    // How many copies equal to the handle are listed.
    std::size_t count(H const& handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<std::size_t>(std::count_if(handles_.begin(), handles_.end(),
                                                      [&](H const& h) { return h == handle; }));
    }

    // At exit: released in list order, outside the lock.
    ~RetainRegistry() {
        std::vector<H> all;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            all.swap(handles_);
        }
    }

private:
    std::mutex mutex_;
    std::vector<H> handles_;
};

// Defined with every other load-time static in ApiStartup.cpp, in this order.
extern RetainRegistry<::dds::domain::DomainParticipant> domainParticipantRetain;
extern RetainRegistry<::dds::pub::Publisher> publisherRetain;
extern RetainRegistry<::dds::pub::AnyDataWriter> dataWriterRetain;
extern RetainRegistry<::dds::sub::Subscriber> subscriberRetain;
extern RetainRegistry<::dds::sub::AnyDataReader> dataReaderRetain;
extern RetainRegistry<::dds::topic::AnyTopic> topicRetain;

}  // namespace core
}  // namespace vexa
