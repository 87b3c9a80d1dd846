#ifndef DDS_SUB_FIND_HPP
#define DDS_SUB_FIND_HPP

// Finding the readers of a subscriber, by topic name or by the states of their samples:
//   find<READER>(sub, topic_name, begin, max_size), find<READER>(sub, topic_name, inserter):
//     the subscriber's reader of that topic (the first one made: at most one);
//   find<READER>(sub, data_state, begin, max_size), find<READER>(sub, data_state, inserter):
//     each reader of the subscriber that holds samples in those states.
// READER is dds::sub::DataReader<T>, which passes over readers of another sample type, or
// AnyDataReader. The handles found go to the iterator (at most max_size of them); the result
// is their number. AlreadyClosedError for a closed subscriber.
//
// The built-in subscriber's readers are found the same way: topic "DCPSParticipant" with
// DataReader<dds::topic::ParticipantBuiltinTopicData>, "DCPSTopic", "DCPSPublication" and
// "DCPSSubscription" with the other three built-in types. Finding one by name starts its
// delivery; it keeps its samples until read, also when no handle of it is left.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "dds/core/detail/FoundHandle.hpp"
#include "dds/sub/AnyDataReader.hpp"
#include "dds/sub/DataReader.hpp"
#include "dds/sub/Subscriber.hpp"
#include "dds/sub/status/DataState.hpp"
#include "vexa/DataReaderTemplate.h"
#include "vexa/sub/DataReaderDelegate.hpp"
#include "vexa/sub/DataReaderHolder.hpp"
#include "vexa/sub/SubscriberDelegate.hpp"

namespace dds {
namespace sub {

namespace detail {

template <typename READER, typename Out>
uint32_t put(Subscriber const& sub, vexa::dcps::api::DataReaderImpl* bridge,
             std::weak_ptr<vexa::core::EntityBase> const& api, Out& out) {
    return ::dds::core::detail::putFound<READER, AnyDataReader, vexa::sub::DataReaderHolder,
                                         vexa::dcps::api::DataReaderTemplate>(
        vexa::sub::DataReaderDelegate::found(sub, bridge, api), out);
}

template <typename READER, typename Out>
uint32_t byName(Subscriber const& sub, std::string const& topic_name, Out out, uint32_t max) {
    std::weak_ptr<vexa::core::EntityBase> api;
    std::string type;
    vexa::dcps::api::DataReaderImpl* bridge = sub->lookup_data_reader(topic_name, api, type);
    if (bridge == nullptr || max == 0) {
        return 0;
    }
    return put<READER>(sub, bridge, api, out);
}

template <typename READER, typename Out>
uint32_t byState(Subscriber const& sub, status::DataState const& state, Out out, uint32_t max) {
    std::vector<vexa::sub::SubscriberDelegate::ReaderAndNames> readers;
    sub->get_datareaders(readers, static_cast<uint32_t>(state.sample_state().to_ulong()),
                         static_cast<uint32_t>(state.view_state().to_ulong()),
                         static_cast<uint32_t>(state.instance_state().to_ulong()));
    uint32_t n = 0;
    for (auto const& r : readers) {
        if (n == max) {
            break;
        }
        n += put<READER>(sub, r.reader, r.api_obj, out);
    }
    return n;
}

}  // namespace detail

template <typename READER, typename FwdIterator>
uint32_t find(Subscriber const& sub, std::string const& topic_name, FwdIterator begin,
              uint32_t max_size) {
    return detail::byName<READER>(sub, topic_name, begin, max_size);
}

template <typename READER, typename BinIterator>
uint32_t find(Subscriber const& sub, std::string const& topic_name, BinIterator begin) {
    return detail::byName<READER>(sub, topic_name, begin, std::numeric_limits<uint32_t>::max());
}

template <typename READER, typename FwdIterator>
uint32_t find(Subscriber const& sub, status::DataState const& state, FwdIterator begin,
              uint32_t max_size) {
    return detail::byState<READER>(sub, state, begin, max_size);
}

template <typename READER, typename BinIterator>
uint32_t find(Subscriber const& sub, status::DataState const& state, BinIterator begin) {
    return detail::byState<READER>(sub, state, begin, std::numeric_limits<uint32_t>::max());
}

}  // namespace sub
}  // namespace dds

#endif
